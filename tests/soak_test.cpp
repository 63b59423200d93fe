// A beginner let loose on the real windows: thousands of random real inputs
// (moves, clicks, presses and drags on the keys, buttons and option buttons,
// the menus, the credits window and a link window, the keyboard), with
// questions among them, through the real sound server. After every input the
// quiz state held in the labels must still make sense; at the end the window
// must still answer, its memory must have stopped growing, and closing it
// must write a sane record.
//
// PELMORA_SOAK_EVENTS sets the number of inputs (500 by default) and
// PELMORA_SOAK_SEED the seed; both are printed so that a failure replays.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <regex>

#include "platform/cp932.h"
#include "platform/profile_file.h"
#include "quiz/number.h"
#include "support/files.h"
#include "support/main_window_test.h"

namespace pelmora::ui {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long envNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// The real platform in a folder of the test's own. It counts what the quiz
// asks of it, and its draws follow the soak's seed, so that a failing run
// replays; the two ends of [0, 1) come up often.
struct SoakPlatform : testing::FolderPlatform {
    QPointer<MainWindow> form;
    std::mt19937 draws;
    int drawn = 0, drawnLevel = 0, answers = 0;

    float random() override {
        ++drawn;
        if (form) drawnLevel = form->selectedLevel();
        switch (draws() % 8) {
        case 0: return 0.0f;
        case 1: return std::nextafter(1.0f, 0.0f);
        default: return float(draws() >> 8) * 0x1p-24f;
        }
    }
    // Every key press ends by placing the pointer, judged or not.
    void placePointer(int x, int y) override {
        ++answers;
        SystemPlatform::placePointer(x, y);
    }
};

const std::string kRecordBefore = "[設定]\r\n色=青\r\n[情報]\r\nユーザー=花子\r\n得点=15\r\n平均点=12.5\r\n起動回数=3\r\n";

class Soak : public testing::MainWindowTest<SoakPlatform> {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.connected());
        makeFolder("soak");
        linkNotes();
        testing::writeBytes(folder / "date.ini", cp932::fromUtf8(kRecordBefore));
        platform.draws.seed(seed);
        openWindow();
        platform.form = form;
        // The browser may start dragging its page after a quick press, move
        // and release is over; that drag then waits for the next click, as
        // it would for a player, and the test is inside its event loop.
        QObject::connect(&dragEnder, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->findChildren<QDrag*>().isEmpty()) {
                    x.click();
                    ++dragsEnded;
                    return;
                }
            }
        });
        dragEnder.start(500);
    }
    void TearDown() override {
        dragEnder.stop();
        MainWindowTest::TearDown();
    }

    int pick(int n) { return int(rng() % unsigned(n)); }
    void settle(int ms = 10) { QTest::qWait(ms); }

    QPoint pointIn(QWidget* w) {
        const QRect r = w->rect();
        return w->mapToGlobal(QPoint(r.left() + pick(r.width()), r.top() + pick(r.height())));
    }
    // Anywhere over the windows, and a little around them.
    QPoint anywhere() { return QPoint(150 + pick(700), 200 + pick(420)); }
    // Without waiting for the pointer: inputs come as fast as a player's.
    void moveTo(QPoint p) { x.move(p.x(), p.y()); }

    std::vector<QWidget*> secondaryWindows() const {
        std::vector<QWidget*> found;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w != form && w->isVisible() && !qobject_cast<QMenu*>(w)) found.push_back(w);
        }
        return found;
    }
    QWidget* visibleWindow(const char* name) const {
        for (QWidget* w : secondaryWindows()) {
            if (w->objectName() == name) return w;
        }
        return nullptr;
    }

    // Every control of the main window but 開始 and もう一度, which have
    // events of their own because each note holds the window for 1.5 s.
    const char* randomControl() {
        static const std::vector<const char*> names = [] {
            std::vector<const char*> n{"Command10", "Option1", "Option2", "Option3", "Picture1", "Label1", "Label6"};
            for (const KeyImage& k : kKeyImages) n.push_back(k.name);
            for (const KeyImage& k : kKeyImages) n.push_back(k.name);  // keys twice as often
            return n;
        }();
        return names[size_t(pick(int(names.size())))];
    }

    // A press brings its window to the front, as a desktop's window manager
    // does (the virtual display has none); menus stay where they are.
    void press(int button) {
        x.button(button, true);
        QWidget* w = QApplication::topLevelAt(QCursor::pos());
        if (w && !qobject_cast<QMenu*>(w)) w->raise();
    }
    void click(int button = 1) {
        press(button);
        x.button(button, false);
    }

    // ---- the events; each returns what it did -------------------------------

    std::string moveAround() {
        const int steps = 1 + pick(3);
        for (int i = 0; i < steps; ++i) moveTo(anywhere());
        return "move";
    }
    std::string clickControl() {
        const char* name = randomControl();
        const int button = pick(10) < 8 ? 1 : pick(2) ? 3 : 2;
        moveTo(pointIn(control(name)));
        click(button);
        return "click " + std::to_string(button) + " " + name;
    }
    std::string clickAnywhere() {
        moveTo(anywhere());
        click();
        return "click anywhere";
    }
    std::string drag() {
        const char* name = randomControl();
        moveTo(pointIn(control(name)));
        press(1);
        settle(pick(40));
        moveTo(pick(2) ? anywhere() : pointIn(control(randomControl())));
        x.button(1, false);
        return std::string("drag from ") + name;
    }
    std::string doubleClick() {
        const char* name = randomControl();
        moveTo(pointIn(control(name)));
        click();
        click();
        return std::string("double click ") + name;
    }
    std::string wheel() {
        moveTo(anywhere());
        x.click(4 + pick(2));
        return "wheel";
    }
    std::string key() {
        static const char* keys[] = {"Tab", "Left", "Right", "Up", "Down", "Escape", "Return", "a", "space"};
        const char* name = keys[pick(std::size(keys))];
        x.tap(name);
        return std::string("key ") + name;
    }
    // The player brings the main window forward first, with a click on
    // whatever part of it shows.
    std::string button(const char* name) {
        form->raise();
        moveTo(pointIn(control(name)));
        click();
        return std::string("click ") + name;
    }
    // Opens メニュー or プロパティ and then chooses an item, escapes, clicks
    // elsewhere or wanders over the items first.
    std::string menu(int which = -1, int item = -1) {
        const char* name = which < 0 ? (pick(2) ? "menu" : "pro") : which == 0 ? "menu" : "pro";
        auto* popup = form->findChild<QMenu*>(name);
        QMenuBar* bar = form->menuBar();
        // A popup already open (this menu, the other, or a right-click menu
        // of a link window) takes the click to close itself.
        const bool popupOpen = QApplication::activePopupWidget();
        moveTo(bar->mapToGlobal(bar->actionGeometry(popup->menuAction()).center()));
        click();
        if (popupOpen) return std::string("menu ") + name + " clicked with a popup open";
        if (!QTest::qWaitFor([&] { return popup->isVisible(); }, 1500)) return std::string("menu ") + name + " did not open";
        const int items = int(popup->actions().size());
        auto itemCentre = [&](int i) { return popup->mapToGlobal(popup->actionGeometry(popup->actions().at(i)).center()); };
        const int how = item >= 0 ? 0 : pick(4);
        if (how == 3) {
            for (int i = 0; i < items; ++i) moveTo(itemCentre(pick(items)));
        }
        if (how == 0) {
            const int chosen = item >= 0 ? item : pick(items);
            moveTo(itemCentre(chosen));
            click();
            return std::string("menu ") + name + " item " + std::to_string(chosen);
        }
        if (how == 1 || how == 3) {
            x.tap("Escape");
            return std::string("menu ") + name + " escaped";
        }
        moveTo(anywhere());
        click();
        return std::string("menu ") + name + " clicked away";
    }
    // A link of the credits window, opening it first through its menu.
    std::string link(const char* label = nullptr) {
        QWidget* credits = visibleWindow("form2");
        if (!credits) {
            std::string done = menu(1, 0);
            (void)QTest::qWaitFor([&] { return visibleWindow("form2") != nullptr; }, 2000);
            return done;
        }
        static const char* links[] = {"Label1", "Label3", "Label5"};
        const char* name = label ? label : links[pick(3)];
        credits->raise();
        moveTo(pointIn(credits->findChild<QWidget*>(name)));
        click();
        return std::string("credits link ") + name;
    }
    std::string closeWindow() {
        const std::vector<QWidget*> open = secondaryWindows();
        if (open.empty()) return moveAround();
        QWidget* w = open[size_t(pick(int(open.size())))];
        const std::string name = w->objectName().toStdString();
        x.closeWindow(w->winId());
        return "close " + name;
    }

    // ---- what must hold after every event -----------------------------------

    std::string broken() {
        const QuizState& now = state();
        const std::string note = now.pendingNote ? std::to_string(*now.pendingNote) : "none";
        if (now.pendingNote && (*now.pendingNote < 1 || *now.pendingNote > 12)) return "current note " + note;
        if (now.lastAnswer == Verdict::Right && now.pendingNote) return "right answer with the question open";
        if (now.lastAnswer == Verdict::Wrong && !now.pendingNote) return "wrong answer with the question closed";
        const std::string score = formatNumber(now.score), average = now.average;
        if (!std::regex_match(score, std::regex("0|-?[1-9][0-9]*"))) return "score " + score;
        const long value = std::stol(score);
        if (value % 5 != 0) return "score " + score;
        const long moved = std::labs(value - lastScore), allowed = 5L * (platform.answers - lastAnswers);
        if (moved > allowed && std::labs(value) > allowed) return "score moved from " + std::to_string(lastScore) + " to " + score;
        if (average != "12.5" && average != "0") return "average " + average;
        if (now.name != "花子" || now.launches != "4") return "name or launch count changed";
        if (platform.drawn != lastDrawn && now.pendingNote) {
            const int n = *now.pendingNote, level = platform.drawnLevel;
            const bool inRange = level == 1 ? n <= 7 : level == 2 ? n >= 8 : true;
            if (!inRange) return "level " + std::to_string(level) + " drew note " + note;
        }
        lastScore = value;
        lastAnswers = platform.answers;
        lastDrawn = platform.drawn;
        return {};
    }

    const unsigned seed = unsigned(envNumber("PELMORA_SOAK_SEED", 20240611));
    std::mt19937 rng{seed};
    QTimer dragEnder;
    int dragsEnded = 0;
    long lastScore = 0;
    int lastAnswers = 0, lastDrawn = 0;
};

