#include "commandguide.h"
#include "zub/i18n.h"

#include <algorithm>

namespace zub::vault {

namespace {

const CLI::App* Child(const CLI::App& group, const std::string& word) {
    for (const CLI::App* sub : CommandGuide::Commands(group))
        if (sub->check_name(word)) return sub;
    return nullptr;
}

// Whether the option named by `arg` ("--store", "-m", "--store=DIR") in
// `app` or a group above it takes the next word as its value.
bool TakesValue(const CLI::App& app, const std::string& arg) {
    if (arg.find('=') != std::string::npos) return false;
    for (const CLI::App* a = &app; a; a = a->get_parent()) {
        const CLI::Option* opt = a->get_option_no_throw(arg);
        if (opt) return opt->get_items_expected_max() > 0;
    }
    return false;
}

}  // namespace

std::vector<const CLI::App*> CommandGuide::Commands(const CLI::App& group) {
    return group.get_subcommands(
        [](const CLI::App* sub) { return !sub->get_name().empty() && !sub->get_group().empty(); });
}

std::string CommandGuide::Path(const CLI::App& app) {
    std::string path = app.get_name();
    for (const CLI::App* a = app.get_parent(); a; a = a->get_parent())
        path = a->get_name() + " " + path;
    return path;
}

std::size_t CommandGuide::Distance(const std::string& a, const std::string& b) {
    const std::size_t n = a.size();
    const std::size_t m = b.size();
    std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
    for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= n; ++i) {
        for (std::size_t j = 1; j <= m; ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

std::vector<std::string> CommandGuide::Nearest(const CLI::App& group, const std::string& word) {
    // Each command once, under its own name, however many of its names are near.
    std::vector<std::string> found;
    auto add = [&](const CLI::App* sub) {
        if (std::find(found.begin(), found.end(), sub->get_name()) == found.end())
            found.push_back(sub->get_name());
    };
    auto names = [](const CLI::App* sub) {
        std::vector<std::string> all{sub->get_name()};
        all.insert(all.end(), sub->get_aliases().begin(), sub->get_aliases().end());
        return all;
    };
    if (word.size() >= 2)
        for (const CLI::App* sub : Commands(group))
            for (const auto& name : names(sub))
                if (name.rfind(word, 0) == 0) add(sub);
    if (!found.empty()) return found;
    const std::size_t limit = std::clamp<std::size_t>(word.size() / 3, 1, 3);
    std::size_t best = limit + 1;
    for (const CLI::App* sub : Commands(group)) {
        std::size_t d = best + 1;
        for (const auto& name : names(sub)) d = std::min(d, Distance(word, name));
        if (d < best) {
            best = d;
            found.clear();
        }
        if (d == best) add(sub);
    }
    return found;
}

CommandGuide::Finding CommandGuide::Diagnose(const CLI::App& root,
                                             const std::vector<std::string>& args) {
    Finding f;
    const CLI::App* at = &root;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") break;
        if (arg.size() > 1 && arg[0] == '-') {
            if (TakesValue(*at, arg)) ++i;
            continue;
        }
        if (Commands(*at).empty()) return f;
        const CLI::App* sub = Child(*at, arg);
        if (!sub) {
            f.kind = Finding::Kind::Unknown;
            f.at = at;
            f.word = arg;
            f.nearest = Nearest(*at, arg);
            return f;
        }
        at = sub;
    }
    if (!Commands(*at).empty() && at->get_require_subcommand_min() > 0) {
        f.kind = Finding::Kind::GroupAlone;
        f.at = at;
    }
    return f;
}

std::string CommandGuide::Message(const Finding& finding) {
    const std::string word = finding.word;
    const std::string path = Path(*finding.at);
    if (finding.nearest.empty()) {
        std::string commands;
        for (const CLI::App* sub : Commands(*finding.at))
            commands += (commands.empty() ? "" : ", ") + sub->get_name();
        return zub::trf("vault: \"%s\" is not a command of \"%s\"; its commands are %s",
                        word.c_str(), path.c_str(), commands.c_str());
    }
    std::string choices;
    for (std::size_t i = 0; i < finding.nearest.size(); ++i) {
        const std::string one = "\"" + path + " " + finding.nearest[i] + "\"";
        if (i == 0)
            choices = one;
        else if (i + 1 == finding.nearest.size())
            choices = zub::trf("%s or %s", choices.c_str(), one.c_str());
        else
            choices += ", " + one;
    }
    return zub::trf("vault: \"%s\" is not a command of \"%s\"; did you mean %s?", word.c_str(),
                    path.c_str(), choices.c_str());
}

const CLI::App* CommandGuide::Find(const CLI::App& root, const std::vector<std::string>& words) {
    const CLI::App* at = &root;
    for (const auto& word : words) {
        at = Child(*at, word);
        if (!at) return nullptr;
    }
    return at;
}

}  // namespace zub::vault
