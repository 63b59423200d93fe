#pragma once
// The embedded web browser as the link windows see it. The browser itself is
// in libpelmora_browser.so beside the program, the only part that links the
// web engine; the program loads it when the first link window opens.
#include <QString>
#include <QWidget>

namespace pelmora::ui {

class Browser : public QWidget {
public:
    using QWidget::QWidget;
    // Starts loading the page and returns at once. A page that cannot be
    // reached is the browser's to show.
    virtual void navigate(const QString& address) = 0;
};

// The library's entry point, an extern "C" function of this name: a new
// browser, a child of `parent`.
using CreateBrowser = Browser* (*)(QWidget* parent);
inline constexpr char kCreateBrowser[] = "pelmora_create_browser";

}  // namespace pelmora::ui
