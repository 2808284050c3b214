// TQX:DEVice, the device measured: an amplifier, or a frequency converter
// with a fixed LO (sheet/DeviceSetup.h). Frequencies in Hz on the wire, as
// every SCPI frequency; the image rejection in dB.
//
//   TQX:DEVice:MODE AMPLifier|DOWNconverter|UPConverter   (query: AMPL, DOWN, UPC)
//   TQX:DEVice:LOSCillator <Hz>                           the LO
//   TQX:DEVice:SIDeband LSB|USB|DSB
//   TQX:DEVice:IMAGe <dB>                                 image rejection, 0..999
//   TQX:DEVice:IF? [<Hz>]                                 the receiver's IF (Hz) for
//                                                         that RF, else for FREQ:FIX
// A change goes through setDeviceSetup, as Options > Device does: refused
// while an operation runs, the readings kept either way.
#include "instrument/DeviceMode.h"
#include "instrument/Instrument.h"
#include "remote/ScpiSession.h"
#include "sheet/DeviceSetup.h"

using scpi::Command;
using Suffixes = QVector<int>;

namespace {

struct Word {
    const char *mnemonic; // long form, the short form in capitals
    const char *answer;
};
constexpr Word kModes[] = {{"AMPLifier", "AMPL"}, {"DOWNconverter", "DOWN"}, {"UPConverter", "UPC"}};
constexpr physics::DeviceMode kModeValues[] = {physics::DeviceMode::Amplifier, physics::DeviceMode::DownConverter,
                                                physics::DeviceMode::UpConverter};
constexpr Word kSidebands[] = {{"LSB", "LSB"}, {"USB", "USB"}, {"DSB", "DSB"}};
constexpr physics::Sideband kSidebandValues[] = {physics::Sideband::Lsb, physics::Sideband::Usb,
                                                  physics::Sideband::Dsb};

} // namespace

void ScpiSession::addDeviceHandlers()
{
    // Applies `change` to the sheet's device; a refusal is an execution error
    // with the instrument's own message.
    auto apply = [this](const std::function<void(DeviceSetup &)> &change) {
        DeviceSetup d = m_instrument.sheet().device;
        change(d);
        if (!setDeviceSetup(m_instrument, d))
            error(scpi::ExecutionError, m_message.isEmpty() ? QStringLiteral("the device was refused") : m_message);
        Q_EMIT m_instrument.sheetChanged();
    };
    // A choice among `words`, written to the device by `set(index)`.
    auto choice = [this, apply](const Word *words, int count, auto current, auto set) {
        return [this, apply, words, count, current, set](const Command &c, const Suffixes &) {
            if (c.query)
                return answer(QLatin1String(words[current(m_instrument.sheet().device)].answer));
            if (!wantParams(c, 1))
                return;
            for (int i = 0; i < count; ++i)
                if (scpi::isMnemonic(c.params[0], QLatin1String(words[i].mnemonic)))
                    return apply([&](DeviceSetup &d) { set(d, i); });
            error(scpi::IllegalParameter, c.params[0]);
        };
    };
    add("TQX:DEVice:MODE", true,
        choice(
            kModes, 3, [](const DeviceSetup &d) { return int(std::find(kModeValues, kModeValues + 3, d.mode) - kModeValues); },
            [](DeviceSetup &d, int i) { d.mode = kModeValues[i]; }));
    add("TQX:DEVice:SIDeband", true,
        choice(
            kSidebands, 3,
            [](const DeviceSetup &d) {
                return int(std::find(kSidebandValues, kSidebandValues + 3, d.sideband) - kSidebandValues);
            },
            [](DeviceSetup &d, int i) { d.sideband = kSidebandValues[i]; }));
    add("TQX:DEVice:LOSCillator", true, [this, apply](const Command &c, const Suffixes &) {
        if (c.query)
            return answer(scpi::nr3(m_instrument.sheet().device.loMhz * 1e6));
        double hz = 0;
        if (numeric(c, scpi::Unit::Hertz, 1, DeviceSetup::kMaxLoMhz * 1e6, DeviceSetup::kDefaultLoMhz * 1e6, &hz))
            apply([hz](DeviceSetup &d) { d.loMhz = hz / 1e6; });
    });
    add("TQX:DEVice:IMAGe", true, [this, apply](const Command &c, const Suffixes &) {
        if (c.query)
            return answer(scpi::nr3(m_instrument.sheet().device.imageRejectionDb));
        double db = 0;
        if (numeric(c, scpi::Unit::Decibel, 0, DeviceSetup::kMaxImageRejectionDb, 0, &db))
            apply([db](DeviceSetup &d) { d.imageRejectionDb = db; });
    });
    add("TQX:DEVice:IF", true, [this](const Command &c, const Suffixes &) {
        if (!c.query)
            return error(scpi::UndefinedHeader, QStringLiteral("TQX:DEVice:IF is a query"));
        // The RF asked for, else the fixed frequency (FREQ:FIX), which the
        // next spot measurement writes into the Frequency field.
        double hz = m_fixedHz;
        if (!c.params.isEmpty() && !numeric(c, scpi::Unit::Hertz, 1, DeviceSetup::kMaxLoMhz * 1e6, m_fixedHz, &hz))
            return;
        const DeviceSetup &d = m_instrument.sheet().device;
        const physics::FrequencyPlan plan = physics::frequencyPlan(d.mode, d.loMhz, d.sideband, hz / 1e6);
        if (!plan.ok())
            return error(scpi::ExecutionError, converterErrorText(plan.error));
        answer(scpi::nr3(plan.ifMhz * 1e6));
    });
}
