#include "ui/browser_library.h"

#include <QFileInfo>
#include <iostream>

#include "platform/system_platform.h"

namespace pelmora::ui {
namespace {

class EmptyBrowser : public Browser {
public:
    using Browser::Browser;
    void navigate(const QString&) override {}
};

QtMessageHandler previousHandler = nullptr;

// The web engine asks for a shared OpenGL context as its library loads after
// the application object; drawn in software it needs none, so that advice
// is not passed on.
void withoutSharedContextAdvice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!message.contains("AA_ShareOpenGLContexts")) previousHandler(type, context, message);
}

QString& folder() {
    static QString folder = QString::fromStdString(executableFolder());
    return folder;
}

}  // namespace

BrowserLibrary::BrowserLibrary(const QString& path) : library_(path) {}

Browser* BrowserLibrary::create(QWidget* parent) {
    if (!tried_) {
        tried_ = true;
        previousHandler = qInstallMessageHandler(withoutSharedContextAdvice);
        create_ = reinterpret_cast<CreateBrowser>(library_.resolve(kCreateBrowser));
        qInstallMessageHandler(previousHandler);
        if (!create_) {
            const QString path = library_.fileName();
            const QString why = QFileInfo::exists(path) ? library_.errorString() : path + " is missing";
            std::cerr << "pelmora: the link windows stay empty, no web browser: " << why.toStdString() << '\n';
        }
    }
    return create_ ? create_(parent) : new EmptyBrowser(parent);
}

BrowserLibrary& browserLibrary() {
    static BrowserLibrary library(folder() + "/libpelmora_browser.so");
    return library;
}

void setBrowserFolder(const QString& programFolder) { folder() = programFolder; }

}  // namespace pelmora::ui