TEST_F(Soak, RandomInputKeepsTheQuizSaneAndTheMemoryFlat) {
    const long events = envNumber("PELMORA_SOAK_EVENTS", 500);
    // Memory is compared from here on: by then every kind of window has been
    // made once (the web engine's first load is a one-off cost).
    const long baselineAt = std::min(500L, events / 5);
    std::cout << "soak: " << events << " events, seed " << seed
              << " (PELMORA_SOAK_EVENTS, PELMORA_SOAK_SEED)" << std::endl;

    struct Kind { int weight; bool note; std::function<std::string()> run; };
    // Every kind of window first: a question, both menus, the credits window
    // and each of its links.
    std::vector<Kind> script = {
        {0, true, [&] { return button("Command8"); }},
        {0, false, [&] { return menu(0, 0); }},
        {0, false, [&] { return link(); }},
    };
    for (const char* label : {"Label1", "Label3", "Label5"}) {
        script.push_back({0, false, [&, label] { return link(label); }});
    }
    for (int i = 0; i < 4; ++i) script.push_back({0, false, [&] { return closeWindow(); }});
    const std::vector<Kind> kinds = {
        {230, false, [&] { return moveAround(); }},
        {300, false, [&] { return clickControl(); }},
        {90, false, [&] { return clickAnywhere(); }},
        {80, false, [&] { return drag(); }},
        {30, false, [&] { return doubleClick(); }},
        {10, false, [&] { return wheel(); }},
        {60, false, [&] { return key(); }},
        {90, false, [&] { return menu(); }},
        {25, false, [&] { return link(); }},
        {35, false, [&] { return closeWindow(); }},
        {30, true, [&] { return button("Command8"); }},
        {10, true, [&] { return button("Command9"); }},
    };
    int total = 0;
    for (const Kind& k : kinds) total += k.weight;

    std::deque<std::string> recent;
    std::string trend;  // MiB at every tenth of the run
    long baselineKiB = 0;
    double slowest = 0;
    std::string slowestWhat;
    int noteEvents = 0;
    const auto began = Clock::now();
    for (long i = 0; i < events; ++i) {
        const auto t0 = Clock::now();
        const int notesBefore = platform.notes;
        std::string what;
        bool note = false;
        if (size_t(i) < script.size()) {
            note = script[size_t(i)].note;
            what = script[size_t(i)].run();
        } else {
            int r = pick(total);
            for (const Kind& k : kinds) {
                if ((r -= k.weight) < 0) {
                    note = k.note;
                    what = k.run();
                    break;
                }
            }
        }
        settle();
        const double took = msSince(t0);
        noteEvents += note;
        // A note holds the window for its length; anything else should not.
        if (platform.notes == notesBefore && took > slowest) slowest = took, slowestWhat = what;
        recent.push_back(std::to_string(i) + ": " + what);
        if (recent.size() > 12) recent.pop_front();
        if (const std::string problem = broken(); !problem.empty()) {
            std::string trail;
            for (const std::string& r : recent) trail += "\n  " + r;
            FAIL() << "after event " << i << " (seed " << seed << "): " << problem << "\nlast events:" << trail;
        }
        ASSERT_TRUE(form) << "the main window went away at event " << i;
        if (i + 1 == baselineAt) baselineKiB = residentKiB();
        if ((i + 1) % std::max(1L, events / 10) == 0) trend += " " + std::to_string(residentKiB() / 1024);
    }
    const double seconds = msSince(began) / 1000;
    const long endKiB = residentKiB();

    // Quiet again: no menu, no other window.
    for (int i = 0; i < 5 && QApplication::activePopupWidget(); ++i) x.tap("Escape"), settle(50);
    for (QWidget* w : secondaryWindows()) x.closeWindow(w->winId());
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondaryWindows().empty() && !QApplication::activePopupWidget(); }, 5000));

    // It still answers: a level-3 question answered right.
    button("Option3");
    const double scoreBefore = state().score;
    const int drawnBefore = platform.drawn;
    button("Command8");
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.drawn > drawnBefore && state().pendingNote; }, 5000));
    const auto asked = Clock::now();
    moveTo(pointIn(control(MainWindowTest::key(*state().pendingNote))));
    x.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state().pendingNote; }, 5000)) << "the window stopped answering";
    const double answerMs = msSince(asked);
    EXPECT_EQ(state().lastAnswer, Verdict::Right);
    EXPECT_EQ(state().score, scoreBefore + 5);

    std::printf("soak: %ld events in %.1f s, %d of them on 開始 or もう一度, %d notes played; slowest input without a note %.0f ms (%s)\n",
                events, seconds, noteEvents, platform.notes, slowest, slowestWhat.c_str());
    std::printf("soak: resident MiB at each tenth of the run:%s\n", trend.c_str());
    std::printf("soak: %d drags the browser began after the release, each ended by a further click\n", dragsEnded);
    std::printf("soak: resident memory %.1f MiB after %ld events, %.1f MiB after %ld: grew %.2f MiB; a last answer took %.0f ms\n",
                baselineKiB / 1024.0, baselineAt, endKiB / 1024.0, events, (endKiB - baselineKiB) / 1024.0, answerMs);
    std::fflush(stdout);
#ifndef __SANITIZE_ADDRESS__  // its quarantine holds on to freed memory; LeakSanitizer judges leaks there
    EXPECT_LT(endKiB - baselineKiB, 10 * 1024) << "resident memory kept growing";
#endif

    // Closing, as the window manager's close button does, saves the record.
    const std::string score = formatNumber(state().score), average = state().average;
    x.closeWindow(form->winId());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form; }, 5000));
    const std::string bytes = testing::readBytes(folder / "date.ini");
    const std::string stored = profile::read("情報", "平均点", (folder / "date.ini").string());
    EXPECT_EQ(bytes, cp932::fromUtf8("[設定]\r\n色=青\r\n[情報]\r\nユーザー=花子\r\n得点=" + score + "\r\n平均点=" +
                                     stored + "\r\n起動回数=4\r\n"));
    const double low = std::min(parseNumber(average), parseNumber(score)), high = std::max(parseNumber(average), parseNumber(score));
    EXPECT_TRUE(parseNumber(stored) >= low && parseNumber(stored) <= high && formatNumber(parseNumber(stored)) == stored)
        << "average " << stored << " from " << average << " and " << score;
}

}  // namespace
}  // namespace pelmora::ui
