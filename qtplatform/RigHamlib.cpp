#include "qtplatform/RigHamlib.h"

#include "instrument/RigSettings.h"
#include "sheet/NumText.h"

#include <hamlib/rig.h>

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct RigHamlib::Call {
    enum Kind { Open, Tune, Read };
    Kind kind = Read;
    quint64 id = 0;
    RigConfig config; // Open
    int timeoutMs = 0;
    double hz = 0;   // Tune: the frequency asked for (Hz)
    QString rigText; // "maker model on port", for messages
};

struct RigHamlib::Session {
    std::mutex mutex;
    std::condition_variable wake;  // a call or quit arrived
    std::condition_variable ended; // the worker closed the rig and ends
    std::deque<std::shared_ptr<Call>> calls;
    bool quit = false;
    bool done = false;
    RigHamlib *owner = nullptr; // receives the answers; null once abandoned
    RIG *rig = nullptr;         // open rig; worker thread only
};

namespace {

// Hamlib's debug output off and every backend registered, once per process.
void loadBackends()
{
    static std::once_flag once;
    std::call_once(once, [] {
        rig_set_debug(RIG_DEBUG_NONE);
        rig_load_all_backends();
    });
}

// Hamlib's short text for a status code ("IO error"), as a sentence end.
QString hamlibError(int code)
{
    QString t = QString::fromLocal8Bit(rigerror2(code)).trimmed();
    if (t.isEmpty())
        t = QStringLiteral("Hamlib error %1").arg(code);
    if (!t.endsWith(QLatin1Char('.')))
        t += QLatin1Char('.');
    return t;
}

RigResult failure(const QString &error)
{
    RigResult r;
    r.error = error;
    return r;
}

// A status after which no later call can succeed either: the port or the
// daemon's connection failed, or the rig stopped answering.
bool linkGone(int code)
{
    return code == -RIG_EIO || code == RIG_EIO || code == -RIG_ETIMEOUT || code == RIG_ETIMEOUT;
}

RigResult failure(const QString &error, int code)
{
    RigResult r = failure(error);
    r.connectionLost = linkGone(code);
    return r;
}

// Reads the current frequency into `r`; `what` starts the failure message.
RigResult readBack(RIG *rig, const QString &what)
{
    freq_t f = 0;
    const int ret = rig_get_freq(rig, RIG_VFO_CURR, &f);
    if (ret != RIG_OK)
        return failure(QStringLiteral("%1: %2").arg(what, hamlibError(ret)), ret);
    if (!(std::isfinite(f) && f >= 0))
        return failure(QStringLiteral("%1: it reported no valid frequency.").arg(what));
    RigResult r;
    r.ok = true;
    r.hz = double(f);
    return r;
}

// The rig's receive ranges ("150 kHz to 1.5 GHz, ..."), and whether `hz`
// lies in one of them. A rig that lists no range accepts every frequency.
bool inReceiveRange(const RIG *rig, double hz, QString &ranges)
{
    QStringList parts;
    bool inside = false;
    for (const freq_range_t &r : rig->state.rx_range_list) {
        if (r.startf == 0 && r.endf == 0)
            break;
        parts.append(QStringLiteral("%1 to %2")
                         .arg(RigSettings::frequencyText(r.startf), RigSettings::frequencyText(r.endf)));
        inside = inside || (hz >= r.startf && hz <= r.endf);
    }
    parts.removeDuplicates();
    ranges = parts.join(QStringLiteral(", "));
    return parts.isEmpty() || inside;
}

// Initialises and opens the rig of `c`, its first frequency read back into `r`. Null, with `r` failed, if
// either step fails.
RIG *openOnce(const RigHamlib::Call &c, RigResult &r)
{
    RIG *rig = rig_init(rig_model_t(c.config.model));
    if (!rig) {
        r = failure(QStringLiteral("Hamlib could not set up %1.").arg(c.rigText));
        return nullptr;
    }
    auto setConf = [rig](const char *name, const QByteArray &value) {
        const token_t token = rig_token_lookup(rig, name);
        if (token != RIG_CONF_END)
            rig_set_conf(rig, token, value.constData());
    };
    if (!c.config.port.isEmpty())
        setConf("rig_pathname", c.config.port.toLocal8Bit());
    if (c.config.baud > 0)
        setConf("serial_speed", QByteArray::number(c.config.baud));
    setConf("timeout", QByteArray::number(std::max(200, c.timeoutMs / 3)));
    setConf("retry", "1");
    const int ret = rig_open(rig);
    if (ret != RIG_OK) {
        rig_cleanup(rig);
        // The network model's usual cause: no rigctld at that address.
        const QString hint =
            c.config.model == RIG_MODEL_NETRIGCTL
                ? QStringLiteral(" Is rigctld running and listening there (default localhost:4532)?")
                : QString();
        r = failure(QStringLiteral("Could not open %1: %2%3").arg(c.rigText, hamlibError(ret), hint), ret);
        return nullptr;
    }
    r = readBack(rig, QStringLiteral("%1 did not report its frequency").arg(c.rigText));
    if (!r.ok) {
        rig_close(rig);
        rig_cleanup(rig);
        return nullptr;
    }
    return rig;
}

RigResult openRig(RigHamlib::Session &s, const RigHamlib::Call &c)
{
    RigResult r;
    RIG *rig = openOnce(c, r);
    // A rig daemon that is just starting, or one that is closing its radio
    // after its last client left, can drop the first connection or its
    // first command: one more try before giving up (within Hamlib's own
    // per-call timeout).
    if (!rig && r.connectionLost)
        rig = openOnce(c, r);
    if (!rig)
        return r;
    s.rig = rig;
    // What the library knows after opening: its table, or rigctld's own
    // for the network model.
    for (const freq_range_t &range : rig->state.rx_range_list) {
        if (range.startf == 0 && range.endf == 0)
            break;
        r.receiveRanges.append({double(range.startf), double(range.endf)});
    }
    for (const tuning_step_list &step : rig->state.tuning_steps) {
        if (step.ts == 0 && step.modes == RIG_MODE_NONE)
            break;
        if (step.ts > 0 && (r.tuningStepHz == 0 || step.ts < r.tuningStepHz))
            r.tuningStepHz = double(step.ts);
    }
    return r;
}

RigResult tuneRig(RIG *rig, const RigHamlib::Call &c)
{
    const QString f = RigSettings::frequencyText(c.hz);
    QString ranges;
    if (!inReceiveRange(rig, c.hz, ranges))
        return failure(
            QStringLiteral("%1 refused %2: outside its receive range %3.").arg(c.rigText, f, ranges));
    const int ret = rig_set_freq(rig, RIG_VFO_CURR, freq_t(c.hz));
    if (ret != RIG_OK)
        return failure(QStringLiteral("%1 refused %2: %3").arg(c.rigText, f, hamlibError(ret)), ret);
    return readBack(rig,
                    QStringLiteral("%1 did not report its frequency after tuning to %2").arg(c.rigText, f));
}

RigResult perform(RigHamlib::Session &s, const RigHamlib::Call &c)
{
    if (c.kind == RigHamlib::Call::Open)
        return openRig(s, c);
    if (!s.rig)
        return failure(QStringLiteral("%1 is not open.").arg(c.rigText));
    if (c.kind == RigHamlib::Call::Tune)
        return tuneRig(s.rig, c);
    return readBack(s.rig, QStringLiteral("%1 did not report its frequency").arg(c.rigText));
}

} // namespace

