#include "Accessibility.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

const char *const roleProperty = "corvantaAccessibleRole";

class PaintedWidgetAccessible : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (auto *button = qobject_cast<QAbstractButton *>(widget()); button && button->isCheckable()) {
            state.checkable = state.selectable = true;
            state.checked = state.selected = button->isChecked();
        }
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (qobject_cast<QAbstractButton *>(widget()) && widget()->isEnabled())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString &action) override
    {
        auto *button = qobject_cast<QAbstractButton *>(widget());
        if (button && action == pressAction() && button->isEnabled())
            button->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *paintedWidgetFactory(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    const QVariant role = object->property(roleProperty);
    if (!role.isValid())
        return nullptr;
    return new PaintedWidgetAccessible(static_cast<QWidget *>(object), QAccessible::Role(role.toInt()));
}

} // namespace

namespace Accessibility {

void announce(QWidget *widget, const QString &text)
{
    if (widget->accessibleName() == text)
        return;
    widget->setAccessibleName(text);
    if (text.isEmpty() || !widget->isVisible())
        return; // showing it later announces it (Qt reports the show)
    QAccessibleEvent nameChanged(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    // Qt's AT-SPI bridge drops Alert events; what screen readers speak for an alert is its
    // "showing" state turning on, which Qt reports for an object shown.
    QAccessibleEvent shown(widget, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    QAccessibleEvent alert(widget, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void setRole(QWidget *widget, QAccessible::Role role)
{
    static const bool installed = [] {
        QAccessible::installFactory(paintedWidgetFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(roleProperty, int(role));
}

} // namespace Accessibility
