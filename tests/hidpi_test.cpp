// The main window at the device-pixel ratio the run sets (QT_SCALE_FACTOR 1,
// 2 or 1.5, see CMakeLists.txt): a question answered with real input, and
// the pictures drawn being the ones drawn for that density.
#include <gtest/gtest.h>

#include <QCursor>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <cmath>
#include <filesystem>

#include "platform/system_platform.h"
#include "ui/form1.h"
#include "ui/keyboard.h"
#include "x_input.h"

namespace pelmora::ui {
namespace {

namespace fs = std::filesystem;

struct FolderPlatform : SystemPlatform {
    std::string folder;
    std::string programFolder() override { return folder; }
};

QString atScale(const QString& name, int scale) {
    return scale == 1 ? name : name.left(name.lastIndexOf('.')) + "@2x" + name.mid(name.lastIndexOf('.'));
}

TEST(HighDpi, AQuestionIsAnsweredAndThePicturesAreTheDrawingsForTheDensity) {
    testing::XInput x;
    ASSERT_TRUE(x.connected());
    const qreal ratio = qGuiApp->devicePixelRatio();
    const int scale = ratio > 1 ? 2 : 1;
    SCOPED_TRACE(::testing::Message() << "device-pixel ratio " << ratio);

    const fs::path folder = fs::temp_directory_path() / ("pelmora-hidpi-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::create_directory_symlink(fs::path(PELMORA_BIN) / "mi", folder / "mi");
    FolderPlatform platform;
    platform.folder = folder.string();
    QPointer<Form1> form = new Form1(platform);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));

    // Every picture is the drawing for the density, shown at its designed
    // size; at a whole ratio the window shows it pixel for pixel.
    const QImage window = form->centralWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    struct Shown { const char* control; QString file; QRect inside; };
    std::vector<Shown> shown{{"Picture1", "character.jpg", QRect(2, 2, 229, 285)}};
    for (const KeyImage& k : kKeyImages) shown.push_back({k.name, k.picture, QRect(0, 0, k.width / 15, k.height / 15)});
    for (const Shown& s : shown) {
        SCOPED_TRACE(s.control);
        auto* label = form->findChild<QLabel*>(s.control);
        ASSERT_TRUE(label);
        const QPixmap pixmap = label->pixmap();
        EXPECT_EQ(pixmap.devicePixelRatio(), scale);
        const QImage drawing(PELMORA_SOURCE "/assets/pictures/" + atScale(s.file, scale));
        EXPECT_EQ(pixmap.size(), drawing.size());
        if (ratio != std::floor(ratio)) continue;
        const QRect onScreen(label->geometry().topLeft() * scale + s.inside.topLeft() * scale, s.inside.size() * scale);
        const QImage expected = drawing.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), onScreen.size()));
        int differing = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                differing += window.pixel(onScreen.topLeft() + QPoint(x, y)) != expected.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }

    // 開始, then the key of the note asked: right, the pointer placed on
    // 開始 and the verdict shown there. Input goes to device pixels.
    auto press = [&](const char* name) {
        QWidget* w = form->findChild<QWidget*>(name);
        const QPoint p = w->mapToGlobal(w->rect().center());
        x.move(int(std::lround(p.x() * ratio)), int(std::lround(p.y() * ratio)));
        x.click();
    };
    auto caption = [&](const char* label) { return form->findChild<QLabel*>(label)->text(); };
    press("Command8");
    ASSERT_TRUE(QTest::qWaitFor([&] { return caption("Label8") == "1"; }, 8000));
    const int note = caption("Label7").toInt();
    for (const KeyImage& k : kKeyImages) {
        if (k.note == note && k.answers == Answers::OnMouseDown) press(k.name);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return caption("Label1") == "おめでとう！正解よ☆"; }, 8000)) << caption("Label1").toStdString();
    EXPECT_EQ(caption("Label9"), "1");
    EXPECT_EQ(caption("Label3"), "5");
    EXPECT_EQ(QCursor::pos(), QPoint(500, 450));

    form->close();
    QTest::qWait(20);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace pelmora::ui
