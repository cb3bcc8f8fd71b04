#include "backendfixture.h"

namespace zub::vaultfs::test {

BackendFixture::BackendFixture() {
    root = tree / "root";
    std::filesystem::create_directory(root);
    server = L"file:" + Wide(root);
}

ContractFixture::ContractFixture() {
    if (!webDav()) return;
    // The server's user reaches the root through the test's folder.
    std::filesystem::permissions(tree.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    zubtest::WebDavServer::Options options;
    options.documents = root;
    dav = std::make_unique<zubtest::WebDavServer>(options);
    server = L"http://127.0.0.1:" + std::to_wstring(dav->port());
    cmd->logIn(server, 0, L"", Wide(options.user), Wide(options.password));
}

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Local ? "Local" : "WebDav";
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
