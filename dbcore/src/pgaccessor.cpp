#include "pgaccessor.h"

#include <cstdint>
#include <cwctype>
#include <deque>
#include <map>
#include <new>

#include "dbcore/sqliteerror.h"
#include "pgconnectionpool.h"
#include "pgdialect.h"
#include "pgsession.h"
#include "procedurecall.h"
#include "sqlbuilder.h"
#include "zub/i18n.h"
#include "zub/qv_exception.h"
#include "zub/text.h"

namespace ZUBDB {
namespace {

// The store's writer lock: every unit of work holds it until it ends.
const char* const kTakeWriterLock = "SELECT pg_advisory_xact_lock(7305070461)";
// Held while a connection brings the store up to date, so workstations
// connecting at once upgrade it once: the others wait, then find it done.
const char* const kTakeUpgradeLock = "SELECT pg_advisory_xact_lock(7305070462)";

const char* const kKeyColumnsSql =
    "SELECT c.relname, a.attname FROM pg_attribute a "
    "JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
    "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
    "WHERE n.nspname = current_schema() AND c.relkind = 'r' AND a.attnum > 0 "
    "AND NOT a.attisdropped "
    "AND (a.attidentity <> '' OR pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%')";

enum class Mode { Read, Write, CommitsItself };

// A procedure's name as the store's definition keys it: lower case.
std::wstring ProcedureKey(const ProcedureCall& call) {
    std::wstring key = call.name();
    for (wchar_t& ch : key) ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    return key;
}

// A table as the catalog names it: unquoted, unbracketed, lower case.
std::string CatalogName(const std::wstring& table) {
    std::string name;
    for (wchar_t c : table) {
        if (c == L'[' || c == L']' || c == L'"' || std::iswspace(static_cast<wint_t>(c))) continue;
        name += zub::WideToUtf8(
            std::wstring(1, static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)))));
    }
    return name;
}

}  // namespace

struct PgAccessor::Impl {
    PgTarget target;
    std::shared_ptr<const DatabaseDefinition> definition;
    std::unique_ptr<PgConnection> conn;
    std::map<std::string, std::string> keyColumns;
    bool inUnit = false;
    // The open unit went with a lost connection: until the caller ends it,
    // nothing may run as if it were still there.
    bool unitLost = false;
    long long lastInsertId = 0;
    long long rowsAffected = -1;
    // The next write carries the unit's COMMIT.
    bool commitNext = false;
    // BeginTrans was called: the next statement opens the unit.
    bool beginPending = false;
    long long tripsDone = 0;
    long long setupTrips = 0;
    // Answers of ReadAhead, for the reads that come next in this order.
    struct Ahead {
        PgStatement statement;
        PgOutcome outcome;
    };
    std::deque<Ahead> ahead;
    // Where an idle connection of this database and definition is kept.
    std::string poolKey;

    // A kept connection of this database if there is one, else a new one.
    void Open() {
        poolKey.clear();
        for (std::size_t i = 0; i < target.keywords.size(); ++i)
            poolKey += target.keywords[i] + '=' + target.values[i] + '\n';
        poolKey += std::to_string(reinterpret_cast<std::uintptr_t>(definition.get()));
        if (auto idle = PgConnectionPool::Take(poolKey)) {
            conn = std::move(idle->conn);
            keyColumns = std::move(idle->keyColumns);
            setupTrips = conn->roundTrips();
            return;
        }
        Connect();
    }

    // Keeps the connection for the next accessor when nothing is under way
    // on it; otherwise closing it rolls back what was not committed.
    void GiveBack() noexcept {
        try {
            if (!conn || inUnit || unitLost || !conn->Idle()) return;
            ahead.clear();
            PgConnectionPool::Give(poolKey, {std::move(conn), std::move(keyColumns), definition});
        } catch (...) {
            // Closed with the accessor instead.
        }
    }

