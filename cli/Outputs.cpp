#include "cli/Outputs.h"

#include "calc/EnrTable.h"
#include "instrument/Instrument.h"
#include "instrument/SweepCommands.h"
#include "instrument/UncertaintyBudget.h"
#include "remote/PointBudget.h"
#include "report/DeviceText.h"
#include "sheet/NumText.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cmath>
#include <limits>

namespace {
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

double fieldValue(const Sheet &s, Field f)
{
    return IsNumber(s.text(f)) ? ParseNumber(s.text(f)) : kNan;
}

// A number for JSON: null where there is none (JSON has no NaN).
QJsonValue jsonNumber(double v)
{
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

QString csvNumber(double v, int decimals)
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QString();
}
} // namespace

SpotResult spotFromSheet(Instrument &m)
{
    const Sheet &s = m.sheet();
    SpotResult r;
    SweepPoint &p = r.point;
    p.mhz = p.tunedMhz = fieldValue(s, Field::Frequency);
    // A converter's receiver listened at the IF of that RF (none: refused plan).
    const physics::FrequencyPlan plan =
        physics::frequencyPlan(s.device.mode, s.device.loMhz, s.device.sideband, p.mhz);
    p.ifMhz = plan.ok() ? plan.ifMhz : kNan;
    if (s.device.converter())
        p.tunedMhz = p.ifMhz;
    r.device = s.device;
    p.source.enrDb = fieldValue(s, Field::ENR);
    p.source.tHot = fieldValue(s, Field::Thot);
    p.source.tCold = fieldValue(s, Field::Tcold);
    const double lo = fieldValue(s, Field::Noise21), hi = fieldValue(s, Field::Noise22);
    if (std::isfinite(lo))
        p.loDb = lo;
    if (std::isfinite(hi))
        p.hiDb = hi;
    r.calLevels = {fieldValue(s, Field::Noise11), fieldValue(s, Field::Noise12)};
    r.zeroDb = fieldValue(s, Field::Noise00);
    r.hasZero = std::isfinite(r.zeroDb);
    p.path.yDb = fieldValue(s, Field::Y12dB);
    p.rxTeK = fieldValue(s, Field::Teq1);
    p.device.te = fieldValue(s, Field::Teq);
    p.device.nfDb = fieldValue(s, Field::NF);
    p.device.gainDb = fieldValue(s, Field::Gain);
    p.device.ok = std::isfinite(p.device.nfDb) && std::isfinite(p.device.gainDb);
    p.state = p.device.ok ? SweepPoint::State::Measured : SweepPoint::State::Failed;
    return r;
}

QByteArray spotCsv(const SpotResult &r)
{
    const SweepPoint &p = r.point;
    QByteArray out = "Frequency (MHz),ENR (dB),Zero (dB),LO(2) (dB),HI(2) (dB),LO(12) (dB),HI(12) (dB),"
                     "Y(12) (dB),Receiver Te (K),Te (K),NF (dB),Gain (dB)\n";
    const QStringList cells = {csvNumber(p.mhz, 6),
                               csvNumber(p.source.enrDb, 2),
                               csvNumber(r.zeroDb, 2),
                               csvNumber(r.calLevels.lo, 2),
                               csvNumber(r.calLevels.hi, 2),
                               csvNumber(p.loDb.value_or(kNan), 2),
                               csvNumber(p.hiDb.value_or(kNan), 2),
                               csvNumber(p.path.yDb, 3),
                               csvNumber(p.rxTeK, 1),
                               csvNumber(p.device.te, 1),
                               csvNumber(p.device.nfDb, 3),
                               csvNumber(p.device.gainDb, 3)};
    if (!r.device.converter())
        return out + cells.join(QLatin1Char(',')).toUtf8() + '\n';
    out.chop(1);
    out += ",IF (MHz),LO (MHz),Device mode,Sideband,Image rejection (dB)\n";
    const QStringList plan = {csvNumber(p.ifMhz, 6), csvNumber(r.device.loMhz, 6),
                              deviceModeName(r.device.mode), sidebandKey(r.device.sideband),
                              imageRejectionText(r.device)};
    return out + (cells + plan).join(QLatin1Char(',')).toUtf8() + '\n';
}

