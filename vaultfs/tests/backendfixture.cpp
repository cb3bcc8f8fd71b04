#include "backendfixture.h"

namespace vaultfs_test {

BackendFixture::BackendFixture() {
    root = tree / "root";
    std::filesystem::create_directory(root);
    server = L"file:" + Wide(root);
}

std::pair<long, std::wstring> BackendFixture::LastError() {
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    wchar_t* text = nullptr;
    cmd->GetLastError(&text);
    std::wstring copy = text != nullptr ? text : L"<none>";
    NFS::CNFS_Cmd::FreeText(text);
    return {cmd->GetErrorNumber(), copy};
}

}  // namespace vaultfs_test
