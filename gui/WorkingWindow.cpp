#include "gui/WorkingWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

WorkingWindow::WorkingWindow(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmWorking"));
    setWindowTitle(QStringLiteral("TQX: working..."));
    auto *lay = new QVBoxLayout(this);
    m_label = new QLabel(QStringLiteral("Working, please wait..."), this);
    m_label->setObjectName(QStringLiteral("lblWorking"));
    m_label->setAlignment(Qt::AlignCenter);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progress"));
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    lay->addWidget(m_label);
    lay->addWidget(m_bar);
    setMinimumWidth(260);
}

void WorkingWindow::setProgress(double fraction)
{
    const double f = std::isfinite(fraction) ? qBound(0.0, fraction, 1.0) : 0.0;
    m_bar->setValue(static_cast<int>(std::lround(f * 1000)));
}

int WorkingWindow::progressPermille() const
{
    return m_bar->value();
}

void WorkingWindow::showEvent(QShowEvent *event)
{
    m_bar->setValue(0); // every operation starts from zero
    QWidget::showEvent(event);
}

void WorkingWindow::closeEvent(QCloseEvent *event)
{
    event->ignore(); // only the window host hides it, when the work is done
}
