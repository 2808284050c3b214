#pragma once
// Widgets of the measurement sheet's fields. They only report events
// (focus in/out, Enter, double click) to their owner; every rule runs in
// the core behind the Instrument facade.

#include "sheet/Sheet.h"

#include <QComboBox>
#include <functional>
#include <QLineEdit>
#include <QPlainTextEdit>

// A single-line field. Leaving it (Tab, click elsewhere) or pressing Enter
// asks the owner to validate; a refused entry keeps the focus and is
// selected again. Focus changes caused by the message box itself, or by
// switching windows, do not validate a second time.
class FieldEdit : public QLineEdit
{
    Q_OBJECT
public:
    FieldEdit(Field field, QWidget *parent);
    Field field() const { return m_field; }
    // Set by the owner: validates the field, returns false to keep focus.
    std::function<bool(Field)> validator;

    // Validates now, as leaving the field would (used before an action runs
    // on the sheet). False: refused; the focus is back here, entry selected.
    bool validateNow() { return isReadOnly() || runValidation(); }

    // True while a validation (and its message box) is running anywhere.
    static bool validating() { return s_validating; }

Q_SIGNALS:
    void doubleClicked(Field field);

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
    bool runValidation();
    Field m_field;
    static bool s_validating;
};

// The Units list: validated when the focus leaves it.
class UnitsCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit UnitsCombo(QWidget *parent);
Q_SIGNALS:
    void left();

protected:
    void focusOutEvent(QFocusEvent *e) override;
};

// Keyboard rules of a desktop program that line and text edits would break
// on their own: an Alt combination never types its letter into a field (it
// is a mnemonic or nothing), and the shortcuts of the window's menu entries
// (Ctrl+A, Ctrl+K...) win over the editing keys of the field that has the
// focus. Installed on the application by the main window, whose child it
// is; user-interface thread only.
class KeyGuard : public QObject
{
public:
    explicit KeyGuard(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
};

// The multi-line Notes field; a double click copies it.
class NotesEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit NotesEdit(QWidget *parent);
Q_SIGNALS:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *e) override;
};