RigHamlib::RigHamlib()
{
    // Hamlib switches LC_NUMERIC to "C" around its calls (rig_open among
    // them) and then restores the name it saved - a pointer that the switch
    // itself has freed unless the name was already glibc's static "C". It
    // does so on our worker thread. With LC_NUMERIC "C" from the start (set
    // here, on the user-interface thread, before any worker exists) the
    // saved name is the static one and the switch changes nothing. TQX
    // formats its numbers with QLocale, which does not read LC_NUMERIC.
    std::setlocale(LC_NUMERIC, "C");
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_callId == 0)
            return;
        const QString error =
            QStringLiteral("%1 did not answer within %2 s.").arg(m_rigText, NumToText(m_timeoutMs / 1000.0));
        abandonSession(); // the worker may be stuck in the library
        finish(m_callId, failure(error));
    });
}

RigHamlib::~RigHamlib()
{
    close();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (const std::weak_ptr<Session> &w : std::as_const(m_abandoned)) {
        if (const std::shared_ptr<Session> s = w.lock()) {
            std::unique_lock lock(s->mutex);
            s->ended.wait_until(lock, deadline, [&s] { return s->done; });
        }
    }
}

QList<RigModelInfo> RigHamlib::models()
{
    static const QList<RigModelInfo> list = [] {
        loadBackends();
        QList<RigModelInfo> l;
        rig_list_foreach(
            [](const rig_caps *caps, rig_ptr_t data) -> int {
                static_cast<QList<RigModelInfo> *>(data)->append({int(caps->rig_model),
                                                                  QString::fromLatin1(caps->mfg_name),
                                                                  QString::fromLatin1(caps->model_name)});
                return 1; // go on
            },
            &l);
        std::sort(l.begin(), l.end(), [](const RigModelInfo &a, const RigModelInfo &b) {
            const int m = a.maker.compare(b.maker, Qt::CaseInsensitive);
            if (m != 0)
                return m < 0;
            const int n = a.name.compare(b.name, Qt::CaseInsensitive);
            return n != 0 ? n < 0 : a.model < b.model;
        });
        return l;
    }();
    return list;
}

QString RigHamlib::modelName(int model)
{
    loadBackends();
    const rig_caps *caps = model > 0 ? rig_get_caps(rig_model_t(model)) : nullptr;
    if (!caps)
        return QStringLiteral("Hamlib rig model %1").arg(model);
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(caps->mfg_name),
                                       QString::fromLatin1(caps->model_name));
}

