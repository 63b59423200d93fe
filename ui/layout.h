#pragma once
// Where the main window and the name window open and where their controls
// lie. Places are in twips (15 to a pixel at 96 dots per inch) from the
// top-left corner of a window's client area; the windows are built from
// them, and whatever drives the real program from outside finds the
// controls here. Kept free of Qt for those.
namespace pelmora::ui::layout {

inline constexpr int kTwipsPerPixel = 15;

struct Point {
    int x, y;  // pixels
};

struct Place {
    int left, top, width, height;  // twips

    // The middle of the place on the screen, for a window whose client area
    // has its top-left corner at `origin`.
    constexpr Point centreOn(Point origin) const {
        return {origin.x + (left + width / 2) / kTwipsPerPixel, origin.y + (top + height / 2) / kTwipsPerPixel};
    }
};

// The main window, whose client area opens at that screen pixel; the
// fixed point the pointer goes to after an answer lies on the start button there.
inline constexpr Point kMainOrigin{217, 267};
inline constexpr Place kMainClient{0, 0, 7605, 4335};
inline constexpr Place kPicture{0, 0, 3495, 4335};
inline constexpr Place kStartButton{3720, 2640, 735, 375};
inline constexpr Place kReplayButton{4680, 2640, 855, 375};
inline constexpr Place kClearButton{5760, 2640, 735, 375};
inline constexpr Place kPanel{3720, 3360, 3615, 735};
inline constexpr Place kPanelOutline{3600, 3240, 3855, 975};
inline constexpr Place kLevelHeading{6480, 120, 1095, 375};
inline constexpr Place kLevels[3] = {{6480, 600, 1095, 255}, {6480, 960, 1095, 255}, {6480, 1320, 1095, 255}};

// The name window.
inline constexpr Point kNameOrigin{344, 348};
inline constexpr Place kNameClient{0, 0, 3990, 1965};
inline constexpr Place kNamePrompt{960, 240, 2295, 255};
inline constexpr Place kNameEntry{840, 600, 2415, 270};
inline constexpr Place kNameSave{1320, 1200, 1335, 375};

}  // namespace pelmora::ui::layout
