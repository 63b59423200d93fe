// The browser library: a web engine view behind the Browser interface.
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QUrl>
#include <QWebEngineView>
#include <unistd.h>

#include "ui/browser.h"

namespace pelmora::ui {
namespace {

class WebBrowser : public Browser {
public:
    explicit WebBrowser(QWidget* parent) : Browser(parent), view_(new QWebEngineView(this)) {
        setFocusProxy(view_);
    }

    void navigate(const QString& address) override { view_->load(QUrl::fromUserInput(address)); }

protected:
    void resizeEvent(QResizeEvent*) override { view_->setGeometry(rect()); }

private:
    QWebEngineView* view_;
};

// Read by the engine when its first view is made.
void prepareEngine() {
    // The engine's sandbox will not start for root; only then, and only in
    // this process, does it run without one.
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Drawn in software: the pages are three small static ones, and a GPU
    // path would need an OpenGL context shared from before the application
    // object existed, which every start of the quiz would pay for.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + (flags.isEmpty() ? "" : " ") + "--disable-gpu");
    // The engine's start-up report and the pages' console messages are not
    // the player's business; QT_LOGGING_RULES still turns them back on.
    QLoggingCategory::setFilterRules("qt.webenginecontext.info=false\njs=false");
}

}  // namespace
}  // namespace pelmora::ui

extern "C" Q_DECL_EXPORT pelmora::ui::Browser* pelmora_create_browser(QWidget* parent) {
    static bool prepared = false;
    if (!prepared) {
        prepared = true;
        pelmora::ui::prepareEngine();
    }
    return new pelmora::ui::WebBrowser(parent);
}
