// The credits window and the link windows under a real X server, driven by
// real input, with the real web browser. Nothing here reaches
// a network: every page ends in the browser's own error page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <filesystem>

#include "support/main_window_test.h"
#include "ui/browser_library.h"
#include "ui/link_window.h"

// Readable failures.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
void PrintTo(const QUrl& url, std::ostream* out) { *out << url.toString().toStdString(); }

namespace pelmora::ui {
namespace {

// The open window of that name; none when there are none or several.
QWidget* window(const QString& name) {
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible()) found << w;
    }
    return found.size() == 1 ? found.front() : nullptr;
}

QPoint clientOrigin(QWidget* w) { return w->mapToGlobal(QPoint(0, 0)); }

// The web engine's objects inside a link window's browser, reached through
// their meta-objects: the tests do not link the engine either.
QObject* engine(QWidget* linkWindow, const char* className) {
    for (QObject* child : linkWindow->findChild<QWidget*>("WebBrowser1")->findChildren<QObject*>()) {
        if (child->inherits(className)) return child;
    }
    return nullptr;
}
QObject* engineView(QWidget* linkWindow) { return engine(linkWindow, "QWebEngineView"); }
QObject* enginePage(QWidget* linkWindow) { return engine(linkWindow, "QWebEnginePage"); }

// Where the browser was sent; it shows there once the page (or the
// browser's error page) has come.
QUrl requestedUrl(QWidget* linkWindow) { return enginePage(linkWindow)->property("requestedUrl").toUrl(); }
QUrl shownUrl(QWidget* linkWindow) { return engineView(linkWindow)->property("url").toUrl(); }

// The page has been reached or has failed, and shows either way.
bool loaded(QWidget* linkWindow) {
    return !shownUrl(linkWindow).isEmpty() && !enginePage(linkWindow)->property("loading").toBool();
}

class CreditsTest : public testing::MainWindowTest<> {
protected:
    static bool waitFor(const std::function<bool()>& done, int ms = 10000) { return QTest::qWaitFor(done, ms); }

    // プロパティ → 著作権, clicked as a player would.
    QWidget* openCredits() {
        QMenuBar* bar = form->menuBar();
        auto* pro = form->findChild<QMenu*>("pro");
        moveTo(bar->mapToGlobal(bar->actionGeometry(pro->menuAction()).center()));
        x.click();
        EXPECT_TRUE(waitFor([&] { return pro->isVisible(); }));
        moveTo(pro->mapToGlobal(pro->actionGeometry(pro->actions().at(0)).center()));
        x.click();
        EXPECT_TRUE(waitFor([&] { return !pro->isVisible() && window("form2"); }));
        QWidget* credits = window("form2");
        if (credits) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(credits));
        }
        return credits;
    }

    // Clicks a link of the credits window and returns the window it shows.
    // The link windows open over the credits window; with no window manager
    // to raise it on a click, the test raises it.
    QWidget* follow(QWidget* credits, const char* label, const char* windowName) {
        credits->raise();
        QTest::qWait(50);
        clickOn(credits->findChild<QWidget*>(label));
        EXPECT_TRUE(waitFor([&] { return window(windowName); })) << windowName;
        QWidget* shown = window(windowName);
        if (shown) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(shown)) << windowName;
        }
        return shown;
    }
};

