#include "ui/accessibility.h"

#include <QAccessibleWidget>

namespace pelmora::ui {
namespace {

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
    if (is(KeyImageLabel::staticMetaObject)) return new KeyImageInterface(static_cast<QWidget*>(object));
    return nullptr;
}

// Before the first key can be asked for its interface: a label is asked as
// soon as its text is set.
void installFactory() {
    static const bool installed = (QAccessible::installFactory(factory), true);
    (void)installed;
}

}  // namespace

KeyImageLabel::KeyImageLabel(const QString& note, std::function<void()> press, QWidget* parent)
    : QLabel(parent), press_(std::move(press)) {
    installFactory();
    setAccessibleName(note);
}

}  // namespace pelmora::ui
