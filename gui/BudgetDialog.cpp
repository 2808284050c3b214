// The uncertainty budget window (Utility > Uncertainty budget): the values
// the user types (kept in the Instrument's BudgetSettings), the expanded
// uncertainties of NF(1), Gain(1) and NF(2) with the Monte Carlo interval
// beside them, and the table of contributions with the largest marked.
// Recomputed on every change; the whole budget takes some tens of ms.
#include "gui/Dialogs.h"

#include "instrument/Instrument.h"
#include "instrument/UncertaintyBudget.h"
#include "sheet/NumText.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

using physics::BudgetOut;
using physics::BudgetTerm;

QString fixed(double v, const char *pattern = "0.00")
{
    return FormatFixed(v, QString::fromLatin1(pattern));
}

class BudgetDialog : public QDialog
{
public:
    BudgetDialog(Instrument &m, QWidget *parent);

private:
    QDoubleSpinBox *spin(QFormLayout *form, const QString &label, double max, int decimals, double *target);
    void recompute();
    void fitTable(const QScreen *screen);

    Instrument &m_instrument;
    BudgetSettings &m_set;
    QLabel *m_defaults;
    QLabel *m_status;
    QLabel *m_results[physics::kBudgetOuts];
    QTableWidget *m_table;
};

QDoubleSpinBox *BudgetDialog::spin(QFormLayout *form, const QString &label, double max, int decimals,
                                   double *target)
{
    auto *s = new QDoubleSpinBox(this);
    s->setLocale(QLocale()); // the decimal mark of the main window's fields
    s->setRange(0, max);
    s->setDecimals(decimals);
    s->setSingleStep(decimals >= 2 ? 0.01 : 1);
    s->setValue(*target);
    QString plain = label;
    s->setAccessibleName(plain.remove(QLatin1Char('&')));
    form->addRow(label, s);
    connect(s, &QDoubleSpinBox::valueChanged, this, [this, target](double v) {
        *target = v;
        recompute();
    });
    return s;
}

