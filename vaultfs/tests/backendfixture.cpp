#include "backendfixture.h"

namespace zub::vaultfs::test {

BackendFixture::BackendFixture() {
    root = tree / "root";
    std::filesystem::create_directory(root);
    server = L"file:" + Wide(root);
}

std::wstring ServeOnNginx(const std::filesystem::path& folder) {
    // Started by the first case that needs it, stopped when the program ends
    // (or by its watchdog when the program dies).
    static const auto nginx = [] {
        zub::testsupport::WebDavServer::Options options;
        options.kind = zub::testsupport::WebDavServer::Kind::Nginx;
        return std::make_unique<zub::testsupport::WebDavServer>(options);
    }();
    // The server's user reaches the folder through the test's folder.
    std::filesystem::permissions(folder.parent_path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    const std::wstring server =
        L"http://127.0.0.1:" + std::to_wstring(nginx->port()) + Wide(nginx->Serve(folder));
    const auto& options = nginx->options();
    NFS::CNFS_Cmd::Instance()->logIn(server, 0, L"", Wide(options.user), Wide(options.password));
    return server;
}

ContractFixture::ContractFixture() {
    if (!webDav()) return;
    if (nginx()) {
        server = ServeOnNginx(root);
        return;
    }
    // The server's user reaches the root through the test's folder.
    std::filesystem::permissions(tree.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    zub::testsupport::WebDavServer::Options options;
    options.documents = root;
    dav = std::make_unique<zub::testsupport::WebDavServer>(options);
    server = L"http://127.0.0.1:" + std::to_wstring(dav->port());
    cmd->logIn(server, 0, L"", Wide(options.user), Wide(options.password));
}

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    switch (info.param) {
        case Backend::Local:
            return "Local";
        case Backend::WebDav:
            return "WebDav";
        case Backend::Nginx:
            return "Nginx";
    }
    return "?";
}

std::pair<long, std::wstring> BackendFixture::LastError() {
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    wchar_t* text = nullptr;
    cmd->GetLastError(&text);
    std::wstring copy = text != nullptr ? text : L"<none>";
    NFS::CNFS_Cmd::FreeText(text);
    return {cmd->GetErrorNumber(), copy};
}

}  // namespace zub::vaultfs::test
