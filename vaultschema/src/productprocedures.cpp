#include "productprocedures.h"

#include <sqlite3.h>

#include <cwchar>

#include "dbcore/sqliteerror.h"

namespace zub::vaultschema {

using ZUBDB::CDBRecordset;
using ZUBDB::DBValue;
using ZUBDB::ProcedureKind;
using ZUBDB::SqliteError;
using ZUBDB::SqliteSession;

namespace {

long long IntegerArgument(const std::vector<DBValue>& args, std::size_t index,
                          const char* procedure, const char* name) {
    if (index < args.size()) {
        if (const auto* i = std::get_if<long long>(&args[index])) return *i;
        if (const auto* t = std::get_if<std::wstring>(&args[index])) {
            wchar_t* end = nullptr;
            long long v = std::wcstoll(t->c_str(), &end, 10);
            if (!t->empty() && *end == L'\0') return v;
        }
    }
    throw SqliteError(SQLITE_MISMATCH, std::string(procedure) + ": argument " +
                                           std::to_string(index + 1) + " (" + name +
                                           ") must be an integer");
}

void ExpectArguments(const std::vector<DBValue>& args, std::size_t count, const char* procedure) {
    if (args.size() != count)
        throw SqliteError(SQLITE_RANGE, std::string(procedure) + " takes " + std::to_string(count) +
                                            " arguments, " + std::to_string(args.size()) +
                                            " given");
}

}  // namespace

void ProductProcedures::RegisterInto(ZUBDB::SqliteProcedureRegistry& registry) {
    registry.Register(L"GetNewId", {ProcedureKind::CommitsItself, &ProductProcedures::GetNewId});
    registry.Register(L"QV_p_DMGetUserAuths",
                      {ProcedureKind::ReadOnly, &ProductProcedures::GetUserAuths});
}

CDBRecordset ProductProcedures::GetNewId(SqliteSession& session, const std::vector<DBValue>& args) {
    ExpectArguments(args, 2, "GetNewId");
    long long idName = IntegerArgument(args, 0, "GetNewId", "idName");
    long long n = IntegerArgument(args, 1, "GetNewId", "n");
    if (n < 1)
        throw SqliteError(SQLITE_RANGE, "GetNewId: n must be at least 1, not " + std::to_string(n));
    return session.Query(
        "UPDATE QV_IdCounter SET LastId = LastId + ?2 WHERE IdName = ?1 "
        "RETURNING LastId - ?2 + 1 AS NewId",
        {idName, n});
}

CDBRecordset ProductProcedures::GetUserAuths(SqliteSession& session,
                                             const std::vector<DBValue>& args) {
    ExpectArguments(args, 1, "QV_p_DMGetUserAuths");
    long long userId = IntegerArgument(args, 0, "QV_p_DMGetUserAuths", "userId");
    // Role rows carry UserId 0 and user rows RoleId 0, so neither id 0 may match.
    return session.Query(
        "SELECT a.DocRepoId AS DocRepoId, r.Name AS Name, max(a.[Read]) AS [Read], "
        "max(a.Write) AS Write, max(a.Manage) AS Manage "
        "FROM QV_DMAuth a LEFT JOIN QV_DMRepo r ON r.DocRepoId = a.DocRepoId "
        "WHERE ?1 <> 0 AND (a.UserId = ?1 OR (a.RoleId <> 0 AND a.RoleId IN "
        "(SELECT RoleId FROM QV_UserRole WHERE UserId = ?1))) "
        "GROUP BY a.DocRepoId ORDER BY a.DocRepoId",
        {userId});
}

}  // namespace zub::vaultschema
