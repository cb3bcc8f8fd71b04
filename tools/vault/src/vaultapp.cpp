#include "vaultapp.h"

#include "commandguide.h"
#include "vaulterror.h"

VaultApp::VaultApp(std::ostream& out, std::ostream& err)
    : out_(out),
      err_(err),
      app_(
          "vault: the command line of the document vault.\n"
          "Store: --store DIR, else $VAULT_STORE, else ./vaultdata. "
          "Acting user: --user NAME, else $VAULT_USER.",
          "vault"),
      output_(out),
      session_(output_),
      init_(session_),
      users_(session_),
      repos_(session_),
      rights_(session_),
      strategy_(session_),
      docs_(session_),
      baselines_(session_),
      verify_(session_) {
    // Global options may follow the command too: vault repo list --store DIR.
    app_.fallthrough();
    app_.require_subcommand(1);
    app_.add_option("--store", session_.storeOption, "Folder of the embedded store");
    app_.add_option("--user", session_.userOption, "Acting user");
    app_.set_version_flag("--version", "vault " ZUB_VERSION_TEXT);
    app_.footer(
        "Every command takes --help. Failures print \"vault: error NUMBER: TEXT\" on "
        "standard error and exit 1; bad arguments exit 2.");
    init_.Register(app_);
    users_.Register(app_);
    repos_.Register(app_);
    rights_.Register(app_);
    strategy_.Register(app_);
    docs_.Register(app_);
    baselines_.Register(app_);
    verify_.Register(app_);
    RegisterHelp();
}

void VaultApp::RegisterHelp() {
    CLI::App* h =
        app_.add_subcommand("help", "Show the help of a command: vault help doc checkout");
    h->add_option("COMMAND", helpWords_, "The command's words");
    h->callback([this] { Help(); });
}

void VaultApp::Help() {
    const CLI::App* command = CommandGuide::Find(app_, helpWords_);
    if (!command) {
        std::vector<std::string> args = helpWords_;
        const CommandGuide::Finding f = CommandGuide::Diagnose(app_, args);
        throw Usage(f.kind == CommandGuide::Finding::Kind::Unknown
                        ? CommandGuide::Message(f)
                        : "vault: no command \"" + helpWords_.front() + "\"");
    }
    out_ << HelpOf(*command);
}

std::string VaultApp::HelpOf(const CLI::App& command) {
    // help() would show the help of the subcommand parsed, "help" itself.
    return command.get_formatter()->make_help(&command, CommandGuide::Path(command),
                                              CLI::AppFormatMode::Normal);
}

int VaultApp::Run(int argc, char** argv) {
    if (argc < 2) {
        out_ << app_.help();
        return kUsage;
    }
    try {
        app_.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app_.exit(e, out_, err_);
    } catch (const CLI::CallForAllHelp& e) {
        return app_.exit(e, out_, err_);
    } catch (const CLI::CallForVersion& e) {
        return app_.exit(e, out_, err_);
    } catch (const Usage& e) {
        out_.flush();
        err_ << e.what() << std::endl;
        return kUsage;
    } catch (const CLI::ParseError& e) {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const CommandGuide::Finding f = CommandGuide::Diagnose(app_, args);
        if (f.kind == CommandGuide::Finding::Kind::Unknown) {
            err_ << CommandGuide::Message(f) << "\nSee \"vault help\"." << std::endl;
            return kUsage;
        }
        if (f.kind == CommandGuide::Finding::Kind::GroupAlone) {
            // A group alone asks what it offers.
            out_ << HelpOf(*f.at);
            return kUsage;
        }
        app_.exit(e, out_, err_);
        return kUsage;
    } catch (const VaultError& e) {
        out_.flush();
        err_ << e.Line() << std::endl;
        return kFailed;
    } catch (const std::exception& e) {
        out_.flush();
        err_ << "vault: error -1: " << e.what() << std::endl;
        return kFailed;
    }
    return 0;
}
