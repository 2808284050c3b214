#include "remote/ScpiSession.h"

#include "instrument/Instrument.h"
#include "remote/Runner.h"

#include <QTimer>

namespace {
constexpr int kMaxErrors = 32; // the queue's depth; the last place then says -350

// Event status register bits (IEEE 488.2).
enum Esr { OperationComplete = 1, QueryError = 4, DeviceError = 8, ExecutionErr = 16, CommandErr = 32 };
// Status byte bits.
enum Stb { ErrorAvailable = 4, EventSummary = 32 };
} // namespace

ScpiSession::ScpiSession(Instrument &m, Runner &runner, const ScpiOptions &options, QObject *parent)
    : QObject(parent), m_instrument(m), m_runner(runner), m_options(options)
{
    buildHandlers();
    connect(&m, &Instrument::messageRequested, this, &ScpiSession::takeMessage);
    connect(&m, &Instrument::busyChanged, this, [this](bool busy) {
        if (!busy)
            QTimer::singleShot(0, this, &ScpiSession::process);
    });
    connect(&runner, &Runner::finished, this, &ScpiSession::onRunFinished);
    if (m.sheet().text(Field::Frequency).toDouble() > 0)
        m_fixedHz = m.sheet().text(Field::Frequency).toDouble() * 1e6;
}

ScpiSession::~ScpiSession() = default;

void ScpiSession::add(const char *pattern, bool waits,
                      std::function<void(const scpi::Command &, const QVector<int> &)> run)
{
    m_handlers.append({scpi::Pattern(QString::fromLatin1(pattern)), waits, std::move(run)});
}

void ScpiSession::takeMessage(MessageRequest *r)
{
    if (!m_executing || r->answered)
        return;
    if (m_message.isEmpty())
        m_message = r->text;
    r->answered = true;
}

void ScpiSession::receive(const QByteArray &line, bool tooLong)
{
    if (tooLong)
        return error(scpi::CommandError, QStringLiteral("line longer than 64 KiB"));
    const scpi::ParsedLine parsed = scpi::parseLine(QString::fromUtf8(line));
    // A stop acts at once, ahead of the commands waiting for the operation.
    static const scpi::Pattern abort(QStringLiteral("ABORt"));
    for (const scpi::Command &c : parsed.commands)
        if (!c.query && !m_queue.empty() && abort.matches(c))
            m_runner.running() ? m_runner.cancel() : m_instrument.cancel();
    for (int i = 0; i < parsed.commands.size(); ++i) {
        if (int(m_queue.size()) >= kMaxPending) {
            error(scpi::QueueOverflow, QStringLiteral("too many commands waiting"));
            break;
        }
        m_queue.push_back({parsed.commands[i], i == parsed.commands.size() - 1 && parsed.error == 0});
    }
    if (parsed.error) {
        error(parsed.error, parsed.errorDetail);
        if (!m_queue.empty())
            m_queue.back().lastOfLine = true;
    }
    process();
}

bool ScpiSession::operationRunning() const
{
    return m_instrument.busy() || m_runner.running();
}

void ScpiSession::process()
{
    while (!m_queue.empty()) {
        const Pending p = m_queue.front();
        const Handler *h = nullptr;
        for (const Handler &candidate : m_handlers)
            if (candidate.pattern.matches(p.command)) {
                h = &candidate;
                break;
            }
        if (h && h->waits && operationRunning())
            return; // resumed when the operation ends
        m_queue.pop_front();
        if (!h) {
            error(scpi::UndefinedHeader, p.command.mnemonics.join(QLatin1Char(':')));
        } else {
            QVector<int> suffixes;
            h->pattern.matches(p.command, &suffixes);
            m_executing = true;
            m_message.clear();
            h->run(p.command, suffixes);
            m_executing = false;
            if (!p.command.query && !p.command.common)
                Q_EMIT m_instrument.sheetChanged(); // a window mirrors what the client set
        }
        if (p.lastOfLine && !m_lineReplies.isEmpty()) {
            Q_EMIT reply(m_lineReplies.join(QLatin1Char(';')).toUtf8());
            m_lineReplies.clear();
        }
    }
}

void ScpiSession::clientGone()
{
    bool droppedQuery = false;
    for (const Pending &p : m_queue)
        droppedQuery = droppedQuery || p.command.query;
    m_queue.clear();
    m_lineReplies.clear();
    if (droppedQuery)
        error(scpi::QueryInterrupted, QStringLiteral("the client left before the answer"));
}

void ScpiSession::answer(const QString &text)
{
    m_lineReplies.append(text);
}

void ScpiSession::error(int code, const QString &detail)
{
    QString text = scpi::errorText(code);
    if (!detail.isEmpty())
        text += QLatin1Char(';') + QString(detail).replace(QLatin1Char('"'), QStringLiteral("''")).left(200);
    if (m_errors.size() >= kMaxErrors)
        m_errors.last() = {scpi::QueueOverflow, scpi::errorText(scpi::QueueOverflow)};
    else
        m_errors.append({code, text});
    if (code <= -100 && code > -200)
        m_esr |= CommandErr;
    else if (code <= -200 && code > -300)
        m_esr |= ExecutionErr;
    else if (code <= -300 && code > -400)
        m_esr |= DeviceError;
    else if (code <= -400)
        m_esr |= QueryError;
}

