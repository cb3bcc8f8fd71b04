#include "initcommand.h"

#include "store.h"

void InitCommand::Register(CLI::App& app) {
    CLI::App* c = app.add_subcommand(
        "init",
        "Make a new embedded store: both databases, the default version strategy, "
        "the administrator \"system\" and the file-server root");
    c->add_option("DIR", dir_, "Folder of the store (default: --store, $VAULT_STORE, ./vaultdata)");
    c->add_option("--group", group_,
                  "Share the store with this group (folders 2770, files 660); without it the "
                  "store is private to its owner (700, 600)");
    c->callback([this] { Run(); });
}

void InitCommand::Run() {
    const Store store(Store::Locate(dir_.empty() ? s_.storeOption : dir_));
    store.Init(group_);
    const std::string dir = store.Dir().string();
    Output& out = s_.out();
    out.Say("Initialised a vault store in " + dir);
    out.Say("  product database  " + store.ProductDbFile().string());
    out.Say("  system database   " + store.SystemDbFile().string());
    out.Say("  file-server root  " + store.FilesRoot().string());
    out.Say("The administrator is the user \"system\". To work with this store:");
    out.Say("  export VAULT_STORE=" + dir + " VAULT_USER=system");
    out.Say("  vault repo create NAME");
}
