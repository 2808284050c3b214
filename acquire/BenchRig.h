#pragma once
// The virtual bench's receiver tuning as a rig: tuning moves the bench's
// simulated receiver (and with it the DUT's response and the source's ENR)
// to the new frequency and reads back exactly that frequency. Answers come
// from the event loop, as a real rig's do, never from inside the call.
// User-interface thread; the bench outlives it.

#include "platform/Rig.h"

#include <QObject>

#include <memory>

class Bench;

class BenchRig : public IRig
{
public:
    explicit BenchRig(Bench &bench) : m_bench(bench) {}
    ~BenchRig() override;

    QList<RigModelInfo> models() override;
    void open(const RigConfig &config, int timeoutMs, Done done) override;
    void tune(double hz, int timeoutMs, Done done) override;
    void readFrequency(int timeoutMs, Done done) override;
    void cancel() override;
    void close() override;

private:
    void answer(Done done, bool ok, const QString &error = QString());

    Bench &m_bench;
    bool m_open = false;
    // Context of the pending answer: replaced (dropping it) by every call,
    // cancel and close.
    std::unique_ptr<QObject> m_call;
};
