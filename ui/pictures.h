#pragma once
// The windows' pictures, compiled into the program.
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace pelmora::ui {

// The picture of that file name in assets/pictures, as drawn on this
// display: where the display's pixel ratio is above 1, the drawing at twice
// the size (name@2x.ext) with a device-pixel ratio of 2, as Qt picks such
// files itself. Null for a name the program does not hold.
QPixmap picture(const QString& name);

// The program icon, at both of its sizes.
QIcon programIcon();

}  // namespace pelmora::ui
