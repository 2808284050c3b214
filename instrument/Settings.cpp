// The main window's load and unload steps: parameters restored from the
// per-user settings store (application "TQX", sections "default" and
// "Com"), repaired where they are out of range (the user is told which
// keys were), and written back at exit.

#include "acquire/AudioUtil.h"
#include "calc/EnrTable.h"
#include "instrument/Commands.h"
#include "instrument/FieldRules.h"
#include "instrument/Instrument.h"
#include "instrument/SourceTemperature.h"
#include "sheet/NumText.h"
#include "sheet/Paths.h"

#include <QFile>
#include <cmath>

namespace {

const QString kDefault = QStringLiteral("default");
const QString kCom = QStringLiteral("Com");

// Whole number as stored, or nullopt when the text is not one.
std::optional<int> wholeNumber(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        return v;
    if (IsNumber(text)) {
        const double d = ParseNumber(text);
        if (d == std::floor(d) && std::fabs(d) < 32768)
            return static_cast<int>(d);
    }
    return std::nullopt;
}

// "1", "True" and any non-zero number are true; "0", "False" and zero false.
std::optional<bool> storedBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (IsNumber(t))
        return ParseNumber(t) != 0;
    return std::nullopt;
}

// Normalise a field: reformat when numeric, then replace by the fallback
// when it is not numeric or breaks its validity rule.
template <typename Valid>
void normalise(Sheet &s, Field f, const QString &pattern, const QString &fallback, Valid valid)
{
    if (IsNumber(s.text(f)))
        s.setText(f, FormatFixed(s.text(f), pattern));
    if (!IsNumber(s.text(f)) || !valid(ParseNumber(s.text(f))))
        s.setText(f, FormatFixed(ParseNumber(fallback), pattern));
}

// The stored text of a field against its text after the repair: changed
// beyond the reformatting of a number means the stored value was not used.
bool replaced(const QString &stored, const QString &now, const QString &pattern)
{
    return (IsNumber(stored) ? FormatFixed(stored, pattern) : stored) != now;
}

// The parameter fields that are repaired, with their key and display format.
struct RepairedField {
    Field field;
    const char *key;
    const char *pattern;
};
constexpr RepairedField kRepairedFields[] = {
    {Field::Interval, "Interval", "0.000"}, {Field::Tatt1, "Tatt1", "0.0"},
    {Field::Tatt2, "Tatt2", "0.0"},         {Field::Tcold, "Tcold", "0.0"},
    {Field::Thot, "Thot", "0.0"},           {Field::Frequency, "Frequency", "0.000"},
    {Field::Att11, "Att11", "0.00"},        {Field::Att12, "Att12", "0.00"},
    {Field::Att21, "Att21", "0.00"},        {Field::Att22, "Att22", "0.00"},
};

// The device measured, as stored (the keys exist only for a converter); a
// value not used is named in `repaired`.
template <typename Get>
DeviceSetup storedDevice(Get get, QStringList &repaired)
{
    DeviceSetup d;
    const auto mode = deviceModeFromKey(get(kDefault, "DeviceMode", deviceModeKey(d.mode)));
    d.mode = mode.value_or(d.mode);
    if (!mode)
        repaired << QStringLiteral("DeviceMode");
    const auto lo = EnrFileNumber(get(kDefault, "LO", QString::number(d.loMhz)));
    if (lo && validLoMhz(*lo))
        d.loMhz = *lo;
    else
        repaired << QStringLiteral("LO");
    const auto sideband = sidebandFromKey(get(kDefault, "Sideband", sidebandKey(d.sideband)));
    d.sideband = sideband.value_or(d.sideband);
    if (!sideband)
        repaired << QStringLiteral("Sideband");
    const auto ir = EnrFileNumber(get(kDefault, "ImageRejection", QString::number(d.imageRejectionDb)));
    if (ir && validImageRejectionDb(*ir))
        d.imageRejectionDb = *ir;
    else
        repaired << QStringLiteral("ImageRejection");
    return d;
}

} // namespace

