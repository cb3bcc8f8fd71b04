#include "initcommand.h"

#include <cstdlib>

#include "store.h"
#include "zub/text.h"

void InitCommand::Register(CLI::App& app) {
    CLI::App* c = app.add_subcommand(
        "init",
        "Make a new embedded store: both databases, the default version strategy, "
        "the administrator \"system\" and the file-server root");
    c->add_option("DIR", dir_, "Folder of the store (default: --store, $VAULT_STORE, ./vaultdata)");
    c->add_option("--group", group_,
                  "Share the store with this group (folders 2770, files 660); without it the "
                  "store is private to its owner (700, 600)");
    c->add_option("--files", files_,
                  "Keep the repositories' files on this WebDAV server "
                  "(http(s)://HOST[:PORT]/BASE); its user \"system\" has the password in "
                  "VAULT_FILES_PASSWORD");
    c->callback([this] { Run(); });
}

void InitCommand::Run() {
    const Store store(Store::Locate(dir_.empty() ? s_.storeOption : dir_));
    if (files_.empty()) {
        store.Init(group_);
    } else {
        // From the environment: a password never shows in the process list.
        const char* password = std::getenv("VAULT_FILES_PASSWORD");
        store.InitWithFiles(group_, zub::Utf8ToWide(files_),
                            zub::Utf8ToWide(password != nullptr ? password : ""));
    }
    const std::string dir = store.Dir().string();
    Output& out = s_.out();
    out.Say("Initialised a vault store in " + dir);
    out.Say("  product database  " + store.ProductDbFile().string());
    out.Say("  system database   " + store.SystemDbFile().string());
    out.Say("  file-server root  " +
            (files_.empty() ? store.FilesRoot().string() : zub::WideToUtf8(store.FileServer())));
    out.Say("The administrator is the user \"system\". To work with this store:");
    out.Say("  export VAULT_STORE=" + dir + " VAULT_USER=system");
    out.Say("  vault repo create NAME");
}