    void Connect() {
        // Kept only once it is ready: a failed upgrade leaves no connection
        // behind in an aborted transaction.
        std::unique_ptr<PgConnection> fresh = target.Connect();
        std::vector<PgStatement> reads{{kKeyColumnsSql, {}}};
        // First, so the key columns of tables it adds are known below; in one
        // transaction, so an upgrade cut short leaves the store as it was.
        if (definition->serverUpgrade) {
            auto locked = fresh->Batch({{"BEGIN", {}}, {kTakeUpgradeLock, {}}});
            for (const PgOutcome& o : locked)
                if (!o.ok) Fail(o, kTakeUpgradeLock);
            PgSession session(*fresh);
            definition->serverUpgrade(session);
            reads.insert(reads.begin(), {"COMMIT", {}});
        }
        auto outcomes = fresh->Batch(reads);
        if (!outcomes.front().ok) Fail(outcomes.front(), "COMMIT");
        conn = std::move(fresh);
        auto& keys = outcomes.back();
        keyColumns.clear();
        if (keys.ok) {
            CDBRecordset& rows = keys.rows;
            for (; !rows.IsEOF(); rows.MoveNext())
                keyColumns[zub::WideToUtf8(rows.GetStringAt(0))] =
                    zub::WideToUtf8(rows.GetStringAt(1));
        }
        setupTrips = conn->roundTrips();
    }

    void Drop() {
        ahead.clear();
        if (conn) tripsDone += conn->roundTrips() - setupTrips;
        conn.reset();
        if (inUnit) unitLost = true;
        inUnit = false;
    }

    PgError LostUnit() const {
        return PgError(PgError::kConnectionFailure,
                       "the unit of work was lost with the connection to the PostgreSQL server " +
                           target.place + "; nothing of it was committed");
    }

    void RefuseAfterLoss() const {
        if (unitLost) throw LostUnit();
    }

    PgConnection& Conn() {
        if (!conn || conn->Broken()) {
            Drop();
            Connect();
        }
        return *conn;
    }

    // Sends a batch outside a unit of work. A connection that went while it
    // lay idle (a server restarted since) is replaced and the batch sent once
    // more: nothing of it can have been committed, as it either reads or
    // opens a unit that only a later commit ends.
    std::vector<PgOutcome> SendOutsideUnit(const std::vector<PgStatement>& batch, bool mayRetry) {
        // A batch that commits is never sent twice: one lost while idle is
        // found before it goes, without a round trip.
        if (!mayRetry && conn && !conn->Broken() && !conn->StillThere()) Drop();
        const bool reused = conn && !conn->Broken();
        try {
            return Conn().Batch(batch);
        } catch (const PgError&) {
            Drop();
            if (!reused || !mayRetry) throw;
        }
        try {
            return Conn().Batch(batch);
        } catch (const PgError&) {
            Drop();
            throw;
        }
    }

    [[noreturn]] void Fail(const PgOutcome& o, const std::string& sql) {
        throw PgError(
            o.sqlState,
            zub::Format(ZUB_N_("PostgreSQL server %s: %s (SQLSTATE %s) in: %s"),
                        target.place.c_str(), o.message.c_str(), o.sqlState.c_str(), sql.c_str()));
    }

    // The answer read ahead for `statement` when it is the next one due;
    // any other call drops what was read ahead.
    bool AnsweredAhead(const PgStatement& statement, Mode mode, PgOutcome& out) {
        if (ahead.empty()) return false;
        const Ahead& next = ahead.front();
        if (mode != Mode::Read || inUnit || beginPending || next.statement.sql != statement.sql ||
            next.statement.args != statement.args) {
            ahead.clear();
            return false;
        }
        out = std::move(ahead.front().outcome);
        ahead.pop_front();
        return true;
    }

