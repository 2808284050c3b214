#pragma once
// An asynchronous action (a reading, a sweep, a playback): it runs while
// the event loop keeps the window alive, can be cancelled at any moment, and
// says when it has ended. Its owner runs one at a time. UI thread.

#include <QObject>

class Operation : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Stops at once: devices and serial lines released, partial files gone,
    // nothing written to the sheet, no message. `ended` follows before the
    // call returns. Does nothing once the operation has ended.
    virtual void cancel() = 0;

Q_SIGNALS:
    // Emitted once, at the very end (after any message).
    void ended();
};
