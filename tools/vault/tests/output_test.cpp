// Tables, "Label: value" blocks and JSON of the Output class.
#include <sstream>

#include <gtest/gtest.h>

#include "output.h"

namespace zub::vault::test {

TEST(VaultOutput, TablesAlignTextLeftAndNumbersRight) {
    std::ostringstream s;
    Output out(s);
    Json rows = Json::array();
    rows.push_back({{"id", 7}, {"name", "bracket.prt"}, {"holder", nullptr}});
    rows.push_back({{"id", 12}, {"name", "m6.prt"}, {"holder", "alice"}});
    out.List({{"id", "ID"}, {"name", "NAME"}, {"holder", "HOLDER"}}, rows, "(none)");
    EXPECT_EQ(s.str(),
              "ID  NAME         HOLDER\n"
              " 7  bracket.prt  -\n"
              "12  m6.prt       alice\n");
}

TEST(VaultOutput, WideCharactersTakeTwoColumns) {
    EXPECT_EQ(Output::DisplayWidth("abc"), 3u);
    EXPECT_EQ(Output::DisplayWidth("无效"), 4u);
    EXPECT_EQ(Output::DisplayWidth("e\xCC\x81"), 1u);  // e + combining accent
    std::ostringstream s;
    Output out(s);
    Json rows = Json::array();
    rows.push_back({{"a", "图纸"}, {"b", "x"}});
    rows.push_back({{"a", "abcde"}, {"b", "y"}});
    out.List({{"a", "A"}, {"b", "B"}}, rows, "");
    EXPECT_EQ(s.str(), "A      B\n图纸   x\nabcde  y\n");
}

TEST(VaultOutput, EmptyListingsSayWhyInTextAndAreEmptyArraysInJson) {
    std::ostringstream text;
    Output t(text);
    t.List({{"id", "ID"}}, Json::array(), "(no documents)");
    EXPECT_EQ(text.str(), "(no documents)\n");

    std::ostringstream json;
    Output j(json);
    j.set_json(true);
    j.List({{"id", "ID"}}, Json::array(), "(no documents)");
    EXPECT_EQ(Json::parse(json.str()), Json::array());
}

TEST(VaultOutput, JsonCarriesEveryFieldAndSentencesAreOnlyForPeople) {
    std::ostringstream s;
    Output out(s);
    out.set_json(true);
    const Json object = {{"id", 1}, {"hidden", "kept"}, {"t", nullptr}};
    out.Show({{"id", "Id"}}, object);
    out.Say("for people");
    EXPECT_EQ(Json::parse(s.str()), object);
    EXPECT_EQ(s.str().find("for people"), std::string::npos);
}

TEST(VaultOutput, ShowAlignsLabels) {
    std::ostringstream s;
    Output out(s);
    out.Show({{"id", "Id"}, {"name", "Long label"}, {"none", "Missing"}},
             {{"id", 3}, {"name", "x"}, {"flag", true}});
    EXPECT_EQ(s.str(), "Id:          3\nLong label:  x\nMissing:     -\n");
    EXPECT_EQ(Output::Cell(true), "yes");
    EXPECT_EQ(Output::Cell(Json(2.5)), "2.5");
}

TEST(VaultOutput, OleDatesReadAsCalendarTime) {
    EXPECT_EQ(Output::OleDate(0.0), "");
    EXPECT_EQ(Output::OleDate(1.0), "1899-12-31 00:00:00");
    // 2024-02-29 18:00:00 is day 45351 and three quarters.
    EXPECT_EQ(Output::OleDate(45351.75), "2024-02-29 18:00:00");
    // A value a hair below a whole second rounds to it rather than to :59.
    EXPECT_EQ(Output::OleDate(45351.0 + 1.0 / 86400.0 - 1e-9), "2024-02-29 00:00:01");
}

TEST(VaultOutput, ControlCharactersAreShownEscaped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "plain"},
        {"tab\there", "tab\\x09here"},
        {"esc\x1b[31mred", "esc\\x1b[31mred"},
        {"line\nbreak\r", "line\\x0abreak\\x0d"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"del\x7f", "del\\x7f"},
        {"c1 \xc2\x85 \xc2\x9b", "c1 \\x85 \\x9b"},                // NEL and CSI
        {"\xc2\xa0\xc3\xa9", "\xc2\xa0\xc3\xa9"},                  // NBSP and é stay
        {"\xe4\xb8\xad\xe6\x96\x87", "\xe4\xb8\xad\xe6\x96\x87"},  // wide text stays
    };
    for (const auto& [raw, shown] : cases) EXPECT_EQ(Output::Visible(raw), shown) << raw;

    std::ostringstream s;
    Output out(s);
    out.List({{"name", "NAME"}}, Json::array({{{"name", "a\x1b"}}}), "");
    out.Show({{"name", "Name"}}, {{"name", "b\n"}});
    out.Done({}, "c\x07");
    out.Say("d\x1b");
    EXPECT_EQ(s.str(), "NAME\na\\x1b\nName:  b\\x0a\nc\\x07\nd\\x1b\n");
}

}  // namespace zub::vault::test
