#pragma once
// The serial port whose DTR and RTS lines switch the noise source and the
// measurement path. Error numbers follow CommErrorText: 8002 no such port,
// 8005 port in use, 8000 operation not valid while the port is opened,
// 8020 the port failed while in use (a vanished device, a refused line
// change), anything else a number outside that table.

#include <QString>

#include <functional>

class ISerialLines
{
public:
    virtual ~ISerialLines() = default;
    // Opens port number `port` at 4800,n,8,1 and sets DTR and RTS; 0 on success.
    virtual int open(int port, bool dtr, bool rts) = 0;
    // Sets both lines of the open port; false when the port refused.
    virtual bool setLines(bool dtr, bool rts) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // 0 while the open port works; else the error number of the first
    // failure seen since it was opened. Looks at the device, so a port that
    // vanished since is noticed here at the latest.
    virtual int fault() = 0;
    // The system's words for the failure fault() reports (for instance
    // "Input/output error"); empty while healthy or when nothing more is known.
    virtual QString faultDetail() const { return QString(); }
    // Calls `onFault` from the event loop, never from inside a call of this
    // interface, when the open port fails on its own (the device vanished or
    // hung up), so that its user hears of it at once instead of at its next
    // look at fault(). One watcher at a time; an empty function and close()
    // drop it. The default suits a port that never fails once open.
    virtual void watchFault(std::function<void()> onFault) { (void)onFault; }
    // The device that a port number means, for the setup dialog.
    virtual QString deviceName(int port) const = 0;
    virtual bool deviceExists(int port) const = 0;
};
