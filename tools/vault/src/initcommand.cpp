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
    c->add_option("--server", server_,
                  "Make (or join) the store on this PostgreSQL server, HOST[:PORT] or a socket "
                  "folder; DIR is then the store file to write. The login comes from --user, "
                  "PGUSER, PGPASSWORD or ~/.pgpass, never from the store file");
    c->add_option("--files", files_,
                  "With --server: the file-server root, a folder every workstation reaches "
                  "under this path (default: FILE.files beside the store file)");
    c->add_option("--user", user_, "With --server: the database login name");
    c->callback([this] { Run(); });
}

void InitCommand::RunOnServer() {
    namespace fs = std::filesystem;
    Store store(Store::Locate(dir_.empty() ? s_.storeOption : dir_));
    Store::ServerStoreFile where;
    Store::ParseServer(server_, where.server, where.port);
    where.user = user_;
    where.files =
        fs::absolute(files_.empty() ? store.Dir().string() + ".files" : files_).lexically_normal();
    store.InitOnServer(where);
    Output& out = s_.out();
    const std::string file = store.Dir().string();
    out.Say(
        std::string(store.joined ? "Joined the vault store on " : "Initialised a vault store on ") +
        server_);
    out.Say("  store file        " + file);
    out.Say("  file-server root  " + where.files.string());
    out.Say("To work with this store:");
    out.Say("  export VAULT_STORE=" + file + " VAULT_USER=system");
}

void InitCommand::Run() {
    if (!server_.empty()) {
        RunOnServer();
        return;
    }
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
