#pragma once
// Window geometry is designed in twips: 15 to a pixel at 96 dots per inch.
#include <QRect>

#include "ui/layout.h"

namespace pelmora::ui {

inline constexpr int kTwipsPerPixel = layout::kTwipsPerPixel;

constexpr QRect twips(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}
constexpr QRect twips(const layout::Place& p) { return twips(p.left, p.top, p.width, p.height); }

}  // namespace pelmora::ui
