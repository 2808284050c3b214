#include "gui/WorkingWindow.h"
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
WorkingWindow::WorkingWindow(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("frmWorking"));
    setWindowTitle(QStringLiteral("TQX: working..."));
    auto *lay = new QVBoxLayout(this);
    m_label = new QLabel(QStringLiteral("Working, please wait..."), this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    lay->addWidget(m_label);
    lay->addWidget(m_bar);
}
void WorkingWindow::setProgress(double fraction)
{
    m_bar->setValue(static_cast<int>(qBound(0.0, fraction, 1.0) * 1000));
}
