#include "docvault/bo.h"

#include <utility>

#include "dbcore/cdbaccessor.h"
#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/cdbconnstate.h"
#include "dbcore/qvparams.h"
#include "docvault/errors.h"
#include "internal/fileserverlogin.h"
#include "internal/operation.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

struct BO::Link {
    std::wstring server;
    long port = 0;
    std::wstring token;
    // Connected by ConnectLocal(a, b).
    bool local = false;
    std::wstring a;
    std::wstring b;
};

namespace {

const std::wstring& EmptyText() {
    static const std::wstring empty;
    return empty;
}

const std::vector<BOErrorEntry>& EmptyLog() {
    static const std::vector<BOErrorEntry> empty;
    return empty;
}

const std::shared_ptr<const ZUBDB::CDBConnState>& NoConnState() {
    static const auto none = std::make_shared<const ZUBDB::CDBConnState>();
    return none;
}

}  // namespace

BO::BO() : connState_(NoConnState()) { Init(); }

BO::BO(const BO& other)
    : key_(other.key_),
      link_(other.link_),
      errLog_(other.errLog_ ? std::make_unique<std::vector<BOErrorEntry>>(*other.errLog_)
                            : nullptr),
      connState_(other.connState_),
      errNumber_(other.errNumber_) {
    if (other.accessor_) accessor_ = other.MakeAccessorLikeThis();
}

BO& BO::operator=(const BO& other) {
    if (this == &other) return *this;
    // Build everything that can fail first so a throw leaves *this unchanged.
    std::unique_ptr<std::vector<BOErrorEntry>> log =
        other.errLog_ ? std::make_unique<std::vector<BOErrorEntry>>(*other.errLog_) : nullptr;
    std::unique_ptr<ZUBDB::CDBAccessor> accessor =
        other.accessor_ ? other.MakeAccessorLikeThis() : nullptr;
    key_ = other.key_;
    link_ = other.link_;
    errLog_ = std::move(log);
    connState_ = other.connState_;
    accessor_ = std::move(accessor);
    errNumber_ = other.errNumber_;
    return *this;
}

BO::~BO() = default;

void BO::Init() {
    errNumber_ = 0;
    errLog_.reset();
    accessor_.reset();
    key_.clear();
}

std::unique_ptr<ZUBDB::CDBAccessor> BO::MakeAccessorLikeThis() const {
    auto& creator = ZUBDB::CDBAccessorCreator::instance();
    if (link_ && link_->local) return creator.CreateAccessor(link_->a, link_->b);
    return creator.CreateAccessor(*connState_, Token());
}

int BO::Connect(const std::wstring& server, long port, std::wstring db, std::wstring token) {
    ZUBDB::CDBConnState state(server, port, std::move(db), L"", 0, L"", false,
                              ZUBDB::ZUB_APPNO_DOCVAULT, L"", false, 0, L"");
    state.set_token(std::move(token));
    state.set_usable(true);
    return Connect(state, L"");
}

int BO::Connect(const ZUBDB::CDBConnState& state, const std::wstring& db) {
    return OperationScope::Guard(*this, L"src/bo", L"BO::Connect", [&]() -> int {
        auto link = link_ ? std::make_shared<Link>(*link_) : std::make_shared<Link>();
        link->server = state.server();
        link->port = state.port();
        link->token = state.token();
        link_ = link;
        auto kept = std::make_shared<ZUBDB::CDBConnState>(state);
        if (!db.empty()) kept->set_database(db);
        connState_ = kept;
        if (!kept->usable()) {
            RaiseUnknownError(DRM::Err::kNotInitialised, DRM::Err::kNotInitialisedText);
            return DRM::Err::kNotInitialised;
        }
        accessor_.reset();
        // So that no user of the library has to register the store it opens.
        zub::vaultschema::ProductStore::Register();
        link->local = false;
        link->a.clear();
        link->b.clear();
        accessor_ = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(*connState_, link->token);
        return 0;
    });
}

