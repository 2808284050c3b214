#pragma once
// A label that shows a reading: a level, a bandwidth, a test result. Screen
// readers get its fixed accessible name (what it is) as the name and the
// text it shows now as the value (QAccessible::Value); a new text is
// announced as a value change. A plain QLabel with an accessible name offers
// only the name, so a reader would never hear the reading itself.
// User-interface thread only.

#include <QLabel>

class ValueLabel : public QLabel
{
    Q_OBJECT
public:
    ValueLabel(const QString &objectName, const QString &accessibleName, QWidget *parent);
    // Shows `text`; assistive technology hears of it when it differs from
    // the text shown before.
    void setValueText(const QString &text);
};
