#include "ui/credits_window.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPointer>

#include "ui/link_window.h"
#include "ui/pictures.h"
#include "ui/twips.h"

namespace pelmora::ui {
namespace {

// A rule from the left edge to 90 twips short of the right one.
void addRule(QWidget* window, const char* name, int top) {
    auto* rule = new QWidget(window);
    rule->setObjectName(name);
    rule->setGeometry(QRect(0, top / kTwipsPerPixel, 5640 / kTwipsPerPixel, 1));
    rule->setAutoFillBackground(true);
    QPalette palette = rule->palette();
    palette.setColor(QPalette::Window, Qt::black);
    rule->setPalette(palette);
}

}  // namespace

CreditsWindow* CreditsWindow::open() {
    static QPointer<CreditsWindow> window;
    if (!window) window = new CreditsWindow;
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

CreditsWindow::CreditsWindow()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("form2");
    setWindowTitle("ﾊﾞｰｼﾞｮﾝ情報");
    setAttribute(Qt::WA_DeleteOnClose);
    const QSize client(5730 / kTwipsPerPixel, 4710 / kTwipsPerPixel);
    setGeometry(QRect(QPoint(387, 232), client));
    setFixedSize(client);

    struct Label { const char* name; QString caption; int top; int height; bool black; const LinkPage* link; };
    const Label labels[] = {
        {"labeld", "Pelmora", 240, 480, true, nullptr},
        {"labelb", "ﾊﾞｰｼﾞｮﾝ" PELMORA_VERSION, 780, 225, false, nullptr},
        {"Label1", kAuthorPage.address, 1560, 210, true, &kAuthorPage},
        {"Label2", "キャラクターCG　Lusaro", 2160, 210, true, nullptr},
        {"Label3", kCharacterPage.address, 2520, 210, true, &kCharacterPage},
        {"Label4", "鍵盤CG　音ファイル　Tarvik", 3120, 210, true, nullptr},
        {"Label5", kSoundPage.address, 3480, 210, true, &kSoundPage},
    };
    for (const Label& l : labels) {
        auto* label = new QLabel(l.caption, this);
        label->setObjectName(l.name);
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(twips(1080, l.top, 3885, l.height));
        if (l.black) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, Qt::black);
            label->setPalette(palette);
        }
        if (l.link) {
            label->installEventFilter(this);
            links_[label] = l.link;
        }
    }
    addRule(this, "Line1", 1920);
    addRule(this, "Line2", 2880);

    // The icon's box is a window of its own, above everything else.
    auto* icon = new QLabel(this);
    icon->setObjectName("picIcon");
    icon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    icon->setLineWidth(2);
    icon->setPixmap(picture("icon.png"));
    icon->setGeometry(QRect(twips(240, 240, 0, 0).topLeft(), icon->pixmap().deviceIndependentSize().toSize() + QSize(4, 4)));
    icon->raise();
}

bool CreditsWindow::eventFilter(QObject* watched, QEvent* event) {
    const auto link = links_.find(watched);
    if (link == links_.end()) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) pressed_ = watched;
        return true;
    case QEvent::MouseButtonRelease: {
        const auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() != Qt::LeftButton) return true;
        const bool clicked = pressed_ == watched &&
                             static_cast<QWidget*>(watched)->rect().contains(release->position().toPoint());
        pressed_ = nullptr;
        if (clicked) LinkWindow::open(*link->second);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace pelmora::ui
