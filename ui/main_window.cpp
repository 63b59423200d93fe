#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <iostream>

#include "quiz/messages.h"
#include "quiz/notes.h"
#include "record/record.h"
#include "ui/accessibility.h"
#include "ui/application.h"
#include "ui/credits_window.h"
#include "ui/keyboard.h"
#include "ui/pictures.h"
#include "ui/twips.h"

namespace pelmora::ui {
namespace {

// The rounded outline around the message panel. It takes no pointer
// events: moving over it is moving over the window.
class Outline : public QWidget {
public:
    explicit Outline(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
};

}  // namespace

MainWindow::MainWindow(Platform& platform) : platform_(platform, *this), quiz_(*this, platform_) {
    setObjectName("Form1");
    setWindowTitle("Pelmora");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* client = new QWidget(this);
    client->setMouseTracking(true);
    client->installEventFilter(this);
    handlers_[client].mouseMove = [this] { messages::backgroundHovered(quiz_.state(), *this); };
    setCentralWidget(client);
    buildControls(client);
    buildMenus();
    place();
    record::load(quiz_.state(), *this, platform_);
}

void MainWindow::buildControls(QWidget* client) {
    auto* outline = new Outline(client);
    outline->setObjectName("Shape1");
    outline->setGeometry(twips(layout::kPanelOutline));

    panel_ = addLabel(new QLabel("ここにもじをいれます！11文字まで一行に可能", client), "Label1", layout::kPanel);
    panel_->setFont(panelFont());
    panel_->setWordWrap(true);
    panel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    QLabel* heading = addLabel(new QLabel("レベルを　　　選択してね☆", client), "Label6", layout::kLevelHeading);
    heading->setWordWrap(true);
    heading->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* picture = new QLabel(client);
    picture->setObjectName("Picture1");
    picture->setGeometry(twips(layout::kPicture));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setLineWidth(2);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(ui::picture("character.jpg"));
    picture->setAccessibleName("キャラクター");
    picture->setFocusPolicy(Qt::StrongFocus);
    picture->setAttribute(Qt::WA_NoMousePropagation);
    on(picture, {.click = [this] { messages::pictureClicked(*this); }});

    buildKeyboard(client);
    QWidget* previous = buildButtons(client);
    const char* captions[] = {"レベル1", "レベル2", "レベル3"};
    for (int i = 0; i < 3; ++i) {
        auto* level = new QRadioButton(captions[i], client);
        level->setObjectName(QString("Option%1").arg(i + 1));
        level->setGeometry(twips(layout::kLevels[i]));
        level->setAttribute(Qt::WA_NoMousePropagation);
        setTabOrder(previous, level);
        previous = level;
        levels_[i] = level;
    }
    levels_[0]->setChecked(true);
    setTabOrder(previous, picture);
}

void MainWindow::buildKeyboard(QWidget* client) {
    for (const KeyImage& key : kKeyImages) {
        const int note = key.note;
        auto answer = [this, note] { quiz_.answer(note); };
        auto* image = new KeyImageLabel(pelmora::note(note).letter, answer, client);
        image->setObjectName(key.name);
        image->setPixmap(ui::picture(key.picture));
        image->setGeometry(twips(key.place));
        image->setMouseTracking(true);
        PointerHandlers handlers{.mouseMove = [this, note] { messages::keyHovered(*this, note); }};
        (key.answers == Answers::OnMouseDown ? handlers.mouseDown : handlers.click) = answer;
        on(image, handlers);
    }
}

// 開始, もう一度 and クリア, in tab order; returns the last.
QWidget* MainWindow::buildButtons(QWidget* client) {
    struct Button {
        const char* name;
        const char* caption;
        const layout::Place& place;
        std::function<void()> clicked;
        bool plays;
        std::function<void()> mouseMove = {};
    };
    const Button buttons[] = {
        {"Command8", "開始", layout::kStartButton, [this] { quiz_.start(); }, true,
         [this] { messages::startHovered(quiz_.state(), *this); }},
        {"Command9", "もう一度", layout::kReplayButton, [this] { quiz_.replay(); }, true},
        {"Command10", "クリア", layout::kClearButton, [this] { messages::reset(quiz_.state()); }, false},
    };
    QWidget* previous = nullptr;
    for (const Button& b : buttons) {
        auto* button = new QPushButton(b.caption, client);
        button->setObjectName(b.name);
        button->setGeometry(twips(b.place));
        button->setAutoDefault(false);
        button->setAttribute(Qt::WA_NoMousePropagation);
        connect(button, &QPushButton::clicked, this, b.clicked);
        PointerHandlers handlers;
        if (b.plays) {
            // The device opens while the button is held, so the note of the
            // click starts at once; after the click, or a release away from
            // the button, whatever was not taken is closed.
            connect(button, &QPushButton::pressed, this, [this] { platform_.prepareSound(); });
            connect(button, &QPushButton::released, this, [this] { platform_.discardPreparedSound(); },
                    Qt::QueuedConnection);
            handlers.buttonClick = [this, clicked = b.clicked] {
                clicked();
                platform_.discardPreparedSound();
            };
        }
        if (b.mouseMove) {
            button->setMouseTracking(true);
            handlers.mouseMove = b.mouseMove;
        }
        on(button, handlers);
        if (previous) setTabOrder(previous, button);
        else button->setFocus();
        previous = button;
    }
    return previous;
}

QLabel* MainWindow::addLabel(QLabel* label, const char* name, const layout::Place& place) {
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(twips(place));
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

void MainWindow::buildMenus() {
    QMenu* menu = menuBar()->addMenu("メニュー");
    menu->setObjectName("menu");
    QAction* showScore = menu->addAction("得点を見る", this, [this] { messages::showScore(quiz_.state(), *this); });
    showScore->setObjectName("look");
    QAction* reset = menu->addAction("初期化", this, [this] { messages::reset(quiz_.state()); });
    reset->setObjectName("syoki");
    QMenu* properties = menuBar()->addMenu("プロパティ");
    properties->setObjectName("pro");
    QAction* credits = properties->addAction("著作権", this, [] { CreditsWindow::open(); });
    credits->setObjectName("tyo");
}

void MainWindow::place() {
    // The geometry of a top-level window is its client area without the
    // window manager's frame; the menu bar is part of it, above the client area.
    const int menuHeight = menuBar()->sizeHint().height();
    const QRect client = twips(layout::kMainClient);
    setGeometry(layout::kMainOrigin.x, layout::kMainOrigin.y - menuHeight, client.width(),
                client.height() + menuHeight);
}

void MainWindow::on(QWidget* control, PointerHandlers handlers) {
    control->installEventFilter(this);
    handlers_[control] = std::move(handlers);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && !painted_) {
        // Once the first frame is up, and well before a player can reach
        // 開始, the first note's cold start (loading the sound player, ALSA
        // and its server's client) is taken out of its click.
        painted_ = true;
        QTimer::singleShot(200, this, [this] { platform_.warmUpSound(); });
    }
    auto found = handlers_.find(watched);
    if (found == handlers_.end()) return false;
    const PointerHandlers& handlers = found->second;
    auto* control = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::MouseMove: {
        // A pressed key still receives the moves made while its button is
        // held; they count only inside it.
        const auto* move = static_cast<QMouseEvent*>(event);
        if (handlers.mouseMove && control->rect().contains(move->position().toPoint())) handlers.mouseMove();
        return static_cast<bool>(handlers.mouseMove);
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton) pressed_ = watched;
        if (handlers.mouseDown) handlers.mouseDown();
        return handlers.mouseDown || handlers.click;
    }
    case QEvent::MouseButtonRelease: {
        const auto* release = static_cast<QMouseEvent*>(event);
        const bool clicked = release->button() == Qt::LeftButton && pressed_ == watched &&
                             control->rect().contains(release->position().toPoint());
        if (release->button() == Qt::LeftButton) pressed_ = nullptr;
        if (handlers.buttonClick) {
            // Let go up first, so that the button neither shows as held while
            // the click's note plays nor tells of a second click.
            auto* button = static_cast<QAbstractButton*>(control);
            if (clicked && button->isDown()) {
                button->setDown(false);
                handlers.buttonClick();
            }
            return false;
        }
        if (clicked && handlers.click) handlers.click();
        return handlers.mouseDown || handlers.click;
    }
    default:
        return false;
    }
}

QString MainWindow::message() const { return panel_->text(); }

void MainWindow::showMessage(const std::string& text) { panel_->setText(QString::fromStdString(text)); }

int MainWindow::selectedLevel() const {
    for (int i = 0; i < 3; ++i) {
        if (levels_[i]->isChecked()) return i + 1;
    }
    return 1;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    saveRecord();
    event->accept();
    // Closing the main window ends the program, with every other window.
    QCoreApplication::quit();
}

void MainWindow::saveRecord() {
    if (!record::save(quiz_.state(), platform_)) {
        std::cerr << "pelmora: could not save the record in " << record::path(platform_) << '\n';
    }
}

}  // namespace pelmora::ui