    // One statement under the rules of the unit of work, in one round trip.
    PgOutcome Statement(const PgStatement& statement, Mode mode) {
        RefuseAfterLoss();
        if (PgOutcome early; AnsweredAhead(statement, mode, early)) return early;
        std::vector<PgStatement> batch;
        std::size_t at = 0;
        // The unit BeginTrans asked for starts with its first statement.
        const bool begun = !inUnit && beginPending;
        beginPending = false;
        const bool opens = !inUnit && (mode == Mode::Write || begun);
        const bool commits = commitNext && mode == Mode::Write;
        if (mode == Mode::Write) commitNext = false;
        if (inUnit) {
            batch = {{"SAVEPOINT zub_statement", {}}, statement, {"RELEASE zub_statement", {}}};
            at = 1;
        } else if (begun) {
            batch = {{"BEGIN", {}},
                     {kTakeWriterLock, {}},
                     {"SAVEPOINT zub_statement", {}},
                     statement,
                     {"RELEASE zub_statement", {}}};
            at = 3;
        } else if (opens) {
            batch = {{"BEGIN", {}}, {kTakeWriterLock, {}}, statement};
            at = 2;
        } else {
            batch = {statement};
        }
        if (commits) batch.push_back({"COMMIT", {}});
        std::vector<PgOutcome> outcomes;
        if (inUnit) {
            try {
                outcomes = Conn().Batch(batch);
            } catch (const PgError&) {
                Drop();
                throw;
            }
        } else {
            outcomes = SendOutsideUnit(batch, mode != Mode::CommitsItself && !commits);
        }
        PgConnection& c = *conn;
        if (opens && outcomes[0].ok) inUnit = true;
        // A COMMIT that failed ended the unit all the same.
        if (commits && !outcomes.back().ok && !outcomes.back().skipped) {
            inUnit = false;
            Fail(outcomes.back(), "COMMIT");
        }
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            const PgOutcome& o = outcomes[i];
            if (o.ok || o.skipped) continue;
            // Undo the statement alone, or the unit it opened (all of it
            // while the unit had not got its savepoint yet).
            const bool whole = opens && !(begun && i > 2);
            const std::vector<PgStatement> undo =
                whole ? std::vector<PgStatement>{{"ROLLBACK", {}}}
                      : std::vector<PgStatement>{{"ROLLBACK TO SAVEPOINT zub_statement", {}},
                                                 {"RELEASE zub_statement", {}}};
            if (inUnit) {
                try {
                    c.Batch(undo);
                } catch (const PgError&) {
                    Drop();
                }
                if (whole) inUnit = false;
            }
            Fail(o, begun && i < 2 ? std::string(kTakeWriterLock) : statement.sql);
        }
        if (commits) inUnit = false;
        return std::move(outcomes[at]);
    }

    // Ends the open unit on the connection it was opened on.
    void End(const char* sql) {
        inUnit = false;
        ahead.clear();
        if (!conn)
            throw PgError(PgError::kConnectionFailure,
                          zub::Format(ZUB_N_("no connection to %s"), target.place.c_str()));
        PgConnection& c = *conn;
        std::vector<PgOutcome> outcomes;
        try {
            outcomes = c.Batch({{sql, {}}});
        } catch (const PgError&) {
            Drop();
            throw;
        }
        if (!outcomes.front().ok) Fail(outcomes.front(), sql);
    }

    static PgStatement Translated(const SqlText& text) {
        return {PgDialect::Translate(text.sql), text.binds};
    }

    // A statement of ExecuteSql that calls no procedure of the store.
    static PgStatement SqlStatement(const std::wstring& sql, const QVParams& params) {
        bool blank = true;
        for (wchar_t ch : sql) blank = blank && std::iswspace(static_cast<wint_t>(ch)) != 0;
        if (blank) throw PgError("42601", ZUB_N_("no statement given"));
        // Raw values are expressions put in place; the others are bound.
        std::vector<std::string> slots;
        PgStatement statement;
        for (const QVParam& p : params) {
            if (p.isText && p.raw) {
                slots.push_back("(" + PgDialect::Translate(zub::WideToUtf8(p.textValue)) + ")");
                continue;
            }
            if (p.isText)
                statement.args.emplace_back(p.textValue);
            else
                statement.args.emplace_back(p.intValue);
            slots.push_back("$" + std::to_string(statement.args.size()));
        }
        const std::string text = zub::WideToUtf8(sql);
        statement.sql = PgDialect::Translate(text, [&](int index) {
            return index >= 0 && static_cast<std::size_t>(index) < slots.size()
                       ? slots[static_cast<std::size_t>(index)]
                       : "$" + std::to_string(index + 1);
        });
        return statement;
    }

    // A read of ReadAhead as its own call will send it; false for one that
    // may write or calls a procedure.
    bool ReadStatement(const CDBRead& read, PgStatement& out) const {
        if (read.sql.empty()) {
            out = Translated(SqlBuilder::Select(read.table, read.columns, read.params, read.order));
            return true;
        }
        if (auto call = ProcedureCall::Split(read.sql))
            if (definition->serverProcedures.count(ProcedureKey(*call)) != 0) return false;
        out = SqlStatement(read.sql, read.params);
        return PgDialect::IsQuery(out.sql);
    }
};

