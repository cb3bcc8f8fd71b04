#include "commandtree.h"

#include <functional>
#include <sstream>
#include <vector>

#include "commandguide.h"
#include "zub/i18n.h"

namespace zub::vault {

namespace {

// Every command with the words that lead to it ("" for the root), depth first.
void Walk(const CLI::App& app, const std::string& path,
          const std::function<void(const CLI::App&, const std::string&)>& visit) {
    visit(app, path);
    for (const CLI::App* sub : CommandGuide::Commands(app))
        Walk(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), visit);
}

// The option names a command and the groups above it (fallthrough) accept.
std::vector<std::string> OptionNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* a = &app; a; a = a->get_parent())
        for (const CLI::Option* opt : a->get_options()) {
            if (!opt->nonpositional()) continue;
            for (const auto& l : opt->get_lnames()) names.push_back("--" + l);
            for (const auto& s : opt->get_snames()) names.push_back("-" + s);
        }
    return names;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

std::string SingleQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string CommandTree::Bash(const CLI::App& root) {
    std::ostringstream commands;
    std::ostringstream options;
    Walk(root, "", [&](const CLI::App& app, const std::string& path) {
        std::vector<std::string> subs;
        for (const CLI::App* sub : CommandGuide::Commands(app)) {
            subs.push_back(sub->get_name());
            for (const auto& alias : sub->get_aliases()) subs.push_back(alias);
        }
        if (!subs.empty())
            commands << "        " << SingleQuoted(path) << ") echo " << SingleQuoted(Joined(subs))
                     << " ;;\n";
        options << "        " << SingleQuoted(path) << ") echo "
                << SingleQuoted(Joined(OptionNames(app))) << " ;;\n";
    });
    std::ostringstream s;
    s << "# bash completion for vault, generated from its commands by `vault completion bash`.\n"
         "_vault_commands() {\n    case \"$1\" in\n"
      << commands.str()
      << "    esac\n}\n"
         "_vault_options() {\n    case \"$1\" in\n"
      << options.str()
      << "    esac\n}\n"
         "_vault() {\n"
         "    local cur=${COMP_WORDS[COMP_CWORD]} cmdpath='' word i\n"
         "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "        word=${COMP_WORDS[i]}\n"
         "        [[ $word == -* ]] && continue\n"
         "        case \" $(_vault_commands \"$cmdpath\") \" in\n"
         "            *\" $word \"*) cmdpath=${cmdpath:+$cmdpath }$word ;;\n"
         "        esac\n"
         "    done\n"
         "    if [[ $cur == -* ]]; then\n"
         "        COMPREPLY=($(compgen -W \"$(_vault_options \"$cmdpath\")\" -- \"$cur\"))\n"
         "        return\n"
         "    fi\n"
         "    local commands=$(_vault_commands \"$cmdpath\")\n"
         "    if [[ -n $commands ]]; then\n"
         "        COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
         "    else\n"
         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "    fi\n"
         "}\n"
         "complete -o filenames -F _vault vault\n";
    return s.str();
}

