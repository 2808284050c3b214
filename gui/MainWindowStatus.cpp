// The main window's lines under the results: the predicted and observed
// repeatability of NF(1) and NF(2), and the strip of the calibration's state
// and the guards' warnings. GUI thread.
#include "gui/MainWindow.h"

#include "gui/Dialogs.h"
#include "gui/ValueLabel.h"
#include "instrument/Instrument.h"
#include "instrument/Repeatability.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

namespace {
// The guard line's text: dark amber, readable on the window colour.
const QColor kWarningText(150, 75, 0);
} // namespace

void MainWindow::addRepeatLines(QGridLayout *grid, int row, bool dut)
{
    const int i = dut ? 0 : 1;
    const QString nf = dut ? QStringLiteral("NF(1)") : QStringLiteral("NF(2)");
    const QString key = dut ? QStringLiteral("Dut") : QStringLiteral("Instrument");
    m_predicted[i] = new ValueLabel(QStringLiteral("lblPredicted") + key,
                                    nf + QStringLiteral(" predicted repeatability"), this);
    m_predicted[i]->setToolTip(
        QStringLiteral("How much %1 scatters from one measurement to the next (1 standard "
                       "deviation), from the readings' statistical bandwidth and recording time "
                       "(Interval \u00d7 averages).")
            .arg(nf));
    m_predicted[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(m_predicted[i], row, 0, 1, 2);
    // The observed scatter goes to the status line, which is there from the
    // start: a line appearing in the panel would push it beyond a small screen.
    m_observed[i] = new ValueLabel(QStringLiteral("lblObserved") + key,
                                   nf + QStringLiteral(" observed repeatability"), this);
    // A line of text tall while still empty, so the window's first size holds it.
    m_observed[i]->setMinimumHeight(m_observed[i]->fontMetrics().height());
    if (dut) // NF(1) first, whichever frame is built first
        statusBar()->insertWidget(0, m_observed[i], 1);
    else
        statusBar()->addWidget(m_observed[i], 1);
}

void MainWindow::syncRepeat()
{
    // Computed afresh with the results: the budget's model without Monte Carlo is cheap.
    const NfPair predicted = predictRepeatability(m_instrument);
    const bool shown[2] = {!m_instrument.sheet().text(Field::NF).isEmpty(),
                           !m_instrument.sheet().text(Field::NF1).isEmpty()};
    m_predicted[0]->setValueText(shown[0] ? predictedText(predicted.dut) : QString());
    m_predicted[1]->setValueText(shown[1] ? predictedText(predicted.rx) : QString());
    const QString status[2] = {m_repeat->statusDut(), m_repeat->statusRx()};
    const bool suspicious[2] = {!m_repeat->collecting() && m_repeat->suspiciousDut(),
                                !m_repeat->collecting() && m_repeat->suspiciousRx()};
    for (int i = 0; i < 2; ++i) {
        const QString name = i == 0 ? QStringLiteral("NF(1): ") : QStringLiteral("NF(2): ");
        m_observed[i]->setValueText(status[i].isEmpty() ? QString() : name + status[i]);
        QPalette pal = QApplication::palette(m_observed[i]);
        if (suspicious[i])
            pal.setColor(QPalette::WindowText, QColor(0xC0, 0, 0));
        m_observed[i]->setPalette(pal);
        m_observed[i]->setToolTip(suspicious[i] ? repeatHint() : QString());
        m_observed[i]->setAccessibleDescription(suspicious[i] ? repeatHint() : QString());
    }
}

void MainWindow::showRepeatDialog()
{
    if (!m_repeatDialog)
        m_repeatDialog = createRepeatDialog(m_instrument, *m_repeat, this);
    m_repeatDialog->show();
    m_repeatDialog->raise();
    m_repeatDialog->activateWindow();
}

QWidget *MainWindow::buildGuardStrip()
{
    auto *strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("guardStrip"));
    auto *h = new QHBoxLayout(strip);
    h->setContentsMargins(0, 0, 0, 0);
    m_calibration =
        new ValueLabel(QStringLiteral("calibrationState"), QStringLiteral("Calibration state"), strip);
    m_calibration->setFrameShape(QFrame::StyledPanel);
    m_calibration->setMargin(2);
    h->addWidget(m_calibration, 0, Qt::AlignTop);
    m_guardLine = new ValueLabel(QStringLiteral("guardLine"), QStringLiteral("Warnings"), strip);
    m_guardLine->setWordWrap(true);
    QPalette pal = m_guardLine->palette();
    pal.setColor(QPalette::WindowText, kWarningText);
    m_guardLine->setPalette(pal);
    // Wrapped, the line must not ask for the width of its longest sentence;
    // two lines are kept free, so that one warning shows without moving
    // anything.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    m_guardLine->setSizePolicy(policy);
    m_guardLine->setMinimumHeight(2 * m_guardLine->fontMetrics().lineSpacing());
    h->addWidget(m_guardLine, 1);
    return strip;
}

void MainWindow::makeRoomForWarnings()
{
    const QScreen *s = screen();
    if (!s || !isVisible())
        return;
    // More warnings than the line has room for: the window grows downwards
    // as far as the screen allows (and moves up when it must); beyond that
    // the panel scrolls as before.
    const int extra = m_guardLine->heightForWidth(m_guardLine->width()) - m_guardLine->height();
    if (extra <= 0)
        return;
    const QRect avail = s->availableGeometry();
    const int frame = frameGeometry().height() - height();
    resize(width(), std::min(height() + extra, avail.height() - frame));
    if (frameGeometry().bottom() > avail.bottom())
        move(x(), std::max(avail.top(), avail.bottom() - frame - height()));
}