QByteArray resultsJson(Instrument &m, const QString &command, const QVector<SweepPoint> &points,
                       const SweepPlan *plan, const SpotResult *spot)
{
    const Sheet &s = m.sheet();
    QJsonObject settings;
    settings.insert(QStringLiteral("route"),
                    m.route() == DeviceRoute::Bench ? QStringLiteral("bench") : QStringLiteral("sound card"));
    settings.insert(QStringLiteral("interval_s"),
                    jsonNumber(plan ? plan->intervalS : fieldValue(s, Field::Interval)));
    for (Field f : {Field::Frequency, Field::ENR, Field::Thot, Field::Tcold, Field::Att11, Field::Att12,
                    Field::Att21, Field::Att22, Field::Tatt1, Field::Tatt2})
        settings.insert(QLatin1String(fieldName(f)), jsonNumber(fieldValue(s, f)));
    settings.insert(QStringLiteral("Title"), s.text(Field::Title));
    settings.insert(QStringLiteral("serial_switching"), m.session().ComEnabled != 0);
    const RigConfig rig = currentRigConfig(m);
    settings.insert(QStringLiteral("rig_model"), rig.model);
    settings.insert(QStringLiteral("rig_port"), rig.port);
    // A converter (the sweep's plan, or the sheet's for a spot): Frequency
    // and frequency_mhz are its RF, if_mhz where the receiver was tuned.
    const DeviceSetup &device = plan ? plan->device : s.device;
    if (device.converter()) {
        settings.insert(QStringLiteral("device_mode"), deviceModeName(device.mode));
        settings.insert(QStringLiteral("lo_mhz"), jsonNumber(device.loMhz));
        settings.insert(QStringLiteral("sideband"), sidebandKey(device.sideband));
        settings.insert(
            QStringLiteral("image_rejection_db"),
            jsonNumber(physics::imageRejectionFor(device.mode, device.sideband, device.imageRejectionDb)));
    }

    QJsonObject enr;
    if (s.enabled(Control::mnuEnrUnl)) {
        QFile f(m.session().EnrFileName);
        enr.insert(QStringLiteral("name"), QFileInfo(f).fileName());
        if (f.open(QIODevice::ReadOnly))
            enr.insert(
                QStringLiteral("sha256"),
                QString::fromLatin1(
                    QCryptographicHash::hash(f.read(kEnrFileMaxBytes), QCryptographicHash::Sha256).toHex()));
    }

    QJsonArray list;
    for (const SweepPoint &p : points) {
        QJsonObject o;
        o.insert(QStringLiteral("frequency_mhz"), p.mhz);
        o.insert(QStringLiteral("tuned_mhz"), jsonNumber(p.tunedMhz > 0 ? p.tunedMhz : kNan));
        if (device.converter()) {
            o.insert(QStringLiteral("if_mhz"), jsonNumber(p.ifMhz > 0 ? p.ifMhz : kNan));
            o.insert(QStringLiteral("lo_mhz"), jsonNumber(device.loMhz));
        }
        o.insert(QStringLiteral("state"), p.state == SweepPoint::State::Measured ? QStringLiteral("measured")
                                          : p.state == SweepPoint::State::Failed
                                              ? QStringLiteral("failed")
                                              : QStringLiteral("not measured"));
        if (!p.failure.isEmpty())
            o.insert(QStringLiteral("failure"), p.failure);
        o.insert(QStringLiteral("enr_db"), jsonNumber(p.source.enrDb));
        QJsonObject levels{{QStringLiteral("lo_db"), jsonNumber(p.loDb.value_or(kNan))},
                           {QStringLiteral("hi_db"), jsonNumber(p.hiDb.value_or(kNan))}};
        // The calibration is kept where the receiver was: a converter's IF.
        std::optional<physics::LevelPair> cal =
            spot ? std::optional(spot->calLevels)
                 : m.sweepCalibration().at(device.converter() ? p.ifMhz : p.mhz);
        if (cal) {
            levels.insert(QStringLiteral("calibration_lo_db"), jsonNumber(cal->lo));
            levels.insert(QStringLiteral("calibration_hi_db"), jsonNumber(cal->hi));
        }
        if (spot && spot->hasZero)
            levels.insert(QStringLiteral("zero_db"), spot->zeroDb);
        o.insert(QStringLiteral("levels"), levels);
        const bool measured = p.state == SweepPoint::State::Measured;
        o.insert(QStringLiteral("y_db"), jsonNumber(measured ? p.path.yDb : kNan));
        o.insert(QStringLiteral("te_k"), jsonNumber(measured ? p.device.te : kNan));
        o.insert(QStringLiteral("nf_db"), jsonNumber(measured ? p.device.nfDb : kNan));
        o.insert(QStringLiteral("gain_db"), jsonNumber(measured ? p.device.gainDb : kNan));
        double uNf = kNan, uGain = kNan;
        if (measured && plan) {
            uNf = pointUncertainty(m, *plan, p, physics::BudgetOut::DutNf);
            uGain = pointUncertainty(m, *plan, p, physics::BudgetOut::DutGain);
        } else if (measured) {
            const physics::BudgetResult b = sheetBudget(m, 0);
            if (b.status == physics::BudgetStatus::Ok) {
                uNf = b.out[int(physics::BudgetOut::DutNf)].ok
                          ? b.out[int(physics::BudgetOut::DutNf)].expanded
                          : kNan;
                uGain = b.out[int(physics::BudgetOut::DutGain)].ok
                            ? b.out[int(physics::BudgetOut::DutGain)].expanded
                            : kNan;
            }
        }
        o.insert(QStringLiteral("nf_u95_db"), jsonNumber(uNf));
        o.insert(QStringLiteral("gain_u95_db"), jsonNumber(uGain));
        list.append(o);
    }

    QJsonObject root;
    root.insert(QStringLiteral("program"), QStringLiteral("TQX"));
    root.insert(QStringLiteral("version"), Instrument::versionText());
    root.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    root.insert(QStringLiteral("command"), command);
    root.insert(QStringLiteral("settings"), settings);
    root.insert(QStringLiteral("enr_table"), enr.isEmpty() ? QJsonValue() : QJsonValue(enr));
    root.insert(QStringLiteral("points"), list);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        return QStringLiteral("Could not write %1: %2").arg(path, f.errorString());
    return QString();
}