void RigHamlib::open(const RigConfig &config, int timeoutMs, Done done)
{
    close();
    loadBackends();
    m_rigText = modelName(config.model);
    if (!config.port.isEmpty())
        m_rigText += QStringLiteral(" on ") + config.port;
    m_rigName = config.model == RIG_MODEL_NETRIGCTL
                    ? QStringLiteral("rigctld at %1")
                          .arg(config.port.isEmpty() ? QStringLiteral("localhost:4532") : config.port)
                    : m_rigText;
    if (config.model <= 0) {
        answerLater(QStringLiteral("No receiver is chosen: choose a rig model in Options, Receiver control."),
                    std::move(done));
        return;
    }
    if (!rig_get_caps(rig_model_t(config.model))) {
        answerLater(QStringLiteral("Hamlib has no rig model %1.").arg(config.model), std::move(done));
        return;
    }
    m_session = std::make_shared<Session>();
    m_session->owner = this;
    std::thread(&RigHamlib::runSession, m_session).detach();
    auto call = std::make_shared<Call>();
    call->kind = Call::Open;
    call->config = config;
    start(call, timeoutMs, std::move(done));
}

void RigHamlib::tune(double hz, int timeoutMs, Done done)
{
    if (!(std::isfinite(hz) && hz > 0)) {
        answerLater(
            QStringLiteral("%1 refused %2: not a frequency.").arg(m_rigText, RigSettings::frequencyText(hz)),
            std::move(done));
        return;
    }
    auto call = std::make_shared<Call>();
    call->kind = Call::Tune;
    call->hz = hz;
    start(call, timeoutMs, std::move(done));
}

void RigHamlib::readFrequency(int timeoutMs, Done done)
{
    auto call = std::make_shared<Call>();
    call->kind = Call::Read;
    start(call, timeoutMs, std::move(done));
}

void RigHamlib::cancel()
{
    m_callId = 0;
    m_done = nullptr;
    m_timer.stop();
    if (m_session) {
        const std::lock_guard lock(m_session->mutex);
        m_session->calls.clear(); // the running one, if any, still ends
    }
}

void RigHamlib::close()
{
    cancel();
    abandonSession();
}

void RigHamlib::start(const std::shared_ptr<Call> &call, int timeoutMs, Done done)
{
    if (!m_session) {
        const QString rig = m_rigText.isEmpty() ? QStringLiteral("The receiver") : m_rigText;
        answerLater(QStringLiteral("%1 is not open.").arg(rig), std::move(done));
        return;
    }
    call->id = m_nextId++;
    call->timeoutMs = timeoutMs;
    call->rigText = m_rigText;
    m_callId = call->id;
    m_awaitingOpen = call->kind == Call::Open;
    m_done = std::move(done);
    m_timeoutMs = std::max(1, timeoutMs);
    m_timer.start(m_timeoutMs);
    {
        const std::lock_guard lock(m_session->mutex);
        m_session->calls.push_back(call);
    }
    m_session->wake.notify_one();
}

void RigHamlib::answerLater(const QString &error, Done done)
{
    m_timer.stop();
    const quint64 id = m_nextId++;
    m_callId = id;
    m_awaitingOpen = false;
    m_done = std::move(done);
    QTimer::singleShot(0, this, [this, id, error] { finish(id, failure(error)); });
}

void RigHamlib::finish(quint64 id, const RigResult &r)
{
    if (id == 0 || id != m_callId)
        return; // cancelled, replaced or timed out: discarded
    m_timer.stop();
    m_callId = 0;
    Done done = std::move(m_done);
    m_done = nullptr;
    if (!r.ok && m_awaitingOpen)
        abandonSession();
    RigResult named = r;
    named.rig = m_rigName;
    if (done)
        done(named);
}

void RigHamlib::abandonSession()
{
    if (!m_session)
        return;
    {
        const std::lock_guard lock(m_session->mutex);
        m_session->owner = nullptr;
        m_session->quit = true;
        m_session->calls.clear();
    }
    m_session->wake.notify_one();
    m_abandoned.erase(std::remove_if(m_abandoned.begin(), m_abandoned.end(),
                                     [](const std::weak_ptr<Session> &w) { return w.expired(); }),
                      m_abandoned.end());
    m_abandoned.append(m_session);
    m_session.reset();
}

void RigHamlib::runSession(std::shared_ptr<Session> s)
{
    for (;;) {
        std::shared_ptr<Call> call;
        {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [&s] { return s->quit || !s->calls.empty(); });
            if (s->quit)
                break;
            call = s->calls.front();
            s->calls.pop_front();
        }
        const RigResult r = perform(*s, *call);
        const std::lock_guard lock(s->mutex);
        if (RigHamlib *owner = s->owner) {
            // Posted under the lock: the owner cannot be abandoning (or
            // destroying) the session meanwhile, and a destroyed owner's
            // posted calls are dropped with it.
            const quint64 id = call->id;
            QMetaObject::invokeMethod(
                owner, [owner, id, r] { owner->finish(id, r); }, Qt::QueuedConnection);
        }
    }
    if (s->rig) {
        rig_close(s->rig);
        rig_cleanup(s->rig);
        s->rig = nullptr;
    }
    {
        const std::lock_guard lock(s->mutex);
        s->done = true;
    }
    s->ended.notify_all();
}
