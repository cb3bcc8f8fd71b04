// Which page follows which, and how the three buttons look on each page.
#pragma once

namespace zub::kitsetup {

enum class Page { None, Licence, Location, InstallType, Check, Confirm, Progress, Finish, Quit };

enum class Show { Keep, Visible, Hidden };

struct ButtonState {
    int textId = 0;  // 0 leaves the text as it is
    Show show = Show::Keep;
    bool enabled = true;
    Page target = Page::None;  // None: the button does nothing
};

struct PageState {
    int headingId = 0;
    ButtonState back, next, cancel;
};

class PageFlow {
public:
    PageFlow(bool showLicence, int installTypes, int modules)
        : licence_(showLicence), skipTypes_(installTypes == 2 && modules == 1) {}

    bool ShowsLicence() const { return licence_; }
    // One module and only the custom type besides its own: no type page.
    bool SkipsInstallType() const { return skipTypes_; }

    // The check page found checks to show; the confirmation page's Back
    // depends on it.
    void SetHasChecks(bool has) { hasChecks_ = has; }
    bool HasChecks() const { return hasChecks_; }

    Page First() const { return licence_ ? Page::Licence : Page::Location; }
    // Where a request to open `page` lands: the skipped type page gives way
    // to the check page going forward and to the location page going back.
    Page Forward(Page page) const;
    Page Backward(Page page) const;

    // Buttons of `page` as it opens. Next of the type page and the check
    // page depends on the selection and the checks; the pages adjust it.
    PageState State(Page page) const;
    // The progress page with nothing to install.
    static PageState NothingToInstall();
    static PageState Finished(bool success);

private:
    bool licence_;
    bool skipTypes_;
    bool hasChecks_ = false;
};

}  // namespace zub::kitsetup
