#include "platform/Audio.h"

#include <QTimer>

void AudioJob::cancel()
{
    if (m_ended)
        return;
    m_ended = true;
    halt();
}

void AudioJob::finish(const AudioStatus &status)
{
    if (m_ended)
        return;
    m_ended = true;
    halt();
    Q_EMIT finished(status);
}

void AudioJob::finishLater(const AudioStatus &status)
{
    // The timer belongs to the job: a job deleted first never reports.
    QTimer::singleShot(0, this, [this, status] { finish(status); });
}

void AudioJob::deliver(const QVector<qint16> &block)
{
    if (!m_ended && !block.isEmpty())
        Q_EMIT samples(block);
}
