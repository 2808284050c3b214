#pragma once
// IRig over the Hamlib C library (libhamlib 4.5).
//
// Hamlib calls block: a serial rig answers within its timeout, rigctld over
// TCP within the network's. So each open() starts a session: a worker thread
// that owns the library's RIG handle from rig_init to rig_cleanup and runs
// the session's calls one after another. The results come back to the
// user-interface thread as queued calls; the user-interface thread never
// waits for the worker.
//
// Timeouts, twice: Hamlib's own per-transaction "timeout" (a third of the
// call's timeoutMs, at least 200 ms) with one "retry", and a timer here that
// reports a failure when the worker has not answered within timeoutMs. After
// such a timeout the session is abandoned (its worker may still be stuck in
// the library, for example in a TCP connect to a silent host): the receiver
// counts as closed, a late answer is discarded, and the worker closes the
// rig and ends by itself when the library returns. cancel() and close()
// only post to the worker and never wait.
//
// A tune outside the receive ranges the library reports for the rig (its
// own table, or rigctld's for the network model) is refused before the rig
// is asked, since some rigs (Hamlib's dummy among them) accept any number.
//
// A call that fails on an I/O error or a timeout of the library reports
// the connection as lost (RigResult::connectionLost): a daemon that ended,
// a port that went away, a rig that no longer answers. A successful open()
// reports the receive ranges and the finest tuning step the library knows.
//
// Messages name the rig as "maker model on port" ("Hamlib NET rigctl on
// localhost:4532") and, for a tune, the frequency ("... refused 7.1 GHz:
// outside its receive range 150 kHz to 1.5 GHz.").
//
// Lives on the user-interface thread; callbacks arrive there.

#include "platform/Rig.h"

#include <QObject>
#include <QTimer>

#include <memory>

class RigHamlib : public QObject, public IRig
{
public:
    RigHamlib();
    // Waits at most about 2 s for the workers of the sessions to close
    // their rigs; a worker stuck in the library beyond that is left to the
    // end of the process.
    ~RigHamlib() override;

    QList<RigModelInfo> models() override;
    void open(const RigConfig &config, int timeoutMs, Done done) override;
    void tune(double hz, int timeoutMs, Done done) override;
    void readFrequency(int timeoutMs, Done done) override;
    void cancel() override;
    void close() override;

    // "maker model" of a Hamlib model number, or "Hamlib rig model N" for
    // a number the library does not know.
    static QString modelName(int model);

    struct Session; // shared between this object and one worker thread
    struct Call;    // one job for the worker

private:
    // Posts `job` to the open session, or answers `done` with `error`
    // (queued) when there is none.
    void start(const std::shared_ptr<Call> &call, int timeoutMs, Done done);
    void answerLater(const QString &error, Done done);
    void finish(quint64 id, const RigResult &r);
    void abandonSession();
    // The worker thread of one session.
    static void runSession(std::shared_ptr<Session> session);

    std::shared_ptr<Session> m_session;
    QList<std::weak_ptr<Session>> m_abandoned; // sessions still closing
    QString m_rigText;                         // "maker model on port" of the session
    QString m_rigName;                         // the same, shorter for rigctld: RigResult::rig
    quint64 m_nextId = 1;
    quint64 m_callId = 0;        // the call whose answer is awaited, 0 = none
    bool m_awaitingOpen = false; // that call is an open (a failure ends the session)
    Done m_done;
    QTimer m_timer; // timeoutMs of the awaited call
    int m_timeoutMs = 0;
};
