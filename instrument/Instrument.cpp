#include "instrument/Instrument.h"

#include "acquire/Bench.h"
#include "acquire/BenchRig.h"
#include "acquire/NoiseSwitch.h"
#include "acquire/Sweep.h"
#include "calc/CalNoiseSource.h"
#include "calc/EnrTable.h"
#include "calc/Nmuc.h"
#include "help/UpdateCheck.h"
#include "instrument/Commands.h"
#include "instrument/FieldRules.h"
#include "instrument/UncertaintyBudget.h"
#include "sheet/Version.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaMethod>

#include <limits>

namespace {
const QString kCaption = QStringLiteral("TQX");

QString notesTooLongText()
{
    return QStringLiteral("Notes are limited to %1 characters; the change was not taken.")
        .arg(kMaxNotesChars);
}
} // namespace

// The IMessages the workflows are given: every call becomes a request.
class Instrument::MessageChannel : public IMessages
{
public:
    explicit MessageChannel(Instrument &owner) : m_owner(owner) {}
    void show(const QString &caption, const QString &text, MsgIcon icon) override
    {
        MessageRequest r;
        r.caption = caption;
        r.text = text;
        r.icon = icon;
        m_owner.deliver(r);
    }
    void showDetailed(const QString &caption, const QString &text, MsgIcon icon,
                      const QString &details) override
    {
        MessageRequest r;
        r.caption = caption;
        r.text = text;
        r.icon = icon;
        r.details = details;
        m_owner.deliver(r);
    }
    bool ask(const QString &caption, const QString &text) override
    {
        MessageRequest r;
        r.caption = caption;
        r.text = text;
        r.icon = MsgIcon::Exclamation;
        r.question = true;
        m_owner.deliver(r);
        return r.answer;
    }

private:
    Instrument &m_owner;
};

Instrument::Instrument(const Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_messages(std::make_unique<MessageChannel>(*this))
    , m_enrTable(std::make_unique<EnrTable>())
    , m_calEnrTable(std::make_unique<EnrTable>())
    , m_calNoiseSource(std::make_unique<CalNoiseSource>())
    , m_nmuc(std::make_unique<Nmuc>())
    , m_comSetup(std::make_unique<ComSetup>())
    , m_updateCheck(std::make_unique<UpdateCheck>())
    , m_bench(std::make_unique<Bench>())
    , m_benchRig(std::make_unique<BenchRig>(*m_bench))
    , m_budgetSettings(std::make_unique<BudgetSettings>())
    , m_sweepCalibration(std::make_unique<SweepCalibration>())
{
}

Instrument::~Instrument()
{
    // Nothing runs on after the instrument: devices and lines are released
    // (the services are still alive: we share their ownership), but no
    // handler touches the half-destroyed instrument any more.
    m_updateCheck->cancel();
    if (m_operation) {
        m_operation->blockSignals(true);
        m_operation->cancel();
        m_operation.reset();
    }
}

void Instrument::deliver(MessageRequest &r)
{
    if (busy() && !r.question) {
        // From a running operation (its end included): shown from the
        // event loop, after the sheet has been announced.
        QMetaObject::invokeMethod(
            this, [this, r]() mutable { deliver(r); }, Qt::QueuedConnection);
        return;
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&Instrument::messageRequested)))
        Q_EMIT messageRequested(&r);
    if (!r.answered)
        qInfo().noquote() << r.caption + QStringLiteral(": ") + r.text
                                 + (r.details.isEmpty() ? QString() : QStringLiteral("\n") + r.details)
                                 + (r.question ? QStringLiteral(" [No]") : QString());
}

IMessages &Instrument::messages()
{
    return *m_messages;
}

void Instrument::message(const QString &caption, const QString &text, MsgIcon icon)
{
    m_messages->show(caption, text, icon);
}

void Instrument::showWorking(bool visible)
{
    Q_EMIT workingShown(visible);
}

void Instrument::setWorkingProgress(double fraction)
{
    Q_EMIT progress(fraction);
}

void Instrument::setWorkingText(const QString &text)
{
    Q_EMIT workingText(text);
}

void Instrument::requestDialog(DialogId id)
{
    Q_EMIT dialogRequested(id);
}

void Instrument::begin(std::unique_ptr<Operation> op)
{
    Operation *raw = op.get();
    m_operation = std::move(op);
    // The workflow connected its own handlers first, so the sheet is final
    // when this runs; the messages those handlers asked for are queued.
    QObject::connect(raw, &Operation::ended, this, [this, raw] { operationEnded(raw); });
    Q_EMIT busyChanged(true);
}

