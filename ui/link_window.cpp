#include "ui/link_window.h"

#include <QApplication>
#include <QLineEdit>

#include "ui/browser_library.h"
#include "ui/twips.h"

namespace pelmora::ui {

LinkWindow* LinkWindow::open(const LinkPage& page) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<LinkWindow*>(widget);
        // A closed window is hidden until its deletion comes round.
        if (window && window->objectName() == page.window && window->isVisible()) {
            window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
            window->raise();
            return window;
        }
    }
    auto* window = new LinkWindow(page);
    window->loadPage();
    window->show();
    return window;
}

LinkWindow::LinkWindow(const LinkPage& page) {
    setObjectName(page.window);
    setWindowTitle("簡易ブラウザ～");
    setAttribute(Qt::WA_DeleteOnClose);
    // Only the main window ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setGeometry(QRect(page.origin, QSize(4680 / kTwipsPerPixel, 3090 / kTwipsPerPixel)));

    browser_ = browserLibrary().create(this);
    browser_->setObjectName("WebBrowser1");
    browser_->setGeometry(twips(0, 360, 4695, 2775));

    // Created after the browser, so it lies above the browser's top pixel.
    address_ = new QLineEdit(page.address, this);
    address_->setObjectName("Text1");
    address_->setGeometry(twips(0, 0, 4695, 375));
    address_->setCursorPosition(0);  // a long address shows from its start

    setTabOrder(browser_, address_);
    browser_->setFocus();
}

void LinkWindow::resizeEvent(QResizeEvent*) { fitBrowser(); }

void LinkWindow::loadPage() { browser_->navigate(address_->text()); }

void LinkWindow::fitBrowser() {
    // The browser is as tall as the whole client area but keeps its top
    // below the address line, so its bottom strip lies outside the window.
    browser_->resize(width(), height());
    address_->resize(width(), address_->height());
}

}  // namespace pelmora::ui
