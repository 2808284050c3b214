#include "qtplatform/SerialQt.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

constexpr int kErrAlreadyOpen = 8000; // "Operation not valid while the port is opened"
constexpr int kErrNoSuchPort = 8002;  // "Invalid port number"
constexpr int kErrPortInUse = 8005;   // "Port In Use"

struct PortBlock {
    int first;          // first port number of the block
    int last;           // last port number of the block
    const char *prefix; // device name without its index
};

// The fixed numbering rule (see SerialQt.h).
constexpr PortBlock kBlocks[] = {
    {1, 16, "/dev/ttyS"},
    {17, 40, "/dev/ttyUSB"},
    {41, 64, "/dev/ttyACM"},
    {65, 80, "/dev/ttyAMA"},
};

// An 8250 node exists for every configured UART slot whether or not the
// hardware is there; sysfs reports type 0 (PORT_UNKNOWN) for an empty slot.
bool emptyUartSlot(const QString &device)
{
    if (!device.startsWith(QLatin1String("/dev/ttyS")))
        return false;
    QFile type(QStringLiteral("/sys/class/tty/") + QFileInfo(device).fileName() + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return false; // no sysfs entry: trust the device node
    return type.read(16).trimmed() == "0";
}

} // namespace

SerialQt::SerialQt()
{
    // A device that hangs up or vanishes while open shows as a read error
    // from the port's notifier (EIO on the descriptor), which comes from the
    // event loop as soon as the kernel reports it; remember the first one
    // until the close.
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port, [this](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError && m_port.isOpen())
            noteFault();
    });
}

void SerialQt::noteFault()
{
    if (m_fault != 0)
        return;
    m_fault = kPortFailed;
    m_faultDetail = m_port.errorString();
    // Queued: the signal may come from inside one of our own calls
    // (setLines, fault), and the watcher closes the port.
    QMetaObject::invokeMethod(
        &m_port,
        [this] {
            if (m_fault == 0 || !m_onFault)
                return; // closed or no longer watched meanwhile
            // A copy: the watcher may drop the watch while it runs.
            const std::function<void()> onFault = m_onFault;
            onFault();
        },
        Qt::QueuedConnection);
}

SerialQt::~SerialQt()
{
    // Never leave the noise source powered when the program goes away.
    if (m_port.isOpen()) {
        applyLines(false, false);
        m_port.close();
    }
}

QString SerialQt::overrideVariable(int port)
{
    return QStringLiteral("TQX_SERIAL_PORT_%1").arg(port);
}

QString SerialQt::defaultDevice(int port)
{
    for (const PortBlock &b : kBlocks) {
        if (port >= b.first && port <= b.last)
            return QLatin1String(b.prefix) + QString::number(port - b.first);
    }
    return QString();
}

QString SerialQt::deviceName(int port) const
{
    if (port < kFirstPort || port > kLastPort)
        return QString();
    const QString overridden = qEnvironmentVariable(overrideVariable(port).toLatin1().constData());
    if (!overridden.isEmpty())
        return overridden;
    return defaultDevice(port);
}

bool SerialQt::deviceExists(int port) const
{
    const QString device = deviceName(port);
    return !device.isEmpty() && QFileInfo::exists(device) && !emptyUartSlot(device);
}

bool SerialQt::isOpen() const
{
    return m_port.isOpen();
}

int SerialQt::openErrorNumber(QSerialPort::SerialPortError error, const QString &device)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return kErrNoSuchPort;
    case QSerialPort::ResourceError:
        // EIO on open: a device node without hardware behind it (an empty
        // UART slot, an unplugged adapter whose node lingers).
        return kErrNoSuchPort;
    case QSerialPort::PermissionError:
        // QSerialPort reports a lock file held by another program, and EBUSY
        // from a device another program opened with TIOCEXCL, as permission
        // errors. When we may read and write the node, it is one of those.
        if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0)
            return kErrPortInUse;
        return kOtherErrorBase + error;
    case QSerialPort::OpenError:
        return kErrAlreadyOpen;
    default:
        return kOtherErrorBase + error;
    }
}

int SerialQt::open(int port, bool dtr, bool rts)
{
    if (m_port.isOpen())
        return kErrAlreadyOpen;
    const QString device = deviceName(port);
    if (device.isEmpty())
        return kErrNoSuchPort;

    m_port.setPortName(device); // an absolute path is used as it is
    m_port.setBaudRate(QSerialPort::Baud4800);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl); // RTS is ours, not the flow control's
    m_fault = 0;
    m_faultDetail.clear();
    if (!m_port.open(QIODevice::ReadWrite)) {
        const int number = openErrorNumber(m_port.error(), device);
        m_port.clearError();
        m_fault = 0;
        return number;
    }
    // The open raised both lines; put them where this reading wants them.
    if (!applyLines(dtr, rts)) {
        const int number = kOtherErrorBase + m_port.error();
        m_port.clearError();
        applyLines(false, false);
        m_port.close();
        m_port.clearError();
        m_fault = 0;
        return number;
    }
    return 0;
}

bool SerialQt::applyLines(bool dtr, bool rts)
{
    const bool dtrOk = m_port.setDataTerminalReady(dtr);
    const bool rtsOk = m_port.setRequestToSend(rts);
    return dtrOk && rtsOk;
}

bool SerialQt::setLines(bool dtr, bool rts)
{
    if (!m_port.isOpen())
        return false;
    const bool ok = applyLines(dtr, rts);
    if (!ok)
        noteFault();
    m_port.clearError();
    return ok;
}

int SerialQt::fault()
{
    if (!m_port.isOpen() || m_fault != 0)
        return m_fault;
    // Ask the device for its modem lines: a vanished device fails here
    // even before its notifier has fired.
    m_port.pinoutSignals();
    if (m_port.error() != QSerialPort::NoError)
        noteFault();
    m_port.clearError();
    return m_fault;
}

void SerialQt::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
    m_fault = 0;
    m_faultDetail.clear();
    m_onFault = nullptr;
}
