// The analyser subset and TQX's own subsystem of the SCPI session.
#include "acquire/Bench.h"
#include "acquire/SweepPlan.h"
#include "calc/EnrTable.h"
#include "instrument/Commands.h"
#include "instrument/Guards.h"
#include "instrument/Instrument.h"
#include "instrument/SourceTemperature.h"
#include "instrument/SweepCommands.h"
#include "instrument/UncertaintyBudget.h"
#include "remote/PointBudget.h"
#include "remote/Runner.h"
#include "remote/ScpiSession.h"
#include "sheet/NumText.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

using scpi::Command;
using Suffixes = QVector<int>;

namespace {
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// A sheet field's number, NaN when it holds none.
double fieldValue(const Sheet &s, Field f)
{
    return IsNumber(s.text(f)) ? ParseNumber(s.text(f)) : kNan;
}

QString joinedNr3(const QVector<double> &values)
{
    QStringList parts;
    parts.reserve(values.size());
    for (double v : values)
        parts.append(scpi::nr3(v));
    return parts.join(QLatin1Char(','));
}
} // namespace

bool ScpiSession::frequencyAllowed(double mhz)
{
    if (!(mhz >= kSweepMinMhz && mhz <= kSweepMaxMhz)) {
        error(scpi::DataOutOfRange, QStringLiteral("%1 MHz is outside %2 MHz to %3 GHz")
                                        .arg(mhz)
                                        .arg(kSweepMinMhz)
                                        .arg(kSweepMaxMhz / 1000));
        return false;
    }
    if (m_instrument.sheet().enabled(Control::mnuEnrUnl)) {
        const SourcePlan p = sourceTemps({mhz}, &m_instrument.enrTable(), {});
        if (!p.error.isEmpty()) {
            error(scpi::DataOutOfRange, p.error);
            return false;
        }
    }
    return true;
}

QVector<double> ScpiSession::sweepFrequenciesMhz(QString *why) const
{
    QVector<double> mhz;
    if (m_mode == Mode::List) {
        for (double hz : m_listHz)
            mhz.append(hz / 1e6);
    } else if (m_mode == Mode::Fixed) {
        mhz.append(m_fixedHz / 1e6);
    } else {
        for (int i = 0; i < m_points; ++i)
            mhz.append((m_points == 1 ? m_startHz : m_startHz + (m_stopHz - m_startHz) * i / (m_points - 1)) /
                       1e6);
    }
    if (mhz.isEmpty())
        *why = QStringLiteral("the frequency list is empty");
    return mhz;
}

bool ScpiSession::setField(Field f, const QString &text)
{
    if (m_instrument.sheet().locked(f)) {
        error(scpi::ExecutionError,
              m_instrument.session().HotColdLoads
                  ? QStringLiteral("hot and cold loads have no %1").arg(QLatin1String(fieldName(f)))
                  : QStringLiteral("%1 is set by the loaded ENR table").arg(QLatin1String(fieldName(f))));
        return false;
    }
    const QString before = m_instrument.sheet().text(f);
    if (!m_instrument.setFieldText(f, text) || !m_instrument.validate(f)) {
        if (m_instrument.sheet().text(f) != before) // a refused entry changes nothing
            m_instrument.setFieldText(f, before);
        error(scpi::IllegalParameter, m_message.isEmpty() ? text : m_message);
        return false;
    }
    return true;
}

