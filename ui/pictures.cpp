#include "ui/pictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmapCache>

#include "ui/embedded_picture.h"

namespace pelmora::ui {
namespace {

QString doubleSized(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    return name.left(dot) + "@2x" + name.mid(dot);
}

const EmbeddedPicture* find(const QString& name) {
    for (int i = 0; i < kEmbeddedPictureCount; ++i) {
        if (name == QLatin1String(kEmbeddedPictures[i].name)) return &kEmbeddedPictures[i];
    }
    return nullptr;
}

// `name` at device-pixel ratio `scale` (1 or 2); the designed size where no
// larger drawing exists.
QPixmap embedded(const QString& name, int scale) {
    const QString key = scale == 2 ? doubleSized(name) : name;
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) return pixmap;
    const EmbeddedPicture* p = find(key);
    if (!p) return scale == 2 ? embedded(name, 1) : QPixmap();
    QImage image(p->bits, p->width, p->height, p->bytesPerLine, QImage::Format(p->format));
    if (p->colourCount > 0) image.setColorTable(QList<QRgb>(p->colours, p->colours + p->colourCount));
    pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(scale);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

}  // namespace

QPixmap picture(const QString& name) { return embedded(name, qGuiApp->devicePixelRatio() > 1 ? 2 : 1); }

QIcon programIcon() {
    QIcon icon;
    icon.addPixmap(embedded("icon.png", 1));
    icon.addPixmap(embedded("icon.png", 2));
    return icon;
}

}  // namespace pelmora::ui
