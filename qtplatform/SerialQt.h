#pragma once
// The noise-source switching port on Linux, through QSerialPort.
//
// Port numbers (1..99, as the setup dialog offers them) name devices by a
// fixed rule, so that a number keeps meaning the same device from run to run:
//
//    1 .. 16  ->  /dev/ttyS0   .. /dev/ttyS15    on-board and PCI UARTs
//   17 .. 40  ->  /dev/ttyUSB0 .. /dev/ttyUSB23  USB serial adapters (FTDI, CP210x, PL2303, CH340)
//   41 .. 64  ->  /dev/ttyACM0 .. /dev/ttyACM23  USB CDC-ACM devices
//   65 .. 80  ->  /dev/ttyAMA0 .. /dev/ttyAMA15  ARM on-chip UARTs (Raspberry Pi and the like)
//   81 .. 99  ->  no device unless overridden
//
// The environment variable TQX_SERIAL_PORT_<n> (for example
// TQX_SERIAL_PORT_3=/dev/serial/by-id/usb-FTDI_...-if00-port0) overrides the
// device of port number n; a non-empty value is used as the device path.
//
// The port is opened at 4800 baud, no parity, 8 data bits, 1 stop bit, no
// flow control, and only its DTR and RTS outputs are used; nothing is ever
// written. Opening a UART raises DTR and RTS, so both are set to the
// requested states right after the open.
//
// Error numbers (the table of CommErrorText):
//   8002  no such device (no device for the number, or the path is missing)
//   8005  held by another program (QSerialPort's lock file, or TIOCEXCL)
//   8000  this port object is already open
//   8020  the open port failed while in use: the device vanished or hung up
//         (QSerialPort::errorOccurred), or it refused a line change
//   9000 + QSerialPort::SerialPortError for anything else ("Other error...")
//
// Owned by the application; user-interface thread only.

#include "platform/Serial.h"

#include <QSerialPort>

class SerialQt : public ISerialLines
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 99;
    static constexpr int kOtherErrorBase = 9000;

    static constexpr int kPortFailed = 8020;

    SerialQt();
    ~SerialQt() override;

    int open(int port, bool dtr, bool rts) override;
    bool setLines(bool dtr, bool rts) override;
    void close() override;
    bool isOpen() const override;
    int fault() override;
    QString faultDetail() const override { return m_faultDetail; }
    void watchFault(std::function<void()> onFault) override { m_onFault = std::move(onFault); }
    QString deviceName(int port) const override;
    bool deviceExists(int port) const override;

    // The device of a port number by the fixed rule alone (empty when none).
    static QString defaultDevice(int port);
    // Name of the environment variable that overrides port number `port`.
    static QString overrideVariable(int port);

private:
    // Maps a QSerialPort failure while opening `device` to an error number.
    static int openErrorNumber(QSerialPort::SerialPortError error, const QString &device);
    bool applyLines(bool dtr, bool rts);

    // Records the first failure since the open and, when it is new, tells
    // the watcher from the event loop.
    void noteFault();

    QSerialPort m_port;
    int m_fault = 0;       // first failure since the open, 0 while healthy
    QString m_faultDetail; // QSerialPort's words for it
    std::function<void()> m_onFault;
};
