#include "vaultapp.h"

#include <cstdlib>

#include "clitext.h"
#include "commandguide.h"
#include "commandtree.h"
#include "progress.h"
#include "userconfig.h"
#include "vaulterror.h"
#include "zub/i18n.h"

namespace zub::vault {

namespace {

// The manual's sections that are not in the command tree, in roff.
std::string ManualTail() {
    std::string s;
    auto section = [&](const char* title) { s += ".SH " + CommandTree::RoffText(title) + "\n"; };
    auto item = [&](const char* style, const char* term, const char* text) {
        s += std::string(".TP\n") + style + " " + CommandTree::RoffText(term) + "\n" +
             CommandTree::RoffText(text) + "\n";
    };
    section(zub::tr("ENVIRONMENT"));
    item(".B", "VAULT_STORE", zub::tr("The store folder, unless --store is given."));
    item(".B", "VAULT_USER", zub::tr("The acting user, unless --user is given."));
    item(".B", "VISUAL, EDITOR",
         zub::tr("The editor a check-in message is written in when -m is not given on a "
                 "terminal (default vi)."));
    item(".B", "XDG_CONFIG_HOME", zub::tr("Where the user's file is (default ~/.config)."));
    section(zub::tr("FILES"));
    item(".I", "$XDG_CONFIG_HOME/vault/config",
         zub::tr("Defaults for the store and the user, lines \"store = DIR\" and \"user = "
                 "NAME\"; the environment and the options come first."));
    section(zub::tr("EXIT STATUS"));
    s += CommandTree::RoffText(zub::tr("0 success; 1 a failure, with one line \"vault: error "
                                       "NUMBER: TEXT\" on standard error; 2 bad arguments.")) +
         "\n";
    section(zub::tr("SEE ALSO"));
    s += CommandTree::RoffText(zub::tr("The README of the source tree, section vault(1).")) + "\n";
    return s;
}

}  // namespace

VaultApp::VaultApp(std::ostream& out, std::ostream& err)
    : out_(out),
      err_(err),
      app_(zub::tr("vault: the command line of the document vault.\n"
                   "Store: --store DIR, else $VAULT_STORE, else ./vaultdata. "
                   "Acting user: --user NAME, else $VAULT_USER."),
           "vault"),
      output_(out),
      session_(output_),
      init_(session_),
      users_(session_),
      repos_(session_),
      rights_(session_),
      strategy_(session_),
      docs_(session_),
      status_(session_),
      baselines_(session_),
      verify_(session_),
      log_(session_) {
    // Global options may follow the command too: vault repo list --store DIR.
    app_.fallthrough();
    app_.require_subcommand(1);
    // Commands made below copy these from their parent.
    app_.set_help_flag("-h,--help", zub::tr("Print this help message and exit"));
    app_.failure_message(CliText::Failure);
    app_.add_option("--store", session_.storeOption, zub::tr("Folder of the embedded store"));
    app_.add_option("--user", session_.userOption, zub::tr("Acting user"));
    app_.add_flag("--json", *output_.JsonFlag(), zub::tr("Print JSON (every command)"));
    app_.add_flag(
        "-q,--quiet", *output_.QuietFlag(),
        zub::tr("Print no sentences about changes and no progress; data and errors stay"));
    // Settings every command shares take effect before the command runs.
    app_.parse_complete_callback([this] { ApplySettings(); });
    app_.set_version_flag("--version", "vault " ZUB_VERSION_TEXT,
                          zub::tr("Display program version information and exit"));
    app_.footer(
        zub::tr("Every command takes --help. Failures print \"vault: error NUMBER: TEXT\" on "
                "standard error and exit 1; bad arguments exit 2."));
    init_.Register(app_);
    users_.Register(app_);
    repos_.Register(app_);
    rights_.Register(app_);
    strategy_.Register(app_);
    docs_.Register(app_);
    status_.Register(app_);
    baselines_.Register(app_);
    verify_.Register(app_);
    log_.Register(app_);
    RegisterHelp();
    CliText::Localize(app_);
}

void VaultApp::ApplySettings() {
    Progress::Silence(output_.quiet());
    // Options first, then the environment, then the user's file.
    auto unset = [](const std::string& option, const char* env) {
        const char* value = std::getenv(env);
        return option.empty() && (!value || !*value);
    };
    if (unset(session_.storeOption, "VAULT_STORE") || unset(session_.userOption, "VAULT_USER")) {
        const UserConfig config = UserConfig::Load();
        if (unset(session_.storeOption, "VAULT_STORE")) session_.storeOption = config.Store();
        if (unset(session_.userOption, "VAULT_USER")) session_.userOption = config.User();
    }
}

void VaultApp::RegisterHelp() {
    CLI::App* h =
        app_.add_subcommand("help", zub::tr("Show the help of a command: vault help doc checkout"));
    h->add_option("COMMAND", helpWords_, zub::tr("The command's words"));
    h->add_flag("--man", man_, zub::tr("Print the manual page vault(1) (roff)"));
    h->callback([this] { Help(); });

    CLI::App* c = app_.add_subcommand(
        "completion",
        zub::tr(
            "Print the shell completion script: eval \"$(vault completion bash)\", or save the zsh "
            "one as _vault in $fpath"));
    c->add_option("SHELL", shell_, zub::tr("bash or zsh"))
        ->required()
        ->check(CLI::IsMember({"bash", "zsh"}));
    c->callback(
        [this] { out_ << (shell_ == "bash" ? CommandTree::Bash(app_) : CommandTree::Zsh(app_)); });
}

void VaultApp::Help() {
    if (man_) {
        out_ << CommandTree::Man(app_, "vault " ZUB_VERSION_TEXT, ManualTail());
        return;
    }
    const CLI::App* command = CommandGuide::Find(app_, helpWords_);
    if (!command) {
        std::vector<std::string> args = helpWords_;
        const CommandGuide::Finding f = CommandGuide::Diagnose(app_, args);
        throw Usage(f.kind == CommandGuide::Finding::Kind::Unknown
                        ? CommandGuide::Message(f)
                        : zub::trf("vault: no command \"%s\"", helpWords_.front().c_str()));
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
        output_.Finish();
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
            err_ << CommandGuide::Message(f) << '\n' << zub::tr("See \"vault help\".") << std::endl;
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
        Fail(e);
        return kFailed;
    } catch (const std::exception& e) {
        Fail(VaultError(-1, e.what()));
        return kFailed;
    }
    return 0;
}

void VaultApp::Fail(const VaultError& e) {
    if (output_.json()) output_.Error(e.ToJson());
    out_.flush();
    err_ << e.Line() << std::endl;
}

}  // namespace zub::vault
