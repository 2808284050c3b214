#pragma once
// The SCPI instrument behind the remote server: the commands of a bench
// noise figure analyser that scripts already send (frequency mode, start,
// stop, points or list, averaging, calibration and measurement, fetching
// arrays), the IEEE 488.2 common commands with their status registers and
// error queue, and TQX's own subsystem (the sheet's fields, manual readings,
// the route and the receiver).
//
// Lines are taken in order as they arrive. A command that needs the
// instrument waits while an operation runs (a query then answers after it,
// as *OPC? does); commands after it wait in a bounded queue, and ABOR or a
// device clear stop the operation at once, ahead of the queue. Several
// queries in one line answer in one line joined by ';'.
//
// Messages the instrument asks for while a command runs become errors in the
// queue ("-224,...;<message>"), never boxes. Instrument thread.

#include "remote/ScpiParser.h"
#include "sheet/Sheet.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

#include <deque>
#include <functional>

class Instrument;
class Runner;
struct MessageRequest;

struct ScpiOptions {
    // The folder TQX:SOUR:TABL:LOAD may read ENR tables from; empty: none.
    QString enrFolder;
    QString serialNumber = QStringLiteral("0");
};

class ScpiSession : public QObject
{
    Q_OBJECT
public:
    ScpiSession(Instrument &m, Runner &runner, const ScpiOptions &options, QObject *parent = nullptr);
    ~ScpiSession() override;

    // One line from the client, terminator removed (and at most
    // scpi::kMaxLineBytes; `tooLong` for one that was cut).
    void receive(const QByteArray &line, bool tooLong = false);
    // The client left: commands still waiting are dropped (a dropped query
    // is a -410 in the queue for the next client).
    void clientGone();
    void setEnrFolder(const QString &folder) { m_options.enrFolder = folder; }
    // Commands waiting for an operation.
    int pending() const { return int(m_queue.size()); }
    // Most commands that may wait; more are refused with -350.
    static constexpr int kMaxPending = 1024;

    // The error queue, oldest first ("code,\"text\"").
    QStringList errors() const;

Q_SIGNALS:
    // A response line for the client (without its "\n").
    void reply(const QByteArray &line);

private:
    struct Pending {
        scpi::Command command;
        bool lastOfLine = false;
    };
    struct Handler {
        scpi::Pattern pattern;
        bool waits; // waits while an operation runs
        std::function<void(const scpi::Command &, const QVector<int> &)> run;
    };
    enum class Mode { Sweep, Fixed, List };

    void buildHandlers();
    void addAnalyserHandlers();
    void addTqxHandlers();
    void addDeviceHandlers(); // remote/ScpiDevice.cpp
    void add(const char *pattern, bool waits,
             std::function<void(const scpi::Command &, const QVector<int> &)> run);
    void process();
    bool operationRunning() const;
    void execute(const scpi::Command &c);
    void answer(const QString &text);
    void error(int code, const QString &detail = QString());
    void reset();
    void takeMessage(MessageRequest *r);
    void onRunFinished(bool ok, const QString &why);
    // Parameters.
    bool wantParams(const scpi::Command &c, int n);
    bool numeric(const scpi::Command &c, scpi::Unit unit, double lo, double hi, double def, double *out);
    bool frequencyAllowed(double mhz);
    // Operations.
    void startMeasurement(bool calibration);
    void fetch(const scpi::Command &c, const QString &what, bool array);
    QVector<double> sweepFrequenciesMhz(QString *error) const;
    bool setField(Field field, const QString &text);

    Instrument &m_instrument;
    Runner &m_runner;
    ScpiOptions m_options;
    QVector<Handler> m_handlers;
    std::deque<Pending> m_queue;
    QStringList m_lineReplies; // the answers of the line being processed
    QList<QPair<int, QString>> m_errors;
    int m_esr = 0, m_ese = 0;
    bool m_opcPending = false; // *OPC: set the bit when the operation ends
    bool m_executing = false;  // a command runs: messages become errors
    QString m_message;         // the first message asked for while executing
    // Analyser state.
    Mode m_mode = Mode::Sweep;
    double m_startHz = 100e6, m_stopHz = 500e6, m_fixedHz = 100e6;
    int m_points = 11;
    QVector<double> m_listHz;
    bool m_averaging = false;
    int m_averages = 1;
    bool m_continuous = false;
    double m_settleS = 0.5;
    bool m_lastWasCalibration = false;
};
