// The CAD table description (XML): which columns each CAD table mirrors to.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace ZUBCAX {

class TableDescription {
public:
    ~TableDescription();
    TableDescription(const TableDescription&) = delete;
    TableDescription& operator=(const TableDescription&) = delete;

    // Null when the file is missing or not well formed.
    static std::unique_ptr<TableDescription> Load(const std::wstring& path);
    static std::unique_ptr<TableDescription> Parse(const std::string& xml);

    // The mirror table's create statement, or nothing when no "tab" has
    // this name.
    std::optional<std::wstring> CreateStatement(const std::wstring& tableName) const;

    // "Integer", "Real" or "Text" for a "dt" code.
    static const wchar_t* SqliteType(int code) noexcept;
    // An XPath 1.0 literal whose value is exactly `text`.
    static std::string XPathLiteral(const std::string& text);
    // `name` as it may stand for a column: unchanged when it is a plain
    // identifier and no keyword, else double-quoted.
    static std::wstring ColumnName(const std::wstring& name);
    // The mirror table's name for CAD table `name`, as the SQL text between
    // single quotes.
    static std::wstring QuotedTableName(const std::wstring& name);
    // Decimal integer the way the description's attributes are read: leading
    // blanks, a sign, digits up to the first other character; 0 when none.
    static int ParseInt(const char* text) noexcept;

private:
    struct Doc;
    explicit TableDescription(std::unique_ptr<Doc> doc);
    std::unique_ptr<Doc> doc_;
};

}  // namespace ZUBCAX
