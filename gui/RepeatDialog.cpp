// frmRepeat: Utility > Repeat. The user chooses M and how the measurement is
// repeated, starts the run and reads the observed scatter of NF(1) and NF(2)
// beside the predicted one. A view of RepeatRun (instrument/Repeatability.h);
// GUI thread only.

#include "gui/Dialogs.h"

#include "instrument/Instrument.h"
#include "instrument/Repeatability.h"
#include "sheet/NumText.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

class RepeatDialog : public QDialog
{
public:
    RepeatDialog(Instrument &m, RepeatRun &run, QWidget *parent);

private:
    void start();
    void refresh();
    void setCell(int row, int col, const QString &text);

    Instrument &m_instrument;
    RepeatRun &m_run;
    QSpinBox *m_count = nullptr;
    QRadioButton *m_series = nullptr;
    QRadioButton *m_byHand = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_progress = nullptr;
    QTableWidget *m_table = nullptr;
    QLabel *m_hint = nullptr;
};

QString sigmaText(std::optional<double> v)
{
    return v ? QStringLiteral("\u00b1%1 dB").arg(FormatFixed(*v, QStringLiteral("0.00"))) : QString();
}

RepeatDialog::RepeatDialog(Instrument &m, RepeatRun &run, QWidget *parent)
    : QDialog(parent), m_instrument(m), m_run(run)
{
    setObjectName(QStringLiteral("frmRepeat"));
    setWindowTitle(QStringLiteral("Repeat"));
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    m_count = new QSpinBox(this);
    m_count->setObjectName(QStringLiteral("spnRepeats"));
    m_count->setAccessibleName(QStringLiteral("Repeats"));
    m_count->setRange(RepeatRun::kMinRepeats, RepeatRun::kMaxRepeats);
    m_count->setValue(RepeatRun::kDefaultRepeats);
    form->addRow(QStringLiteral("Re&peats (M):"), m_count);
    layout->addLayout(form);
    m_series = new QRadioButton(
        QStringLiteral("&Whole measurement M times, switched through the serial port"), this);
    m_series->setObjectName(QStringLiteral("optSeries"));
    m_byHand = new QRadioButton(QStringLiteral("By &hand: repeat the last pair of readings M times"), this);
    m_byHand->setObjectName(QStringLiteral("optByHand"));
    m_byHand->setToolTip(QStringLiteral("Take Noise LO and HI of one pair again with their buttons, M times; "
                                        "each new pair adds a result."));
    auto *modes = new QButtonGroup(this);
    modes->addButton(m_series);
    modes->addButton(m_byHand);
    m_byHand->setChecked(true);
    layout->addWidget(m_series);
    layout->addWidget(m_byHand);

    auto *actions = new QHBoxLayout;
    m_start = new QPushButton(QStringLiteral("&Start"), this);
    m_start->setObjectName(QStringLiteral("btnRepeatStart"));
    m_stop = new QPushButton(QStringLiteral("S&top"), this);
    m_stop->setObjectName(QStringLiteral("btnRepeatStop"));
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("repeatProgress"));
    actions->addWidget(m_start);
    actions->addWidget(m_stop);
    actions->addWidget(m_progress, 1);
    layout->addLayout(actions);

    m_table = new QTableWidget(2, 4, this);
    m_table->setObjectName(QStringLiteral("repeatTable"));
    m_table->setAccessibleName(QStringLiteral("Predicted and observed repeatability"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Predicted (1\u03c3)"),
                                        QStringLiteral("Observed (1\u03c3)"), QStringLiteral("95 % range"),
                                        QStringLiteral("Results")});
    m_table->setVerticalHeaderLabels({QStringLiteral("NF(1)"), QStringLiteral("NF(2)")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_table);
    m_hint = new QLabel(repeatHint(), this);
    m_hint->setObjectName(QStringLiteral("repeatHint"));
    m_hint->setWordWrap(true);
    QPalette pal = m_hint->palette();
    pal.setColor(QPalette::WindowText, QColor(0xC0, 0, 0));
    m_hint->setPalette(pal);
    layout->addWidget(m_hint);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_start, &QPushButton::clicked, this, &RepeatDialog::start);
    connect(m_stop, &QPushButton::clicked, &m_run, &RepeatRun::stop);
    connect(&m_run, &RepeatRun::changed, this, &RepeatDialog::refresh);
    connect(&m_instrument, &Instrument::busyChanged, this, &RepeatDialog::refresh);
    refresh();
}