TEST_F(CreditsTest, TheMenuOpensTheCreditsWindowAtItsPlace) {
    QWidget* credits = openCredits();
    ASSERT_TRUE(credits);
    EXPECT_EQ(clientOrigin(credits), QPoint(387, 232));
    EXPECT_EQ(credits->size(), QSize(382, 314));
    EXPECT_EQ(credits->minimumSize(), credits->maximumSize()) << "a fixed frame";
    EXPECT_EQ(credits->windowType(), Qt::Tool) << "kept out of the taskbar";
    EXPECT_EQ(credits->windowTitle(), "ﾊﾞｰｼﾞｮﾝ情報");

    auto* icon = credits->findChild<QLabel*>("picIcon");
    EXPECT_EQ(icon->geometry(), QRect(16, 16, 36, 36));
    EXPECT_EQ(icon->contentsRect(), QRect(2, 2, 32, 32)) << "the icon inside a 2-pixel border";
    EXPECT_EQ(credits->childAt(20, 20), icon) << "the icon lies above the labels";
    EXPECT_EQ(credits->findChild<QWidget*>("Line1")->geometry(), QRect(0, 128, 376, 1));
    EXPECT_EQ(credits->findChild<QWidget*>("Line2")->geometry(), QRect(0, 192, 376, 1));
    auto text = [&](const char* name) { return credits->findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(text("labeld"), "Pelmora");
    EXPECT_EQ(text("labelb"), "ﾊﾞｰｼﾞｮﾝ1.0");
    EXPECT_EQ(text("Label2"), "キャラクターCG　Lusaro");
    EXPECT_EQ(text("Label4"), "鍵盤CG　音ファイル　Tarvik");

    // The main window stays usable beside it; a second 著作権 opens no second one.
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(openCredits(), credits);

    // Closed, it is gone; the menu makes it anew at its place.
    QPointer<QWidget> closed = credits;
    credits->close();
    ASSERT_TRUE(waitFor([&] { return !closed; }));
    credits = openCredits();
    ASSERT_TRUE(credits);
    EXPECT_EQ(clientOrigin(credits), QPoint(387, 232));
}

TEST_F(CreditsTest, EachLinkOpensItsOwnPageOnce) {
    QWidget* credits = openCredits();
    ASSERT_TRUE(credits);
    struct Link { const char* label; const char* window; QPoint origin; };
    const Link links[] = {
        {"Label3", "Form4", QPoint(317, 305)},
        {"Label5", "Form5", QPoint(303, 305)},
        {"Label1", "Form6", QPoint(360, 291)},
    };
    QSet<QString> addresses;
    for (const Link& link : links) {
        QWidget* page = follow(credits, link.label, link.window);
        ASSERT_TRUE(page) << link.window;
        const QString address = credits->findChild<QLabel*>(link.label)->text();
        addresses << address;
        EXPECT_EQ(clientOrigin(page), link.origin) << link.window;
        EXPECT_EQ(page->size(), QSize(312, 206)) << link.window;
        EXPECT_EQ(page->windowTitle(), "簡易ブラウザ～");
        EXPECT_EQ(page->windowType(), Qt::Window) << "a window of its own, in the taskbar";
        EXPECT_EQ(page->findChild<QLineEdit*>("Text1")->text(), address) << link.window;
        ASSERT_TRUE(engineView(page)) << "the browser library was not loaded";
        EXPECT_EQ(requestedUrl(page), QUrl(address)) << link.window;
    }
    EXPECT_EQ(addresses.size(), 3);

    // Without a network the page fails, in the browser and nowhere else.
    QWidget* form4 = window("Form4");
    ASSERT_TRUE(waitFor([&] { return loaded(form4); }, 20000)) << "the page never finished";
    EXPECT_EQ(shownUrl(form4), QUrl(kCharacterPage.address));
    QSignalSpy started(engineView(form4), SIGNAL(loadStarted()));

    // A second click only brings the open window to the front.
    const QPoint overlap = form4->mapToGlobal(QPoint(13, 100));
    auto topWindowAt = [](QPoint p) {
        QWidget* w = QApplication::widgetAt(p);
        return w ? w->window() : nullptr;
    };
    ASSERT_EQ(topWindowAt(overlap), window("Form5"));
    EXPECT_EQ(follow(credits, "Label3", "Form4"), form4);
    EXPECT_TRUE(waitFor([&] { return topWindowAt(overlap) == form4; }, 2000));
    QTest::qWait(300);
    EXPECT_EQ(started.size(), 0) << "the page was loaded again";

    // The address line takes typing, but Enter goes nowhere.
    auto* line = form4->findChild<QLineEdit*>("Text1");
    clickOn(line);
    x.chord("Control_L", "a");
    x.type("https://elsewhere.example/");
    ASSERT_TRUE(waitFor([&] { return line->text() == "https://elsewhere.example/"; }));
    x.tap("Return");
    QTest::qWait(500);
    EXPECT_EQ(started.size(), 0);
    EXPECT_EQ(shownUrl(form4), QUrl(kCharacterPage.address));

    // Closing the credits window leaves the link windows open.
    credits->close();
    QTest::qWait(50);
    EXPECT_TRUE(window("Form4") && window("Form5") && window("Form6"));

    // A closed link window is gone with its browser; its link loads the
    // designed page afresh.
    QPointer<QWidget> closed = form4;
    form4->close();
    ASSERT_TRUE(waitFor([&] { return !closed; }));
    credits = openCredits();
    ASSERT_TRUE(credits);
    QWidget* again = follow(credits, "Label3", "Form4");
    ASSERT_TRUE(again);
    EXPECT_EQ(clientOrigin(again), QPoint(317, 305));
    EXPECT_EQ(again->findChild<QLineEdit*>("Text1")->text(), kCharacterPage.address);
    EXPECT_EQ(requestedUrl(again), QUrl(kCharacterPage.address));
}

TEST_F(CreditsTest, TheBrowserFollowsTheWindowSize) {
    QWidget* credits = openCredits();
    ASSERT_TRUE(credits);
    QWidget* page = follow(credits, "Label5", "Form5");
    ASSERT_TRUE(page);
    auto* browser = page->findChild<QWidget*>("WebBrowser1");
    auto* line = page->findChild<QWidget*>("Text1");
    auto* view = qobject_cast<QWidget*>(engineView(page));
    ASSERT_TRUE(view);

    auto check = [&](QSize client) {
        // 360 twips of the browser lie below the client area.
        EXPECT_EQ(browser->geometry(), QRect(QPoint(0, 24), client)) << client.width() << "x" << client.height();
        EXPECT_EQ(line->geometry(), QRect(0, 0, client.width(), 25));
        EXPECT_EQ(view->geometry(), browser->rect()) << "the page fills the browser";
    };
    check(QSize(312, 206));
    for (QSize size : {QSize(640, 480), QSize(150, 90), QSize(120, 20), QSize(400, 300)}) {
        x.resize(page->winId(), size.width(), size.height());
        ASSERT_TRUE(waitFor([&] { return page->size() == size; }, 3000)) << size.width() << "x" << size.height();
        QTest::qWait(20);
        check(size);
    }
    EXPECT_EQ(clientOrigin(page), QPoint(303, 305)) << "only the size changes";
}

TEST(BrowserLibraryTest, WithoutTheLibraryTheBrowserIsAnEmptyArea) {
    BrowserLibrary missing("/nonexistent/libpelmora_browser.so");
    QWidget parent;
    ::testing::internal::CaptureStderr();
    Browser* first = missing.create(&parent);
    Browser* second = missing.create(&parent);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->children().isEmpty());
    first->navigate(kAuthorPage.address);
    EXPECT_NE(said.find("/nonexistent/libpelmora_browser.so"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "said once: " << said;
}

}  // namespace
}  // namespace pelmora::ui