std::string CommandTree::Zsh(const CLI::App& root) {
    std::ostringstream commands;
    std::ostringstream options;
    Walk(root, "", [&](const CLI::App& app, const std::string& path) {
        std::vector<std::string> subs;
        for (const CLI::App* sub : CommandGuide::Commands(app)) {
            std::string description = sub->get_description();
            std::string escaped;
            for (char c : description) escaped += c == ':' ? std::string("\\:") : std::string(1, c);
            subs.push_back(SingleQuoted(sub->get_name() + ":" + escaped));
            for (const auto& alias : sub->get_aliases())
                subs.push_back(SingleQuoted(alias + ":" + escaped));
        }
        if (!subs.empty())
            commands << "        " << SingleQuoted(path) << ") commands=(" << Joined(subs)
                     << ") ;;\n";
        options << "        " << SingleQuoted(path) << ") options=(" << Joined(OptionNames(app))
                << ") ;;\n";
    });
    std::ostringstream s;
    s << "#compdef vault\n"
         "# zsh completion for vault, generated from its commands by `vault completion zsh`.\n"
         "_vault() {\n"
         "    local cmdpath='' word i\n"
         "    local -a commands options known\n"
         "    for ((i = 2; i < CURRENT; i++)); do\n"
         "        word=${words[i]}\n"
         "        [[ $word == -* ]] && continue\n"
         "        commands=()\n"
         "        case $cmdpath in\n"
      << commands.str()
      << "        esac\n"
         "        known=(${commands%%:*})\n"
         "        (( ${known[(Ie)$word]} )) && cmdpath=${cmdpath:+$cmdpath }$word\n"
         "    done\n"
         "    commands=() options=()\n"
         "    case $cmdpath in\n"
      << commands.str() << options.str()
      << "    esac\n"
         "    if [[ $PREFIX == -* ]]; then\n"
         "        compadd -- $options\n"
         "    elif (( ${#commands} )); then\n"
         "        _describe -t commands 'vault command' commands\n"
         "    else\n"
         "        _files\n"
         "    fi\n"
         "}\n"
         "_vault \"$@\"\n";
    return s.str();
}

std::string CommandTree::RoffText(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string CommandTree::Man(const CLI::App& root, const std::string& version,
                             const std::string& extra) {
    std::ostringstream s;
    // The manual speaks the language of the one who asks for it.
    s << ".TH VAULT 1 \"\" \"" << RoffText(version) << "\" \"" << RoffText(zub::tr("User Commands"))
      << "\"\n"
      << ".SH " << RoffText(zub::tr("NAME")) << "\nvault \\- "
      << RoffText(zub::tr("the command line of the document vault")) << "\n"
      << ".SH " << RoffText(zub::tr("SYNOPSIS")) << "\n.B vault\n[\\fI"
      << RoffText(zub::tr("OPTIONS")) << "\\fR] \\fI" << RoffText(zub::tr("COMMAND"))
      << "\\fR [\\fI" << RoffText(zub::tr("SUBCOMMAND")) << "\\fR] [\\fI"
      << RoffText(zub::tr("ARGS")) << "\\fR]\n"
      << ".SH " << RoffText(zub::tr("DESCRIPTION")) << "\n"
      << RoffText(root.get_description()) << "\n"
      << ".SH " << RoffText(zub::tr("GLOBAL OPTIONS")) << "\n";
    auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(root.get_formatter());
    auto optionsOf = [&](const CLI::App& app) {
        for (const CLI::Option* opt : app.get_options()) {
            s << ".TP\n.B "
              << RoffText(formatter ? formatter->make_option_name(opt, !opt->nonpositional())
                                    : opt->get_name())
              << "\n"
              << RoffText(opt->get_description()) << "\n";
        }
    };
    optionsOf(root);
    s << ".SH " << RoffText(zub::tr("COMMANDS")) << "\n";
    Walk(root, "", [&](const CLI::App& app, const std::string& path) {
        if (path.empty() || !CommandGuide::Commands(app).empty()) return;
        std::string usage =
            formatter ? formatter->make_usage(&app, "vault " + path) : "vault " + path;
        const auto colon = usage.find(':');
        if (colon != std::string::npos) usage = usage.substr(colon + 1);
        while (!usage.empty() && (usage.front() == ' ')) usage.erase(0, 1);
        while (!usage.empty() && (usage.back() == '\n' || usage.back() == ' ')) usage.pop_back();
        s << ".SS " << RoffText(usage) << "\n" << RoffText(app.get_description()) << "\n";
        if (!app.get_aliases().empty())
            s << ".br\n"
              << RoffText(zub::trf("Also: %s", Joined(app.get_aliases()).c_str())) << "\n";
        for (const CLI::Option* opt : app.get_options()) {
            if (opt == app.get_help_ptr()) continue;
            s << ".TP\n.B "
              << RoffText(formatter ? formatter->make_option_name(opt, !opt->nonpositional())
                                    : opt->get_name())
              << "\n"
              << RoffText(opt->get_description()) << "\n";
        }
    });
    s << extra;
    return s.str();
}

}  // namespace zub::vault
