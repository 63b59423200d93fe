#include "ui/accessibility.h"

#include <QAccessibleWidget>

namespace pelmora::ui {
namespace {

class ClientAreaInterface : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return shown().size(); }
    QAccessibleInterface* child(int index) const override { return shown().value(index); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return shown().indexOf(const_cast<QAccessibleInterface*>(child));
    }

private:
    QList<QAccessibleInterface*> shown() const {
        QList<QAccessibleInterface*> children;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface* child = QAccessibleWidget::child(i);
            if (child && child->isValid()) children.append(child);
        }
        return children;
    }
};

// Reported as gone: Qt then sends no event for it and the client area
// leaves it out of its children.
class StateLabelInterface : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    bool isValid() const override { return false; }
};

class KeyImageInterface : public QAccessibleWidget {
public:
    explicit KeyImageInterface(QWidget* key) : QAccessibleWidget(key, QAccessible::Button) {}

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction()) static_cast<const KeyImageLabel*>(object())->press();
    }
};

// Qt asks for objects of every kind, some of them while they are being
// built or taken apart (the web engine's items do), so the object is only
// looked at once its class name is one of ours.
QAccessibleInterface* factory(const QString& className, QObject* object) {
    auto is = [&](const QMetaObject& meta) { return className == QLatin1String(meta.className()); };
    if (is(ClientArea::staticMetaObject)) return new ClientAreaInterface(static_cast<QWidget*>(object));
    if (is(StateLabel::staticMetaObject)) return new StateLabelInterface(static_cast<QWidget*>(object));
    if (is(KeyImageLabel::staticMetaObject)) return new KeyImageInterface(static_cast<QWidget*>(object));
    return nullptr;
}

// Before the first of these widgets can be asked for its interface: a label
// is asked as soon as its text is set.
void installFactory() {
    static const bool installed = (QAccessible::installFactory(factory), true);
    (void)installed;
}

}  // namespace

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) { installFactory(); }

StateLabel::StateLabel(const QString& caption, QWidget* parent) : QLabel(parent) {
    installFactory();
    setText(caption);
}

KeyImageLabel::KeyImageLabel(const QString& note, std::function<void()> press, QWidget* parent)
    : QLabel(parent), press_(std::move(press)) {
    installFactory();
    setAccessibleName(note);
}

}  // namespace pelmora::ui