void ScpiSession::startMeasurement(bool calibration)
{
    m_lastWasCalibration = calibration;
    Session &s = m_instrument.session();
    if (m_instrument.route() == DeviceRoute::Bench)
        s.ComEnabled = 1; // the bench's own lines switch its source
    if (s.ComEnabled == 0 || s.HotColdLoads) {
        m_continuous = false;
        if (s.HotColdLoads)
            return error(
                scpi::ExecutionError,
                QStringLiteral("hot and cold loads are changed by hand: measure them in the window"));
        return error(scpi::ExecutionError,
                     QStringLiteral("remote measurements need the noise source switched by "
                                    "the serial port or the virtual bench"));
    }
    // Averaging in power over n readings of T seconds is one reading of n T.
    const QString interval = m_instrument.sheet().text(Field::Interval);
    const bool averaged = m_averaging && m_averages > 1;
    if (averaged)
        m_instrument.sheet().setText(Field::Interval, NumToText(ParseNumber(interval) * m_averages));
    QString why;
    bool started = false;
    if (m_mode == Mode::Fixed) {
        if (setField(Field::Frequency, NumToText(m_fixedHz / 1e6)))
            started =
                m_runner.startReadings(calibration ? QList<Control>{Control::btnNoise11, Control::btnNoise12}
                                                   : QList<Control>{Control::btnNoise21, Control::btnNoise22},
                                       &why);
        else
            why = QStringLiteral("the frequency was refused");
        if (averaged && started)
            connect(
                &m_runner, &Runner::finished, this,
                [this, interval] { m_instrument.sheet().setText(Field::Interval, interval); },
                Qt::SingleShotConnection);
    } else {
        const QVector<double> mhz = sweepFrequenciesMhz(&why);
        if (!mhz.isEmpty()) {
            SweepFrequencies f;
            f.source = SweepFrequencies::Source::List;
            f.list = frequencyListText(mhz);
            started = m_runner.startSweep(calibration ? SweepKind::Calibration : SweepKind::Measurement, f,
                                          m_instrument.route() == DeviceRoute::Bench ? 0.0 : m_settleS, &why);
        }
    }
    if (averaged && !(started && m_mode == Mode::Fixed))
        m_instrument.sheet().setText(Field::Interval, interval); // the plan has its copy
    if (!started) {
        m_continuous = false;
        error(why.contains(QLatin1String("range")) || why.contains(QLatin1String("outside"))
                  ? scpi::DataOutOfRange
                  : scpi::ExecutionError,
              why);
    }
}

void ScpiSession::fetch(const Command &c, const QString &what, bool array)
{
    bool linear = false;
    if (c.params.size() > 1 ||
        (c.params.size() == 1 && !scpi::isMnemonic(c.params[0], QStringLiteral("DB")) &&
         !(linear = scpi::isMnemonic(c.params[0], QStringLiteral("LINear"))) &&
         !scpi::isMnemonic(c.params[0], QStringLiteral("KELVin"))))
        return error(scpi::IllegalParameter, c.params.join(QLatin1Char(',')));
    const bool unc = what.endsWith(QLatin1String("UNC"));
    const QString quantity = unc ? what.chopped(4) : what;
    auto convert = [&](double db) {
        return linear && quantity != QLatin1String("TEFF") ? std::pow(10.0, db / 10) : db;
    };
    if (!array) {
        const Sheet &s = m_instrument.sheet();
        double v = kNan;
        if (unc) {
            const physics::BudgetResult b = sheetBudget(m_instrument, 0);
            const physics::BudgetOut out =
                quantity == QLatin1String("GAIN") ? physics::BudgetOut::DutGain : physics::BudgetOut::DutNf;
            if (b.status == physics::BudgetStatus::Ok && b.out[int(out)].ok)
                v = b.out[int(out)].expanded;
            return answer(scpi::nr3(v));
        }
        if (quantity == QLatin1String("NFIG"))
            v = fieldValue(s, Field::NF);
        else if (quantity == QLatin1String("GAIN"))
            v = fieldValue(s, Field::Gain);
        else if (quantity == QLatin1String("TEFF"))
            v = fieldValue(s, Field::Teq);
        else
            v = fieldValue(s, Field::Y12dB);
        return answer(scpi::nr3(convert(v)));
    }
    const QVector<SweepPoint> &points = m_runner.points(SweepKind::Measurement);
    QVector<double> values;
    values.reserve(points.size());
    for (const SweepPoint &p : points) {
        double v = kNan;
        if (p.state == SweepPoint::State::Measured) {
            if (unc) {
                v = pointUncertainty(m_instrument, m_runner.plan(SweepKind::Measurement), p,
                                     quantity == QLatin1String("GAIN") ? physics::BudgetOut::DutGain
                                                                       : physics::BudgetOut::DutNf);
            } else if (quantity == QLatin1String("NFIG")) {
                v = convert(p.device.nfDb);
            } else if (quantity == QLatin1String("GAIN")) {
                v = convert(p.device.gainDb);
            } else if (quantity == QLatin1String("TEFF")) {
                v = p.device.te;
            } else {
                v = convert(p.path.yDb);
            }
        }
        values.append(v);
    }
    answer(joinedNr3(values));
}

