#include "output.h"

#include <cmath>
#include <cstdio>

#include "zub/i18n.h"
#include "zub/oledate.h"
#include "zub/text.h"

namespace zub::vault {

namespace {

int CodePointWidth(char32_t c) {
    if (c == 0) return 0;
    if (c < 0x20 || (c >= 0x7f && c < 0xa0)) return 0;
    if ((c >= 0x300 && c <= 0x36f) || (c >= 0x200b && c <= 0x200f) || c == 0xfeff) return 0;
    if ((c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0xa4cf && c != 0x303f) ||
        (c >= 0xac00 && c <= 0xd7a3) || (c >= 0xf900 && c <= 0xfaff) ||
        (c >= 0xfe30 && c <= 0xfe4f) || (c >= 0xff00 && c <= 0xff60) ||
        (c >= 0xffe0 && c <= 0xffe6) || (c >= 0x1f300 && c <= 0x1f64f) ||
        (c >= 0x1f900 && c <= 0x1f9ff) || (c >= 0x20000 && c <= 0x3fffd))
        return 2;
    return 1;
}

void Pad(std::ostream& out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out << ' ';
}

}  // namespace

std::string Output::Visible(const std::string& utf8) {
    std::string shown;
    shown.reserve(utf8.size());
    static const char hex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        unsigned code = c;
        std::size_t length = 1;
        // C1 controls are U+0080..U+009F, two bytes in UTF-8.
        if (c == 0xc2 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if (next >= 0x80 && next <= 0x9f) {
                code = next;
                length = 2;
            }
        }
        if (code < 0x20 || code == 0x7f || (length == 2)) {
            shown += "\\x";
            shown += hex[code >> 4];
            shown += hex[code & 0xf];
            i += length - 1;
        } else {
            shown += utf8[i];
        }
    }
    return shown;
}

std::string Output::Cell(const Json& value, bool translated) {
    if (value.is_null()) return "-";
    if (value.is_string() && translated) return Visible(zub::tr(value.get<std::string>().c_str()));
    if (value.is_string()) return Visible(value.get<std::string>());
    if (value.is_boolean()) return value.get<bool>() ? zub::tr("yes") : zub::tr("no");
    return value.dump();
}

std::size_t Output::DisplayWidth(const std::string& utf8) {
    std::size_t width = 0;
    for (wchar_t c : zub::Utf8ToWide(utf8)) width += CodePointWidth(static_cast<char32_t>(c));
    return width;
}

std::string Output::OleDate(double date) {
    if (date == 0.0 || !std::isfinite(date)) return "";
    // Shown to the nearest second: a hair below one reads as that second.
    zub::OleDateParts p;
    if (!zub::OleDateToParts(std::nearbyint(date * 86400.0) / 86400.0, p)) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
    return text;
}

void Output::List(const std::vector<Column>& columns, const Json& rows,
                  const std::string& emptyText) {
    if (json_) {
        out_ << rows.dump(2) << '\n';
        printed_ = true;
        return;
    }
    if (rows.empty()) {
        out_ << emptyText << '\n';
        return;
    }
    std::vector<std::vector<std::string>> cells;
    std::vector<std::size_t> widths;
    std::vector<bool> numeric(columns.size(), true);
    std::vector<std::string> header;
    for (const auto& c : columns) header.push_back(zub::tr(c.header.c_str()));
    for (const auto& h : header) widths.push_back(DisplayWidth(h));
    for (const auto& row : rows) {
        std::vector<std::string> line;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Json& v = row.contains(columns[i].key) ? row.at(columns[i].key) : Json();
            if (!v.is_number() && !v.is_null()) numeric[i] = false;
            line.push_back(Cell(v, columns[i].translated));
            widths[i] = std::max(widths[i], DisplayWidth(line.back()));
        }
        cells.push_back(std::move(line));
    }
    auto print = [&](const std::vector<std::string>& line) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            const std::size_t gap = widths[i] - DisplayWidth(line[i]);
            const bool last = i + 1 == line.size();
            if (i > 0) out_ << "  ";
            if (numeric[i]) {
                Pad(out_, gap);
                out_ << line[i];
            } else {
                out_ << line[i];
                if (!last) Pad(out_, gap);
            }
        }
        out_ << '\n';
    };
    print(header);
    for (const auto& line : cells) print(line);
}

void Output::Show(const std::vector<Column>& fields, const Json& object) {
    if (json_) {
        out_ << object.dump(2) << '\n';
        printed_ = true;
        return;
    }
    std::size_t width = 0;
    for (const auto& f : fields) width = std::max(width, DisplayWidth(zub::tr(f.header.c_str())));
    for (const auto& f : fields) {
        const Json& v = object.contains(f.key) ? object.at(f.key) : Json();
        const std::string header = zub::tr(f.header.c_str());
        out_ << header << ':';
        Pad(out_, width - DisplayWidth(header) + 2);
        out_ << Cell(v, f.translated) << '\n';
    }
}

void Output::Done(const Json& object, const std::string& sentence) {
    if (json_) {
        out_ << object.dump(2) << '\n';
        printed_ = true;
    } else if (!quiet_) {
        out_ << Visible(sentence) << '\n';
    }
}

void Output::Say(const std::string& line) {
    if (json_)
        said_.push_back(line);
    else if (!quiet_)
        out_ << Visible(line) << '\n';
}

void Output::Finish() {
    if (!json_ || printed_) return;
    Json lines = Json::array();
    for (const auto& line : said_) lines.push_back(line);
    out_ << Json{{"messages", lines}}.dump(2) << '\n';
    printed_ = true;
}

void Output::Error(const Json& error) {
    if (!json_ || printed_) return;
    out_ << error.dump(2) << '\n';
    printed_ = true;
}

}  // namespace zub::vault
