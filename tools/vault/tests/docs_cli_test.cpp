// Finding one's way: completions and the manual from the command tree, and
// the user's config file under the environment and the options.
#include "vaultrunner.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

using VaultDocsCli = VaultCli;

TEST_F(VaultDocsCli, BashCompletesCommandsAndOptionsFromTheTree) {
    WriteFile("vault.bash", Ok({"completion", "bash"}));
    WriteFile("图纸.prt", "x");
    const struct {
        const char* words;  // the command line typed so far
        const char* offered;
    } rows[] = {
        {"vault do", "doc"},
        {"vault doc ch", "checkout checkin"},
        {"vault --store s doc ch", "checkout checkin"},
        {"vault doc checkout --f", "--force"},
        {"vault st", "strategy status st"},
        {"vault doc add demo 图", "图纸.prt"},
    };
    for (const auto& r : rows) {
        const std::string script = "source ./vault.bash; COMP_WORDS=(" + std::string(r.words) +
                                   "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vault; echo "
                                   "\"${COMPREPLY[*]}\"";
        WriteFile("complete.sh", script);
        FILE* pipe = ::popen(("cd '" + ws_.string() + "' && bash complete.sh").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        EXPECT_EQ(::pclose(pipe), 0);
        EXPECT_EQ(out, std::string(r.offered) + "\n") << r.words;
    }
}

TEST_F(VaultDocsCli, ZshAndTheManualCoverEveryCommand) {
    const std::string zsh = Ok({"completion", "zsh"});
    EXPECT_EQ(zsh.rfind("#compdef vault\n", 0), 0u);
    EXPECT_NE(zsh.find("'doc') commands=('add:"), std::string::npos);
    const std::string man = Ok({"help", "--man"});
    EXPECT_EQ(man.rfind(".TH VAULT 1", 0), 0u);
    for (const char* command : {"vault doc checkout", "vault status", "vault completion",
                                "vault rights grant", "vault baseline download"})
        EXPECT_NE(man.find(".SS " + std::string(command) + " "), std::string::npos) << command;
    EXPECT_NE(man.find(".SH FILES"), std::string::npos);
    EXPECT_EQ(Run({"completion", "fish"}).code, 2);
}

TEST_F(VaultDocsCli, TheConfigFileGivesDefaultsUnderTheEnvironmentAndOptions) {
    InitStore();
    Ok({"user", "add", "张三"});
    Ok({"user", "add", "bob"});
    fs::rename(store_, Path("库"));
    WriteFile(".config/vault/config",
              "# my defaults\nstore = ../../库\nuser = 张三\ncolour = blue\n");
    const struct {
        std::map<std::string, std::string> env;  // "" removes the variable
        std::vector<std::string> options;
        const char* user;  // who acts, as status names them
    } rows[] = {
        {{{"VAULT_STORE", ""}, {"VAULT_USER", ""}}, {}, "张三"},
        {{{"VAULT_STORE", ""}, {"VAULT_USER", "bob"}}, {}, "bob"},
        {{{"VAULT_STORE", ""}, {"VAULT_USER", "bob"}}, {"--user", "system"}, "system"},
    };
    for (const auto& r : rows) {
        std::vector<std::string> args = {"status"};
        args.insert(args.end(), r.options.begin(), r.options.end());
        const RunResult got = Run(args, r.env);
        EXPECT_EQ(got.code, 0) << got.err;
        EXPECT_EQ(got.out, "(you hold no documents: " + std::string(r.user) + ")\n");
        EXPECT_NE(got.err.find("config:4: not \"store = DIR\""), std::string::npos) << got.err;
    }
    // The environment's store comes before the file's.
    const RunResult missing = Run({"status"}, {{"VAULT_STORE", Path("nothing").string()}});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("49701"), std::string::npos) << missing.err;
}

}  // namespace zub::vault::test
