#pragma once
// Window geometry is designed in twips: 15 to a pixel at 96 dots per inch.
#include <QRect>

namespace pelmora::ui {

inline constexpr int kTwipsPerPixel = 15;

constexpr QRect twips(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

}  // namespace pelmora::ui
