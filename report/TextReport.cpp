#include "report/TextReport.h"
#include "sheet/Version.h"

#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "report/DeviceText.h"
#include "sheet/NumText.h"
#include "sheet/Session.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <csignal>
#include <cstring>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kTab = QStringLiteral("\t");

// The save dialog's filter: "Text files" (entry 2) is preselected.
const QString kSaveFilter = QStringLiteral("All Files (*.*)|*.*|Text files (*.txt;*.tab)|*.txt;*.tab");
constexpr int kSaveFilterIndex = 2;

} // namespace

QString NotesText(const Sheet &s)
{
    QString notes = s.text(Field::Notes);
    notes.replace(kCrLf, QStringLiteral("\n"));
    notes.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    notes.replace(QLatin1Char('\n'), kCrLf);
    return notes;
}

QString TextResults(const Session &m)
{
    const Sheet &s = m.sheet();
    const QString units = s.unitsText();
    QString r;
    auto line = [&r](const QString &text) { r += text + kCrLf; };
    auto data = [&line](const QString &label, const QString &value) { line(label + kTab + value); };
    auto field = [&data, &s](const char *label, Field f) { data(QString::fromLatin1(label), s.text(f)); };
    auto level = [&data, &s, &units](const char *label, Field f) {
        data(QString::fromLatin1(label) + QStringLiteral(" (") + units + QLatin1Char(')'), s.text(f));
    };

    data(QStringLiteral("Program"), QString::fromLatin1(kReportCaption));
    data(QStringLiteral("Version"), versionText());
    data(QStringLiteral("ObsTime"), m.ObsTime);
    field("Title", Field::Title);
    field("Frequency (MHz)", Field::Frequency);
    field("Interval", Field::Interval);
    field("Tatt1 (K)", Field::Tatt1);
    field("Tatt2 (K)", Field::Tatt2);
    field("Source", Field::Source);
    field("ENR (dB)", Field::ENR);
    field("Thot (K)", Field::Thot);
    field("Tcold (K)", Field::Tcold);

    // Teq1/NF1 belong to the instrument (path 2), Teq2/NF2 to the
    // combination (path 12); the headings have no blank before "(".
    line(QStringLiteral("Instrument calibration(2):"));
    field("Att1(2) (dB)", Field::Att11);
    field("Att2(2) (dB)", Field::Att12);
    level("Noise LO(2)", Field::Noise11);
    level("Noise HI(2)", Field::Noise12);
    field("Y(2) (dB)", Field::Y2dB);
    field("Teq(2) (K)", Field::Teq1);
    field("NF(2) (dB)", Field::NF1);

    line(QStringLiteral("Combined measurement(12):"));
    field("Att1(12) (dB)", Field::Att21);
    field("Att2(12) (dB)", Field::Att22);
    level("Noise LO(12)", Field::Noise21);
    level("Noise HI(12)", Field::Noise22);
    field("Y(12) (dB)", Field::Y12dB);
    field("Teq(12) (K)", Field::Teq2);
    field("NF(12) (dB)", Field::NF2);

    line(QStringLiteral("Device under test(1):"));
    field("Gain(1) (dB)", Field::Gain);
    field("Teq(1) (K)", Field::Teq);
    field("NF(1) (dB)", Field::NF);
    // A converter's results are referred to one sideband of this frequency
    // plan; its lines follow the fixed ones so that those keep their places.
    // Frequency is the RF.
    const DeviceSetup &d = s.device;
    if (d.converter()) {
        const QString &rf = s.text(Field::Frequency);
        data(QStringLiteral("Device mode"), deviceModeName(d.mode));
        data(QStringLiteral("LO (MHz)"), mhzText(d.loMhz));
        data(QStringLiteral("Sideband"), sidebandKey(d.sideband));
        data(QStringLiteral("Image rejection (dB)"), imageRejectionText(d));
        data(QStringLiteral("IF (MHz)"), IsNumber(rf) ? ifMhzText(d, ParseNumber(rf)) : QString());
    }
    line(QString());
    line(QStringLiteral("Notes:"));
    // The notes keep their own line breaks, as CR LF like every other line.
    line(NotesText(s));
    return r;
}

void SaveTextFile(Session &m, IMessages &messages, IFileDialogs *fileDialogs)
{
    if (!fileDialogs)
        return;
    FileDialogRequest req;
    req.initialDir = QString(); // the process's current directory
    req.filter = kSaveFilter;
    req.filterIndex = kSaveFilterIndex;
    req.fileName = m.ObsTime; // no extension is added
    const std::optional<QString> path = fileDialogs->saveFile(req);
    if (!path)
        return; // cancelled or the dialog failed: nothing written, no message

    // File format: the report in UTF-8 (no byte order mark), CR LF line
    // ends, one more CR LF at the end. QSaveFile writes beside the target
    // and renames on commit, so the old file survives any failure.
    const QByteArray bytes = (TextResults(m) + kCrLf).toUtf8();
    // Unbuffered: a failing write (disk full, file size limit) shows up in
    // write() itself; QSaveFile's commit() does not notice a failed flush of
    // its buffer and would put the cut-off file in place of the old one.
    // Past a file size limit the write must fail like a full disk instead
    // of ending the program by SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    QSaveFile file(*path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    ok = ok && file.write(bytes) == bytes.size() && file.error() == QFileDevice::NoError;
    ok = ok && file.commit();
    if (!ok) {
        messages.showDetailed(QString::fromLatin1(kReportCaption),
                              QStringLiteral("Error saving to ") + *path + QLatin1Char('.'), MsgIcon::Critical,
                              failureDetails(QFileInfo(*path).absolutePath(), file.errorString(),
                                             QStringLiteral("Make room or fix the folder's permissions, or save "
                                                            "to another folder; the previous file, if any, is "
                                                            "unchanged.")));
        return;
    }
    m.sheet().setEnabled(Control::mnuSaveText, false);
}

QString failureDetails(const QString &folder, const QString &reason, const QString &remedy)
{
    return QStringLiteral("Folder: %1\nReason: %2\n%3").arg(QDir::toNativeSeparators(folder), reason, remedy);
}

QString systemReason(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

void CopyTextClip(const Session &m, IClipboard *clipboard)
{
    if (!clipboard)
        return;
    clipboard->clear();
    clipboard->setText(TextResults(m));
}

void PrintForm(IMessages &messages, IPrinting *printing)
{
    if (!printing)
        return;
    const PrintOutcome outcome = printing->printMainWindow();
    if (outcome.cancelled)
        return;
    if (outcome.failed)
        messages.show(QString::fromLatin1(kReportCaption), QStringLiteral("The form can't be printed."),
                      MsgIcon::None);
}

void CopyField(const Sheet &s, IClipboard *clipboard, Field f)
{
    if (!clipboard || f == Field::Count)
        return;
    clipboard->clear();
    clipboard->setText(f == Field::Notes ? NotesText(s) : s.text(f));
}
