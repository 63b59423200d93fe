// The main window at the device-pixel ratio the run sets (QT_SCALE_FACTOR 1,
// 2 or 1.5, see CMakeLists.txt): a question answered with real input, and
// the pictures drawn being the ones drawn for that density.
#include <gtest/gtest.h>

#include <QLabel>

#include "support/main_window_test.h"
#include "ui/twips.h"

namespace pelmora::ui {
namespace {

QString atScale(const QString& name, int scale) {
    return scale == 1 ? name : name.left(name.lastIndexOf('.')) + "@2x" + name.mid(name.lastIndexOf('.'));
}

using HighDpi = testing::MainWindowTest<>;

TEST_F(HighDpi, AQuestionIsAnsweredAndThePicturesAreTheDrawingsForTheDensity) {
    const qreal ratio = qGuiApp->devicePixelRatio();
    const int scale = ratio > 1 ? 2 : 1;
    SCOPED_TRACE(::testing::Message() << "device-pixel ratio " << ratio);

    // Every picture is the drawing for the density, shown at its designed
    // size; at a whole ratio the window shows it pixel for pixel.
    const QImage window = form->centralWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    struct Shown { const char* control; QString file; QRect inside; };
    std::vector<Shown> shown{{"Picture1", "character.jpg", QRect(2, 2, 229, 285)}};
    for (const KeyImage& k : kKeyImages) shown.push_back({k.name, k.picture, QRect(QPoint(0, 0), twips(k.place).size())});
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
    // 開始 and the verdict shown there.
    const int note = startQuestion();
    click(key(note));
    EXPECT_TRUE(waitFor([&] { return message() == "おめでとう！正解よ☆"; })) << message();
    EXPECT_EQ(state().lastAnswer, Verdict::Right);
    EXPECT_EQ(state().score, 5);
    EXPECT_EQ(QCursor::pos(), testing::kVerdictPoint);
}

}  // namespace
}  // namespace pelmora::ui