PgAccessor::PgAccessor(PgTarget target, std::shared_ptr<const DatabaseDefinition> definition)
    : impl_(std::make_unique<Impl>()) {
    if (!definition)
        throw std::invalid_argument(
            zub::Format(ZUB_N_("no definition given for the database %s"), target.place.c_str()));
    impl_->target = std::move(target);
    impl_->definition = std::move(definition);
    impl_->Open();
}

PgAccessor::~PgAccessor() { impl_->GiveBack(); }

template <class Work>
int PgAccessor::Run(Work&& work) {
    SetError(0, std::wstring());
    long number = 0;
    try {
        work();
        return 0;
    } catch (const PgError& e) {
        number = e.number();
        SetError(number, zub::Utf8ToWide(e.what()));
    } catch (const SqliteError& e) {
        number = e.code();
        SetError(number, zub::Utf8ToWide(e.what()));
    } catch (const std::bad_alloc&) {
        number = PgError::NumberOf("53200");
        SetError(number, ZUB_N_(L"out of memory"));
    } catch (const ZUBBASE::QV_Exception& e) {
        number = PgError::NumberOf("XX000");
        SetError(number, e.Message());
    } catch (const std::exception& e) {
        number = PgError::NumberOf("XX000");
        SetError(number, zub::NarrowToWide(e.what()));
    } catch (...) {
        number = PgError::NumberOf("XX000");
        SetError(number, ZUB_N_(L"unknown exception"));
    }
    return static_cast<int>(number);
}

int PgAccessor::InsertRow(const std::wstring& table, const QVParams& values, const std::wstring&,
                          const std::wstring&) {
    return Run([&] {
        PgStatement statement = impl_->Translated(SqlBuilder::Insert(table, values));
        auto key = impl_->keyColumns.find(CatalogName(table));
        const bool keyed = key != impl_->keyColumns.end();
        if (keyed) statement.sql += " RETURNING \"" + key->second + "\"";
        PgOutcome o = impl_->Statement(statement, Mode::Write);
        impl_->lastInsertId = keyed && !o.rows.IsEOF() ? o.rows.GetInt64At(0) : 0;
        impl_->rowsAffected = o.affected;
    });
}

int PgAccessor::UpdateRows(const std::wstring& table, const QVParams& values,
                           const QVParams& conditions, const std::wstring&, const std::wstring&) {
    return Run([&] {
        impl_->rowsAffected = -1;
        impl_->rowsAffected =
            impl_
                ->Statement(impl_->Translated(SqlBuilder::Update(table, values, conditions)),
                            Mode::Write)
                .affected;
    });
}

int PgAccessor::DeleteRows(const std::wstring& table, const QVParams& conditions,
                           const std::wstring&, const std::wstring&) {
    return Run([&] {
        impl_->rowsAffected = -1;
        impl_->rowsAffected =
            impl_->Statement(impl_->Translated(SqlBuilder::Delete(table, conditions)), Mode::Write)
                .affected;
    });
}

int PgAccessor::SelectRows(std::unique_ptr<CDBRecordset>& out, const std::wstring& table,
                           const std::wstring& columns, const QVParams& conditions,
                           const std::wstring& order, const std::wstring&, const std::wstring&, int,
                           int) {
    out.reset();
    return Run([&] {
        PgOutcome o = impl_->Statement(
            impl_->Translated(SqlBuilder::Select(table, columns, conditions, order)), Mode::Read);
        out = std::make_unique<CDBRecordset>(std::move(o.rows));
    });
}