void Instrument::Form_Load()
{
    Session &m = m_session;
    Sheet &s = m.sheet();
    ISettingsStore *store = m_services.settings;
    auto get = [store](const QString &section, const char *key, const QString &def) {
        return store ? store->get(section, QLatin1String(key), def) : def;
    };

    // 1-2. The Windows mixer rule does not apply here: the mixer entries are
    // enabled when a mixer program exists (MixerEntriesInit below).
    m.OsVersion = Paths::osVersion();
    m.AppDir = Paths::appDir();
    m.ObsTime.clear();
    m.TempWave = Paths::tempWaveBase();
    s.setUnitsIndex(0);
    m.WorkMeas.Title = QStringLiteral("Work");
    s.setText(Field::ENR, FormatFixed(0.0, QStringLiteral("0.00")));

    // 9. Restore.
    s.setText(Field::Title, get(kDefault, "Title", QString()));
    s.setText(Field::Interval, get(kDefault, "Interval", FormatFixed(0.15, QStringLiteral("0.00"))));
    QStringList repaired; // keys whose stored value was not used as it was, in the order read
    const QString notes = get(kDefault, "Notes", QString());
    s.setText(Field::Notes, notes.left(kMaxNotesChars));
    const bool notesCut = notes.size() > kMaxNotesChars;
    s.setText(Field::Source, get(kDefault, "Source", QString()));
    const auto units = wholeNumber(get(kDefault, "Units", QStringLiteral("0")));
    const bool unitsValid = units && *units >= 0 && *units <= 2;
    s.setUnitsIndex(unitsValid ? *units : 0);
    if (!unitsValid)
        repaired << QStringLiteral("Units");
    s.unitsTag = QString::number(s.unitsIndex());
    s.setText(Field::Tatt1, get(kDefault, "Tatt1", QStringLiteral("290")));
    s.setText(Field::Tatt2, get(kDefault, "Tatt2", QStringLiteral("290")));
    s.setText(Field::Tcold, get(kDefault, "Tcold", QStringLiteral("290")));
    s.setText(Field::Thot, get(kDefault, "Thot", QStringLiteral("29290")));
    s.setText(Field::Frequency, get(kDefault, "Frequency", QStringLiteral("10")));
    for (auto [f, key] : {std::pair{Field::Att11, "Att11"}, {Field::Att12, "Att12"},
                          {Field::Att21, "Att21"}, {Field::Att22, "Att22"}})
        s.setText(f, get(kDefault, key, QStringLiteral("0")));
    const auto limits = storedBool(get(kDefault, "Limits", QStringLiteral("1")));
    m.LimitsEnabled = limits.value_or(true);
    if (!limits)
        repaired << QStringLiteral("Limits");
    s.setChecked(Control::mnuOptionsLimits, m.LimitsEnabled);
    m.EnrFileName = get(kDefault, "EnrFileName", QString());
    // The table's interpolation, kept beside its name (the file has no place
    // for it); an unknown word is dropped, and the table asks afresh.
    m.EnrInterpolation = get(kDefault, "EnrInterpolation", QString());
    if (!m.EnrInterpolation.isEmpty() && !interpolationFromKey(m.EnrInterpolation)) {
        m.EnrInterpolation.clear();
        repaired << QStringLiteral("EnrInterpolation");
    }
    // The calibration path's own table, the same way; absent keys (an older
    // file, a user without one): the measurement table serves both paths.
    m.CalEnrFileName = get(kDefault, "CalEnrFileName", QString());
    m.CalEnrInterpolation = get(kDefault, "CalEnrInterpolation", QString());
    if (!m.CalEnrInterpolation.isEmpty() && !interpolationFromKey(m.CalEnrInterpolation)) {
        m.CalEnrInterpolation.clear();
        repaired << QStringLiteral("CalEnrInterpolation");
    }
    const auto averages = wholeNumber(get(kDefault, "Averages", QStringLiteral("1")));
    const bool averagesValid = averages && *averages >= 1 && *averages <= Session::kMaxAverages;
    m.Averages = averagesValid ? *averages : 1;
    if (!averagesValid)
        repaired << QStringLiteral("Averages");
    const QString interleave = get(kDefault, "Interleave", QStringLiteral("False"));
    m.Interleave = interleave == QLatin1String("True");
    if (!m.Interleave && interleave != QLatin1String("False"))
        repaired << QStringLiteral("Interleave");
    // The source's temperature when off, in K with '.' (or ',') as the mark.
    const std::optional<double> storedOff =
        EnrFileNumber(get(kDefault, "SourceOffTemp", QStringLiteral("290")));
    const std::optional<double> sourceOff = storedOff ? sourceOffValue(*storedOff) : std::nullopt;
    m.SourceOffK = sourceOff.value_or(Session::kSourceOffDefaultK);
    if (!sourceOff)
        repaired << QStringLiteral("SourceOffTemp");
    const auto hotCold = storedBool(get(kDefault, "HotColdLoads", QStringLiteral("False")));
    m.HotColdLoads = hotCold.value_or(false);
    if (!hotCold)
        repaired << QStringLiteral("HotColdLoads");
    s.device = storedDevice(get, repaired);
    m.BaseUrl = get(kDefault, "BaseUrl", Paths::defaultBaseUrl());
    if (m.BaseUrl == Paths::formerBaseUrl())
        m.BaseUrl = Paths::defaultBaseUrl();
    const auto enabled = wholeNumber(get(kCom, "Enabled", QStringLiteral("0")));
    m.ComEnabled = enabled && *enabled >= 0 ? *enabled : 0;
    if (!(enabled && *enabled >= 0))
        repaired << QStringLiteral("Com/Enabled");
    const auto port = wholeNumber(get(kCom, "Port", QStringLiteral("1")));
    m.ComPort = port && *port >= 1 && *port <= 99 ? *port : 1;
    if (!(port && *port >= 1 && *port <= 99))
        repaired << QStringLiteral("Com/Port");

    // 10. Caption.
    s.windowCaption = QStringLiteral("TQX - V") + versionText();

    // 11-18. Repair.
    QString storedTexts[std::size(kRepairedFields)];
    for (size_t i = 0; i < std::size(kRepairedFields); ++i)
        storedTexts[i] = s.text(kRepairedFields[i].field);
    normalise(s, Field::Interval, QStringLiteral("0.000"), QStringLiteral("2"),
              [](double v) { return v >= 0.05 && v <= 100; });
    s.intervalTag = NumToText(ParseNumber(s.text(Field::Interval)));
    normalise(s, Field::Tatt1, QStringLiteral("0.0"), QStringLiteral("290"), [](double v) { return v > 0; });
    normalise(s, Field::Tatt2, QStringLiteral("0.0"), QStringLiteral("290"), [](double v) { return v > 0; });
    normalise(s, Field::Tcold, QStringLiteral("0.0"), QStringLiteral("290"), [&s](double v) {
        return v > 0 && ParseNumber(s.text(Field::Thot)) > v;
    });
    {
        const QString &t = s.text(Field::Thot);
        if (IsNumber(t))
            s.setText(Field::Thot, FormatFixed(t, QStringLiteral("0.0")));
        const double v = ParseNumber(s.text(Field::Thot));
        if (!IsNumber(s.text(Field::Thot)) || !(v > 0) || !(ParseNumber(s.text(Field::Tcold)) < v)) {
            s.setText(Field::Tcold, FormatFixed(290.0, QStringLiteral("0.0")));
            s.setText(Field::Thot, FormatFixed(290290.0, QStringLiteral("0.0")));
        }
    }
    {
        const QString &e = s.text(Field::ENR);
        if (IsNumber(e))
            s.setText(Field::ENR, FormatFixed(e, QStringLiteral("0.00")));
        const double v = ParseNumber(s.text(Field::ENR));
        if ((!s.text(Field::ENR).isEmpty() && !IsNumber(s.text(Field::ENR))) || !(v > -100) || v > 100)
            s.setText(Field::ENR, QString());
    }
    // 16. ENR from Thot against the 290 K reference; skipped at or below 290 K.
    const double enr = EnrFromThot(ParseNumber(s.text(Field::Thot)));
    if (std::isfinite(enr))
        s.setText(Field::ENR, FormatFixed(enr, QStringLiteral("0.00")));
    normalise(s, Field::Frequency, QStringLiteral("0.000"), QStringLiteral("10"),
              [](double v) { return v >= 0.1 && v <= 100000; });
    for (Field f : {Field::Att11, Field::Att12, Field::Att21, Field::Att22})
        normalise(s, f, QStringLiteral("0.00"), QStringLiteral("0"), [](double v) { return v >= 0 && v <= 200; });
    for (size_t i = 0; i < std::size(kRepairedFields); ++i) {
        const RepairedField &r = kRepairedFields[i];
        if (replaced(storedTexts[i], s.text(r.field), QLatin1String(r.pattern)))
            repaired << QLatin1String(r.key);
    }
    // Told once, before the window shows: the file will be written with the
    // repaired values at exit, so the stored ones would otherwise vanish unseen.
    if (store && !store->loadProblem().isEmpty())
        message(QStringLiteral("TQX"), store->loadProblem(), MsgIcon::Exclamation);
    QStringList told;
    if (!repaired.isEmpty())
        told << QStringLiteral("Some stored settings were out of range and were reset to their defaults: %1.")
                    .arg(repaired.join(QStringLiteral(", ")));
    if (notesCut)
        told << QStringLiteral("The stored Notes were longer than %1 characters and were cut there.")
                    .arg(kMaxNotesChars);
    if (!told.isEmpty())
        message(QStringLiteral("TQX"), told.join(u' '), MsgIcon::Exclamation);

    // Initial menu states.
    for (Control c :
         {Control::mnuEnrUnl, Control::mnuCalEnrUnl, Control::mnuSaveText, Control::mnuSaveTsv,
          Control::mnuSaveWave, Control::mnuCopyTextClip, Control::mnuPlayWave, Control::btnSaveTsv})
        s.setEnabled(c, false);
    s.setChecked(Control::mnuOptionsVerbose, false);
    for (Field f : {Field::Teq1, Field::Teq2, Field::Teq})
        s.setColour(f, Colour::DarkRed);
    hotColdFields(m, m.HotColdLoads); // off: ENR from Thot as above, import enabled
    MixerEntriesInit(s);
    m_route = loadRoute(*this);
}

