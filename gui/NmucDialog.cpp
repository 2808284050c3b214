// frmNmuc: a view of the Nmuc model. The widget forwards entering, typing,
// Enter and leaving of the three fields, the Fast box and the buttons, then
// mirrors the model.
#include "gui/Dialogs.h"

#include "instrument/Instrument.h"
#include "calc/Nmuc.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

namespace {

class NmucDialog : public QDialog
{
public:
    NmucDialog(Instrument &m, QWidget *parent);

    void reject() override
    {
        m_leavePending.reset(); // closing is never held up by a refused entry
        QDialog::reject();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *edit(NmucField f) const { return m_edits[static_cast<int>(f)]; }
    std::optional<NmucField> fieldOf(QObject *o) const;
    void sync();
    bool flushLeave();

    Instrument &m_instrument;
    Nmuc &m_model;
    QLineEdit *m_edits[3];
    QCheckBox *m_fast;
    QLineEdit *m_uncertainty;
    QPushButton *m_calc;
    QPushButton *m_close;
    // The field whose leave rule is due once the focus change is complete
    // (or at once, when a button or the Fast box needs its verdict first).
    std::optional<NmucField> m_leavePending;
};

NmucDialog::NmucDialog(Instrument &m, QWidget *parent)
    : QDialog(parent)
    , m_instrument(m)
    , m_model(m.nmuc())
{
    setObjectName(QStringLiteral("frmNmuc"));
    setWindowTitle(QStringLiteral("Uncertainty calculator"));
    m_model.load(); // the dialog is unloaded on close: every opening is fresh

    auto *grid = new QGridLayout;
    struct Row { NmucField field; const char *name; const char *label; };
    const Row rows[] = {
        {NmucField::Bandwidth, "Bandwidth", "&Bandwidth (Hz)"},
        {NmucField::Interval, "Interval", "&Interval (s)"},
        {NmucField::Confidence, "Confidence", "C&onfidence Levell (%)"},
    };
    int row = 0;
    for (const Row &r : rows) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(r.name));
        auto *l = new QLabel(QLatin1String(r.label), this);
        l->setBuddy(e);
        grid->addWidget(l, row, 0);
        grid->addWidget(e, row, 1);
        m_edits[static_cast<int>(r.field)] = e;
        e->installEventFilter(this);
        const NmucField f = r.field;
        connect(e, &QLineEdit::textEdited, this, [this, f](const QString &t) { m_model.setText(f, t); });
        ++row;
    }
    m_fast = new QCheckBox(QStringLiteral("&Fast"), this);
    m_fast->setObjectName(QStringLiteral("Fast"));
    grid->addWidget(m_fast, row++, 1);
    m_uncertainty = new QLineEdit(this);
    m_uncertainty->setObjectName(QStringLiteral("Uncertainty"));
    m_uncertainty->setReadOnly(true); // a result, not an input
    auto *ul = new QLabel(QStringLiteral("&Measurement uncertainty (dB)"), this);
    ul->setBuddy(m_uncertainty);
    grid->addWidget(ul, row, 0);
    grid->addWidget(m_uncertainty, row, 1);

    m_calc = new QPushButton(QStringLiteral("C&alculate"), this);
    m_calc->setObjectName(QStringLiteral("CalcButton"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("CancelButton"));
    for (QPushButton *b : {m_calc, m_close}) {
        b->setAutoDefault(false); // Enter belongs to the fields
        b->setDefault(false);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_calc);
    buttons->addWidget(m_close);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(grid);
    lay->addLayout(buttons);

    connect(m_fast, &QCheckBox::clicked, this, [this](bool checked) {
        if (!flushLeave()) {
            sync(); // the refused entry keeps the focus; the click is undone
            return;
        }
        m_model.clickFast(checked);
        sync();
    });
    connect(m_calc, &QPushButton::clicked, this, [this] {
        // Through its Alt letter the button leaves the focus in the field
        // being edited: that field's leave rule runs first.
        if (const std::optional<NmucField> f = fieldOf(focusWidget()); f && !m_leavePending)
            m_leavePending = f;
        if (!flushLeave())
            return;
        m_model.CalcNmuc();
        sync();
    });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    sync();
}

std::optional<NmucField> NmucDialog::fieldOf(QObject *o) const
{
    for (int i = 0; i < 3; ++i)
        if (o == m_edits[i])
            return static_cast<NmucField>(i);
    return std::nullopt;
}

void NmucDialog::sync()
{
    for (int i = 0; i < 3; ++i) {
        const QString &t = m_model.text(static_cast<NmucField>(i));
        if (m_edits[i]->text() != t)
            m_edits[i]->setText(t);
    }
    m_fast->setChecked(m_model.fast()); // programmatic: no click rule
    m_uncertainty->setText(m_model.uncertainty());
}

bool NmucDialog::flushLeave()
{
    if (!m_leavePending)
        return true;
    const NmucField f = *m_leavePending;
    m_leavePending.reset();
    const bool ok = m_model.fieldLeave(m_instrument.messages(), f);
    sync();
    if (!ok)
        edit(f)->setFocus();
    return ok;
}

bool NmucDialog::eventFilter(QObject *watched, QEvent *event)
{
    const std::optional<NmucField> f = fieldOf(watched);
    if (!f)
        return QDialog::eventFilter(watched, event);
    QLineEdit *e = edit(*f);
    switch (event->type()) {
    case QEvent::FocusIn:
        m_model.fieldEnter(*f);
        sync();
        // After a mouse click has placed the cursor, select everything.
        QTimer::singleShot(0, e, [e] { e->selectAll(); });
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_model.fieldLeave(m_instrument.messages(), *f); // the focus stays here either way
            sync();
            e->selectAll();
            return true;
        }
        break;
    }
    case QEvent::FocusOut: {
        const Qt::FocusReason r = static_cast<QFocusEvent *>(event)->reason();
        // Another window (a message box) taking the focus is no leaving.
        if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason && isVisible()) {
            flushLeave(); // a different field still due goes first
            m_leavePending = *f;
            QTimer::singleShot(0, this, [this] { flushLeave(); });
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace

QDialog *createNmucDialog(Instrument &m, QWidget *parent)
{
    return new NmucDialog(m, parent);
}