void Instrument::operationEnded(Operation *raw)
{
    if (m_operation.get() != raw)
        return;
    m_operation.release()->deleteLater(); // it is still emitting
    Q_EMIT busyChanged(false);
    Q_EMIT sheetChanged();
}

void Instrument::cancel()
{
    if (m_operation)
        m_operation->cancel();
}

bool Instrument::refuseWhileBusy(const QString &what)
{
    if (!busy())
        return false;
    message(kCaption,
            QStringLiteral("%1 cannot change while a reading or sweep runs; stop it first or wait for it to end.")
                .arg(what),
            MsgIcon::Exclamation);
    return true;
}

bool Instrument::setRoute(DeviceRoute r)
{
    if (r == m_route)
        return true;
    if (refuseWhileBusy(QStringLiteral("The source of the readings")))
        return false;
    if (m_route == DeviceRoute::Bench) {
        if (m_bench->serial().isOpen())
            m_bench->serial().close();
        m_benchRig->close();
    }
    m_route = r;
    if (r == DeviceRoute::SoundCard) {
        m_bench->clearTuning();
        m_bench->setSheetMhz(std::numeric_limits<double>::quiet_NaN());
    }
    syncBench();
    storeRoute(*this);
    Q_EMIT routeChanged(r);
    Q_EMIT sheetChanged();
    return true;
}

void Instrument::syncBench()
{
    if (m_route != DeviceRoute::Bench)
        return;
    // Values the bench cannot simulate are taken too: its recordings then
    // fail with the reason, as the bench window shows it.
    m_bench->setAttenuators(Bench::attenuatorsFrom(sheet()));
    m_bench->setSheetMhz(Bench::sheetMhzFrom(sheet()));
}

IAudio *Instrument::audio() const
{
    return m_route == DeviceRoute::Bench ? &m_bench->audio() : m_services.audio;
}

ISerialLines *Instrument::serialLines() const
{
    return m_route == DeviceRoute::Bench ? &m_bench->serial() : m_services.serial;
}

IRig *Instrument::rig() const
{
    return m_route == DeviceRoute::Bench ? static_cast<IRig *>(m_benchRig.get()) : m_services.rig;
}

bool Instrument::chooseInputDevice(const QString &id, const QString &name)
{
    if (refuseWhileBusy(QStringLiteral("The audio input")))
        return false;
    return chooseAudioDevice(*this, true, id, name);
}

bool Instrument::chooseOutputDevice(const QString &id, const QString &name)
{
    if (refuseWhileBusy(QStringLiteral("The audio output")))
        return false;
    return chooseAudioDevice(*this, false, id, name);
}

QString Instrument::toolTip(Field f)
{
    return f == Field::NF || f == Field::NF1 ? nfToolTip(*this, f) : QString();
}

QString Instrument::versionText()
{
    return ::versionText();
}

const EnrTable &Instrument::calibrationEnrTable() const
{
    return sheet().enabled(Control::mnuCalEnrUnl) ? *m_calEnrTable : *m_enrTable;
}

void Instrument::startUp()
{
    if (!m_session.EnrFileName.isEmpty() && !m_session.HotColdLoads) // loads use no table
        loadEnrTable(*this);
    if (!m_session.CalEnrFileName.isEmpty() && !m_session.HotColdLoads)
        loadCalibrationEnrTable(*this);
    restoreAudioDevices(*this);
    syncBench();
}

bool Instrument::validate(Field f)
{
    const bool ok = FieldValidate(*this, f);
    syncBench();
    return ok;
}

void Instrument::unitsValidate()
{
    UnitsValidate(*this);
}

bool Instrument::setFieldText(Field f, const QString &text)
{
    if (f == Field::Notes && text.size() > kMaxNotesChars) {
        // Refused whole rather than cut: a paste into the middle keeps the
        // text around it, and the pasted text is still on the clipboard.
        const QString previous = sheet().text(f);
        if (previous.size() > kMaxNotesChars)
            sheet().setText(f, previous.left(kMaxNotesChars));
        message(kCaption, notesTooLongText(), MsgIcon::Exclamation);
        return false;
    }
    sheet().setText(f, text);
    return true;
}

void Instrument::click(Control c)
{
    if (busy())
        return; // an operation is running: no second action starts
    runCommand(*this, c);
}

void Instrument::doubleClick(Field f)
{
    if (busy())
        return;
    runDoubleClick(*this, f);
}
