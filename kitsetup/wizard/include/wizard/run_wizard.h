// The installer's windowed program.
#pragma once

namespace zub::kitsetup {

// Shows the wizard over install.xml of the working directory and returns the
// program's exit code: 0, or 1 when start-up failed or the install failed.
// With ZUB_WIZARD_SHOTS=DIR set it walks through every page by itself,
// answers No to every question and saves a picture of each page into DIR.
int RunWizard(int argc, char** argv);

}  // namespace zub::kitsetup
