#include "sqliteaccessor.h"

#include <sqlite3.h>

#include <exception>
#include <new>
#include <stdexcept>

#include "dbcore/sqliteerror.h"
#include "procedurecall.h"
#include "sqlbuilder.h"
#include "sqlitedb.h"
#include "sqlitedbsession.h"
#include "sqlitestatement.h"
#include "zub/i18n.h"
#include "zub/qv_exception.h"
#include "zub/text.h"

namespace ZUBDB {

struct SqliteAccessor::Impl {
    SqliteDb db;
    std::shared_ptr<const DatabaseDefinition> definition;
    long long lastInsertId = 0;

    // Runs a write in the open unit of work, or in a new one that it rolls
    // back again when the write fails.
    template <class Work>
    void Write(Work&& work) {
        if (db.inTransaction()) {
            work();
            return;
        }
        db.exec("BEGIN IMMEDIATE");
        try {
            work();
        } catch (...) {
            db.rollbackQuietly();
            throw;
        }
    }

    // All or nothing inside the open unit, which stays the caller's.
    template <class Work>
    void InSavepoint(Work&& work) {
        db.exec("SAVEPOINT zub_procedure");
        try {
            work();
        } catch (...) {
            if (db.inTransaction())
                sqlite3_exec(db.get(), "ROLLBACK TO zub_procedure; RELEASE zub_procedure", nullptr,
                             nullptr, nullptr);
            throw;
        }
        db.exec("RELEASE zub_procedure");
    }

    // Durable at once when no unit is open; otherwise part of it.
    template <class Work>
    void SelfCommitting(Work&& work) {
        if (db.inTransaction()) {
            InSavepoint(work);
            return;
        }
        db.exec("BEGIN IMMEDIATE");
        try {
            work();
            db.exec("COMMIT");
        } catch (...) {
            db.rollbackQuietly();
            throw;
        }
    }

    CDBRecordset RunStatement(SqliteStatement& statement) {
        if (statement.readonly()) return statement.fetchAll();
        CDBRecordset rows;
        Write([&] { rows = statement.fetchAll(); });
        return rows;
    }

    CDBRecordset RunProcedure(const SqliteProcedure& procedure, const std::vector<DBValue>& args) {
        SqliteDbSession session(db);
        CDBRecordset rows;
        auto work = [&] { rows = procedure.body(session, args); };
        switch (procedure.kind) {
            case ProcedureKind::ReadOnly:
                work();
                break;
            case ProcedureKind::Writes:
                if (db.inTransaction())
                    InSavepoint(work);
                else
                    Write(work);
                break;
            case ProcedureKind::CommitsItself:
                SelfCommitting(work);
                break;
        }
        return rows;
    }

