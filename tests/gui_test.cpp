// The main window under a real X server, driven by real input from xdotool.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "platform/system_platform.h"
#include "ui/application.h"
#include "ui/form1.h"
#include "ui/form3.h"
#include "quiz/messages.h"
#include "platform/cp932.h"
#include "ui/keyboard.h"
#include "ui/pictures.h"
#include "ui/twips.h"
#include "xdotool.h"

namespace pelmora::ui {
namespace {

namespace fs = std::filesystem;

// The real platform, with a program folder of the test's own.
struct FolderPlatform : SystemPlatform {
    std::string folder;
    int beeps = 0;
    int notes = 0;
    std::function<void()> whileNoteSounds;
    std::string programFolder() override { return folder; }
    void playSound(const std::string& path, const std::function<void()>& started) override {
        ++notes;
        SystemPlatform::playSound(path, [&] {
            if (started) started();
            if (whileNoteSounds) whileNoteSounds();
        });
    }
    void beep() override {
        ++beeps;
        SystemPlatform::beep();
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("pelmora-gui-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::create_directory_symlink(fs::path(PELMORA_BIN) / "mi", folder / "mi");
        platform.folder = folder.string();
        form = new Form1(platform);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        // Start every test with the pointer away from the window.
        moveTo(QPoint(5, 5));
    }
    void TearDown() override {
        // Let the input a test sent finish before its window goes away.
        QTest::qWaitFor([] { return QGuiApplication::mouseButtons() == Qt::NoButton; }, 2000);
        QTest::qWait(100);
        if (form) form->close();
        QTest::qWait(20);
        fs::remove_all(folder);
    }

    template <typename T = QWidget>
    T* control(const char* name) { return form->findChild<T*>(name); }
    std::string caption(const char* label) { return control<QLabel>(label)->text().toStdString(); }
    QPoint centre(const char* name) {
        QWidget* w = control(name);
        return w->mapToGlobal(w->rect().center());
    }
    void click(const char* name) {
        moveTo(centre(name));
        xdotool("click 1");
    }
    bool waitFor(const std::function<bool()>& done, int ms = 8000) { return QTest::qWaitFor(done, ms); }
    // Starts a question and waits for its note to have played.
    int startQuestion() {
        click("Command8");
        EXPECT_TRUE(waitFor([&] { return caption("Label8") == "1"; }));
        return std::stoi(caption("Label7"));
    }
    const KeyImage& key(int note, Answers answers) {
        for (const KeyImage& k : kKeyImages) {
            if (k.note == note && (k.answers == answers || note > 7)) return k;
        }
        throw std::logic_error("no such key");
    }
    const KeyImage& wrongKey(int note) { return key(note == 3 ? 4 : 3, Answers::OnMouseDown); }

    fs::path folder;
    FolderPlatform platform;
    QPointer<Form1> form;
};

TEST_F(MainWindowTest, OpensAtItsPlaceWithEveryControlWhereDesigned) {
    QWidget* client = form->centralWidget();
    EXPECT_EQ(client->mapToGlobal(QPoint(0, 0)), QPoint(217, 267));
    EXPECT_EQ(client->size(), QSize(507, 289));
    const QRect start(control("Command8")->mapToGlobal(QPoint(0, 0)), control("Command8")->size());
    EXPECT_EQ(start, QRect(QPoint(465, 443), QPoint(513, 467)));
    EXPECT_TRUE(start.contains(500, 450));

    EXPECT_EQ(form->windowTitle(), "Pelmora");
    EXPECT_EQ(control<QPushButton>("Command8")->text(), "開始");
    EXPECT_EQ(control<QPushButton>("Command9")->text(), "もう一度");
    EXPECT_EQ(control<QPushButton>("Command10")->text(), "クリア");
    EXPECT_EQ(control("Command9")->geometry(), twips(4680, 2640, 855, 375));
    EXPECT_EQ(control("Label1")->geometry(), twips(3720, 3360, 3615, 735));
    EXPECT_EQ(control("Option3")->geometry(), twips(6480, 1320, 1095, 255));
    EXPECT_TRUE(control<QRadioButton>("Option1")->isChecked());
    for (const KeyImage& k : kKeyImages) {
        EXPECT_EQ(control(k.name)->geometry(), twips(k.left, k.top, k.width, k.height)) << k.name;
        EXPECT_EQ(control<QLabel>(k.name)->pixmap().size(), control(k.name)->size()) << k.name;
    }
    EXPECT_EQ(form->focusWidget(), control("Command8"));
    EXPECT_FALSE(control<QPushButton>("Command8")->isDefault());

    auto* menu = control<QMenu>("menu");
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->title(), "メニュー");
    EXPECT_EQ(menu->actions().at(0)->text(), "得点を見る");
    EXPECT_EQ(menu->actions().at(1)->text(), "初期化");
    EXPECT_EQ(control<QMenu>("pro")->title(), "プロパティ");
    EXPECT_EQ(control<QMenu>("pro")->actions().at(0)->text(), "著作権");
}

TEST_F(MainWindowTest, StateLabelsStayUnderThePictureAtAnySize) {
    QWidget* picture = control("Picture1");
    for (QSize size : {QSize(900, 700), QSize(120, 80), QSize(507, 310)}) {
        form->resize(size);
        QTest::qWait(50);
        EXPECT_EQ(picture->geometry(), twips(0, 0, 3495, 4335));
        EXPECT_EQ(control("Command8")->geometry(), twips(3720, 2640, 735, 375));
        for (const char* name : {"Label2", "Label3", "Label4", "Label7", "Label8", "Label9", "Label10"}) {
            QWidget* label = control(name);
            EXPECT_TRUE(picture->geometry().contains(label->geometry())) << name;
            // The picture is stacked above: the point of the label shows the picture.
            const QPoint inside = label->geometry().center();
            if (form->centralWidget()->rect().contains(inside)) {
                EXPECT_EQ(form->centralWidget()->childAt(inside), picture) << name;
            }
        }
    }
}

TEST_F(MainWindowTest, AWholeQuestionPlayedWithClicks) {
    const int note = startQuestion();
    ASSERT_GE(note, 1);
    ASSERT_LE(note, 7) << "level 1 asks white keys";
    EXPECT_EQ(caption("Label3"), "0");

    click(wrongKey(note).name);
    ASSERT_TRUE(waitFor([&] { return caption("Label3") == "-5"; }));
    EXPECT_EQ(QCursor::pos(), QPoint(500, 450));
    EXPECT_EQ(caption("Label9"), "2");
    EXPECT_EQ(caption("Label7"), std::to_string(note));
    EXPECT_EQ(caption("Label1"), "違うみたい・・・");

    // The upper strip answers on a completed click.
    click(key(note, Answers::OnClick).name);
    ASSERT_TRUE(waitFor([&] { return caption("Label3") == "0"; }));
    EXPECT_EQ(QCursor::pos(), QPoint(500, 450));
    EXPECT_EQ(caption("Label7"), "0");
    EXPECT_EQ(caption("Label8"), "0");
    EXPECT_EQ(caption("Label9"), "1");
    EXPECT_EQ(caption("Label1"), "おめでとう！正解よ☆");

    // Answered: another key only moves the pointer back.
    click(key(note, Answers::OnMouseDown).name);
    ASSERT_TRUE(waitFor([&] { return QCursor::pos() == QPoint(500, 450); }));
    QTest::qWait(100);
    EXPECT_EQ(caption("Label3"), "0");
}

TEST_F(MainWindowTest, AKeyHeldDownShowsTheVerdictBeforeRelease) {
    const int note = startQuestion();
    const KeyImage& right = key(note, Answers::OnMouseDown);
    moveTo(centre(right.name));
    xdotool("mousedown 1");
    ASSERT_TRUE(waitFor([&] { return caption("Label3") == "5"; }));
    EXPECT_EQ(QCursor::pos(), QPoint(500, 450));
    QTest::qWait(200);  // the pointer moves made by the placement arrive meanwhile
    EXPECT_EQ(caption("Label1"), "おめでとう！正解よ☆");
    xdotool("mouseup 1");
    QTest::qWait(200);
    EXPECT_EQ(caption("Label1"), "おめでとう！正解よ☆");
    EXPECT_EQ(caption("Label8"), "0") << "releasing over 開始 must not start a question";

    // A wrong key held the same way.
    const int next = startQuestion();
    moveTo(centre(wrongKey(next).name));
    xdotool("mousedown 1");
    ASSERT_TRUE(waitFor([&] { return caption("Label3") == "0"; }));
    QTest::qWait(200);
    EXPECT_EQ(caption("Label1"), "違うみたい・・・");
    xdotool("mouseup 1");
}

TEST_F(MainWindowTest, AKeyPressedDuringTheNoteIsJudgedAfterIt) {
    const QPoint start = centre("Command8");
    const QPoint key = centre("Image2");
    // Both clicks reach the X server before the note has ended.
    xdotool("mousemove --sync " + std::to_string(start.x()) + " " + std::to_string(start.y()) +
            " click 1 mousemove --sync " + std::to_string(key.x()) + " " + std::to_string(key.y()) + " click 1");
    ASSERT_TRUE(waitFor([&] { return caption("Label3") != "0"; }));
    const bool right = caption("Label9") == "1";
    EXPECT_EQ(caption("Label3"), right ? "5" : "-5");
    EXPECT_EQ(QCursor::pos(), QPoint(500, 450));
}


// The mouse's click is taken as the button is let go, ahead of Qt's own
// click: it must still count once, with the button drawn up during the note,
// and the keyboard's click must still play.
TEST_F(MainWindowTest, EachClickOfStartPlaysOneNoteWithTheButtonUp) {
    bool up = false;
    std::string open;
    platform.whileNoteSounds = [&] {
        up = !control<QPushButton>("Command8")->isDown();
        open = caption("Label8");
    };
    startQuestion();
    QTest::qWait(300);
    EXPECT_EQ(platform.notes, 1);
    EXPECT_TRUE(up);
    EXPECT_EQ(open, "1");

    moveTo(QPoint(5, 5));
    ASSERT_EQ(form->focusWidget(), control("Command8"));
    xdotool("key space");
    EXPECT_TRUE(waitFor([&] { return platform.notes == 2; }));
    QTest::qWait(300);
    EXPECT_EQ(platform.notes, 2);
}

TEST_F(MainWindowTest, HoverTextsAndTheCheeringLine) {
    control<QLabel>("Label2")->setText("花子");
    for (const KeyImage& k : kKeyImages) {
        moveTo(centre(k.name));
        EXPECT_TRUE(waitFor([&] { return caption("Label1") == messages::keyText(k.note); }, 2000)) << k.name;
    }
    // The gap between the lower parts of C and D is bare window.
    const QPoint gap = form->centralWidget()->mapToGlobal(QPoint(271, 140));
    ASSERT_EQ(form->centralWidget()->childAt(form->centralWidget()->mapFromGlobal(gap)), nullptr);
    moveTo(gap);
    EXPECT_TRUE(waitFor([&] { return caption("Label1") == "頑張ってね☆花子さん"; }, 2000));

    // The panel, the heading, an option button and the picture take their own moves.
    for (const char* name : {"Label1", "Label6", "Option2", "Picture1", "Command9"}) {
        control<QLabel>("Label1")->setText("x");
        moveTo(centre(name));
        QTest::qWait(100);
        EXPECT_EQ(caption("Label1"), "x") << name;
    }
}

TEST_F(MainWindowTest, RightAnswerVerdictIsClearedByTheBackground) {
    const int note = startQuestion();
    click(key(note, Answers::OnMouseDown).name);
    ASSERT_TRUE(waitFor([&] { return caption("Label1") == "おめでとう！正解よ☆"; }));
    moveTo(form->centralWidget()->mapToGlobal(QPoint(480, 200)));  // bare window below the levels
    ASSERT_TRUE(waitFor([&] { return caption("Label9") == "0"; }));
    moveTo(QPoint(500, 450));
    QTest::qWait(100);
    EXPECT_NE(caption("Label1"), "おめでとう！正解よ☆");

    // 開始 right after a right answer, before the pointer left the button, cheers.
    const int next = startQuestion();
    click(key(next, Answers::OnMouseDown).name);
    ASSERT_TRUE(waitFor([&] { return caption("Label9") == "1"; }));
    xdotool("click 1");  // the pointer rests on 開始
    ASSERT_TRUE(waitFor([&] { return caption("Label8") == "1"; }));
    EXPECT_EQ(caption("Label1"), "頑張ってね☆");
}

TEST_F(MainWindowTest, MenusAndThePicture) {
    click("Picture1");
    ASSERT_TRUE(waitFor([&] { return caption("Label1") == "私をクリックしても\r\n何もないよ（＾＾；；"; }));

    const int note = startQuestion();
    click(wrongKey(note).name);
    ASSERT_TRUE(waitFor([&] { return caption("Label3") == "-5"; }));
    auto chooseFromMenu = [&](int item) {
        QMenuBar* bar = form->menuBar();
        auto* menu = control<QMenu>("menu");
        moveTo(bar->mapToGlobal(bar->actionGeometry(menu->menuAction()).center()));
        xdotool("click 1");
        ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));
        moveTo(menu->mapToGlobal(menu->actionGeometry(menu->actions().at(item)).center()));
        xdotool("click 1");
        ASSERT_TRUE(waitFor([&] { return !menu->isVisible(); }));
    };
    chooseFromMenu(0);
    ASSERT_TRUE(waitFor([&] { return caption("Label1") == "今の得点は・・・-5ね☆"; }));
    control<QLabel>("Label4")->setText("12.5");
    chooseFromMenu(1);  // 初期化
    ASSERT_TRUE(waitFor([&] { return caption("Label4") == "0"; }));
    chooseFromMenu(0);
    ASSERT_TRUE(waitFor([&] { return caption("Label1") == "今の得点は・・・0ね☆"; }));