void ScpiSession::addAnalyserHandlers()
{
    auto frequency = [this](double *target) {
        return [this, target](const Command &c, const Suffixes &) {
            if (c.query)
                return answer(scpi::nr3(*target));
            double hz = 0;
            if (numeric(c, scpi::Unit::Hertz, kSweepMinMhz * 1e6, kSweepMaxMhz * 1e6, 100e6, &hz) &&
                frequencyAllowed(hz / 1e6))
                *target = hz;
        };
    };
    add("[SENSe]:FREQuency:STARt", true, frequency(&m_startHz));
    add("[SENSe]:FREQuency:STOP", true, frequency(&m_stopHz));
    add("[SENSe]:FREQuency:FIXed", true, frequency(&m_fixedHz));
    add("[SENSe]:FREQuency:CENTer", true, [this](const Command &c, const Suffixes &) {
        answer(scpi::nr3((m_startHz + m_stopHz) / 2));
        if (!c.query)
            error(scpi::UndefinedHeader, QStringLiteral("set START and STOP"));
    });
    add("[SENSe]:FREQuency:MODE", true, [this](const Command &c, const Suffixes &) {
        static const char *const names[] = {"SWE", "FIX", "LIST"};
        if (c.query)
            return answer(QLatin1String(names[int(m_mode)]));
        if (!wantParams(c, 1))
            return;
        if (scpi::isMnemonic(c.params[0], QStringLiteral("SWEep")))
            m_mode = Mode::Sweep;
        else if (scpi::isMnemonic(c.params[0], QStringLiteral("FIXed")) ||
                 scpi::isMnemonic(c.params[0], QStringLiteral("CW")))
            m_mode = Mode::Fixed;
        else if (scpi::isMnemonic(c.params[0], QStringLiteral("LIST")))
            m_mode = Mode::List;
        else
            error(scpi::IllegalParameter, c.params[0]);
    });
    add("[SENSe]:FREQuency:LIST:DATA", true, [this](const Command &c, const Suffixes &) {
        if (c.query) {
            QVector<double> hz = m_listHz;
            return answer(joinedNr3(hz));
        }
        if (c.params.isEmpty() || c.params.size() > kSweepMaxPoints)
            return error(scpi::DataOutOfRange, QStringLiteral("1 to %1 frequencies").arg(kSweepMaxPoints));
        QVector<double> hz;
        for (const QString &p : c.params) {
            const std::optional<scpi::Numeric> n = scpi::parseNumeric(p, scpi::Unit::Hertz);
            if (!n || n->kind != scpi::Numeric::Kind::Value)
                return error(scpi::IllegalParameter, p);
            if (!frequencyAllowed(n->value / 1e6))
                return;
            if (!hz.isEmpty() && !(n->value > hz.last()))
                return error(scpi::IllegalParameter, QStringLiteral("the frequencies must rise"));
            hz.append(n->value);
        }
        m_listHz = hz;
    });
    add("[SENSe]:FREQuency:LIST:COUNt", true,
        [this](const Command &, const Suffixes &) { answer(QString::number(m_listHz.size())); });
    add("[SENSe]:SWEep:POINts", true, [this](const Command &c, const Suffixes &) {
        double n = 0;
        if (c.query)
            answer(QString::number(m_points));
        else if (numeric(c, scpi::Unit::None, 2, 401, 11, &n))
            m_points = int(std::lround(n));
    });
    add("[SENSe]:AVERage[:STATe]", true, [this](const Command &c, const Suffixes &) {
        if (c.query)
            return answer(m_averaging ? QStringLiteral("1") : QStringLiteral("0"));
        if (!wantParams(c, 1))
            return;
        if (const std::optional<bool> b = scpi::parseBoolean(c.params[0]))
            m_averaging = *b;
        else
            error(scpi::IllegalParameter, c.params[0]);
    });
    add("[SENSe]:AVERage:COUNt", true, [this](const Command &c, const Suffixes &) {
        double n = 0;
        if (c.query)
            answer(scpi::nr3(m_averages));
        else if (numeric(c, scpi::Unit::None, 1, 999, 1, &n))
            m_averages = int(std::lround(n));
    });
    add("[SENSe]:BANDwidth[:RESolution]", true, [this](const Command &c, const Suffixes &) {
        double hz = 0;
        if (c.query)
            answer(scpi::nr3(budgetInputs(m_instrument).bandwidthHz));
        else if (numeric(c, scpi::Unit::Hertz, 1, 1e6, 0, &hz))
            m_instrument.budgetSettings().bandwidthHz = hz;
    });
    add("INITiate:CONTinuous", true, [this](const Command &c, const Suffixes &) {
        if (c.query)
            return answer(m_continuous ? QStringLiteral("1") : QStringLiteral("0"));
        if (!wantParams(c, 1))
            return;
        const std::optional<bool> b = scpi::parseBoolean(c.params[0]);
        if (!b)
            return error(scpi::IllegalParameter, c.params[0]);
        m_continuous = *b;
        if (m_continuous)
            startMeasurement(false);
    });
    add("INITiate[:IMMediate]", true, [this](const Command &, const Suffixes &) { startMeasurement(false); });
    add("[SENSe]:CORRection:COLLect[:ACQuire]", true, [this](const Command &c, const Suffixes &) {
        if (c.params.size() > 1 ||
            (c.params.size() == 1 && !scpi::isMnemonic(c.params[0], QStringLiteral("STANdard"))))
            return error(scpi::IllegalParameter, c.params.join(QLatin1Char(',')));
        startMeasurement(true);
    });
    // FETCh:ARRay:DATA:CORRected:NFIGure? DB and its kind; SCALar in FIX mode.
    for (const char *quantity : {"NFIGure", "GAIN", "TEFFective", "YFACtor"}) {
        const QString q = QString::fromLatin1(quantity).left(4).toUpper();
        for (const bool array : {true, false}) {
            const QString base =
                QStringLiteral("FETCh:%1[:DATA]:CORRected:%2")
                    .arg(array ? QStringLiteral("ARRay") : QStringLiteral("SCALar"), QLatin1String(quantity));
            add(base.toLatin1().constData(), true,
                [this, q, array](const Command &c, const Suffixes &) { fetch(c, q, array); });
            add((base + QStringLiteral(":UNCertainty")).toLatin1().constData(), true,
                [this, q, array](const Command &c, const Suffixes &) {
                    fetch(c, q + QStringLiteral(":UNC"), array);
                });
        }
    }
}

