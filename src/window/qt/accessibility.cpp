#include "window/qt/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace holmtex {

namespace {

// A caption: static text, named by its accessible name or else by what it shows.
class CaptionAccessible : public QAccessibleWidget {
public:
    explicit CaptionAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name) return QAccessibleWidget::text(kind);
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? static_cast<QLineEdit*>(widget())->text() : name;
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.focusable = false;
        return state;
    }
};

// Asked for every widget class from the most derived one up; the first answer counts.
QAccessibleInterface* accessibleFor(const QString& className, QObject* object) {
    if (className == QLatin1String("holmtex::QtWindow"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (className == QLatin1String("holmtex::CaptionBox"))
        return new CaptionAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

void CaptionBox::setCaption(const QString& text) {
    if (text == this->text()) return;
    setText(text);
    if (accessibleName().isEmpty()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void installAccessibleRoles() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(accessibleFor);
}

}  // namespace holmtex
