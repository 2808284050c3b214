#include "gui/FieldWidgets.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTextEdit>
#include <QTimer>

bool FieldEdit::s_validating = false;

FieldEdit::FieldEdit(Field field, QWidget *parent)
    : QLineEdit(parent)
    , m_field(field)
{
    setObjectName(QString::fromLatin1(fieldName(field)));
}

void FieldEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    // Entering a field selects its whole entry so that typing replaces it.
    if (e->reason() != Qt::PopupFocusReason)
        QTimer::singleShot(0, this, [this] { selectAll(); });
}

bool FieldEdit::runValidation()
{
    if (!validator || s_validating)
        return true;
    s_validating = true;
    const bool ok = validator(m_field);
    if (!ok) {
        setFocus(Qt::OtherFocusReason);
        selectAll();
    }
    s_validating = false;
    return ok;
}

void FieldEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    // Window switches and popups do not leave the field in the sense of the
    // sheet; a message box shown by a validation must not start another one.
    if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason || s_validating)
        return;
    if (isReadOnly())
        return;
    runValidation();
}

void FieldEdit::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        // Enter is swallowed: it validates at once and selects the entry again.
        if (!isReadOnly())
            runValidation();
        selectAll();
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void FieldEdit::mouseDoubleClickEvent(QMouseEvent *e)
{
    QLineEdit::mouseDoubleClickEvent(e);
    Q_EMIT doubleClicked(m_field);
}

UnitsCombo::UnitsCombo(QWidget *parent)
    : QComboBox(parent)
{
    setObjectName(QStringLiteral("Units"));
    for (const char *u : kUnitNames)
        addItem(QString::fromLatin1(u));
}

void UnitsCombo::focusOutEvent(QFocusEvent *e)
{
    QComboBox::focusOutEvent(e);
    if (e->reason() == Qt::PopupFocusReason || e->reason() == Qt::ActiveWindowFocusReason)
        return;
    Q_EMIT left();
}

NotesEdit::NotesEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("Notes"));
    setTabChangesFocus(true);
}

void NotesEdit::mouseDoubleClickEvent(QMouseEvent *e)
{
    QPlainTextEdit::mouseDoubleClickEvent(e);
    Q_EMIT doubleClicked();
}

KeyGuard::KeyGuard(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    qApp->installEventFilter(this);
}

bool KeyGuard::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::ShortcutOverride) || !watched->isWidgetType())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    auto *widget = static_cast<QWidget *>(watched);
    if (type == QEvent::KeyPress) {
        // X11 delivers Alt+V with the text "v"; no desktop program types it.
        const bool textInput = qobject_cast<QLineEdit *>(widget) || qobject_cast<QPlainTextEdit *>(widget) ||
                               qobject_cast<QTextEdit *>(widget) || qobject_cast<QAbstractSpinBox *>(widget) ||
                               qobject_cast<QComboBox *>(widget);
        return textInput && (key->modifiers() & Qt::AltModifier) && !key->text().isEmpty();
    }
    // ShortcutOverride: a field accepting it would keep the key (Ctrl+A is
    // select-all, Ctrl+K delete-to-end in a line edit) and the menu entry
    // would never run. An enabled entry of this window has the key instead.
    if (widget->window() != m_window)
        return false;
    const QKeySequence pressed(key->keyCombination());
    for (const QAction *a : m_window->findChildren<QAction *>()) {
        if (a->isEnabled() && a->shortcut() == pressed) {
            event->ignore();
            return true;
        }
    }
    return false;
}
