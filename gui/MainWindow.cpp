#include "gui/MainWindow.h"

#include "calc/Results.h"
#include "gui/Dialogs.h"
#include "gui/FieldWidgets.h"
#include "gui/ValueLabel.h"
#include "instrument/Guards.h"
#include "instrument/Instrument.h"
#include "instrument/Repeatability.h"
#include "instrument/UncertaintyBudget.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {
// The label text without its mnemonic marker, for accessible names.
QString plain(QString s)
{
    return s.remove(QLatin1Char('&'));
}

QColor toQColor(std::uint32_t bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// Background of a field a guard marks: amber, light enough for dark red,
// dark blue and black text.
const QColor kMarkedBack(255, 222, 150);
} // namespace

MainWindow::MainWindow(Instrument &instrument, QWidget *parent)
    : QMainWindow(parent)
    , m_instrument(instrument)
{
    setObjectName(QStringLiteral("frmMain"));
    m_repeat = new RepeatRun(m_instrument, this);
    buildMenus();
    buildPanel();
    new KeyGuard(this);
    // F10 reaches the menu bar, as on every desktop: it opens the first menu.
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [this] { menuBar()->setActiveAction(menuBar()->actions().value(0)); });
    // A reading, sweep or playback ends later, from the event loop; a
    // change of route changes the check marks.
    connect(&m_instrument, &Instrument::sheetChanged, this, &MainWindow::syncFromSheet);
    connect(m_repeat, &RepeatRun::changed, this, &MainWindow::syncRepeat);
}

MainWindow::~MainWindow() = default;

FieldEdit *MainWindow::makeField(Field f)
{
    auto *e = new FieldEdit(f, this);
    e->validator = [this](Field fld) { return onValidate(fld); };
    connect(e, &QLineEdit::textEdited, this, [this, f](const QString &t) { m_instrument.setFieldText(f, t); });
    connect(e, &FieldEdit::doubleClicked, this, [this](Field fld) {
        m_instrument.doubleClick(fld);
        syncFromSheet();
    });
    m_fields[static_cast<int>(f)] = e;
    return e;
}

FieldEdit *MainWindow::addField(QGridLayout *grid, int row, int col, Field f, const QString &label)
{
    auto *l = new QLabel(label, this);
    l->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(fieldName(f)));
    FieldEdit *e = makeField(f);
    l->setBuddy(e);
    e->setAccessibleName(plain(label));
    grid->addWidget(l, row, col);
    grid->addWidget(e, row, col + 1);
    return e;
}

QPushButton *MainWindow::makeButton(Control c, const QString &caption)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(controlName(c)));
    b->setAccessibleName(plain(caption));
    // A click leaves the focus in the field being edited, so that the
    // action validates that field first (onClick), exactly like Alt+1.
    b->setFocusPolicy(Qt::TabFocus);
    connect(b, &QPushButton::clicked, this, [this, c] { onClick(c); });
    m_buttons[static_cast<int>(c)] = b;
    return b;
}

