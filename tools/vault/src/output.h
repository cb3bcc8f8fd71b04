// What the commands print: tables and "Label: value" blocks for people, JSON
// for scripts (--json). Commands describe their results as JSON values; the
// table is a view of the same data, so both forms always agree.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zub::vault {

using Json = nlohmann::ordered_json;

// A field of a record and how people see it. Headers are catalog ids
// (ZUB_N_), shown translated; so are the values of a column whose values are
// words of the tool's own (a state), not user data.
struct Column {
    std::string key;
    std::string header;
    bool translated = false;
};

class Output {
public:
    explicit Output(std::ostream& out) : out_(out) {}

    void set_json(bool json) { json_ = json; }
    bool json() const { return json_; }
    // For the --json flag of each command.
    bool* JsonFlag() { return &json_; }
    // -q: sentences about changes are not printed; data asked for still is.
    bool* QuietFlag() { return &quiet_; }
    bool quiet() const { return quiet_; }

    // rows: an array of objects. JSON: the array. Text: a table of `columns`,
    // or `emptyText` when there are no rows.
    void List(const std::vector<Column>& columns, const Json& rows, const std::string& emptyText);
    // JSON: the object. Text: one "Label: value" line per field.
    void Show(const std::vector<Column>& fields, const Json& object);
    // The outcome of a change: JSON, the object; text, the sentence.
    void Done(const Json& object, const std::string& sentence);
    // A line for people. In JSON mode it is kept for Finish, so scripts read
    // pure JSON.
    void Say(const std::string& line);
    // After a command succeeded: in JSON mode, a command that printed no JSON
    // of its own prints {"messages": [its lines]}, so every command answers
    // in JSON.
    void Finish();
    // After a command failed: in JSON mode, a command that printed no JSON
    // of its own prints the error object, so scripts read the failure too.
    void Error(const Json& error);

    // A text with its control characters (C0, DEL, C1) shown as \xHH, so
    // stored names can never drive the terminal.
    static std::string Visible(const std::string& utf8);
    // A value as a table cell: texts made visible, null as "-"; `translated`
    // shows a text value through the catalog.
    static std::string Cell(const Json& value, bool translated = false);
    // Terminal columns a UTF-8 text takes (wide East Asian characters count 2).
    static std::size_t DisplayWidth(const std::string& utf8);
    // An OLE automation date as "YYYY-MM-DD HH:MM:SS"; empty for 0.
    static std::string OleDate(double date);

private:
    std::ostream& out_;
    bool json_ = false;
    bool quiet_ = false;
    bool printed_ = false;  // JSON was printed
    std::vector<std::string> said_;
};

}  // namespace zub::vault
