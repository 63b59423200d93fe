// The main window under a real X server, driven by real input.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include "platform/cp932.h"
#include "quiz/messages.h"
#include "support/files.h"
#include "support/main_window_test.h"
#include "ui/name_window.h"
#include "ui/twips.h"

namespace pelmora::ui {
namespace {

using testing::kVerdictPoint;

using MainWindowTest = testing::MainWindowTest<>;

TEST_F(MainWindowTest, OpensAtItsPlaceWithEveryControlWhereDesignedAtAnySize) {
    QWidget* client = form->centralWidget();
    EXPECT_EQ(client->mapToGlobal(QPoint(0, 0)), QPoint(layout::kMainOrigin.x, layout::kMainOrigin.y));
    EXPECT_EQ(client->size(), twips(layout::kMainClient).size());
    const QRect start(control("Command8")->mapToGlobal(QPoint(0, 0)), control("Command8")->size());
    EXPECT_TRUE(start.contains(kVerdictPoint)) << "the verdict shows where the pointer goes";

    EXPECT_EQ(form->windowTitle(), "Pelmora");
    EXPECT_EQ(control<QPushButton>("Command8")->text(), "開始");
    EXPECT_EQ(control<QPushButton>("Command9")->text(), "もう一度");
    EXPECT_EQ(control<QPushButton>("Command10")->text(), "クリア");
    EXPECT_TRUE(control<QRadioButton>("Option1")->isChecked());
    EXPECT_EQ(form->selectedLevel(), 1);
    EXPECT_EQ(form->focusWidget(), control("Command8"));
    EXPECT_FALSE(control<QPushButton>("Command8")->isDefault());

    auto* menu = control<QMenu>("menu");
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->title(), "メニュー");
    EXPECT_EQ(menu->actions().at(0)->text(), "得点を見る");
    EXPECT_EQ(menu->actions().at(1)->text(), "初期化");
    EXPECT_EQ(control<QMenu>("pro")->title(), "プロパティ");
    EXPECT_EQ(control<QMenu>("pro")->actions().at(0)->text(), "著作権");

