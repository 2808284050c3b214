#include "report/TsvRecord.h"
#include "sheet/Version.h"

#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "report/DeviceText.h"
#include "report/TextReport.h"
#include "sheet/NumText.h"
#include "sheet/Session.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The record file's format: see TsvRecord.h.

namespace {

const char *const kHeaderNames[] = {"Program", "Version", "ObsTime", "Title", "Frequency", "Tatt1",
                                    "Tatt2", "Source", "Thot", "Tcold", "Y2", "Teq2",
                                    "NF2", "Y21", "Gain", "Teq", "NF", "Notes"};
// A converter's columns, after all of the above (the settings file's keys).
const char *const kConverterNames[] = {"DeviceMode", "LO", "Sideband", "ImageRejection", "IF"};

QByteArray headerLine(bool converter)
{
    QByteArray line;
    for (const char *name : kHeaderNames)
        line += QByteArray(name) + '\t';
    if (converter)
        for (const char *name : kConverterNames)
            line += QByteArray(name) + '\t';
    return line + "\r\n";
}

QByteArray dataLine(const Session &m)
{
    const Sheet &s = m.sheet();
    QStringList fields = {QStringLiteral("TQX"),
                          versionText(),
                          m.ObsTime,
                          s.text(Field::Title),
                          s.text(Field::Frequency),
                          s.text(Field::Tatt1),
                          s.text(Field::Tatt2),
                          s.text(Field::Source),
                          s.text(Field::Thot),
                          s.text(Field::Tcold),
                          s.text(Field::Y2dB),  // column Y2: the instrument's Y factor (dB)
                          s.text(Field::Teq1),  // column Teq2: the instrument's Teq (K)
                          s.text(Field::NF1),   // column NF2: the instrument's noise figure (dB)
                          s.text(Field::Y12dB), // column Y21: the combination's Y factor (dB)
                          s.text(Field::Gain),
                          s.text(Field::Teq),
                          s.text(Field::NF),
                          UrlEncode(NotesText(s))};
    const DeviceSetup &d = s.device;
    if (d.converter()) {
        const QString &rf = s.text(Field::Frequency);
        fields << deviceModeName(d.mode) << mhzText(d.loMhz) << sidebandKey(d.sideband)
               << imageRejectionText(d) << (IsNumber(rf) ? ifMhzText(d, ParseNumber(rf)) : QString());
    }
    return (fields.join(QLatin1Char('\t')) + QStringLiteral("\r\n")).toUtf8();
}

// One write() per line. With O_APPEND the kernel places each write at the
// end of the file as a whole, so lines of other writers never interleave
// with ours. A short write is followed by one more for the rest, which then
// says why (disk full, file size limit); on any failure the file is cut back
// to the length it had before this line, so that it only ever holds whole
// lines and the next record starts on a line of its own. Returns 0, or the
// errno of the failure.
int writeLine(int fd, const QByteArray &line)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    qsizetype done = 0;
    int error = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + done, static_cast<size_t>(line.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n < 0 ? errno : EIO;
            break;
        }
    }
    if (error == 0)
        return 0;
    if (done > 0) {
        int r;
        do {
            r = ::ftruncate(fd, st.st_size);
        } while (r != 0 && errno == EINTR);
    }
    return error;
}

// Steps 1 to 4 of a recording; 0, or the errno of the first failure.
int appendRecord(const Session &m)
{
    const QByteArray path = QFile::encodeName(m.TsvFileName);
    if (path.isEmpty())
        return ENOENT;
    // A write beyond the file size limit must fail with EFBIG like a full
    // disk, instead of ending the program by SIGXFSZ in the middle of a line.
    std::signal(SIGXFSZ, SIG_IGN);
    // O_NONBLOCK: a FIFO without a reader fails at once instead of hanging
    // the user interface (it has no effect on regular files).
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0)
        return errno;
    struct stat st {};
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (error == 0 && st.st_size == 0)
        error = writeLine(fd, headerLine(m.sheet().device.converter()));
    if (error == 0)
        error = writeLine(fd, dataLine(m));
    // Linux closes the descriptor even when close() reports EINTR.
    if (::close(fd) != 0 && errno != EINTR && error == 0)
        error = errno;
    return error;
}

} // namespace

QString UrlEncode(const QString &text)
{
    static const char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toUtf8();
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out += QLatin1Char(c);
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(kHex[b >> 4]);
            out += QLatin1Char(kHex[b & 0x0F]);
        }
    }
    return out;
}

void RecordTsv(Session &m, IMessages &messages, bool fromButton)
{
    const int error = appendRecord(m);
    if (error == 0) {
        m.sheet().setEnabled(Control::mnuSaveTsv, false);
        m.sheet().setEnabled(Control::btnSaveTsv, false);
        return;
    }
    const QFileInfo file(m.TsvFileName);
    messages.showDetailed(QStringLiteral("TQX"),
                          QStringLiteral("IO Error writing file ") + m.TsvFileName + QLatin1Char('.'),
                          MsgIcon::Critical,
                          failureDetails(file.absolutePath(), systemReason(error),
                                         QStringLiteral("Make room or fix the folder's permissions, choose "
                                                        "another record file with File > TSV record file..., "
                                                        "or start TQX with -t NAME; then record again.")));
    if (fromButton)
        m.sheet().setEnabled(Control::btnSaveTsv, false);
}

void ChooseTsvFile(Session &m, IFileDialogs *fileDialogs)
{
    if (!fileDialogs)
        return;
    FileDialogRequest req;
    req.initialDir = QFileInfo(m.TsvFileName).absolutePath();
    req.filter = QStringLiteral("TSV record (*.tab)|*.tab|All files (*.*)|*");
    req.fileName = QFileInfo(m.TsvFileName).fileName();
    if (const std::optional<QString> path = fileDialogs->saveFile(req))
        m.TsvFileName = *path;
}
