#pragma once
// The measuring receiver's tuning, through the radio-control library
// (Hamlib). Radio calls can take seconds (serial links, a network daemon),
// so nothing here blocks its caller: each call starts the work and its
// outcome arrives later through the callback, on the calling
// (user-interface) thread, never from inside the call itself. One call at a
// time: a call while another runs, or after cancel(), drops the earlier
// callback. The receiver is open only between open() and close().

#include <QList>
#include <QString>
#include <functional>

struct RigConfig {
    int model = 0; // the library's rig model number; 0 = none (no receiver control)
    QString port;  // serial device path, or host:port for the network model (2, rigctld)
    int baud = 0;  // serial speed in bit/s; 0 = the model's default
};

struct RigModelInfo {
    int model = 0;
    QString maker;
    QString name;
};

// A span of frequencies the receiver can receive, Hz.
struct RigRange {
    double lowHz = 0, highHz = 0;
};

struct RigResult {
    bool ok = false;
    double hz = 0; // the frequency the receiver reports after the call, Hz
    QString error; // when !ok: a sentence naming the rig (and the frequency, for a tune)
    // When !ok: the link to the receiver is gone (a closed connection, a
    // dead port), as opposed to a refusal of this one call.
    bool connectionLost = false;
    // The receiver in a few words for messages ("rigctld at localhost:4532",
    // "Hamlib Dummy"); may be empty.
    QString rig;
    // After a successful open(), what the receiver says of itself. Empty:
    // no ranges known, every frequency is tried.
    QList<RigRange> receiveRanges;
    double tuningStepHz = 0; // its finest tuning step, Hz; 0 = unknown
};

class IRig
{
public:
    using Done = std::function<void(const RigResult &)>;
    virtual ~IRig() = default;
    // The library's rig models, sorted by maker and name.
    virtual QList<RigModelInfo> models() = 0;
    // Opens the receiver described by `config` and reads its frequency.
    virtual void open(const RigConfig &config, int timeoutMs, Done done) = 0;
    // Tunes the open receiver to `hz` and reads the frequency back.
    virtual void tune(double hz, int timeoutMs, Done done) = 0;
    // Reads the open receiver's frequency.
    virtual void readFrequency(int timeoutMs, Done done) = 0;
    // Drops the running call's callback; the receiver stays open.
    virtual void cancel() = 0;
    // Closes the receiver (no-op when closed); drops any running call's callback.
    virtual void close() = 0;
};
