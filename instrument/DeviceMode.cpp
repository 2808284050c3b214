#include "instrument/DeviceMode.h"

#include "calc/Results.h"
#include "instrument/FieldRules.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"

bool setDeviceSetup(Instrument &m, const DeviceSetup &device)
{
    const QString caption = QStringLiteral("Value error:");
    if (device.converter() && !validLoMhz(device.loMhz)) {
        m.message(
            caption,
            QStringLiteral("The LO must be > 0 MHz and <= %1 MHz").arg(NumToText(DeviceSetup::kMaxLoMhz)),
            MsgIcon::None);
        return false;
    }
    if (device.converter() && !validImageRejectionDb(device.imageRejectionDb)) {
        m.message(caption,
                  QStringLiteral("The image rejection must be >= 0 dB and <= %1 dB")
                      .arg(NumToText(DeviceSetup::kMaxImageRejectionDb)),
                  MsgIcon::None);
        return false;
    }
    if (m.busy()) {
        m.message(QStringLiteral("TQX"),
                  QStringLiteral("The device cannot change while a measurement runs: let it end or cancel it "
                                 "first."),
                  MsgIcon::Exclamation);
        return false;
    }
    m.sheet().device = device;
    calibrationEnrLookUp(m); // a new IF reads the calibration table elsewhere
    ResultsCalc(m.sheet());
    return true;
}