void RepeatDialog::start()
{
    m_run.start(m_series->isChecked() ? RepeatRun::Mode::Series : RepeatRun::Mode::ByHand, m_count->value());
}

void RepeatDialog::setCell(int row, int col, const QString &text)
{
    auto *item = m_table->item(row, col);
    if (!item) {
        item = new QTableWidgetItem;
        m_table->setItem(row, col, item);
    }
    item->setText(text);
}

void RepeatDialog::refresh()
{
    const bool collecting = m_run.collecting();
    m_start->setEnabled(!collecting && !m_instrument.busy());
    m_stop->setEnabled(collecting);
    m_count->setEnabled(!collecting);
    m_series->setEnabled(!collecting);
    m_byHand->setEnabled(!collecting);
    if (collecting)
        m_progress->setText(
            m_run.mode() == RepeatRun::Mode::ByHand
                ? QStringLiteral("%1 of %2: take the pair again.").arg(m_run.taken()).arg(m_run.target())
                : QStringLiteral("%1 of %2 measured.").arg(m_run.taken()).arg(m_run.target()));
    else
        m_progress->setText(m_run.taken() > 0 ? QStringLiteral("%1 results.").arg(m_run.taken()) : QString());

    // Before the first result, the prediction for the whole measurement.
    const NfPair predicted = m_run.taken() > 0 ? m_run.predicted() : predictRepeatability(m_instrument);
    const RepeatObserved observed[2] = {m_run.observedDut(), m_run.observedRx()};
    const std::optional<double> pred[2] = {predicted.dut, predicted.rx};
    bool suspicious = false;
    for (int row = 0; row < 2; ++row) {
        const RepeatObserved &o = observed[row];
        if (row == 1 && m_run.taken() > 0 && m_run.readings() == RepeatedReadings::Device) {
            // The pair (12) alone: NF(2) stays as it was.
            for (int col = 0; col < 4; ++col)
                setCell(row, col, col == 3 ? QStringLiteral("not repeated") : QString());
            continue;
        }
        setCell(row, 0, sigmaText(pred[row]));
        setCell(row, 1, o.count >= 2 ? sigmaText(o.sd) : QString());
        setCell(row, 2,
                o.range.ok ? QStringLiteral("%1 to %2 dB")
                                 .arg(FormatFixed(o.range.low, QStringLiteral("0.00")),
                                      FormatFixed(o.range.high, QStringLiteral("0.00")))
                           : QString());
        setCell(row, 3,
                o.missing > 0 ? QStringLiteral("%1 (%2 without NF)").arg(o.count).arg(o.missing)
                              : QString::number(o.count));
        const bool bad = !collecting && repeatSuspicious(o, pred[row]);
        for (int col = 1; col < 4; ++col)
            m_table->item(row, col)->setForeground(bad ? QBrush(QColor(0xC0, 0, 0)) : QBrush());
        suspicious = suspicious || bad;
    }
    m_hint->setVisible(suspicious);
    // Every column readable: the table asks for the width of its contents.
    m_table->resizeColumnsToContents();
    m_table->setMinimumWidth(m_table->verticalHeader()->width() + m_table->horizontalHeader()->length() +
                             2 * m_table->frameWidth());
}

} // namespace

QDialog *createRepeatDialog(Instrument &m, RepeatRun &run, QWidget *parent)
{
    return new RepeatDialog(m, run, parent);
}
