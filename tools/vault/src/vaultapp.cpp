#include "vaultapp.h"

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
      verify_(session_),
      log_(session_) {
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
    log_.Register(app_);
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
    } catch (const CLI::ParseError& e) {
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