BudgetDialog::BudgetDialog(Instrument &m, QWidget *parent)
    : QDialog(parent), m_instrument(m), m_set(m.budgetSettings())
{
    setObjectName(QStringLiteral("frmBudget"));
    setWindowTitle(QStringLiteral("Uncertainty budget"));

    auto *typed = new QGroupBox(QStringLiteral("Typed values (95 %, k = 2)"), this);
    auto *form = new QFormLayout(typed);
    spin(form, QStringLiteral("&ENR (dB)"), 5, 2, &m_set.enrU95Db);
    auto *enrFile = new QCheckBox(QStringLiteral("ENR uncertainty from the &file"), this);
    enrFile->setChecked(m_set.useFileEnrU);
    enrFile->setAccessibleName(QStringLiteral("ENR uncertainty from the file"));
    form->addRow(enrFile);
    spin(form, QStringLiteral("&Tcold (K)"), 1000, 1, &m_set.tcoldU95K);
    spin(form, QStringLiteral("Attenuator &loss (dB)"), 5, 2, &m_set.attU95Db);
    spin(form, QStringLiteral("Attenuator te&mperature (K)"), 1000, 1, &m_set.tattU95K);
    QDoubleSpinBox *bw = spin(form, QStringLiteral("&Bandwidth (Hz)"), 1e6, 0, &m_set.bandwidthHz);
    bw->setSpecialValueText(QStringLiteral("automatic"));
    auto *refl = new QLabel(QStringLiteral("Reflection magnitudes |\u0393| (0 to 0.99):"), this);
    form->addRow(refl);
    spin(form, QStringLiteral("Source o&n"), 0.99, 3, &m_set.gSourceOn);
    spin(form, QStringLiteral("&Source off"), 0.99, 3, &m_set.gSourceOff);
    spin(form, QStringLiteral("DUT &input"), 0.99, 3, &m_set.gDutIn);
    spin(form, QStringLiteral("DUT &output"), 0.99, 3, &m_set.gDutOut);
    spin(form, QStringLiteral("&Receiver input"), 0.99, 3, &m_set.gReceiver);
    auto *reflFile = new QCheckBox(QStringLiteral("&Use the source's reflection from the file"), this);
    reflFile->setChecked(m_set.useFileReflection);
    reflFile->setAccessibleName(QStringLiteral("Use the source's reflection from the file"));
    form->addRow(reflFile);
    connect(enrFile, &QCheckBox::toggled, this, [this](bool on) {
        m_set.useFileEnrU = on;
        recompute();
    });
    connect(reflFile, &QCheckBox::toggled, this, [this](bool on) {
        m_set.useFileReflection = on;
        recompute();
    });
    m_defaults = new QLabel(this);
    m_defaults->setWordWrap(true);
    m_defaults->setObjectName(QStringLiteral("budgetDefaults"));

    auto *left = new QVBoxLayout;
    left->addWidget(typed);
    left->addWidget(m_defaults);
    left->addStretch(1);

    auto *results = new QGroupBox(QStringLiteral("Expanded uncertainty (95 %)"), this);
    auto *rl = new QVBoxLayout(results);
    for (QLabel *&l : m_results) {
        l = new QLabel(this);
        l->setWordWrap(true);
        l->setTextFormat(Qt::RichText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        rl->addWidget(l);
    }
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setObjectName(QStringLiteral("budgetStatus"));
    rl->addWidget(m_status);

    m_table = new QTableWidget(physics::kBudgetTerms, 6, this);
    m_table->setObjectName(QStringLiteral("budgetTable"));
    m_table->setAccessibleName(QStringLiteral("Contributions"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Contribution"), QStringLiteral("Value"),
                                        QStringLiteral("u (1 \u03c3)"), QStringLiteral("NF(1) dB"),
                                        QStringLiteral("Gain(1) dB"), QStringLiteral("NF(2) dB")});
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The figures as wide as their contents, the names taking what is left;
    // the dialog is sized so that no column is cut (see fitTable).
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->setWordWrap(false);
    auto *legend = new QLabel(QStringLiteral("Contributions |c\u00b7u| in dB (1 \u03c3); "
                                             "\u25c0 marks the largest in each column."),
                              this);
    legend->setWordWrap(true);

    auto *right = new QVBoxLayout;
    right->addWidget(results);
    right->addWidget(m_table, 1);
    right->addWidget(legend);

    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 2);
    columns->addLayout(right, 5);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *view = buttons->addButton(QStringLiteral("ENR &view"), QDialogButtonBox::ActionRole);
    view->setAccessibleName(QStringLiteral("ENR view"));
    QPushButton *close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setAccessibleName(QStringLiteral("Close"));
    connect(view, &QPushButton::clicked, this, [this] {
        if (QDialog *d = createEnrViewDialog(m_instrument, this)) {
            d->exec();
            delete d;
            recompute(); // the view may have changed the interpolation, hence the ENR
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *top = new QVBoxLayout(this);
    top->addLayout(columns, 1);
    top->addWidget(buttons);
    recompute();
    fitTable(parent ? parent->screen() : screen());
}

void BudgetDialog::fitTable(const QScreen *screen)
{
    // The table asks for all its columns and rows: a scroll area's own hint
    // is a fixed 256 pixels or so, which cut Gain(1) and NF(2) off while the
    // dialog had room. Within the screen the dialog then takes what it needs.
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Interactive);
    m_table->resizeColumnsToContents();
    const int frame = 2 * m_table->frameWidth();
    const int wide = header->length() + frame + m_table->verticalScrollBar()->sizeHint().width();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    const int tall = m_table->verticalHeader()->length() + m_table->horizontalHeader()->height() + frame;
    const QSize avail = screen ? screen->availableGeometry().size() * 0.92 : QSize(wide * 2, tall * 2);
    m_table->setMinimumWidth(std::min(wide, avail.width() * 2 / 3));
    // Asked for with every row, then free to shrink to a few rows (and
    // scroll) where the screen is shorter than that.
    m_table->setMinimumHeight(tall);
    const QSize hint = sizeHint();
    m_table->setMinimumHeight(
        std::min(tall, m_table->horizontalHeader()->height() + 5 * m_table->rowHeight(0)));
    resize(hint.boundedTo(avail));
}

void BudgetDialog::recompute()
{
    const BudgetInputs in = budgetInputs(m_instrument);
    const BudgetSettings d;
    m_defaults->setText(
        QStringLiteral("Defaults: ENR %1 dB (or the file's), Tcold %2 K, attenuators %3 dB and %4 K, "
                       "all as 95 % figures; reflections 0.")
            .arg(fixed(d.enrU95Db), fixed(d.tcoldU95K, "0.0"), fixed(d.attU95Db), fixed(d.tattU95K, "0.0")) +
        QStringLiteral(" In use now: ENR %1 dB%2; bandwidth %3 Hz (%4) and interval %5 s, a scatter of "
                       "%6 % per reading%7.")
            .arg(fixed(in.enrU95Db),
                 (in.enrUFromFile ? QStringLiteral(" from the file") : QString()) +
                     (in.enrInterpHalfDb > 0
                          ? QStringLiteral(", its interpolation \u00b1 %1 dB (rectangular)")
                                .arg(fixed(in.enrInterpHalfDb, "0.000"))
                          : QString()),
                 fixed(in.bandwidthHz, "0"), in.bandwidthSource, fixed(in.intervalS, "0.000") +
                     (in.averages > 1 ? QStringLiteral(" \u00d7 %1 averages").arg(in.averages) : QString()),
                 fixed(in.input.relSd[0] * 100, "0.00"),
                 in.reflectionFromFile ? QStringLiteral("; source reflection from the file") : QString()));
    const physics::BudgetResult r = sheetBudget(m_instrument);
    const bool ok = r.status == physics::BudgetStatus::Ok;
    m_status->setText(budgetStatusText(r.status));
    m_status->setVisible(!ok);
    static const char *const names[] = {"NF(1)", "Gain(1)", "NF(2)"};
    for (int o = 0; o < physics::kBudgetOuts; ++o) {
        const physics::BudgetOutput &out = r.out[o];
        QString text = QStringLiteral("<b>%1</b> ").arg(QLatin1String(names[o]));
        if (!ok || !out.ok) {
            text += ok ? QStringLiteral(
                             "no meaningful value (not measured, or a noise temperature not above 0 K)")
                       : QStringLiteral("\u2014");
        } else {
            // Two lines each, so that the three fit above the whole table: the
            // figures and the largest term, then which interval is the result.
            text += QStringLiteral("<b>%1 dB \u00b1 %2 dB</b>").arg(fixed(out.value), fixed(out.expanded));
            if (out.mcOk)
                text += QStringLiteral(", Monte Carlo 95 %: %1 to %2 dB")
                            .arg(fixed(out.mcLow), fixed(out.mcHigh));
            else // half the draws or more fell where the result does not exist (Y <= 1)
                text += QStringLiteral(
                    ", <b>no Monte Carlo interval</b>: the inputs' spread reaches Y = 1 or 0 K, "
                    "so this figure is not reliable");
            text += QStringLiteral("; largest contribution: %1<br>")
                        .arg(budgetTermName(static_cast<BudgetTerm>(out.dominant)));
            if (out.mcOk)
                text += out.mcIsResult
                            ? QStringLiteral("<b>Result: the Monte Carlo interval</b> (far from "
                                             "linear: \u00b1 U reaches below 0 K or departs from it); ")
                            : QStringLiteral("Result: the value \u00b1 U; ");
            text += QStringLiteral("statistical part %1 dB (1 \u03c3)").arg(fixed(out.statistical, "0.000"));
            if (out.mcOk)
                text += QStringLiteral("; unphysical draws (Y \u2264 1 or below 0 K): %1 of %2")
                            .arg(out.mcUnphysical)
                            .arg(out.mcDraws);
        }
        m_results[o]->setText(text);
        m_results[o]->setAccessibleName(QString(text).remove(QRegularExpression(QStringLiteral("<[^>]*>"))));
    }
    for (int i = 0; i < physics::kBudgetTerms; ++i) {
        const physics::BudgetTermRow &row = r.rows[i];
        const BudgetTerm t = static_cast<BudgetTerm>(i);
        const bool reading = t >= BudgetTerm::Noise11 && t <= BudgetTerm::Noise22;
        const bool match = t >= BudgetTerm::MatchCalHot;
        QStringList cells{budgetTermName(t)};
        if (ok) {
            // Readings as their power level in dB, mismatches as the reflection product.
            // A path not measured has no reading: no level, no logarithm of 0.
            cells << (reading ? (row.value > 0
                                     ? fixed(10 * std::log10(row.value), "0.000") + QStringLiteral(" dB")
                                     : QStringLiteral("\u2014"))
                      : match ? QStringLiteral("\u03c1 ") + fixed(row.value, "0.0000")
                              : fixed(row.value, "0.000") + QLatin1Char(' ') + budgetTermUnit(t))
                  << (reading ? fixed(row.u * 100, "0.00") : fixed(row.u, "0.000")) + QLatin1Char(' ') +
                         budgetTermUnit(t);
            for (int o = 0; o < physics::kBudgetOuts; ++o) {
                QString c = r.out[o].ok ? fixed(row.contrib[o], "0.000") : QString();
                if (r.out[o].ok && r.out[o].dominant == i)
                    c += QStringLiteral(" \u25c0");
                cells << c;
            }
        }
        for (int c = 0; c < 6; ++c) {
            auto *item = new QTableWidgetItem(cells.value(c));
            item->setToolTip(cells.value(c));
            if (c > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            QFont f = item->font();
            f.setBold(c >= 3 && cells.value(c).endsWith(QChar(0x25c0)));
            item->setFont(f);
            m_table->setItem(i, c, item);
        }
    }
}

} // namespace

QDialog *createBudgetDialog(Instrument &m, QWidget *parent)
{
    return new BudgetDialog(m, parent);
}