QGroupBox *MainWindow::buildGeneral()
{
    auto *box = new QGroupBox(QStringLiteral("General"), this);
    box->setObjectName(QStringLiteral("frGeneral"));
    auto *g = new QGridLayout(box);
    addField(g, 0, 0, Field::Title, QStringLiteral("Tit&le"));
    addField(g, 1, 0, Field::Interval, QStringLiteral("&Interval (s)"));
    // No Alt letter: U opens the Utility menu and n, i, t, s belong to
    // Notes, Interval, Tatt2 and Source; Tab reaches the list.
    auto *ul = new QLabel(QStringLiteral("Units"), this);
    m_units = new UnitsCombo(this);
    ul->setBuddy(m_units);
    m_units->setAccessibleName(QStringLiteral("Units"));
    connect(m_units, &QComboBox::activated, this, [this](int i) { m_instrument.setUnitsIndex(i); });
    connect(m_units, &UnitsCombo::left, this, [this] {
        m_instrument.unitsValidate();
        syncFromSheet();
    });
    g->addWidget(ul, 2, 0);
    g->addWidget(m_units, 2, 1);
    addField(g, 3, 0, Field::Frequency, QStringLiteral("Fre&quency (MHz)"));
    // A converter's Frequency is its RF: the IF the receiver is tuned to, or
    // why there is none, under it; hidden for an amplifier.
    m_ifLabel = new ValueLabel(QStringLiteral("lblIf"), QStringLiteral("Receiver IF"), this);
    m_ifLabel->setVisible(false);
    g->addWidget(m_ifLabel, 4, 1);
    addField(g, 5, 0, Field::Tatt1, QStringLiteral("T&att1 (K)"));
    addField(g, 6, 0, Field::Tatt2, QStringLiteral("Ta&tt2 (K)"));
    addField(g, 7, 0, Field::Source, QStringLiteral("&Source"));
    addField(g, 8, 0, Field::ENR, QStringLiteral("ENR (&dB)"));
    addField(g, 9, 0, Field::Thot, QStringLiteral("Thot (&K)"));
    addField(g, 10, 0, Field::Tcold, QStringLiteral("T&cold (K)"));
    g->addWidget(makeButton(Control::btnNoise00, QStringLiteral("SC&Z")), 11, 0);
    FieldEdit *zero = makeField(Field::Noise00);
    zero->setAccessibleName(QStringLiteral("Sound card zero level"));
    g->addWidget(zero, 11, 1);
    g->setRowStretch(12, 1);
    return box;
}

QGroupBox *MainWindow::buildPath(const QString &title, Field att1, Field att2, Control lo, Field loField,
                                 Control hi, Field hiField, Field y, Field teq, Field nf, const QString &suffix)
{
    auto *box = new QGroupBox(title, this);
    auto *g = new QGridLayout(box);
    addField(g, 0, 0, att1, QStringLiteral("Att1(%1) (dB)").arg(suffix));
    addField(g, 1, 0, att2, QStringLiteral("Att2(%1) (dB)").arg(suffix));
    QPushButton *bLo = makeButton(lo, lo == Control::btnNoise11 ? QStringLiteral("&1 Noise LO") : QStringLiteral("&3 Noise LO"));
    g->addWidget(bLo, 2, 0);
    FieldEdit *eLo = makeField(loField);
    eLo->setAccessibleName(QStringLiteral("Noise LO (%1) level").arg(suffix));
    g->addWidget(eLo, 2, 1);
    QPushButton *bHi = makeButton(hi, hi == Control::btnNoise12 ? QStringLiteral("&2 Noise HI") : QStringLiteral("&4 Noise HI"));
    g->addWidget(bHi, 3, 0);
    FieldEdit *eHi = makeField(hiField);
    eHi->setAccessibleName(QStringLiteral("Noise HI (%1) level").arg(suffix));
    g->addWidget(eHi, 3, 1);
    addField(g, 4, 0, y, QStringLiteral("Y(%1) (dB)").arg(suffix));
    addField(g, 5, 0, teq, QStringLiteral("Teq(%1) (K)").arg(suffix));
    addField(g, 6, 0, nf, QStringLiteral("NF(%1) (dB)").arg(suffix));
    if (nf == Field::NF1) {
        addRepeatLines(g, 7, false);
        g->setRowStretch(8, 1);
    } else {
        g->setRowStretch(7, 1);
    }
    return box;
}

QGroupBox *MainWindow::buildDut()
{
    auto *box = new QGroupBox(QStringLiteral("Device Under Test (1)"), this);
    box->setObjectName(QStringLiteral("frDut"));
    auto *g = new QGridLayout(box);
    addField(g, 0, 0, Field::Gain, QStringLiteral("Gain(1) (dB)"));
    addField(g, 1, 0, Field::Teq, QStringLiteral("Teq(1) (K)"));
    addField(g, 2, 0, Field::NF, QStringLiteral("NF(1) (dB)"));
    addRepeatLines(g, 3, true);
    g->addWidget(makeButton(Control::btnReset, QStringLiteral("&Reset")), 4, 0);
    g->addWidget(makeButton(Control::btnSaveTsv, QStringLiteral("TS&V")), 4, 1);
    g->setRowStretch(5, 1);
    return box;
}

