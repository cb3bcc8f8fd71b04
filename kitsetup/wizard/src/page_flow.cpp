#include "wizard/page_flow.h"

namespace zub::kitsetup {

namespace {

constexpr int kAccept = 113, kRefuse = 114, kPrevious = 118, kNextText = 119, kCancelText = 120;
constexpr int kInstallText = 126, kFailText = 127, kDone = 132;

ButtonState Quit(int textId = 0) { return {textId, Show::Keep, true, Page::Quit}; }

}  // namespace

Page PageFlow::Forward(Page page) const {
    if (page == Page::InstallType && skipTypes_) return Page::Check;
    return page;
}

Page PageFlow::Backward(Page page) const {
    if (page == Page::InstallType && skipTypes_) return Page::Location;
    if (page == Page::Licence && !licence_) return Page::None;
    return page;
}

PageState PageFlow::State(Page page) const {
    switch (page) {
        case Page::Licence:
            return {112,
                    {0, Show::Hidden, false, Page::None},
                    {kAccept, Show::Visible, true, Forward(Page::Location)},
                    Quit(kRefuse)};
        case Page::Location:
            return {117,
                    {kPrevious, licence_ ? Show::Visible : Show::Hidden, licence_,
                     Backward(Page::Licence)},
                    {kNextText, Show::Visible, true, Forward(Page::InstallType)},
                    Quit(kCancelText)};
        case Page::InstallType:
            return {121,
                    {0, Show::Visible, true, Backward(Page::Location)},
                    {kNextText, Show::Visible, false, Forward(Page::Check)},
                    Quit()};
        case Page::Check:
            return {122,
                    {0, Show::Visible, true, Backward(Page::InstallType)},
                    {kNextText, Show::Visible, true, Page::Confirm},
                    Quit()};
        case Page::Confirm:
            return {
                125,
                {0, Show::Visible, true, hasChecks_ ? Page::Check : Backward(Page::InstallType)},
                {kInstallText, Show::Visible, true, Page::Progress},
                Quit()};
        case Page::Progress:
            return {129,
                    {0, Show::Keep, false, Page::None},
                    {0, Show::Keep, false, Page::None},
                    {0, Show::Keep, false, Page::None}};
        case Page::Finish:
            return Finished(true);
        case Page::None:
        case Page::Quit:
            break;
    }
    return {};
}

PageState PageFlow::NothingToInstall() {
    return {0,
            {0, Show::Keep, false, Page::None},
            {kFailText, Show::Keep, false, Page::None},
            {0, Show::Keep, true, Page::Quit}};
}

PageState PageFlow::Finished(bool success) {
    return {success ? 131 : 145,
            {0, Show::Hidden, false, Page::None},
            {kDone, Show::Visible, true, Page::Quit},
            {0, Show::Hidden, false, Page::None}};
}

}  // namespace zub::kitsetup
