#pragma once
// The real main window, on the real platform in a program folder of the
// test's own, driven by real input through XTEST: the fixture of the window
// tests. Points are in the window system's device-independent pixels; the
// input goes to the device's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QTest>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <unistd.h>

#include "platform/system_platform.h"
#include "quiz/quiz.h"
#include "support/x_input.h"
#include "ui/keyboard.h"
#include "ui/main_window.h"

namespace pelmora::testing {

// The real platform, in the test's program folder; it counts what the quiz
// asks of it and can act while a note sounds.
struct FolderPlatform : SystemPlatform {
    std::string folder;
    int notes = 0, beeps = 0;
    double lastPlayMs = -1;  // how long the last note held the call
    std::function<void()> whileNoteSounds;

    std::string programFolder() override { return folder; }
    void playSound(const std::string& path, const std::function<void()>& started) override {
        ++notes;
        const auto t0 = std::chrono::steady_clock::now();
        SystemPlatform::playSound(path, [&] {
            if (started) started();
            if (whileNoteSounds) whileNoteSounds();
        });
        lastPlayMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    }
    void beep() override {
        ++beeps;
        SystemPlatform::beep();
    }
};

// Where every answer puts the pointer.
inline const QPoint kVerdictPoint(kVerdictPointX, kVerdictPointY);

template <typename WindowPlatform = FolderPlatform>
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.connected());
        makeFolder("window");
        linkNotes();
        openWindow();
        // Every test starts with the pointer away from the window.
        moveTo(QPoint(5, 5));
    }
    void TearDown() override {
        // Let the input a test sent finish before its windows go away.
        (void)QTest::qWaitFor([] { return QGuiApplication::mouseButtons() == Qt::NoButton; }, 2000);
        QTest::qWait(100);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w != form && w->isVisible()) w->close();
        }
        if (form) form->close();
        QTest::qWait(50);
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }

    // An empty program folder of the test's own.
    void makeFolder(const std::string& name) {
        folder = std::filesystem::temp_directory_path() / ("pelmora-" + name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        platform.folder = folder.string();
    }
    // The build's notes, as the folder "mi".
    void linkNotes() { std::filesystem::create_directory_symlink(std::filesystem::path(PELMORA_BIN) / "mi", folder / "mi"); }
    void openWindow() {
        form = new ui::MainWindow(platform);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    }

    template <typename T = QWidget>
    T* control(const char* name) const { return form->findChild<T*>(name); }
    static QPoint centre(QWidget* w) { return w->mapToGlobal(w->rect().center()); }
    QPoint centre(const char* name) const { return centre(control(name)); }
    std::string message() const { return form->message().toStdString(); }
    const QuizState& state() const { return form->state(); }
    static bool waitFor(const std::function<bool()>& done, int ms = 8000) { return QTest::qWaitFor(done, ms); }

    void moveTo(QPoint p) {
        const qreal ratio = qGuiApp->devicePixelRatio();
        x.move(int(std::lround(p.x() * ratio)), int(std::lround(p.y() * ratio)));
        (void)QTest::qWaitFor([&] { return QCursor::pos() == p; }, 2000);
    }
    void clickOn(QWidget* w) {
        moveTo(centre(w));
        x.click();
    }
    void click(const char* name) { clickOn(control(name)); }

    // Starts a question and waits for its note to have played; its note.
    int startQuestion() {
        const int notes = platform.notes;
        click("Command8");
        EXPECT_TRUE(waitFor([&] { return platform.notes > notes && state().pendingNote; }));
        return state().pendingNote.value_or(0);
    }
    // The image of the key of `note` that answers that way; a black key
    // answers one way only.
    static const char* key(int note, ui::Answers answers = ui::Answers::OnMouseDown) {
        for (const ui::KeyImage& k : ui::kKeyImages) {
            if (k.note == note && (k.answers == answers || note > 7)) return k.name;
        }
        throw std::logic_error("no such key");
    }
    static const char* wrongKey(int note) { return key(note == 3 ? 4 : 3); }

    std::filesystem::path folder;
    WindowPlatform platform;
    XInput x;
    QPointer<ui::MainWindow> form;
};

}  // namespace pelmora::testing
