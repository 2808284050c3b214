#include "gui/WorkingWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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
    m_label = new QLabel(QStringLiteral("Working, please wait..."), this);
    m_label->setObjectName(QStringLiteral("lblWorking"));
    m_label->setAlignment(Qt::AlignCenter);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progress"));
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &WorkingWindow::cancelRequested);
    lay->addWidget(m_label);
    lay->addWidget(m_bar);
    lay->addWidget(m_cancel, 0, Qt::AlignHCenter);
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
    m_cancel->setFocus();
    QWidget::showEvent(event);
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
