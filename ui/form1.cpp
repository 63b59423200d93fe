#include "ui/form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <iostream>

#include "quiz/messages.h"
#include "quiz/notes.h"
#include "record/record.h"
#include "ui/accessibility.h"
#include "ui/application.h"
#include "ui/form2.h"
#include "ui/keyboard.h"
#include "ui/pictures.h"
#include "ui/twips.h"

namespace pelmora::ui {
namespace {

// Where the top-left corner of the client area (below the menu bar) opens.
constexpr QPoint kClientOrigin{217, 267};
constexpr QSize kClientSize{7605 / kTwipsPerPixel, 4335 / kTwipsPerPixel};

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

Form1::Form1(Platform& platform) : platform_(platform, *this), quiz_(*this, platform_) {
    setObjectName("Form1");
    setWindowTitle("Pelmora");
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    buildMenus();
    place();
    Form_Load();
}

void Form1::buildControls() {
    auto* client = new ClientArea(this);
    client->setMouseTracking(true);
    client->installEventFilter(this);
    handlers_[client].mouseMove = [this] { Form_MouseMove(); };
    setCentralWidget(client);

    auto* outline = new Outline(client);
    outline->setObjectName("Shape1");
    outline->setGeometry(twips(3600, 3240, 3855, 975));

    // The state labels lie under the picture, which is raised above them.
    struct State { Field field; const char* name; const char* caption; int top; };
    const State states[] = {
        {Field::Name, "Label2", "ユーザー名", 360},      {Field::Score, "Label3", "得点", 720},
        {Field::Average, "Label4", "平均点", 1080},      {Field::CurrentNote, "Label7", "音", 1800},
        {Field::QuestionOpen, "Label8", "開始チェック", 2160}, {Field::LastAnswer, "Label9", "正解時", 2520},
        {Field::Launches, "Label10", "起動回数", 2880},
    };
    for (const State& state : states) {
        fields_[state.field] =
            addLabel(new StateLabel(state.caption, client), state.name, twips(0, state.top, 975, 255));
    }

    QLabel* panel = addLabel(new QLabel("ここにもじをいれます！11文字まで一行に可能", client), "Label1",
                             twips(3720, 3360, 3615, 735));
    panel->setFont(panelFont());
    panel->setWordWrap(true);
    panel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fields_[Field::Message] = panel;

    QLabel* heading = addLabel(new QLabel("レベルを　　　選択してね☆", client), "Label6", twips(6480, 120, 1095, 375));
    heading->setWordWrap(true);
    heading->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* picture = new QLabel(client);
    picture->setObjectName("Picture1");
    picture->setGeometry(twips(0, 0, 3495, 4335));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setLineWidth(2);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(ui::picture("character.jpg"));
    picture->setAccessibleName("キャラクター");
    picture->setFocusPolicy(Qt::StrongFocus);
    picture->setAttribute(Qt::WA_NoMousePropagation);
    // The frame and the larger picture cover every pixel: said so, Qt paints
    // nothing beneath, not the state labels' texts in particular, whose
    // glyphs would be drawn for nobody before the first frame.
    picture->setAttribute(Qt::WA_OpaquePaintEvent);
    picture->raise();
    on(picture, {.click = [this] { Picture1_Click(); }});

    for (const KeyImage& key : kKeyImages) {
        const int note = key.note;
        auto answer = [this, note] { quiz_.answer(note); };
        auto* image = new KeyImageLabel(pelmora::note(note).letter, answer, client);
        image->setObjectName(key.name);
        image->setPixmap(ui::picture(key.picture));
        image->setGeometry(twips(key.left, key.top, key.width, key.height));
        image->setMouseTracking(true);
        PointerHandlers handlers{.mouseMove = [this, note] { messages::keyHovered(*this, note); }};
        (key.answers == Answers::OnMouseDown ? handlers.mouseDown : handlers.click) = answer;
        on(image, handlers);
    }

    struct Button {
        const char* name;
        const char* caption;
        QRect geometry;
        void (Form1::*clicked)();
        bool plays;
        void (Form1::*mouseMove)() = nullptr;
    };
    const Button buttons[] = {
        {"Command8", "開始", twips(3720, 2640, 735, 375), &Form1::Command8_Click, true, &Form1::Command8_MouseMove},
        {"Command9", "もう一度", twips(4680, 2640, 855, 375), &Form1::Command9_Click, true},
        {"Command10", "クリア", twips(5760, 2640, 735, 375), &Form1::Command10_Click, false},
    };
    QWidget* previous = nullptr;
    for (const Button& b : buttons) {
        auto* button = new QPushButton(b.caption, client);
        button->setObjectName(b.name);
        button->setGeometry(b.geometry);
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
                (this->*clicked)();
                platform_.discardPreparedSound();
            };
        }
        if (b.mouseMove) {
            button->setMouseTracking(true);
            handlers.mouseMove = [this, move = b.mouseMove] { (this->*move)(); };
        }
        on(button, handlers);
        if (previous) setTabOrder(previous, button);
        previous = button;
    }