QStringList ScpiSession::errors() const
{
    QStringList out;
    for (const auto &[code, text] : m_errors)
        out.append(QStringLiteral("%1,\"%2\"").arg(code).arg(text));
    return out;
}

bool ScpiSession::wantParams(const scpi::Command &c, int n)
{
    if (c.params.size() == n)
        return true;
    error(scpi::CommandError,
          c.params.size() < n ? QStringLiteral("missing parameter") : QStringLiteral("too many parameters"));
    return false;
}

bool ScpiSession::numeric(const scpi::Command &c, scpi::Unit unit, double lo, double hi, double def,
                          double *out)
{
    if (!wantParams(c, 1))
        return false;
    const std::optional<scpi::Numeric> n = scpi::parseNumeric(c.params[0], unit);
    if (!n) {
        error(scpi::IllegalParameter, c.params[0]);
        return false;
    }
    switch (n->kind) {
    case scpi::Numeric::Kind::Min:
        *out = lo;
        return true;
    case scpi::Numeric::Kind::Max:
        *out = hi;
        return true;
    case scpi::Numeric::Kind::Default:
        *out = def;
        return true;
    case scpi::Numeric::Kind::Value:
        break;
    }
    if (!(n->value >= lo && n->value <= hi)) {
        error(scpi::DataOutOfRange, c.params[0]);
        return false;
    }
    *out = n->value;
    return true;
}

void ScpiSession::reset()
{
    if (m_runner.running())
        m_runner.cancel();
    else
        m_instrument.cancel();
    m_mode = Mode::Sweep;
    m_startHz = 100e6;
    m_stopHz = 500e6;
    m_points = 11;
    m_listHz.clear();
    m_averaging = false;
    m_averages = 1;
    m_continuous = false;
    m_settleS = 0.5;
}

void ScpiSession::onRunFinished(bool ok, const QString &why)
{
    if (!ok && !why.isEmpty())
        error(why.contains(QLatin1String("range")) ? scpi::DataOutOfRange : scpi::ExecutionError, why);
    if (m_opcPending) {
        m_opcPending = false;
        m_esr |= OperationComplete;
    }
    // Continuous: the next measurement follows, until INIT:CONT 0 or ABOR.
    if (ok && m_continuous && !m_lastWasCalibration)
        QTimer::singleShot(0, this, [this] {
            if (m_continuous && !operationRunning())
                startMeasurement(false);
        });
    QTimer::singleShot(0, this, &ScpiSession::process);
}

void ScpiSession::buildHandlers()
{
    // IEEE 488.2 common commands.
    add("*IDN", false, [this](const scpi::Command &, const QVector<int> &) {
        answer(QStringLiteral("TQX,Noise Figure Meter,%1,%2")
                   .arg(m_options.serialNumber, Instrument::versionText()));
    });
    add("*RST", false, [this](const scpi::Command &, const QVector<int> &) { reset(); });
    add("*CLS", false, [this](const scpi::Command &, const QVector<int> &) {
        m_errors.clear();
        m_esr = 0;
    });
    add("*OPC", true, [this](const scpi::Command &c, const QVector<int> &) {
        if (c.query)
            answer(QStringLiteral("1"));
        else
            m_esr |= OperationComplete; // nothing runs any more: complete now
    });
    add("*WAI", true, [](const scpi::Command &, const QVector<int> &) {});
    add("*ESR", false, [this](const scpi::Command &, const QVector<int> &) {
        answer(QString::number(m_esr));
        m_esr = 0;
    });
    add("*ESE", false, [this](const scpi::Command &c, const QVector<int> &) {
        double v = 0;
        if (c.query)
            answer(QString::number(m_ese));
        else if (numeric(c, scpi::Unit::None, 0, 255, 0, &v))
            m_ese = int(v);
    });
    add("*STB", false, [this](const scpi::Command &, const QVector<int> &) {
        answer(QString::number((m_errors.isEmpty() ? 0 : ErrorAvailable) |
                               ((m_esr & m_ese) ? EventSummary : 0)));
    });
    add("*TST", false, [this](const scpi::Command &, const QVector<int> &) { answer(QStringLiteral("0")); });
    add("SYSTem:ERRor[:NEXT]", false, [this](const scpi::Command &, const QVector<int> &) {
        if (m_errors.isEmpty())
            return answer(QStringLiteral("0,\"No error\""));
        const auto [code, text] = m_errors.takeFirst();
        answer(QStringLiteral("%1,\"%2\"").arg(code).arg(text));
    });
    add("SYSTem:ERRor:COUNt", false,
        [this](const scpi::Command &, const QVector<int> &) { answer(QString::number(m_errors.size())); });
    add("SYSTem:VERSion", false,
        [this](const scpi::Command &, const QVector<int> &) { answer(QStringLiteral("1999.0")); });
    add("ABORt", false, [this](const scpi::Command &, const QVector<int> &) {
        m_continuous = false;
        m_runner.running() ? m_runner.cancel() : m_instrument.cancel();
    });
    addAnalyserHandlers();
    addTqxHandlers();
    addDeviceHandlers();
}
