#include "strategycommands.h"

#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"

namespace zub::vault {

namespace {

const std::vector<Column> kShowFields = {{"id", ZUB_N_("Id")},
                                         {"scheme_text", ZUB_N_("Numbering"), true},
                                         {"begin_main", ZUB_N_("First main number")},
                                         {"begin_sub", ZUB_N_("First sub number")},
                                         {"new_doc_begin", ZUB_N_("New documents")},
                                         {"doc_adv_scope", ZUB_N_("Advance scope")},
                                         {"create_baseline_adv", ZUB_N_("Baseline advance")}};

}  // namespace

Json StrategyCommands::ToJson(const DRM::VersionStra& st) {
    Json j;
    j["id"] = st.versionStraId();
    j["scheme"] = st.seriaNumStra();
    j["scheme_text"] = st.seriaNumStra() == 1   ? ZUB_N_("1: whole numbers (1, 2, 3)")
                       : st.seriaNumStra() == 2 ? ZUB_N_("2: main.sub numbers (1.0, 1.1, 1.2)")
                                                : std::to_string(st.seriaNumStra()) + ": ?";
    j["begin_main"] = st.begin_Main();
    j["begin_sub"] = st.begin_Sub();
    j["new_doc_begin"] = st.newDocBeginNum();
    j["doc_adv_scope"] = st.docAdvScope();
    j["create_baseline_adv"] = st.createBSLNAdv();
    return j;
}

void StrategyCommands::Register(CLI::App& app) {
    CLI::App* group = app.add_subcommand(
        "strategy", zub::tr("How document versions are numbered: show, set, add"));
    group->require_subcommand(1);
    group->footer(
        zub::tr("New documents and check-ins number versions by the first strategy (id 1) of the "
                "store, whatever strategy their repository names."));

    CLI::App* s = group->add_subcommand("show", zub::tr("Show a version strategy"));
    s->add_option("ID", id_, zub::tr("Strategy id"))->capture_default_str();
    s->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    s->callback([this] { Show(); });

    CLI::App* set = group->add_subcommand(
        "set", zub::tr("Change a version strategy; values not given stay (administrator only)"));
    set->add_option("ID", id_, zub::tr("Strategy id"))->capture_default_str();
    set->add_option("--scheme", scheme_,
                    zub::tr("1: whole numbers (1, 2, 3); 2: main.sub (1.0, 1.1)"))
        ->check(CLI::IsMember({1, 2}));
    set->add_option("--begin-main", beginMain_,
                    zub::tr("First main number of a new document (scheme 2)"))
        ->check(CLI::NonNegativeNumber);
    set->add_option("--begin-sub", beginSub_,
                    zub::tr("First sub number of a new document (scheme 2)"))
        ->check(CLI::NonNegativeNumber);
    set->add_option(
           "--new-doc-begin", newDocBegin_,
           zub::tr("0: new documents start afresh; 1: they start at the highest version in "
                   "their repository"))
        ->check(CLI::IsMember({0, 1}));
    set->add_option("--doc-adv-scope", docAdvScope_, zub::tr("Stored for other programs"));
    set->add_option("--baseline-adv", baselineAdv_, zub::tr("Stored for other programs"));
    set->callback([this] { Set(); });

    CLI::App* add = group->add_subcommand(
        "add",
        zub::tr(
            "Add a version strategy for repositories to name; values not given are strategy 1's "
            "(administrator only)"));
    add->add_option("--scheme", scheme_,
                    zub::tr("1: whole numbers (1, 2, 3); 2: main.sub (1.0, 1.1)"))
        ->check(CLI::IsMember({1, 2}));
    add->add_option("--begin-main", beginMain_,
                    zub::tr("First main number of a new document (scheme 2)"))
        ->check(CLI::NonNegativeNumber);
    add->add_option("--begin-sub", beginSub_,
                    zub::tr("First sub number of a new document (scheme 2)"))
        ->check(CLI::NonNegativeNumber);
    add->add_option(
           "--new-doc-begin", newDocBegin_,
           zub::tr("0: new documents start afresh; 1: they start at the highest version in "
                   "their repository"))
        ->check(CLI::IsMember({0, 1}));
    add->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print the new strategy as JSON"));
    add->callback([this] { Add(); });
}

void StrategyCommands::Add() {
    s_.RequireAdmin(zub::tr("add version strategies"));
    auto st = s_.Strategy(1);
    if (scheme_) st->set_seriaNumStra(*scheme_);
    if (beginMain_) st->set_begin_Main(*beginMain_);
    if (beginSub_) st->set_begin_Sub(*beginSub_);
    if (newDocBegin_) st->set_newDocBeginNum(*newDocBegin_);
    VaultError::Check(st->Insert(), *st);
    s_.out().Done(ToJson(*st), zub::trf("Added version strategy %d; vault repo set-strategy "
                                        "REPO %d gives it to a repository",
                                        st->versionStraId(), st->versionStraId()));
}

void StrategyCommands::Show() {
    s_.Actor();
    auto st = s_.Strategy(id_);
    s_.out().Show(kShowFields, ToJson(*st));
}

void StrategyCommands::Set() {
    s_.RequireAdmin(zub::tr("change version strategies"));
    auto st = s_.Strategy(id_);
    if (scheme_) st->set_seriaNumStra(*scheme_);
    if (beginMain_) st->set_begin_Main(*beginMain_);
    if (beginSub_) st->set_begin_Sub(*beginSub_);
    if (newDocBegin_) st->set_newDocBeginNum(*newDocBegin_);
    if (docAdvScope_) st->set_docAdvScope(*docAdvScope_);
    if (baselineAdv_) st->set_createBSLNAdv(*baselineAdv_);
    VaultError::Check(st->Update(), *st);
    s_.out().Say(zub::trf("Updated version strategy %d", id_));
    s_.out().Show(kShowFields, ToJson(*s_.Strategy(id_)));
}

}  // namespace zub::vault