void Instrument::Form_Unload()
{
    const Session &m = m_session;
    const Sheet &s = m.sheet();
    if (ISettingsStore *store = m_services.settings) {
        store->deleteSection(kDefault);
        auto put = [store](const char *key, const QString &v) { store->save(kDefault, QLatin1String(key), v); };
        put("Title", s.text(Field::Title));
        put("Interval", s.text(Field::Interval));
        put("Source", s.text(Field::Source));
        put("Units", QString::number(s.unitsIndex()));
        put("ENR", s.text(Field::ENR));
        put("Thot", s.text(Field::Thot));
        put("Tcold", s.text(Field::Tcold));
        put("Tatt1", s.text(Field::Tatt1));
        put("Tatt2", s.text(Field::Tatt2));
        put("Frequency", s.text(Field::Frequency));
        put("Notes", s.text(Field::Notes));
        put("EnrFileName", m.EnrFileName);
        if (!m.EnrInterpolation.isEmpty())
            put("EnrInterpolation", m.EnrInterpolation);
        if (!m.CalEnrFileName.isEmpty()) // written only when set: a file without one stays as it was
            put("CalEnrFileName", m.CalEnrFileName);
        if (!m.CalEnrInterpolation.isEmpty())
            put("CalEnrInterpolation", m.CalEnrInterpolation);
        put("Att11", s.text(Field::Att11));
        put("Att12", s.text(Field::Att12));
        put("Att21", s.text(Field::Att21));
        put("Att22", s.text(Field::Att22));
        put("Limits", m.LimitsEnabled ? QStringLiteral("True") : QStringLiteral("False"));
        put("BaseUrl", m.BaseUrl);
        if (m.Averages != 1) // a file of single readings stays as it always was
            put("Averages", QString::number(m.Averages));
        if (m.Interleave)
            put("Interleave", QStringLiteral("True"));
        // Likewise a source at the 290 K reference, and a switched source.
        if (m.SourceOffK != Session::kSourceOffDefaultK)
            put("SourceOffTemp", QString::number(m.SourceOffK));
        if (m.HotColdLoads)
            put("HotColdLoads", QStringLiteral("True"));
        // Likewise an amplifier: the device keys exist only for a converter.
        if (s.device.converter()) {
            put("DeviceMode", deviceModeKey(s.device.mode));
            put("LO", QString::number(s.device.loMhz));
            put("Sideband", sidebandKey(s.device.sideband));
            put("ImageRejection", QString::number(s.device.imageRejectionDb));
        }
        store->save(kCom, QStringLiteral("Enabled"), QString::number(m.ComEnabled));
        store->save(kCom, QStringLiteral("Port"), QString::number(m.ComPort));
        store->flush();
    }
    showWorking(false);
    if (!m.TempWave.isEmpty()) {
        QFile::remove(m.TempWave + QStringLiteral(".wav"));
        QFile::remove(m.TempWave + QStringLiteral(".tmp"));
    }
}
