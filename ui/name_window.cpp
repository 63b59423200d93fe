#include "ui/name_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

#include "record/name_registration.h"
#include "record/record.h"
#include "ui/twips.h"

namespace pelmora::ui {

NameWindow::NameWindow(Platform& platform, std::function<void()> showMain)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      platform_(platform), showMain_(std::move(showMain)) {
    setObjectName("Form3");
    setWindowTitle("貴方の名前を入力してください");
    // A tool window stays out of the taskbar; closing it while nothing else
    // is open still ends the program.
    setAttribute(Qt::WA_QuitOnClose, true);
    const QSize client = twips(layout::kNameClient).size();
    setGeometry(QRect(QPoint(layout::kNameOrigin.x, layout::kNameOrigin.y), client));
    setFixedSize(client);
}

// The controls are made only for a player who is asked for a name: every
// later start goes straight on to the main window, which then shows sooner.
void NameWindow::buildControls() {
    auto* prompt = new QLabel("貴方の名前を入れてください", this);
    prompt->setObjectName("Label16");
    prompt->setGeometry(twips(layout::kNamePrompt));

    name_ = new QLineEdit(this);
    name_->setObjectName("Text1");
    name_->setGeometry(twips(layout::kNameEntry));
    name_->setMaxLength(std::numeric_limits<int>::max());
    // The prompt names the entry for assistive technology.
    prompt->setBuddy(name_);

    auto* save = new QPushButton("保存", this);
    save->setObjectName("Command1");
    save->setGeometry(twips(layout::kNameSave));
    save->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &NameWindow::saveClicked);

    setTabOrder(name_, save);
    name_->setFocus();
}

void NameWindow::load() {
    if (record::waitsForName(record::read(platform_, record::kNameKey))) {
        if (!name_) buildControls();
        show();
    } else {
        hide();
        showMain_();
    }
}

void NameWindow::saveClicked() {
    if (!record::saveName(platform_, name_->text().toStdString())) return;
    hide();
    showMain_();
}

}  // namespace pelmora::ui
