#include "sheet/Sheet.h"

namespace {
const char *const kFieldNames[] = {
    "Title", "Interval", "Frequency", "Tatt1", "Tatt2", "Source", "ENR", "Thot", "Tcold",
    "Noise00", "Att11", "Att12", "Noise11", "Noise12", "Y2dB", "Teq1", "NF1",
    "Att21", "Att22", "Noise21", "Noise22", "Y12dB", "Teq2", "NF2", "Gain", "Teq", "NF", "Notes"};
static_assert(sizeof(kFieldNames) / sizeof(kFieldNames[0]) == static_cast<int>(Field::Count));

const char *const kControlNames[] = {
    "mnuEnrImp", "mnuEnrUnl", "mnuSaveText", "mnuSaveTsv", "mnuSaveWave", "mnuPrint", "mnuExit",
    "mnuCopyTextClip",
    "mnuSCCR", "mnuSCCP", "mnuMMSYS", "mnuPlayWave", "mnuVirtualBench",
    "mnuOptionsVerbose", "mnuOptionsLimits", "mnuNmuc", "mnuComSetup",
    "mnuHelpHelp", "mnuHome", "mnuFaq", "mnuSupport", "mnuUpdate", "mnuAbout",
    "btnNoise00", "btnNoise11", "btnNoise12", "btnNoise21", "btnNoise22", "btnReset", "btnSaveTsv",
    "mnuAudioInput", "mnuInputMonitor",
    "mnuEnrView", "mnuBudget",
    "mnuSweep",
    "mnuRigControl", "mnuOptionsBench", "mnuTsvFile",
    "mnuCalEnrImp", "mnuCalEnrUnl"};
static_assert(sizeof(kControlNames) / sizeof(kControlNames[0]) == static_cast<int>(Control::Count));
} // namespace

const char *fieldName(Field f) { return kFieldNames[static_cast<int>(f)]; }

std::optional<Field> fieldByName(const QString &name)
{
    for (int i = 0; i < static_cast<int>(Field::Count); ++i)
        if (name == QLatin1String(kFieldNames[i]))
            return static_cast<Field>(i);
    return std::nullopt;
}

const char *controlName(Control c) { return kControlNames[static_cast<int>(c)]; }

std::optional<Control> controlByName(const QString &name)
{
    for (int i = 0; i < static_cast<int>(Control::Count); ++i)
        if (name == QLatin1String(kControlNames[i]))
            return static_cast<Control>(i);
    return std::nullopt;
}

Sheet::Sheet()
{
    // Result fields and the zero reading are read-only.
    for (Field f : {Field::Noise00, Field::Y2dB, Field::Teq1, Field::NF1, Field::Y12dB,
                    Field::Teq2, Field::NF2, Field::Gain, Field::Teq, Field::NF})
        setLocked(f, true);
}

QString Sheet::unitsText() const
{
    if (m_unitsIndex < 0 || m_unitsIndex > 2)
        return QString();
    return QString::fromLatin1(kUnitNames[m_unitsIndex]);
}
