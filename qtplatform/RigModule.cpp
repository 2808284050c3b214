#include "qtplatform/RigModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QTimer>

#define TQX_STR2(x) #x
#define TQX_STR(x) TQX_STR2(x)

namespace {
const char *const kProgramVersion =
    TQX_STR(TQX_VERSION_MAJOR) "." TQX_STR(TQX_VERSION_MINOR) "." TQX_STR(TQX_VERSION_PATCH);
}

RigModule::RigModule(const QStringList &folders) : m_folders(folders.isEmpty() ? defaultFolders() : folders) {}

// The back end waits for its own workers; the module itself stays loaded.
RigModule::~RigModule() = default;

QString RigModule::fileName()
{
    return QStringLiteral(TQX_RIG_MODULE_FILE);
}

QStringList RigModule::defaultFolders()
{
    const QString programDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (programDir.isEmpty())
        return {};
    return {QDir::cleanPath(programDir + QStringLiteral("/" TQX_RIG_MODULE_FROM_BINDIR)), programDir};
}

IRig *RigModule::rig()
{
    if (m_tried)
        return m_rig.get();
    m_tried = true;
    QString path;
    for (const QString &dir : std::as_const(m_folders)) {
        const QString candidate = dir + QLatin1Char('/') + fileName();
        if (QFileInfo::exists(candidate)) {
            path = candidate;
            break;
        }
    }
    if (path.isEmpty()) {
        m_error = QStringLiteral("Receiver control is not available: its module %1 is not installed (looked in %2).")
                      .arg(fileName(), m_folders.join(QStringLiteral(", ")));
        return nullptr;
    }
    QLibrary lib(path);
    lib.setLoadHints(QLibrary::PreventUnloadHint);
    if (!lib.load()) {
        m_error = QStringLiteral("Receiver control is not available: %1.").arg(lib.errorString());
        return nullptr;
    }
    const auto version = reinterpret_cast<RigModuleVersionFn>(lib.resolve(TQX_RIG_MODULE_VERSION_SYMBOL));
    const auto create = reinterpret_cast<RigModuleCreateFn>(lib.resolve(TQX_RIG_MODULE_CREATE_SYMBOL));
    if (!version || !create) {
        m_error = QStringLiteral("Receiver control is not available: %1 is not a TQX receiver module.").arg(path);
        return nullptr;
    }
    if (qstrcmp(version(), kProgramVersion) != 0) {
        m_error = QStringLiteral("Receiver control is not available: %1 belongs to TQX %2, not %3.")
                      .arg(path, QString::fromLatin1(version()), QString::fromLatin1(kProgramVersion));
        return nullptr;
    }
    m_rig.reset(create());
    if (!m_rig)
        m_error = QStringLiteral("Receiver control is not available: %1 could not start.").arg(path);
    return m_rig.get();
}

void RigModule::refuse(Done done)
{
    const quint64 id = ++m_lastRefusal;
    m_refusal = id;
    QTimer::singleShot(0, this, [this, id, done = std::move(done)] {
        if (m_refusal != id)
            return; // cancelled, closed, or replaced by a later call
        m_refusal = 0;
        RigResult r;
        r.error = m_error;
        if (done)
            done(r);
    });
}

QList<RigModelInfo> RigModule::models()
{
    IRig *r = rig();
    return r ? r->models() : QList<RigModelInfo>();
}

void RigModule::open(const RigConfig &config, int timeoutMs, Done done)
{
    if (IRig *r = rig())
        return r->open(config, timeoutMs, std::move(done));
    refuse(std::move(done));
}

void RigModule::tune(double hz, int timeoutMs, Done done)
{
    if (IRig *r = rig())
        return r->tune(hz, timeoutMs, std::move(done));
    refuse(std::move(done));
}

void RigModule::readFrequency(int timeoutMs, Done done)
{
    if (IRig *r = rig())
        return r->readFrequency(timeoutMs, std::move(done));
    refuse(std::move(done));
}

void RigModule::cancel()
{
    m_refusal = 0;
    if (m_rig)
        m_rig->cancel();
}

void RigModule::close()
{
    m_refusal = 0;
    if (m_rig)
        m_rig->close();
}
