#pragma once
// The remote control as the window program offers it: off by default; on,
// the SCPI server on a port (5025 by default) of this computer only
// (127.0.0.1 and ::1) or of all networks. The choice is remembered in the
// settings store's section "Remote" and applied again at the next start.
// Instrument thread.

#include "remote/ScpiServer.h"

#include <QObject>
#include <QString>

class ISettingsStore;

struct RemoteSettings {
    bool enabled = false;
    int port = kScpiDefaultPort;
    bool allInterfaces = false;
    QString enrFolder; // where clients may load ENR tables from; empty: nowhere
};
RemoteSettings loadRemoteSettings(ISettingsStore &store);
void saveRemoteSettings(ISettingsStore &store, const RemoteSettings &s);

class RemoteControl : public QObject
{
    Q_OBJECT
public:
    // Creates the server (not yet listening). Create it before any window's
    // message host, so that a remote run's messages reach its client.
    explicit RemoteControl(Instrument &m, QObject *parent = nullptr);

    // Applies the remembered choice (at start-up); the reason when the port
    // cannot be opened (the choice stays remembered).
    QString restore();
    // Applies and remembers `s`; the reason when the port cannot be opened.
    QString apply(const RemoteSettings &s);
    RemoteSettings settings() const { return m_settings; }
    ScpiServer &server() { return *m_server; }
    // "Remote: 127.0.0.1" with a client, "Remote: port 5025" while waiting,
    // empty when off.
    QString statusText() const;

Q_SIGNALS:
    void statusChanged();

private:
    Instrument &m_instrument;
    RemoteSettings m_settings;
    std::unique_ptr<ScpiServer> m_server;
};