    std::vector<std::pair<const char*, layout::Place>> places = {
        {"Command8", layout::kStartButton}, {"Command9", layout::kReplayButton},
        {"Label1", layout::kPanel},         {"Option3", layout::kLevels[2]},
        {"Picture1", layout::kPicture},
    };
    for (const KeyImage& k : kKeyImages) places.emplace_back(k.name, k.place);
    // The window opens at its designed size; the controls stay put whatever it becomes.
    for (QSize size : {QSize(), QSize(900, 700), QSize(120, 80), QSize(507, 310)}) {
        if (size.isValid()) form->resize(size), QTest::qWait(50);
        for (const auto& [name, place] : places) EXPECT_EQ(control(name)->geometry(), twips(place)) << name << " at " << size.width();
    }
    for (const KeyImage& k : kKeyImages) EXPECT_EQ(control<QLabel>(k.name)->pixmap().size(), control(k.name)->size()) << k.name;
    // Nothing the player cannot see holds a text: every label shows.
    for (QLabel* label : form->findChildren<QLabel*>()) {
        EXPECT_TRUE(label->isVisible()) << label->objectName().toStdString();
        const QPoint inside = label->geometry().center();
        EXPECT_EQ(form->centralWidget()->childAt(inside), label) << label->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, AWholeQuestionPlayedWithClicks) {
    const int note = startQuestion();
    ASSERT_GE(note, 1);
    ASSERT_LE(note, 7) << "level 1 asks white keys";
    EXPECT_EQ(state().score, 0);

    click(wrongKey(note));
    ASSERT_TRUE(waitFor([&] { return state().score == -5; }));
    EXPECT_EQ(QCursor::pos(), kVerdictPoint);
    EXPECT_EQ(state().lastAnswer, Verdict::Wrong);
    EXPECT_EQ(state().pendingNote, note);
    EXPECT_EQ(message(), "違うみたい・・・");

    // The upper strip answers on a completed click.
    click(key(note, Answers::OnClick));
    ASSERT_TRUE(waitFor([&] { return state().score == 0; }));
    EXPECT_EQ(QCursor::pos(), kVerdictPoint);
    EXPECT_EQ(state().pendingNote, std::nullopt);
    EXPECT_EQ(state().lastAnswer, Verdict::Right);
    EXPECT_EQ(message(), "おめでとう！正解よ☆");

    // Answered: another key only moves the pointer back.
    click(key(note, Answers::OnMouseDown));
    ASSERT_TRUE(waitFor([&] { return QCursor::pos() == kVerdictPoint; }));
    QTest::qWait(100);
    EXPECT_EQ(state().score, 0);
}

// The verdict shows from the press, before the release, and a right one
// stays until the pointer first crosses the background.
TEST_F(MainWindowTest, TheVerdictShowsFromThePressAndARightOneUntilTheBackground) {
    const int note = startQuestion();
    moveTo(centre(key(note)));
    x.button(1, true);
    ASSERT_TRUE(waitFor([&] { return state().score == 5; }));
    EXPECT_EQ(QCursor::pos(), kVerdictPoint);
    QTest::qWait(200);  // the pointer moves made by the placement arrive meanwhile
    EXPECT_EQ(message(), "おめでとう！正解よ☆");
    x.button(1, false);
    QTest::qWait(200);
    EXPECT_EQ(message(), "おめでとう！正解よ☆");
    EXPECT_EQ(state().pendingNote, std::nullopt) << "releasing over 開始 must not start a question";

    moveTo(form->centralWidget()->mapToGlobal(QPoint(480, 200)));  // bare window below the levels
    ASSERT_TRUE(waitFor([&] { return state().lastAnswer == Verdict::None; }));
    moveTo(kVerdictPoint);
    QTest::qWait(100);
    EXPECT_NE(message(), "おめでとう！正解よ☆");

    // 開始 right after a right answer, before the pointer left the button, cheers.
    const int next = startQuestion();
    click(key(next, Answers::OnMouseDown));
    ASSERT_TRUE(waitFor([&] { return state().lastAnswer == Verdict::Right; }));
    x.click();  // the pointer rests on 開始
    ASSERT_TRUE(waitFor([&] { return state().pendingNote.has_value(); }));
    EXPECT_EQ(message(), "頑張ってね☆");

    // A wrong key held the same way.
    moveTo(centre(wrongKey(*state().pendingNote)));
    x.button(1, true);
    ASSERT_TRUE(waitFor([&] { return state().score == 5; }));
    QTest::qWait(200);
    EXPECT_EQ(message(), "違うみたい・・・");
    x.button(1, false);
}

TEST_F(MainWindowTest, AKeyPressedDuringTheNoteIsJudgedAfterIt) {
    const QPoint start = centre("Command8");
    const QPoint key = centre("Image2");
    // Both clicks reach the X server before the note has ended.
    moveTo(start);
    x.click();
    x.move(key.x(), key.y());
    x.click();
    ASSERT_TRUE(waitFor([&] { return state().score != 0; }));
    const bool right = state().lastAnswer == Verdict::Right;
    EXPECT_EQ(state().score, right ? 5 : -5);
    EXPECT_EQ(QCursor::pos(), kVerdictPoint);
}

// The mouse's click is taken as the button is let go, ahead of Qt's own
// click: it must still count once, with the button drawn up during the note,
// and the keyboard's click must still play.
TEST_F(MainWindowTest, EachClickOfStartPlaysOneNoteWithTheButtonUp) {
    bool up = false;
    bool open = false;
    platform.whileNoteSounds = [&] {
        up = !control<QPushButton>("Command8")->isDown();
        open = state().pendingNote.has_value();
    };
    startQuestion();
    QTest::qWait(300);
    EXPECT_EQ(platform.notes, 1);
    EXPECT_TRUE(up);
    EXPECT_TRUE(open);

    moveTo(QPoint(5, 5));
    ASSERT_EQ(form->focusWidget(), control("Command8"));
    x.tap("space");
    EXPECT_TRUE(waitFor([&] { return platform.notes == 2; }));
    QTest::qWait(300);
    EXPECT_EQ(platform.notes, 2);
}

TEST_F(MainWindowTest, HoverTextsAndTheCheeringLine) {
    form->quiz().state().name = "花子";
    for (const KeyImage& k : kKeyImages) {
        moveTo(centre(k.name));
        EXPECT_TRUE(waitFor([&] { return message() == messages::keyText(k.note); }, 2000)) << k.name;
    }
    // The gap between the lower parts of C and D is bare window.
    const QPoint gap = form->centralWidget()->mapToGlobal(QPoint(271, 140));
    ASSERT_EQ(form->centralWidget()->childAt(form->centralWidget()->mapFromGlobal(gap)), nullptr);
    moveTo(gap);
    EXPECT_TRUE(waitFor([&] { return message() == "頑張ってね☆花子さん"; }, 2000));

    // The panel, the heading, an option button and the picture take their own moves.
    for (const char* name : {"Label1", "Label6", "Option2", "Picture1", "Command9"}) {
        form->showMessage("x");
        moveTo(centre(name));
        QTest::qWait(100);
        EXPECT_EQ(message(), "x") << name;
    }
}

TEST_F(MainWindowTest, MenusAndThePicture) {
    click("Picture1");
    ASSERT_TRUE(waitFor([&] { return message() == "私をクリックしても\r\n何もないよ（＾＾；；"; }));

    const int note = startQuestion();
    click(wrongKey(note));
    ASSERT_TRUE(waitFor([&] { return state().score == -5; }));
    auto chooseFromMenu = [&](int item) {
        QMenuBar* bar = form->menuBar();
        auto* menu = control<QMenu>("menu");
        moveTo(bar->mapToGlobal(bar->actionGeometry(menu->menuAction()).center()));
        x.click();
        ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));
        moveTo(menu->mapToGlobal(menu->actionGeometry(menu->actions().at(item)).center()));
        x.click();
        ASSERT_TRUE(waitFor([&] { return !menu->isVisible(); }));
    };
    chooseFromMenu(0);
    ASSERT_TRUE(waitFor([&] { return message() == "今の得点は・・・-5ね☆"; }));
    form->quiz().state().average = "12.5";
    chooseFromMenu(1);  // 初期化
    ASSERT_TRUE(waitFor([&] { return state().average == "0"; }));
    chooseFromMenu(0);
    ASSERT_TRUE(waitFor([&] { return message() == "今の得点は・・・0ね☆"; }));