void MainWindow::buildPanel()
{
    auto *central = new QWidget;
    central->setObjectName(QStringLiteral("panel"));
    auto *grid = new QGridLayout(central);
    grid->addWidget(buildGeneral(), 0, 0, 2, 1);
    QGroupBox *cal = buildPath(QStringLiteral("Instru&ment calibration (2)"), Field::Att11, Field::Att12,
                               Control::btnNoise11, Field::Noise11, Control::btnNoise12, Field::Noise12,
                               Field::Y2dB, Field::Teq1, Field::NF1, QStringLiteral("2"));
    cal->setObjectName(QStringLiteral("frCalibration"));
    grid->addWidget(cal, 0, 1);
    QGroupBox *comb = buildPath(QStringLiteral("Com&bined measurement (12)"), Field::Att21, Field::Att22,
                                Control::btnNoise21, Field::Noise21, Control::btnNoise22, Field::Noise22,
                                Field::Y12dB, Field::Teq2, Field::NF2, QStringLiteral("12"));
    comb->setObjectName(QStringLiteral("frCombined"));
    grid->addWidget(comb, 1, 1);
    grid->addWidget(buildDut(), 0, 2);
    auto *notesBox = new QGroupBox(QStringLiteral("&Notes"), this);
    notesBox->setObjectName(QStringLiteral("frNotes"));
    auto *nl = new QVBoxLayout(notesBox);
    m_notes = new NotesEdit(this);
    m_notes->setAccessibleName(QStringLiteral("Notes"));
    nl->addWidget(m_notes);
    connect(m_notes, &QPlainTextEdit::textChanged, this, [this] {
        if (m_instrument.setFieldText(Field::Notes, m_notes->toPlainText()))
            return;
        // Refused (too long): the previous text comes back once the edit
        // that changed it has finished, not from inside its signal.
        QMetaObject::invokeMethod(
            this,
            [this] {
                syncFromSheet();
                m_notes->moveCursor(QTextCursor::End);
            },
            Qt::QueuedConnection);
    });
    connect(m_notes, &NotesEdit::doubleClicked, this, [this] {
        m_instrument.doubleClick(Field::Notes);
        syncFromSheet();
    });
    m_fields[static_cast<int>(Field::Notes)] = m_notes;
    grid->addWidget(notesBox, 1, 2);
    grid->addWidget(buildGuardStrip(), 2, 0, 1, 3);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 3);
    // On a small screen or with large fonts the panel scrolls rather than
    // pushing the window beyond the screen.
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("panelScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // a click beside a field must not take the focus from it
    scroll->setWidgetResizable(true);
    scroll->setWidget(central);
    setCentralWidget(scroll);
}

void MainWindow::fitToScreen()
{
    const QScreen *s = screen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    // The window manager's frame is unknown before the first showing; allow
    // for a usual title bar and border.
    const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(16, 40);
    auto *scroll = static_cast<QScrollArea *>(centralWidget());
    const int bar = scroll->verticalScrollBar()->sizeHint().width();
    const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    QSize want = scroll->widget()->sizeHint() + QSize(0, bars);
    want = want.boundedTo(avail.size() - frame);
    // Scroll bars take room of their own once the panel does not fit.
    if (want.height() < scroll->widget()->sizeHint().height() + bars)
        want.rwidth() = std::min(want.width() + bar, avail.width() - frame.width());
    resize(want);
    const QRect outer(QPoint(), want + frame);
    move(avail.center() - outer.center());
}

QWidget *MainWindow::fieldWidget(Field f) const { return m_fields[static_cast<int>(f)]; }
QAction *MainWindow::action(Control c) const { return m_actions[static_cast<int>(c)]; }
QPushButton *MainWindow::button(Control c) const { return m_buttons[static_cast<int>(c)]; }

bool MainWindow::validateFocused()
{
    QWidget *w = focusWidget();
    if (auto *e = qobject_cast<FieldEdit *>(w))
        return e->validateNow();
    if (w == m_units) {
        m_instrument.unitsValidate(); // never refused
        syncFromSheet();
    }
    return true;
}

void MainWindow::onClick(Control c)
{
    // Buttons, their Alt letters, menu entries and their shortcuts leave the
    // focus where it is: the field being edited is validated first, and a
    // refused entry stops the action.
    if (!validateFocused())
        return;
    m_instrument.click(c);
    syncFromSheet();
}

