#pragma once
// Loads the browser library at the first browser asked for, so that the
// quiz's start-up and memory never pay for the web engine.
#include <QLibrary>
#include <QString>

#include "ui/browser.h"

namespace pelmora::ui {

class BrowserLibrary {
public:
    explicit BrowserLibrary(const QString& path);

    // A new browser from the library. When the library cannot be loaded,
    // one line on stderr says so (once) and the browser is an empty area
    // that goes nowhere.
    Browser* create(QWidget* parent);

private:
    QLibrary library_;
    CreateBrowser create_ = nullptr;
    bool tried_ = false;
};

// libpelmora_browser.so in the program folder.
BrowserLibrary& browserLibrary();
// Where browserLibrary() looks when the running executable is not in the
// program folder (the tests); only before the first link window opens.
void setBrowserFolder(const QString& folder);

}  // namespace pelmora::ui
