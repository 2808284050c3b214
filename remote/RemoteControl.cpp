#include "remote/RemoteControl.h"

#include "instrument/Instrument.h"
#include "platform/SettingsStore.h"

namespace {
const QString kSection = QStringLiteral("Remote");
} // namespace

RemoteSettings loadRemoteSettings(ISettingsStore &store)
{
    RemoteSettings s;
    s.enabled = store.get(kSection, QStringLiteral("Enabled"), QString()) == QLatin1String("True");
    bool ok = false;
    const int port = store.get(kSection, QStringLiteral("Port"), QString()).toInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        s.port = port;
    s.allInterfaces = store.get(kSection, QStringLiteral("Interface"), QString()) == QLatin1String("all");
    s.enrFolder = store.get(kSection, QStringLiteral("EnrFolder"), QString());
    return s;
}

void saveRemoteSettings(ISettingsStore &store, const RemoteSettings &s)
{
    store.save(kSection, QStringLiteral("Enabled"),
               s.enabled ? QStringLiteral("True") : QStringLiteral("False"));
    store.save(kSection, QStringLiteral("Port"), QString::number(s.port));
    store.save(kSection, QStringLiteral("Interface"),
               s.allInterfaces ? QStringLiteral("all") : QStringLiteral("local"));
    store.save(kSection, QStringLiteral("EnrFolder"), s.enrFolder);
    store.flush();
}

RemoteControl::RemoteControl(Instrument &m, QObject *parent) : QObject(parent), m_instrument(m)
{
    if (ISettingsStore *store = m.services().settings)
        m_settings = loadRemoteSettings(*store);
    ScpiOptions options;
    options.enrFolder = m_settings.enrFolder;
    m_server = std::make_unique<ScpiServer>(m, options);
    connect(m_server.get(), &ScpiServer::clientChanged, this, &RemoteControl::statusChanged);
}

QString RemoteControl::restore()
{
    if (!m_settings.enabled)
        return QString();
    const QString e = m_server->listen(quint16(m_settings.port), m_settings.allInterfaces);
    Q_EMIT statusChanged();
    return e;
}

QString RemoteControl::apply(const RemoteSettings &s)
{
    m_settings = s;
    if (ISettingsStore *store = m_instrument.services().settings)
        saveRemoteSettings(*store, s);
    m_server->session().setEnrFolder(s.enrFolder);
    QString e;
    if (s.enabled)
        e = m_server->listen(quint16(s.port), s.allInterfaces);
    else
        m_server->close();
    Q_EMIT statusChanged();
    return e;
}

QString RemoteControl::statusText() const
{
    if (!m_server->isListening())
        return QString();
    const QString client = m_server->client();
    return client.isEmpty() ? QStringLiteral("Remote: port %1").arg(m_server->port())
                            : QStringLiteral("Remote: ") + client;
}