    // ExecuteSql binds values; an SQL expression is evaluated to its value.
    std::vector<DBValue> Values(const QVParams& params) {
        std::vector<DBValue> values;
        for (const QVParam& p : params) {
            if (p.isText && p.raw) {
                SqliteStatement eval(db, "SELECT " + zub::WideToUtf8(p.textValue));
                values.push_back(eval.scalar());
            } else if (p.isText) {
                values.emplace_back(p.textValue);
            } else {
                values.emplace_back(p.intValue);
            }
        }
        return values;
    }
};

SqliteAccessor::SqliteAccessor(const std::string& path,
                               std::shared_ptr<const DatabaseDefinition> definition)
    : impl_(std::make_unique<Impl>()) {
    if (!definition)
        throw std::invalid_argument(
            zub::Format(ZUB_N_("no definition given for the database %s"), path.c_str()));
    impl_->definition = std::move(definition);
    impl_->db = SqliteDb::Open(path, false);
    if (impl_->definition->upgrade) {
        SqliteDbSession session(impl_->db);
        impl_->definition->upgrade(session);
    }
}

SqliteAccessor::~SqliteAccessor() {
    // Uncommitted work never outlives its connection.
    impl_->db.rollbackQuietly();
}

template <class Work>
int SqliteAccessor::Run(Work&& work) {
    SetError(0, std::wstring());
    try {
        work();
        return 0;
    } catch (const SqliteError& e) {
        SetError(e.code(), zub::Utf8ToWide(e.what()));
        return e.code();
    } catch (const std::bad_alloc&) {
        SetError(SQLITE_NOMEM, ZUB_N_(L"out of memory"));
        return SQLITE_NOMEM;
    } catch (const ZUBBASE::QV_Exception& e) {
        SetError(SQLITE_ERROR, e.Message());
        return SQLITE_ERROR;
    } catch (const std::exception& e) {
        SetError(SQLITE_ERROR, zub::NarrowToWide(e.what()));
        return SQLITE_ERROR;
    } catch (...) {
        SetError(SQLITE_ERROR, ZUB_N_(L"unknown exception"));
        return SQLITE_ERROR;
    }
}

int SqliteAccessor::InsertRow(const std::wstring& table, const QVParams& values,
                              const std::wstring&, const std::wstring&) {
    return Run([&] {
        SqlText text = SqlBuilder::Insert(table, values);
        impl_->Write([&] {
            SqliteStatement statement(impl_->db, text.sql);
            statement.bindAll(text.binds);
            statement.fetchAll();
            impl_->lastInsertId = impl_->db.lastInsertRowid();
        });
    });
}

int SqliteAccessor::UpdateRows(const std::wstring& table, const QVParams& values,
                               const QVParams& conditions, const std::wstring&,
                               const std::wstring&) {
    return Run([&] {
        SqlText text = SqlBuilder::Update(table, values, conditions);
        impl_->Write([&] {
            SqliteStatement statement(impl_->db, text.sql);
            statement.bindAll(text.binds);
            statement.fetchAll();
        });
    });
}

int SqliteAccessor::DeleteRows(const std::wstring& table, const QVParams& conditions,
                               const std::wstring&, const std::wstring&) {
    return Run([&] {
        SqlText text = SqlBuilder::Delete(table, conditions);
        impl_->Write([&] {
            SqliteStatement statement(impl_->db, text.sql);
            statement.bindAll(text.binds);
            statement.fetchAll();
        });
    });
}

int SqliteAccessor::SelectRows(std::unique_ptr<CDBRecordset>& out, const std::wstring& table,
                               const std::wstring& columns, const QVParams& conditions,
                               const std::wstring& order, const std::wstring&, const std::wstring&,
                               int, int) {
    out.reset();
    return Run([&] {
        SqlText text = SqlBuilder::Select(table, columns, conditions, order);
        SqliteStatement statement(impl_->db, text.sql);
        statement.bindAll(text.binds);
        out = std::make_unique<CDBRecordset>(impl_->RunStatement(statement));
    });
}

int SqliteAccessor::ExecuteSql(std::unique_ptr<CDBRecordset>& out, const std::wstring& sql,
                               const QVParams& params, const std::wstring&, int, int) {
    out.reset();
    return Run([&] {
        if (auto call = ProcedureCall::Split(sql)) {
            if (auto procedure = impl_->definition->procedures.Find(call->name())) {
                std::vector<DBValue> args = call->Arguments(params);
                out = std::make_unique<CDBRecordset>(impl_->RunProcedure(*procedure, args));
                return;
            }
        }
        SqliteStatement statement(impl_->db, zub::WideToUtf8(sql));
        statement.bindAll(impl_->Values(params));
        out = std::make_unique<CDBRecordset>(impl_->RunStatement(statement));
    });
}

int SqliteAccessor::BeginTrans() {
    return Run([&] {
        if (!impl_->db.inTransaction()) impl_->db.exec("BEGIN IMMEDIATE");
    });
}

int SqliteAccessor::CommitTrans() {
    return Run([&] {
        if (impl_->db.inTransaction()) impl_->db.exec("COMMIT");
    });
}

int SqliteAccessor::RollbackTrans() {
    return Run([&] {
        if (impl_->db.inTransaction()) impl_->db.exec("ROLLBACK");
    });
}

long long SqliteAccessor::LastInsertId() const { return impl_->lastInsertId; }

bool SqliteAccessor::InTransaction() const { return impl_->db.inTransaction(); }

const std::string& SqliteAccessor::Path() const { return impl_->db.path(); }

}  // namespace ZUBDB
