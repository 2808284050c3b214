#include "gui/WorkingWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

WorkingWindow::WorkingWindow(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmWorking"));
    setWindowTitle(QStringLiteral("TQX: working..."));
    // Not modal: a window blocked by a modal one never receives the
    // desktop's close request, and closing the main window must cancel the
    // reading. The window host disables the main window's controls instead.
    setWindowModality(Qt::NonModal);
    auto *lay = new QVBoxLayout(this);
    m_label = new QLabel(this);
    setText(QString());
    m_label->setObjectName(QStringLiteral("lblWorking"));
    m_label->setAlignment(Qt::AlignCenter);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progress"));
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_left = new QLabel(this);
    m_left->setObjectName(QStringLiteral("lblTimeLeft"));
    m_left->setAlignment(Qt::AlignCenter);
    m_left->setMinimumHeight(m_left->fontMetrics().lineSpacing()); // no jump when it appears
    m_tick = new QTimer(this);
    m_tick->setInterval(500);
    connect(m_tick, &QTimer::timeout, this, &WorkingWindow::refreshLeft);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &WorkingWindow::cancelRequested);
    lay->addWidget(m_label);
    lay->addWidget(m_bar);
    lay->addWidget(m_left);
    lay->addWidget(m_cancel, 0, Qt::AlignHCenter);
    setMinimumWidth(260);
}

void WorkingWindow::setProgress(double fraction)
{
    const double f = std::isfinite(fraction) ? qBound(0.0, fraction, 1.0) : 0.0;
    m_bar->setValue(static_cast<int>(std::lround(f * 1000)));
    if (f <= 0)
        restart();
    m_estimate.update(m_clock.elapsed() / 1000.0, f);
    refreshLeft();
}

void WorkingWindow::setText(const QString &text)
{
    m_label->setText(text.isEmpty() ? QStringLiteral("Working, please wait...") : text);
}

void WorkingWindow::restart()
{
    m_clock.start();
    m_estimate.start(0); // no guess: the reports alone tell the rate
    m_left->clear();
    m_tick->start();
}

QString WorkingWindow::timeLeftText() const
{
    return m_left->text();
}

void WorkingWindow::refreshLeft()
{
    if (!m_clock.isValid())
        return;
    const QString left = durationText(m_estimate.secondsLeft(m_clock.elapsed() / 1000.0));
    m_left->setText(left.isEmpty() ? QString() : QStringLiteral("About %1 left.").arg(left));
}

int WorkingWindow::progressPermille() const
{
    return m_bar->value();
}

void WorkingWindow::showEvent(QShowEvent *event)
{
    m_bar->setValue(0); // every operation starts from zero
    restart();
    m_cancel->setFocus();
    QWidget::showEvent(event);
}

void WorkingWindow::hideEvent(QHideEvent *event)
{
    m_tick->stop();
    QWidget::hideEvent(event);
}

void WorkingWindow::closeEvent(QCloseEvent *event)
{
    // Only the window host hides it, when the operation has ended; closing
    // it by hand asks for the cancel that ends the operation.
    event->ignore();
    Q_EMIT cancelRequested();
}

void WorkingWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT cancelRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