int BO::ConnectLocal(const std::wstring& a, const std::wstring& b) {
    return OperationScope::Guard(*this, L"src/bo", L"BO::ConnectLocal", [&]() -> int {
        accessor_.reset();
        zub::vaultschema::ProductStore::Register();
        auto link = link_ ? std::make_shared<Link>(*link_) : std::make_shared<Link>();
        link->local = true;
        link->a = a;
        link->b = b;
        link_ = std::move(link);
        accessor_ = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(a, b);
        return 0;
    });
}

const std::wstring& BO::Server() const { return link_ ? link_->server : EmptyText(); }

long BO::Port() const { return link_ ? link_->port : 0; }

const std::wstring& BO::Token() const { return link_ ? link_->token : EmptyText(); }

std::wstring BO::ErrDesc() const {
    if (!errLog_ || errLog_->empty()) return L"";
    return errLog_->back().description;
}

const std::vector<BOErrorEntry>& BO::ErrorLog() const { return errLog_ ? *errLog_ : EmptyLog(); }

void BO::SetErr(long number, const std::wstring& desc, const std::wstring& s2,
                const std::wstring& s3, unsigned long n) {
    errNumber_ = number;
    if (!errLog_) errLog_ = std::make_unique<std::vector<BOErrorEntry>>();
    errLog_->push_back(BOErrorEntry{number, desc, s2, s3, n});
}

void BO::RaiseUnknownError(int number, const std::wstring& desc) {
    SetErr(number, desc, L"", L"", 0);
}

int BO::GetSysId(int idName, int n) {
    // The result is an id, so "not connected" cannot be told apart by its
    // number: it is recorded as usual but answered with -1.
    if (!Accessor()) {
        OperationScope::NotConnected(*this);
        return -1;
    }
    return OperationScope::Run(*this, L"src/bo", L"BO::GetSysId", [&]() -> int {
        ZUBDB::QVParams params(false);
        params.AddParam(0, L"idName", idName, false, L"=");
        params.AddParam(1, L"n", n, false, L"=");
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(rs, L"GetNewId ?,?", params, L"", 0, 0) != 0) {
            RecordDbError();
            return -1;
        }
        if (rs && rs->GetRecordCount() > 0) return static_cast<int>(rs->GetIntAt(0, 0));
        RaiseUnknownError(-1, zub::FormatBounded(4096, DRM::Err::kSysIdText, idName));
        return -1;
    });
}

int BO::RecordDbError() {
    if (!accessor_) return OperationScope::NotConnected(*this);
    long number = accessor_->errNumber();
    if (static_cast<int>(number) == 0) number = -1;
    SetErr(number, accessor_->errDescription(), L"", L"", 0);
    return static_cast<int>(number);
}

int BO::RollBackAndRecord() {
    if (!accessor_) return OperationScope::NotConnected(*this);
    long number = accessor_->errNumber();
    const std::wstring text = accessor_->errDescription();
    accessor_->RollbackTrans();
    if (static_cast<int>(number) == 0) number = -1;
    SetErr(number, text, L"", L"", 0);
    return static_cast<int>(number);
}

int BO::RecordNfsError() {
    NFS::CNFS_Cmd* cmd = FileServerLogin::Get().Cmd();
    wchar_t* raw = nullptr;
    cmd->GetLastError(&raw);
    std::unique_ptr<wchar_t, void (*)(wchar_t*)> text(raw, &NFS::CNFS_Cmd::FreeText);
    std::wstring desc = text ? std::wstring(text.get()) : std::wstring();
    long number = cmd->GetErrorNumber();
    if (static_cast<int>(number) == 0) number = -1;
    SetErr(number, desc, L"", L"", 0);
    return static_cast<int>(number);
}

long BO::InsertedId(long selectedMax) const {
    if (accessor_) {
        long long id = accessor_->LastInsertId();
        if (id > 0) return static_cast<long>(id);
    }
    return selectedMax;
}
