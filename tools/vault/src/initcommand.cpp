#include "initcommand.h"

#include <cstdlib>

#include "store.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

void InitCommand::Register(CLI::App& app) {
    CLI::App* c = app.add_subcommand(
        "init", zub::tr("Make a new embedded store: both databases, the default version strategy, "
                        "the administrator \"system\" and the file-server root"));
    c->add_option("DIR", dir_,
                  zub::tr("Folder of the store (default: --store, $VAULT_STORE, ./vaultdata)"));
    c->add_option(
        "--group", group_,
        zub::tr("Share the store with this group (folders 2770, files 660); without it the "
                "store is private to its owner (700, 600)"));
    c->add_option(
        "--server", server_,
        zub::tr("Make (or join) the store on this PostgreSQL server, HOST[:PORT] or a socket "
                "folder; DIR is then the store file to write. The login comes from --user, "
                "PGUSER, PGPASSWORD or ~/.pgpass, never from the store file"));
    c->add_option(
        "--files", files_,
        zub::tr("Where the repositories' files live: a WebDAV server "
                "(http(s)://HOST[:PORT]/BASE, its user \"system\" having the password in "
                "VAULT_FILES_PASSWORD), or with --server a folder every workstation reaches "
                "under this path (default: FILE.files beside the store file)"));
    c->add_option("--user", user_, zub::tr("With --server: the database login name"));
    c->callback([this] { Run(); });
}

std::wstring InitCommand::FilesPassword() {
    // From the environment: a password never shows in the process list.
    const char* password = std::getenv("VAULT_FILES_PASSWORD");
    return zub::Utf8ToWide(password != nullptr ? password : "");
}

void InitCommand::RunOnServer() {
    namespace fs = std::filesystem;
    Store store(Store::Locate(dir_.empty() ? s_.storeOption : dir_));
    Store::ServerStoreFile where;
    Store::ParseServer(server_, where.server, where.port);
    where.user = user_;
    where.files = files_;
    if (!where.RemoteFiles())
        where.files = fs::absolute(files_.empty() ? store.Dir().string() + ".files" : files_)
                          .lexically_normal();
    store.InitOnServer(where, FilesPassword());
    Output& out = s_.out();
    const std::string file = store.Dir().string();
    out.Say(store.joined ? zub::trf("Joined the vault store on %s", server_.c_str())
                         : zub::trf("Initialised a vault store on %s", server_.c_str()));
    out.Say(zub::trf("  store file        %s", file.c_str()));
    out.Say(zub::trf("  file-server root  %s", where.files.string().c_str()));
    out.Say(zub::tr("To work with this store:"));
    out.Say("  export VAULT_STORE=" + file + " VAULT_USER=system");
}

void InitCommand::Run() {
    if (!server_.empty()) {
        RunOnServer();
        return;
    }
    const Store store(Store::Locate(dir_.empty() ? s_.storeOption : dir_));
    if (files_.empty()) {
        store.Init(group_);
    } else {
        store.InitWithFiles(group_, zub::Utf8ToWide(files_), FilesPassword());
    }
    const std::string dir = store.Dir().string();
    Output& out = s_.out();
    out.Say(zub::trf("Initialised a vault store in %s", dir.c_str()));
    out.Say(zub::trf("  product database  %s", store.ProductDbFile().string().c_str()));
    out.Say(zub::trf("  system database   %s", store.SystemDbFile().string().c_str()));
    out.Say(
        zub::trf("  file-server root  %s",
                 (files_.empty() ? store.FilesRoot().string() : zub::WideToUtf8(store.FileServer()))
                     .c_str()));
    out.Say(zub::tr("The administrator is the user \"system\". To work with this store:"));
    out.Say("  export VAULT_STORE=" + dir + " VAULT_USER=system");
    out.Say("  vault repo create NAME");
}

}  // namespace zub::vault