int PgAccessor::ExecuteSql(std::unique_ptr<CDBRecordset>& out, const std::wstring& sql,
                           const QVParams& params, const std::wstring&, int, int) {
    out.reset();
    return Run([&] {
        if (auto call = ProcedureCall::Split(sql)) {
            const std::wstring key = ProcedureKey(*call);
            auto found = impl_->definition->serverProcedures.find(key);
            if (found != impl_->definition->serverProcedures.end()) {
                PgStatement statement;
                statement.args = call->Arguments(params);
                statement.sql = "SELECT * FROM " + zub::WideToUtf8(key) + "(";
                for (std::size_t i = 0; i < statement.args.size(); ++i)
                    statement.sql += (i == 0 ? "$" : ", $") + std::to_string(i + 1);
                statement.sql += ")";
                const Mode mode = found->second == ProcedureKind::ReadOnly ? Mode::Read
                                  : found->second == ProcedureKind::Writes ? Mode::Write
                                                                           : Mode::CommitsItself;
                out = std::make_unique<CDBRecordset>(impl_->Statement(statement, mode).rows);
                return;
            }
        }
        const PgStatement statement = impl_->SqlStatement(sql, params);
        PgOutcome o = impl_->Statement(
            statement, PgDialect::IsQuery(statement.sql) ? Mode::Read : Mode::Write);
        out = std::make_unique<CDBRecordset>(std::move(o.rows));
    });
}

int PgAccessor::BeginTrans() {
    return Run([&] {
        impl_->ahead.clear();
        impl_->RefuseAfterLoss();
        // Sent with the unit's first statement: a unit costs no round trip
        // of its own, and one with no statement sends nothing.
        if (!impl_->inUnit) impl_->beginPending = true;
    });
}

int PgAccessor::CommitTrans() {
    return Run([&] {
        impl_->ahead.clear();
        impl_->commitNext = false;
        impl_->beginPending = false;
        if (impl_->unitLost) {
            // The commit reports the loss, and ends the lost unit.
            impl_->unitLost = false;
            throw impl_->LostUnit();
        }
        if (impl_->inUnit) impl_->End("COMMIT");
    });
}

int PgAccessor::RollbackTrans() {
    return Run([&] {
        impl_->ahead.clear();
        impl_->commitNext = false;
        impl_->beginPending = false;
        impl_->unitLost = false;
        if (impl_->inUnit) impl_->End("ROLLBACK");
    });
}

long long PgAccessor::LastInsertId() const { return impl_->lastInsertId; }

long long PgAccessor::RowsAffected() const { return impl_->rowsAffected; }

void PgAccessor::CommitWithNextWrite() { impl_->commitNext = true; }

void PgAccessor::ReadAhead(const std::vector<CDBRead>& reads) {
    Impl& i = *impl_;
    i.ahead.clear();
    if (reads.size() < 2 || i.inUnit || i.beginPending || i.unitLost) return;
    try {
        std::vector<PgStatement> batch(reads.size());
        for (std::size_t n = 0; n < reads.size(); ++n)
            if (!i.ReadStatement(reads[n], batch[n])) return;
        std::vector<PgOutcome> outcomes = i.SendOutsideUnit(batch, true);
        for (const PgOutcome& o : outcomes)
            if (!o.ok) return;
        for (std::size_t n = 0; n < batch.size(); ++n)
            i.ahead.push_back({std::move(batch[n]), std::move(outcomes[n])});
    } catch (const std::exception&) {
        // The reads are made again by their own calls, which report it.
        i.ahead.clear();
    }
}

bool PgAccessor::InTransaction() const { return impl_->inUnit || impl_->beginPending; }

long long PgAccessor::RoundTrips() const {
    return impl_->tripsDone + (impl_->conn ? impl_->conn->roundTrips() - impl_->setupTrips : 0);
}

}  // namespace ZUBDB
