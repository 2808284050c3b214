#include "acquire/NoiseSwitch.h"

#include "platform/Messages.h"
#include "platform/Serial.h"
#include "sheet/NumText.h"
#include "sheet/Session.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {

// Reported when switching is enabled but the program has no serial back end
// at all; outside the error table, so it reads "Other error...".
constexpr int kNoSerialBackend = 9999;
// "Port ERROR": the port failed while a reading held it.
constexpr int kPortFailed = 8020;

const QString kTitle = QStringLiteral("TQX");

QStringList numberItems(int first, int last)
{
    QStringList items;
    for (int i = first; i <= last; ++i)
        items << QString::number(i);
    return items;
}

} // namespace

QString CommErrorText(int number)
{
    switch (number) {
    case 8021:
        return QStringLiteral("Internal error retrieving device control block for the port");
    case 394:
        return QStringLiteral("Property is write-only");
    case 380:
        return QStringLiteral("Invalid property value");
    case 8005:
    case 8012:
        return QStringLiteral("Port In Use");
    case 8002:
        return QStringLiteral("Invalid port number");
    case 8018:
        return QStringLiteral("Operation valid only when the port is open");
    case 8000:
        return QStringLiteral("Operation not valid while the port is opened");
    case 8015:
    case 8020:
        return QStringLiteral("Port ERROR");
    case 383:
        return QStringLiteral("Property is read-only");
    default:
        return QStringLiteral("Other error...");
    }
}

int NoiseSwitchOn(const NoiseSourceLines &lines, bool sourceOn, bool combined)
{
    if (!lines.enabled)
        return 0;
    ISerialLines *serial = lines.serial;
    if (!serial)
        return kNoSerialBackend;
    // The back end opens at 4800,n,8,1 and sets both lines right after the
    // open (the kernel raises DTR and RTS on open of a real UART).
    const int rc = serial->open(lines.port, sourceOn, combined);
    if (rc != 0) {
        // Whatever failed, leave nothing asserted and nothing open, so that
        // the next reading starts from a closed port.
        NoiseSwitchOff(lines);
        return rc;
    }
    return 0;
}

// Only meaningful between a successful NoiseSwitchOn and NoiseSwitchOff.
int NoiseSwitchFault(const NoiseSourceLines &lines)
{
    ISerialLines *serial = lines.serial;
    if (!lines.enabled || !serial)
        return 0;
    // Switched on and closed since: something else let go of the port.
    return serial->isOpen() ? serial->fault() : kPortFailed;
}

void NoiseSwitchWatch(const NoiseSourceLines &lines, std::function<void()> onFault)
{
    if (lines.enabled && lines.serial)
        lines.serial->watchFault(std::move(onFault));
}

QString PortFaultMessage(const NoiseSourceLines &lines, int number)
{
    QString text = QStringLiteral("Error: ") + CommErrorText(number);
    if (!lines.enabled || !lines.serial)
        return text;
    const QString device = lines.serial->deviceName(lines.port);
    const QString detail = lines.serial->faultDetail();
    text += QStringLiteral("\n\nComm Port %1").arg(lines.port);
    if (!device.isEmpty())
        text += QStringLiteral(" (") + device + QLatin1Char(')');
    text += QStringLiteral(" failed during the reading");
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    return text + QLatin1Char('.');
}

void NoiseSwitchOff(const NoiseSourceLines &lines)
{
    ISerialLines *serial = lines.serial;
    if (!serial)
        return;
    serial->watchFault({}); // whatever happens now is no reading's concern
    if (!serial->isOpen())
        return;
    serial->setLines(false, false); // source off, instrument path
    serial->close();
}

void ReportPortError(IMessages &messages, int number)
{
    messages.show(kTitle, QStringLiteral("Error: ") + CommErrorText(number), MsgIcon::Critical);
}

// --- frmComSetup model ------------------------------------------------------

QStringList ComSetup::portItems()
{
    return numberItems(1, 99);
}

QStringList ComSetup::speedItems()
{
    return {QStringLiteral("1200"), QStringLiteral("2400"),  QStringLiteral("4800"),
            QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")};
}

QStringList ComSetup::parityItems()
{
    return {QStringLiteral("N"), QStringLiteral("Y")};
}
QStringList ComSetup::dbitsItems()
{
    return {QStringLiteral("7"), QStringLiteral("8")};
}
QStringList ComSetup::sbitsItems()
{
    return numberItems(0, 2);
}

void ComSetup::load(const Session &session)
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_enabled = session.ComEnabled == 1;
    m_portText = QString::number(session.ComPort);
}

bool ComSetup::parsePort(const QString &text, int *port)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,4}$"));
    const QString t = text.trimmed();
    if (!digits.match(t).hasMatch())
        return false;
    const int n = t.toInt();
    if (n < 1 || n > 99)
        return false;
    if (port)
        *port = n;
    return true;
}

bool ComSetup::ok(Session &session, IMessages &messages)
{
    int port = 0;
    if (!parsePort(m_portText, &port)) {
        messages.show(QStringLiteral("Value error:"),
                      QStringLiteral("The Comm Port must be a whole number from 1 to 99."), MsgIcon::None);
        return false;
    }
    session.ComEnabled = m_enabled ? 1 : 0;
    session.ComPort = port;
    m_portText = QString::number(port);
    return true;
}

ComSetup::AccCheck ComSetup::validateAcc(const QString &text)
{
    // The leading number of the text, as a whole-number field reads it:
    // blanks, sign, digits, one decimal point ("." or the locale's), exponent.
    // Anything after it is ignored; no number at all counts as 0.
    QString t = text;
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        t.replace(point, QStringLiteral("."));
    static const QRegularExpression leading(
        QStringLiteral("^\\s*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)"));
    double value = 0;
    const QRegularExpressionMatch mt = leading.match(t);
    if (mt.hasMatch()) {
        bool ok = false;
        value = mt.captured(1).toDouble(&ok);
        if (!ok || !std::isfinite(value))
            value = 0; // out of range of a double: no usable number
    }
    AccCheck r;
    if (value < 0) {
        value = 0;
        r.keepFocus = true;
    }
    r.text = FormatFixed(value, QStringLiteral("0"));
    return r;
}