bool MainWindow::onValidate(Field f)
{
    const bool ok = m_instrument.validate(f);
    syncFromSheet();
    return ok;
}

void MainWindow::syncFromSheet()
{
    const Sheet &s = m_instrument.sheet();
    // The instrument's guards: the calibration's state, the warnings and
    // the fields they mark.
    const GuardReport guards = evaluateGuards(m_instrument);
    for (int i = 0; i < static_cast<int>(Field::Count); ++i) {
        const Field f = static_cast<Field>(i);
        if (f == Field::Notes) {
            if (m_notes->toPlainText() != s.text(f)) {
                const QSignalBlocker block(m_notes);
                m_notes->setPlainText(s.text(f));
            }
            continue;
        }
        auto *e = static_cast<FieldEdit *>(m_fields[i]);
        if (!e)
            continue;
        if (e->text() != s.text(f))
            e->setText(s.text(f));
        e->setReadOnly(s.locked(f));
        QPalette pal = e->palette();
        const QPalette base = QApplication::palette(e);
        QColor want = s.colour(f) == Colour::WindowText ? base.color(QPalette::Text) : toQColor(s.colour(f));
        // Read-only fields (results, the zero, a table's locked values) sit on
        // the window colour, so that what can be typed into stands out.
        QColor back = s.locked(f) ? base.color(QPalette::Window) : base.color(QPalette::Base);
        if (guards.marked(f)) {
            back = kMarkedBack;
            if (s.colour(f) == Colour::WindowText)
                want = Qt::black;
        }
        if (pal.color(QPalette::Text) != want || pal.color(QPalette::Base) != back) {
            pal.setColor(QPalette::Text, want);
            pal.setColor(QPalette::Base, back);
            e->setPalette(pal);
        }
    }
    if (m_units->currentIndex() != s.unitsIndex())
        m_units->setCurrentIndex(s.unitsIndex());
    m_hotCold->setChecked(m_instrument.session().HotColdLoads);
    const QString ifLine = ifText(s);
    m_ifLabel->setValueText(ifLine);
    m_ifLabel->setVisible(!ifLine.isEmpty());
    for (int i = 0; i < static_cast<int>(Control::Count); ++i) {
        const Control c = static_cast<Control>(i);
        if (QAction *a = m_actions[i]) {
            a->setEnabled(s.enabled(c));
            a->setVisible(s.visible(c));
            if (a->isCheckable())
                a->setChecked(s.checked(c));
        }
        if (QPushButton *b = m_buttons[i]) {
            b->setEnabled(s.enabled(c));
            b->setVisible(s.visible(c));
        }
    }
    if (!s.windowCaption.isEmpty())
        setWindowTitle(s.windowCaption);
    syncRepeat();
    m_calibration->setValueText(calibrationCaption(guards.calibration));
    m_calibration->setToolTip(guards.calibrationDetail);
    const QString warnings = guards.warnings.join(QLatin1Char('\n'));
    if (warnings != m_guardLine->text()) {
        m_guardLine->setValueText(warnings);
        makeRoomForWarnings();
    }
    // NF(1) and NF(2) carry their expanded uncertainty; a guard's mark comes
    // first. The texts stay as calculated.
    for (int i = 0; i < static_cast<int>(Field::Count); ++i) {
        const QString own = m_instrument.toolTip(static_cast<Field>(i));
        const QString &mark = guards.marks[i];
        const QString gap = mark.isEmpty() || own.isEmpty() ? QString() : QStringLiteral("\n\n");
        if (m_fields[i])
            m_fields[i]->setToolTip(mark + gap + own);
    }
}

void MainWindow::loadAndShow()
{
    m_instrument.Form_Load();
    syncFromSheet();
    fitToScreen();
    show();
    raise();
    m_instrument.startUp();
    syncFromSheet();
}

void MainWindow::closeEvent(QCloseEvent *e)
{
    // Closing acts on the sheet (its values are saved): a refused entry
    // keeps the window open with the focus in the field.
    if (!m_unloaded && !validateFocused()) {
        e->ignore();
        return;
    }
    m_instrument.cancel(); // a running reading or playback stops first
    if (!m_unloaded) {
        m_unloaded = true;
        m_instrument.Form_Unload();
    }
    e->accept();
}
