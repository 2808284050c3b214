#include "gui/ValueLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class ValueLabelAccessible : public QAccessibleWidget
{
public:
    explicit ValueLabelAccessible(ValueLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<const ValueLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *valueLabelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ValueLabel") && object && object->isWidgetType())
        return new ValueLabelAccessible(static_cast<ValueLabel *>(object));
    return nullptr;
}

} // namespace

ValueLabel::ValueLabel(const QString &objectName, const QString &accessibleName, QWidget *parent)
    : QLabel(parent)
{
    // Installed before the first interface of a ValueLabel is asked for
    // (interfaces are made once per object and kept).
    static const bool installed = [] {
        QAccessible::installFactory(valueLabelFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void ValueLabel::setValueText(const QString &text)
{
    if (text == QLabel::text())
        return;
    setText(text);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, text);
        QAccessible::updateAccessibility(&event);
    }
}
