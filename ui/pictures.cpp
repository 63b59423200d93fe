#include "ui/pictures.h"

#include <QPixmapCache>
#include <set>

#include "platform/system_platform.h"
#include "ui/keyboard.h"

namespace pelmora::ui {
namespace {

QString& folder() {
    static QString folder = QString::fromStdString(executableFolder());
    return folder;
}

QString picturePath(const QString& name) { return folder() + "/pictures/" + name; }

}  // namespace

void setProgramFolder(const QString& programFolder) {
    folder() = programFolder;
    QPixmapCache::clear();
}

QPixmap picture(const QString& name) {
    QPixmap pixmap;
    if (!QPixmapCache::find(name, &pixmap)) {
        pixmap.load(picturePath(name));
        QPixmapCache::insert(name, pixmap);
    }
    return pixmap;
}

QStringList unreadablePictures() {
    std::set<QString> names{"character.jpg", "icon.png"};
    for (const KeyImage& key : kKeyImages) names.insert(key.picture);
    QStringList unreadable;
    for (const QString& name : names) {
        if (picture(name).isNull()) unreadable << picturePath(name);
    }
    return unreadable;
}

}  // namespace pelmora::ui
