#include "internal/rootownership.h"

#include <map>
#include <memory>
#include <mutex>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"
#include "docvault/errors.h"
#include "internal/boaccess.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/rootowner.h"
#include "zub/text.h"

namespace DRM {

namespace {

std::mutex g_mutex;
// A store's identity never changes once written, so only found ones are kept.
std::map<std::wstring, std::wstring> g_ids;

// The folder of an embedded store's place, with a closing '/'.
std::wstring StoreFolder(const std::wstring& place) {
    const std::wstring prefix = L"sqlite:";
    if (place.compare(0, prefix.size(), prefix) != 0) return {};
    std::wstring folder = place.substr(prefix.size());
    if (folder.empty() || folder.back() != L'/') folder += L'/';
    return folder;
}

}  // namespace

std::wstring RootOwnership::StoreId(BO& bo) {
    const std::wstring& server = BOAccess::Server(bo);
    {
        const std::lock_guard lock(g_mutex);
        if (auto found = g_ids.find(server); found != g_ids.end()) return found->second;
    }
    ZUBDB::QVSvrInfo system(server, BOAccess::Port(bo), L"QVSystem", L"");
    std::unique_ptr<ZUBDB::CDBAccessor> accessor =
        ZUBDB::CDBAccessorCreator::instance().CreateAccessor(system, BOAccess::Token(bo));
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (!accessor ||
        accessor->SelectRows(rs, L"QV_SysInfo", L"StoreId", ZUBDB::QVParams(false), L"", L"", L"",
                             0, 0) != 0 ||
        !rs || rs->IsEOF())
        return {};
    std::wstring id = rs->GetStringAt(0);
    if (!id.empty()) {
        const std::lock_guard lock(g_mutex);
        g_ids[server] = id;
    }
    return id;
}

void RootOwnership::Forget() {
    const std::lock_guard lock(g_mutex);
    g_ids.clear();
}

std::optional<RootOwnership::Refusal> RootOwnership::Check(BO& bo, const std::wstring& server,
                                                           unsigned short port) {
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    std::wstring text;
    if (cmd->rootOwner(server, port, text) != 0) {
        // A damaged owner file must not open the root to everyone.
        if (cmd->GetErrorNumber() != NFS::NFS_E_IO) return std::nullopt;
        wchar_t* raw = nullptr;
        cmd->GetLastError(&raw);
        Refusal refusal{NFS::NFS_E_IO, raw ? raw : L""};
        NFS::CNFS_Cmd::FreeText(raw);
        return refusal;
    }
    if (text.empty()) return std::nullopt;
    std::optional<NFS::RootOwner> owner;
    try {
        owner = NFS::RootOwner::Parse(text);
    } catch (...) {}
    std::wstring place = ZUBDB::EmbeddedStorePlace(BOAccess::Server(bo));
    // A store on a database server is where that server is.
    if (place.empty()) place = L"server:" + BOAccess::Server(bo);
    if (owner && owner->storeId == StoreId(bo)) {
        if (owner->place == place) return std::nullopt;
        // Moved or copied together with the store: the root in its own folder
        // is its own, wherever the store was when it claimed it.
        std::wstring root;
        const std::wstring folder = StoreFolder(place);
        if (!folder.empty() && cmd->where(server, port, L"", root) == 0 &&
            root.compare(0, 5, L"file:") == 0 && root.compare(5, folder.size(), folder) == 0) {
            // From now on the root names this place, so the store it was
            // copied from no longer takes it for its own. A failure changes
            // nothing: the next use tries again.
            cmd->claimRoot(server, port, NFS::RootOwner{owner->storeId, place}.Text());
            return std::nullopt;
        }
    }
    std::wstring root;
    if (cmd->where(server, port, L"", root) != 0) root = server;
    return Refusal{Err::kForeignRoot, zub::FormatBounded(2048, Err::kForeignRootText, root.c_str(),
                                                         (owner ? owner->place : text).c_str())};
}

}  // namespace DRM
