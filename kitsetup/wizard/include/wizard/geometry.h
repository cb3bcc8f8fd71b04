// Control ids and where each control sits. The numbers are the layout of a
// 96-dpi screen; Place() is the one spot that turns them into widget pixels.
#pragma once

#include <QRect>

namespace zub::kitsetup::ui {

enum Id : int {
    kTimerSplash = 101,
    kSplash = 102,
    kHeaderImage = 103,
    kHeading = 104,
    kLineTop = 105,
    kLineBottom = 106,
    kBack = 107,
    kNext = 108,
    kCancel = 109,
    kLicenceLabel = 110,
    kLicenceText = 111,
    kFolderGroup = 112,
    kFolderEdit = 113,
    kFolderBrowse = 114,
    kModuleList = 115,
    kCheckList = 116,
    kConfirmLabel = 117,
    kConfirmText = 118,
    kStatusLabel = 119,
    kProgressBar = 120,
    kTypeRadio = 121,
    kViewLog = 122,
    // Beyond the original layout: the whole install path, its space, the log.
    kFolderWhole = 123,
    kFolderSpace = 124,
    kLogPath = 125,
};

struct Box {
    int x, y, w, h;
};

inline constexpr int kSplashMs = 3000;
inline constexpr int kStartX = 100, kStartY = 100, kStartSize = 400;
inline constexpr int kWidth = 500, kHeight = 400;
inline constexpr int kBandHeight = 56;  // white header band
inline constexpr int kAboveCentre = 50;
inline constexpr double kSplashOpacity = 229.0 / 255.0;

inline constexpr Box kHeaderImageBox{440, 4, 56, 48};
inline constexpr Box kHeadingBox{25, 23, 400, 20};
inline constexpr Box kLineTopBox{0, 57, 500, 0};
inline constexpr Box kLineBottomBox{0, 313, 500, 0};
inline constexpr Box kBackBox{235, 325, 75, 25};
inline constexpr Box kNextBox{320, 325, 75, 25};
inline constexpr Box kCancelBox{405, 325, 75, 25};
inline constexpr Box kLicenceLabelBox{21, 70, 200, 20};
inline constexpr Box kLicenceTextBox{20, 95, 460, 200};
inline constexpr Box kLocationLabelBox{25, 80, 450, 20};
inline constexpr Box kFolderWholeBox{25, 105, 450, 110};
inline constexpr Box kFolderGroupBox{20, 225, 455, 60};
inline constexpr Box kFolderEditBox{30, 250, 380, 20};
inline constexpr Box kFolderBrowseBox{420, 250, 40, 20};
inline constexpr Box kFolderSpaceBox{25, 290, 450, 20};
// Wide enough for a caption and a product name of some length; the radio
// buttons keep the room to the left.
inline constexpr Box kModuleListBox{230, 80, 240, 215};
inline constexpr int kDescColumn = 50;
inline constexpr Box kCheckListBox{25, 80, 445, 190};
inline constexpr int kCheckColumn = 130, kResultColumn = 65, kSolutionColumn = 400;
inline constexpr Box kConfirmLabelBox{30, 80, 400, 20};
inline constexpr Box kConfirmTextBox{30, 125, 440, 170};
inline constexpr Box kStatusLabelBox{50, 180, 400, 20};
inline constexpr Box kProgressBarBox{50, 210, 400, 17};
inline constexpr Box kViewLogBox{30, 120, 120, 25};
inline constexpr Box kFinishLabelBox{30, 90, 440, 20};
inline constexpr Box kLogPathBox{30, 160, 440, 120};

// The i-th install-type radio button.
constexpr Box TypeRadioBox(int i) { return {35, 90 + 30 * i, 180, 20}; }

// An etched line of height 0 still needs a pixel row to show.
inline QRect Place(const Box& b) { return {b.x, b.y, b.w, b.h > 0 ? b.h : 2}; }
inline int Place(int length) { return length; }

}  // namespace zub::kitsetup::ui