    form->quiz().state().score = 25;
    click("Command10");
    ASSERT_TRUE(waitFor([&] { return state().score == 0; }));
    EXPECT_TRUE(state().pendingNote) << "a reset leaves the question open";
}

// The start-up window with the real platform and a record of the test's own.
class NameWindowTest : public MainWindowTest {
protected:
    void SetUp() override {}
    void start(const std::string& record) {
        makeFolder("name");
        if (!record.empty()) testing::writeBytes(folder / "date.ini", cp932::fromUtf8(record));
        name = new NameWindow(platform, [&] {
            if (!form) form = new MainWindow(platform);
            form->show();
        });
        name->load();
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        delete name;
    }
    QPointer<NameWindow> name;
};

TEST_F(NameWindowTest, AStoredNameGoesStraightToTheMainWindow) {
    for (const char* record : {"[情報]\r\nユーザー=花子\r\n", "", "[情報]\r\nユーザー=\r\n"}) {
        start(record);
        ASSERT_TRUE(form) << record;
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(name->isVisible());
        EXPECT_EQ(message(), std::string(record).find("花子") != std::string::npos ? "こんにちわ☆花子さん" : "こんにちわ☆さん");
        TearDown();
    }
}

TEST_F(NameWindowTest, TheUnregisteredNameWaitsForOne) {
    start("[情報]\r\nユーザー=名称未設定\r\n平均点=7.5\r\n");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(name));
    EXPECT_FALSE(form);
    const QRect client(name->mapToGlobal(QPoint(0, 0)), name->size());
    EXPECT_EQ(client, QRect(QPoint(layout::kNameOrigin.x, layout::kNameOrigin.y), twips(layout::kNameClient).size()));
    EXPECT_EQ(name->windowTitle(), "貴方の名前を入力してください");
    auto* entry = name->findChild<QLineEdit*>("Text1");
    EXPECT_EQ(entry->text(), "");
    EXPECT_EQ(name->findChildren<QLineEdit*>().size(), 1) << "the stored name is kept in no widget";

    const std::string before = testing::readBytes(folder / "date.ini");
    QWidget* save = name->findChild<QWidget*>("Command1");
    clickOn(save);
    QTest::qWait(300);
    EXPECT_FALSE(form) << "an empty name is not saved";
    EXPECT_EQ(platform.beeps, 1);
    EXPECT_EQ(testing::readBytes(folder / "date.ini"), before);

    clickOn(entry);
    x.type("Hanako Y");
    ASSERT_TRUE(waitFor([&] { return entry->text() == "Hanako Y"; }));
    clickOn(save);
    ASSERT_TRUE(waitFor([&] { return form && form->isVisible(); }));
    EXPECT_FALSE(name->isVisible());
    EXPECT_EQ(message(), "こんにちわ☆Hanako Yさん");
    EXPECT_EQ(testing::readBytes(folder / "date.ini"), cp932::fromUtf8("[情報]\r\nユーザー=Hanako Y\r\n平均点=7.5\r\n"));
}

}  // namespace
}  // namespace pelmora::ui
