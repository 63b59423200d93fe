#pragma once
// The windows' pictures, kept in the folder "pictures" beside the program.
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace pelmora::ui {

// Where the pictures are looked for: `programFolder` + "/pictures".
void setProgramFolder(const QString& programFolder);
QPixmap picture(const QString& name);
// The pictures the windows need that cannot be read; empty when all can.
QStringList unreadablePictures();

}  // namespace pelmora::ui
