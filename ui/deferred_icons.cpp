#include "ui/deferred_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>
#include <optional>

namespace pelmora::ui {
namespace {

// An icon that asks the style for the real one at its first use.
class DeferredIcon : public QIconEngine {
public:
    DeferredIcon(const QStyle* style, QStyle::StandardPixmap which, const QStyleOption* option, const QWidget* widget)
        : style_(const_cast<QStyle*>(style)), which_(which),
          option_(option ? std::optional<QStyleOption>(*option) : std::nullopt),
          widget_(const_cast<QWidget*>(widget)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QIconEngine* clone() const override { return new DeferredIcon(*this); }

private:
    // The style and the widget may have gone by then: a widget that has is
    // not asked about, a style that has gives no icon.
    const QIcon& icon() {
        if (!icon_) icon_ = style_ ? style_->standardIcon(which_, option_ ? &*option_ : nullptr, widget_) : QIcon();
        return *icon_;
    }

    QPointer<QStyle> style_;  // the proxied style itself: asking the proxy would defer again
    QStyle::StandardPixmap which_;
    std::optional<QStyleOption> option_;
    QPointer<QWidget> widget_;
    std::optional<QIcon> icon_;
};

class DeferredIconStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        return QIcon(new DeferredIcon(baseStyle(), which, option, widget));
    }
};

}  // namespace

QStyle* styleWithDeferredIcons() { return new DeferredIconStyle; }

}  // namespace pelmora::ui