    const char* levels[] = {"レベル1", "レベル2", "レベル3"};
    for (int i = 0; i < 3; ++i) {
        auto* option = new QRadioButton(levels[i], client);
        option->setObjectName(QString("Option%1").arg(i + 1));
        option->setGeometry(twips(6480, 600 + 360 * i, 1095, 255));
        option->setAttribute(Qt::WA_NoMousePropagation);
        setTabOrder(previous, option);
        previous = option;
        options_[i] = option;
    }
    options_[0]->setChecked(true);
    setTabOrder(previous, picture);
    client->findChild<QPushButton*>("Command8")->setFocus();
}

QLabel* Form1::addLabel(QLabel* label, const char* name, QRect geometry) {
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

void Form1::buildMenus() {
    QMenu* menu = menuBar()->addMenu("メニュー");
    menu->setObjectName("menu");
    QAction* look = menu->addAction("得点を見る", this, &Form1::look_Click);
    look->setObjectName("look");
    QAction* syoki = menu->addAction("初期化", this, &Form1::syoki_Click);
    syoki->setObjectName("syoki");
    QMenu* pro = menuBar()->addMenu("プロパティ");
    pro->setObjectName("pro");
    QAction* tyo = pro->addAction("著作権", this, &Form1::tyo_Click);
    tyo->setObjectName("tyo");
}

void Form1::place() {
    // The geometry of a top-level window is its client area without the
    // window manager's frame; the menu bar is part of it, above the client area.
    const int menuHeight = menuBar()->sizeHint().height();
    setGeometry(kClientOrigin.x(), kClientOrigin.y() - menuHeight, kClientSize.width(),
                kClientSize.height() + menuHeight);
}

void Form1::on(QWidget* control, PointerHandlers handlers) {
    control->installEventFilter(this);
    handlers_[control] = std::move(handlers);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
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

std::string Form1::text(Field field) const { return fields_.at(field)->text().toStdString(); }

void Form1::setText(Field field, const std::string& text) {
    fields_.at(field)->setText(QString::fromStdString(text));
}

bool Form1::levelSelected(int level) const { return options_[level - 1]->isChecked(); }

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
    // Closing the main window ends the program, with every other window.
    QCoreApplication::quit();
}

void Form1::Form_Load() { record::load(*this, platform_); }

void Form1::Form_Unload() {
    if (!record::save(*this, platform_)) {
        std::cerr << "pelmora: could not save the record in " << record::path(platform_) << '\n';
    }
}

void Form1::Form_MouseMove() { messages::backgroundHovered(*this); }
void Form1::Command8_Click() { quiz_.start(); }
void Form1::Command8_MouseMove() { messages::startHovered(*this); }
void Form1::Command9_Click() { quiz_.replay(); }
void Form1::Command10_Click() { messages::reset(*this); }
void Form1::Picture1_Click() { messages::pictureClicked(*this); }
void Form1::look_Click() { messages::showScore(*this); }
void Form1::syoki_Click() { messages::reset(*this); }
void Form1::tyo_Click() { Form2::open(); }

}  // namespace pelmora::ui
