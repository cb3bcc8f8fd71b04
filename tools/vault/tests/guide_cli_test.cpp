// Finding one's way: mistyped commands, groups alone, vault help COMMAND.
#include "commandguide.h"
#include "vaultrunner.h"

namespace zub::vault::test {

using VaultGuideCli = VaultCli;

TEST_F(VaultGuideCli, MistypedCommandsAreNamedWithTheNearestOne) {
    const struct {
        std::vector<std::string> args;
        const char* err;  // the first line on standard error
    } rows[] = {
        {{"doc", "checkot", "3"},
         "vault: \"checkot\" is not a command of \"vault doc\"; did you mean \"vault doc "
         "checkout\"?"},
        {{"dco", "list", "x"},
         "vault: \"dco\" is not a command of \"vault\"; did you mean \"vault doc\"?"},
        // An alias that is near names its command once.
        {{"--store", "elsewhere", "repo", "lst"},
         "vault: \"lst\" is not a command of \"vault repo\"; did you mean \"vault repo list\"?"},
        {{"doc", "ch", "3"},
         "vault: \"ch\" is not a command of \"vault doc\"; did you mean \"vault doc checkout\" "
         "or \"vault doc checkin\"?"},
        {{"doc", "diff", "3"},
         "vault: \"diff\" is not a command of \"vault doc\"; its commands are add, list, show, "
         "checkout, checkin, unlock, revert, view, get, history, rename, move, delete"},
        {{"help", "doc", "chekout"},
         "vault: \"chekout\" is not a command of \"vault doc\"; did you mean \"vault doc "
         "checkout\"?"},
    };
    for (const auto& r : rows) {
        const RunResult got = Run(r.args);
        EXPECT_EQ(got.code, 2) << r.args[1];
        EXPECT_EQ(got.err.substr(0, got.err.find('\n')), r.err);
        EXPECT_EQ(got.out, "");
    }
}

TEST_F(VaultGuideCli, AGroupAloneAndHelpShowTheCommandsHelp) {
    const RunResult alone = Run({"doc"});
    EXPECT_EQ(alone.code, 2);
    EXPECT_NE(alone.out.find("Usage: vault doc [OPTIONS] SUBCOMMAND"), std::string::npos)
        << alone.out;
    EXPECT_NE(alone.out.find("  checkout, co "), std::string::npos) << alone.out;
    const std::string help = Ok({"help", "doc", "checkout"});
    EXPECT_NE(help.find("Usage: vault doc checkout [OPTIONS] DOC"), std::string::npos) << help;
    EXPECT_EQ(Ok({"help", "doc", "co"}), help);
    EXPECT_NE(Ok({"help"}).find("Usage: vault [OPTIONS] SUBCOMMAND"), std::string::npos);
}

TEST(VaultGuide, DistanceCountsASwapAsOneEdit) {
    const struct {
        const char* a;
        const char* b;
        std::size_t d;
    } rows[] = {{"checkout", "checkout", 0},
                {"chekcout", "checkout", 1},
                {"checkot", "checkout", 1},
                {"list", "ls", 2},
                {"", "doc", 3},
                {"cehckuot", "checkout", 2}};
    for (const auto& r : rows) EXPECT_EQ(CommandGuide::Distance(r.a, r.b), r.d) << r.a;
}

}  // namespace zub::vault::test
