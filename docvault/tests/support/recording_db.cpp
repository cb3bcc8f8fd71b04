#include "recording_db.h"

#include <memory>
#include <utility>

#include "dbcore/cdbaccessorcreator.h"
#include "recording_accessor.h"

namespace zub::docvault::test {
namespace {

std::wstring DescribeParam(const ZUBDB::QVParam& p) {
    std::wstring value;
    if (!p.isText && p.column == L"ChangeStamp")
        value = L"S";  // drawn at random
    else if (!p.isText)
        value = std::to_wstring(p.intValue);
    else if (p.raw)
        value = p.textValue;
    else
        value = L"'" + p.textValue + L"'";
    return std::to_wstring(p.position) + L":" + p.column + L"=" + value;
}

void AppendParams(std::wstring& line, const std::vector<ZUBDB::QVParam>& params) {
    for (const auto& p : params) line += L" " + DescribeParam(p);
}

}  // namespace

std::wstring DbCall::Describe() const {
    std::wstring line = op;
    if (!table.empty()) line += L" " + table;
    if (op == L"SelectRows") line += L" (" + columns + L")";
    AppendParams(line, values);
    if (!conditions.empty()) {
        line += L" where";
        AppendParams(line, conditions);
    }
    if (!order.empty()) line += L" order by " + order;
    return line;
}

RecordingDb& RecordingDb::Get() {
    static RecordingDb db;
    return db;
}

RecordingDb& RecordingDb::Install() {
    RecordingDb& db = Get();
    db.Reset();
    ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
        L"rec",
        [](const ZUBDB::QVSvrInfo& server,
           const std::wstring& token) -> std::unique_ptr<ZUBDB::CDBAccessor> {
            RecordingDb& target = Get();
            target.connections.push_back(
                DbConnection{server.server(), server.port(), server.database(), token});
            if (target.createNull) return nullptr;
            return std::make_unique<RecordingAccessor>(target);
        });
    return db;
}

void RecordingDb::Reset() {
    calls.clear();
    connections.clear();
    lastInsertId = 0;
    createNull = false;
    failures_.clear();
    opCounts_.clear();
    answers_.clear();
}

void RecordingDb::OnSelect(const std::wstring& match, ZUBDB::CDBRecordset rs) {
    Queued queued;
    queued.rs = std::move(rs);
    Enqueue(match, std::move(queued));
}

void RecordingDb::OnSelectStaged(const std::wstring& match, std::vector<std::wstring> columns,
                                 std::vector<std::vector<ZUBDB::DBValue>> rows) {
    Queued queued;
    queued.staged = true;
    queued.columns = std::move(columns);
    queued.rows = std::move(rows);
    Enqueue(match, std::move(queued));
}

void RecordingDb::Enqueue(const std::wstring& match, Queued queued) {
    for (auto& [key, queue] : answers_) {
        if (key == match) {
            queue.push_back(std::move(queued));
            return;
        }
    }
    std::deque<Queued> queue;
    queue.push_back(std::move(queued));
    answers_.emplace_back(match, std::move(queue));
}

void RecordingDb::FailOn(const std::wstring& op, int nth, long errNumber,
                         const std::wstring& errText) {
    failures_[{op, nth}] = Failure{errNumber, errText};
}

std::vector<std::wstring> RecordingDb::Ops() const {
    std::vector<std::wstring> ops;
    for (const auto& c : calls) ops.push_back(c.op);
    return ops;
}

std::vector<std::wstring> RecordingDb::Lines() const {
    std::vector<std::wstring> lines;
    for (const auto& c : calls) lines.push_back(c.Describe());
    return lines;
}

bool RecordingDb::Record(DbCall call, long& errNumber, std::wstring& errText) {
    int n = ++opCounts_[call.op];
    auto it = failures_.find({call.op, n});
    calls.push_back(std::move(call));
    if (it == failures_.end()) return false;
    errNumber = it->second.number;
    errText = it->second.text;
    return true;
}

ZUBDB::CDBRecordset RecordingDb::Answer(const std::wstring& text) {
    for (auto& [key, queue] : answers_) {
        if (!queue.empty() && text.find(key) != std::wstring::npos) {
            Queued queued = std::move(queue.front());
            queue.pop_front();
            if (!queued.staged) return std::move(queued.rs);
            std::wstring staged;
            for (const auto& c : calls) {
                const std::wstring line = c.Describe();
                const std::size_t at = FindStaged(line);
                if (at != std::wstring::npos) staged = line.substr(at, kStagedLength);
            }
            ZUBDB::CDBRecordset rs(queued.columns);
            for (auto& row : queued.rows) {
                for (auto& value : row) {
                    if (auto* cell = std::get_if<std::wstring>(&value)) {
                        const std::size_t at = cell->find(L".zub-stage-N");
                        if (at != std::wstring::npos && !staged.empty())
                            cell->replace(at, 12, staged);
                    }
                }
                rs.AddRow(std::move(row));
            }
            return rs;
        }
    }
    return ZUBDB::CDBRecordset();
}

std::size_t FindStaged(const std::wstring& text, std::size_t from) {
    const std::wstring prefix = L".zub-stage-";
    for (std::size_t at = text.find(prefix, from); at != std::wstring::npos;
         at = text.find(prefix, at + 1)) {
        if (text.size() < at + kStagedLength) return std::wstring::npos;
        bool hex = true;
        for (std::size_t i = at + prefix.size(); i < at + kStagedLength; ++i)
            hex = hex &&
                  ((text[i] >= L'0' && text[i] <= L'9') || (text[i] >= L'a' && text[i] <= L'f'));
        if (hex) return at;
    }
    return std::wstring::npos;
}

ZUBDB::CDBRecordset MakeRs(std::vector<std::wstring> columns,
                           std::vector<std::vector<ZUBDB::DBValue>> rows) {
    ZUBDB::CDBRecordset rs(std::move(columns));
    for (auto& row : rows) rs.AddRow(std::move(row));
    return rs;
}

}  // namespace zub::docvault::test