    control<QLabel>("Label3")->setText("25");
    click("Command10");
    ASSERT_TRUE(waitFor([&] { return caption("Label3") == "0"; }));
    EXPECT_EQ(caption("Label8"), "1") << "a reset leaves the question open";
}

// The start-up window with the real platform and a record of the test's own.
class NameWindowTest : public MainWindowTest {
protected:
    void SetUp() override {}
    void start(const std::string& record) {
        folder = fs::temp_directory_path() / ("pelmora-name-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        platform.folder = folder.string();
        if (!record.empty()) writeFile(folder / "date.ini", cp932::fromUtf8(record));
        name = new Form3(platform, [&] {
            if (!form) form = new Form1(platform);
            form->show();
        });
        name->Form_Load();
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        delete name;
    }
    static void writeFile(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string readFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    QPointer<Form3> name;
};

TEST_F(NameWindowTest, AStoredNameGoesStraightToTheMainWindow) {
    for (const char* record : {"[情報]\r\nユーザー=花子\r\n", "", "[情報]\r\nユーザー=\r\n"}) {
        start(record);
        ASSERT_TRUE(form) << record;
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(name->isVisible());
        EXPECT_EQ(caption("Label1"), std::string(record).find("花子") != std::string::npos ? "こんにちわ☆花子さん" : "こんにちわ☆さん");
        TearDown();
    }
}

TEST_F(NameWindowTest, TheUnregisteredNameWaitsForOne) {
    start("[情報]\r\nユーザー=名称未設定\r\n平均点=7.5\r\n");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(name));
    EXPECT_FALSE(form);
    const QRect client(name->mapToGlobal(QPoint(0, 0)), name->size());
    EXPECT_EQ(client, QRect(344, 348, 266, 131));
    EXPECT_EQ(name->windowTitle(), "貴方の名前を入力してください");
    auto* entry = name->findChild<QLineEdit*>("Text1");
    EXPECT_EQ(entry->text(), "");
    EXPECT_FALSE(name->findChild<QLineEdit*>("Text2")->isVisible());

    const std::string before = readFile(folder / "date.ini");
    QWidget* save = name->findChild<QWidget*>("Command1");
    moveTo(save->mapToGlobal(save->rect().center()));
    xdotool("click 1");
    QTest::qWait(300);
    EXPECT_FALSE(form) << "an empty name is not saved";
    EXPECT_EQ(platform.beeps, 1);
    EXPECT_EQ(readFile(folder / "date.ini"), before);

    moveTo(entry->mapToGlobal(entry->rect().center()));
    xdotool("click 1");
    xdotool("type --delay 20 'Hanako Y'");
    ASSERT_TRUE(waitFor([&] { return entry->text() == "Hanako Y"; }));
    moveTo(save->mapToGlobal(save->rect().center()));
    xdotool("click 1");
    ASSERT_TRUE(waitFor([&] { return form && form->isVisible(); }));
    EXPECT_FALSE(name->isVisible());
    EXPECT_EQ(caption("Label1"), "こんにちわ☆Hanako Yさん");
    EXPECT_EQ(readFile(folder / "date.ini"), cp932::fromUtf8("[情報]\r\nユーザー=Hanako Y\r\n平均点=7.5\r\n"));
}

}  // namespace
}  // namespace pelmora::ui
