#include "ui/form3.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

#include "record/name_registration.h"
#include "record/record.h"
#include "ui/twips.h"

namespace pelmora::ui {

Form3::Form3(Platform& platform, std::function<void()> showMain)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      platform_(platform), showMain_(std::move(showMain)) {
    setObjectName("Form3");
    setWindowTitle("貴方の名前を入力してください");
    // A tool window stays out of the taskbar; closing it while nothing else
    // is open still ends the program.
    setAttribute(Qt::WA_QuitOnClose, true);
    const QSize client(3990 / kTwipsPerPixel, 1965 / kTwipsPerPixel);
    setGeometry(QRect(QPoint(344, 348), client));
    setFixedSize(client);
}

// The controls are made only for a player who is asked for a name: every
// later start goes straight on to the main window, which then shows sooner.
void Form3::buildControls() {
    auto* prompt = new QLabel("貴方の名前を入れてください", this);
    prompt->setObjectName("Label16");
    prompt->setGeometry(twips(960, 240, 2295, 255));

    name_ = new QLineEdit(this);
    name_->setObjectName("Text1");
    name_->setGeometry(twips(840, 600, 2415, 270));
    name_->setMaxLength(std::numeric_limits<int>::max());
    // The prompt names the entry for assistive technology.
    prompt->setBuddy(name_);

    auto* save = new QPushButton("保存", this);
    save->setObjectName("Command1");
    save->setGeometry(twips(1320, 1200, 1335, 375));
    save->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &Form3::Command1_Click);

    stored_ = new QLineEdit("Text2", this);
    stored_->setObjectName("Text2");
    stored_->setGeometry(twips(840, 960, 2415, 270));
    stored_->hide();

    setTabOrder(name_, save);
    name_->setFocus();
}

void Form3::Form_Load() {
    const std::string stored = record::read(platform_, record::kNameKey);
    if (record::waitsForName(stored)) {
        if (!stored_) buildControls();
        stored_->setText(QString::fromStdString(stored));
        show();
    } else {
        hide();
        showMain_();
    }
}

void Form3::Command1_Click() {
    if (!record::saveName(platform_, name_->text().toStdString())) return;
    hide();
    showMain_();
}

}  // namespace pelmora::ui