void ScpiSession::addTqxHandlers()
{
    auto field = [this](Field f, scpi::Unit unit, double lo, double hi) {
        return [this, f, unit, lo, hi](const Command &c, const Suffixes &) {
            if (c.query)
                return answer(scpi::nr3(fieldValue(m_instrument.sheet(), f)));
            double v = 0;
            if (numeric(c, unit, lo, hi, lo, &v))
                setField(f, NumToText(v));
        };
    };
    add("TQX:SOURce:ENR", true, field(Field::ENR, scpi::Unit::Decibel, 0, 200));
    add("TQX:SOURce:THOT", true, field(Field::Thot, scpi::Unit::Kelvin, 0, 1e7));
    add("TQX:SOURce:TCOLd", true, field(Field::Tcold, scpi::Unit::Kelvin, 0, 1e4));
    add("TQX:INTerval", true, field(Field::Interval, scpi::Unit::Second, 0.01, 3600));
    add("TQX:ATTenuator#", true, [this, field](const Command &c, const Suffixes &n) {
        static const QList<int> ids = {11, 12, 21, 22};
        static const Field fields[] = {Field::Att11, Field::Att12, Field::Att21, Field::Att22};
        const int i = int(ids.indexOf(n.value(0)));
        if (i < 0)
            return error(scpi::UndefinedHeader, QStringLiteral("attenuators are 11, 12, 21 and 22"));
        field(fields[i], scpi::Unit::Decibel, 0, 200)(c, n);
    });
    add("TQX:ATTenuator#:TEMPerature", true, [this, field](const Command &c, const Suffixes &n) {
        if (n.value(0) != 1 && n.value(0) != 2)
            return error(scpi::UndefinedHeader, QStringLiteral("attenuator temperatures are 1 and 2"));
        field(n.value(0) == 1 ? Field::Tatt1 : Field::Tatt2, scpi::Unit::Kelvin, 0, 1e4)(c, n);
    });
    add("TQX:FIELd", true, [this](const Command &c, const Suffixes &) {
        const int want = c.query ? 1 : 2;
        if (!wantParams(c, want))
            return;
        const std::optional<QString> name = scpi::parseString(c.params[0]);
        const std::optional<Field> f = name ? fieldByName(*name) : std::nullopt;
        if (!f)
            return error(scpi::IllegalParameter, c.params[0]);
        if (c.query)
            return answer(
                QLatin1Char('"') +
                QString(m_instrument.sheet().text(*f)).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                QLatin1Char('"'));
        const std::optional<QString> text = scpi::parseString(c.params[1]);
        if (!text)
            return error(scpi::IllegalParameter, c.params[1]);
        setField(*f, *text);
    });
    // The measurement table, or the calibration path's own (CALTable: read
    // at the IF of a converter), only from the folder allowed for remote use.
    for (const bool calibration : {false, true}) {
        const QString base = calibration ? QStringLiteral("TQX:SOURce:CALTable") : QStringLiteral("TQX:SOURce:TABLe");
        const Control unload = calibration ? Control::mnuCalEnrUnl : Control::mnuEnrUnl;
        add((base + QStringLiteral(":LOAD")).toLatin1().constData(), true,
            [this, calibration](const Command &c, const Suffixes &) {
                if (!wantParams(c, 1))
                    return;
                const std::optional<QString> name = scpi::parseString(c.params[0]);
                if (!name)
                    return error(scpi::IllegalParameter, c.params[0]);
                const QString folder =
                    m_options.enrFolder.isEmpty() ? QString() : QDir(m_options.enrFolder).canonicalPath();
                const QString path = QFileInfo(QDir(folder), *name).canonicalFilePath();
                if (folder.isEmpty() || path.isEmpty() || !path.startsWith(folder + QLatin1Char('/')))
                    return error(scpi::ExecutionError,
                                 QStringLiteral("ENR tables load only from the folder allowed for "
                                                "remote use"));
                (calibration ? m_instrument.session().CalEnrFileName : m_instrument.session().EnrFileName) = path;
                if ((calibration ? loadCalibrationEnrTable(m_instrument) : loadEnrTable(m_instrument)) != 0)
                    error(scpi::ExecutionError,
                          m_message.isEmpty() ? QStringLiteral("the table was refused") : m_message);
                Q_EMIT m_instrument.sheetChanged();
            });
        add((base + QStringLiteral(":UNLoad")).toLatin1().constData(), true,
            [this, unload](const Command &, const Suffixes &) {
                if (m_instrument.sheet().enabled(unload))
                    m_instrument.click(unload);
                Q_EMIT m_instrument.sheetChanged();
            });
        add(base.toLatin1().constData(), true, [this, calibration, unload](const Command &, const Suffixes &) {
            const bool loaded = m_instrument.sheet().enabled(unload);
            const QString &file =
                calibration ? m_instrument.session().CalEnrFileName : m_instrument.session().EnrFileName;
            answer(QLatin1Char('"') + (loaded ? QFileInfo(file).fileName() : QString()) + QLatin1Char('"'));
        });
    }
    // The source's physical temperature when off: a table's Tcold, and what
    // its Thot stands on.
    add("TQX:SOURce:TABLe:TCOLd", true, [this](const Command &c, const Suffixes &) {
        if (c.query)
            return answer(scpi::nr3(m_instrument.session().SourceOffK));
        double v = 0;
        if (numeric(c, scpi::Unit::Kelvin, Session::kSourceOffMinK, Session::kSourceOffMaxK,
                    Session::kSourceOffDefaultK, &v) &&
            !setSourceOffK(m_instrument, v))
            error(scpi::ExecutionError, m_message);
        Q_EMIT m_instrument.sheetChanged();
    });
    add("TQX:ROUTe", true, [this](const Command &c, const Suffixes &) {
        if (c.query)
            return answer(m_instrument.route() == DeviceRoute::Bench ? QStringLiteral("BENC")
                                                                     : QStringLiteral("CARD"));
        if (!wantParams(c, 1))
            return;
        if (scpi::isMnemonic(c.params[0], QStringLiteral("BENCh")))
            m_instrument.setRoute(DeviceRoute::Bench);
        else if (scpi::isMnemonic(c.params[0], QStringLiteral("CARD")))
            m_instrument.setRoute(DeviceRoute::SoundCard);
        else
            error(scpi::IllegalParameter, c.params[0]);
    });
    add("TQX:RIG:MODel", true, [this](const Command &c, const Suffixes &) {
        RigConfig rig = currentRigConfig(m_instrument);
        double v = 0;
        if (c.query)
            answer(QString::number(rig.model));
        else if (numeric(c, scpi::Unit::None, 0, 1e6, 0, &v)) {
            rig.model = int(v);
            storeRigConfig(m_instrument, rig);
        }
    });
    add("TQX:RIG:PORT", true, [this](const Command &c, const Suffixes &) {
        RigConfig rig = currentRigConfig(m_instrument);
        if (c.query)
            return answer(QLatin1Char('"') + rig.port + QLatin1Char('"'));
        const std::optional<QString> port = wantParams(c, 1) ? scpi::parseString(c.params[0]) : std::nullopt;
        if (!port || port->size() > 256)
            return error(scpi::IllegalParameter, c.params.value(0));
        rig.port = *port;
        storeRigConfig(m_instrument, rig);
    });
    add("TQX:SWEep:SETTle", true, [this](const Command &c, const Suffixes &) {
        if (c.query)
            answer(scpi::nr3(m_settleS));
        else
            numeric(c, scpi::Unit::Second, 0, 60, 0.5, &m_settleS);
    });
    // The virtual bench's true values at a frequency: "NF dB,gain dB,ENR dB".
    add("TQX:BENCh:TRUTh", true, [this](const Command &c, const Suffixes &) {
        double hz = 0;
        if (!numeric(c, scpi::Unit::Hertz, kSweepMinMhz * 1e6, kSweepMaxMhz * 1e6, 100e6, &hz))
            return;
        const BenchTruth t = m_instrument.bench().truthAt(hz / 1e6);
        answer(QStringList{scpi::nr3(t.dutNfDb), scpi::nr3(t.dutGainDb), scpi::nr3(t.enrDb)}.join(
            QLatin1Char(',')));
    });
    // The guards of the main window: the calibration's state, and the
    // warnings as quoted strings (none: 0).
    add("TQX:CALibration:STATe", true, [this](const Command &, const Suffixes &) {
        static const char *const names[] = {"NONE", "VALID", "STALE"};
        answer(QLatin1String(names[int(evaluateGuards(m_instrument).calibration)]));
    });
    add("TQX:GUARd", true, [this](const Command &, const Suffixes &) {
        const QStringList warnings = evaluateGuards(m_instrument).warnings;
        QStringList parts{QString::number(warnings.size())};
        for (QString w : warnings)
            parts.append(QLatin1Char('"') + w.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                         QLatin1Char('"'));
        answer(parts.join(QLatin1Char(',')));
    });
    add("TQX:MEASure:ZERO", true, [this](const Command &, const Suffixes &) {
        QString why;
        if (!m_runner.startReadings({Control::btnNoise00}, &why))
            error(scpi::ExecutionError, why);
    });
    add("TQX:MEASure:NOISe", true, [this](const Command &c, const Suffixes &) {
        static const QList<QString> ids = {QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("21"),
                                           QStringLiteral("22")};
        static const Control buttons[] = {Control::btnNoise11, Control::btnNoise12, Control::btnNoise21,
                                          Control::btnNoise22};
        const int i = wantParams(c, 1) ? int(ids.indexOf(c.params[0].trimmed())) : -2;
        if (i == -1)
            error(scpi::IllegalParameter, c.params[0]);
        QString why;
        if (i >= 0 && !m_runner.startReadings({buttons[i]}, &why))
            error(scpi::ExecutionError, why);
    });
    add("TQX:MEASure:LEVel", true, [this](const Command &c, const Suffixes &) {
        static const QList<QString> ids = {QStringLiteral("00"), QStringLiteral("11"), QStringLiteral("12"),
                                           QStringLiteral("21"), QStringLiteral("22")};
        static const Field fields[] = {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21,
                                       Field::Noise22};
        const int i = wantParams(c, 1) ? int(ids.indexOf(c.params[0].trimmed())) : -2;
        if (i == -1)
            error(scpi::IllegalParameter, c.params[0]);
        if (i >= 0)
            answer(scpi::nr3(fieldValue(m_instrument.sheet(), fields[i])));
    });
}
