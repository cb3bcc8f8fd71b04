// Statement texts for the accessor's table operations. Table and column texts
// come from program code and are used as given (bracketed names and select
// expressions included); values are always parameters, except raw values,
// which are SQL expressions such as getdate().
#pragma once

#include <string>
#include <vector>

#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"

namespace ZUBDB {

struct SqlText {
    std::string sql;             // UTF-8
    std::vector<DBValue> binds;  // in parameter order
};

class SqlBuilder {
public:
    static SqlText Insert(const std::wstring& table, const QVParams& values);
    static SqlText Update(const std::wstring& table, const QVParams& values,
                          const QVParams& conditions);
    static SqlText Delete(const std::wstring& table, const QVParams& conditions);
    static SqlText Select(const std::wstring& table, const std::wstring& columns,
                          const QVParams& conditions, const std::wstring& order);

private:
    static std::string Table(const std::wstring& table);
    static std::string Value(const QVParam& p, std::vector<DBValue>& binds);
    static std::string Where(const QVParams& conditions, std::vector<DBValue>& binds);
    static std::string Operator(const std::wstring& op);
};

}  // namespace ZUBDB
