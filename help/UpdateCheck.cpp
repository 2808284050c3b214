#include "help/UpdateCheck.h"

#include "sheet/Meter.h"
#include "sheet/NumText.h"
#include "help/HelpLinks.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <QXmlStreamReader>

namespace {

const QString kNotProperly = QStringLiteral("Update site not responding properly.");

} // namespace

bool globMatch(const QString &text, const QString &pattern)
{
    // Greedy scan with one backtracking point: on a mismatch, let the most
    // recent '*' swallow one more character. Linear in practice.
    qsizetype t = 0, p = 0, starP = -1, starT = 0;
    auto matchesOne = [](QChar pc, QChar tc) {
        if (pc == QLatin1Char('#'))
            return tc >= QLatin1Char('0') && tc <= QLatin1Char('9');
        return pc == tc;
    };
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && matchesOne(pattern[p], text[t])) {
            ++p;
            ++t;
        } else if (starP >= 0) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

UpdateDocument parseUpdateDocument(const QByteArray &body)
{
    UpdateDocument doc;
    QXmlStreamReader xml(body);
    // Entities are refused outright below; the limit is a second fence.
    xml.setEntityExpansionLimit(1024);
    int depth = 0;
    int urlDepth = -1, versionDepth = -1; // depth of the element being collected
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty())
                return UpdateDocument{}; // entity-expansion bombs and external entities
            break;
        case QXmlStreamReader::EntityReference:
            return UpdateDocument{};
        case QXmlStreamReader::StartElement:
            ++depth;
            if (!doc.hasUrl && xml.name() == QLatin1String("url")) {
                doc.hasUrl = true;
                urlDepth = depth;
            } else if (!doc.hasVersion && xml.name() == QLatin1String("version")) {
                doc.hasVersion = true;
                versionDepth = depth;
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == urlDepth)
                urlDepth = -1;
            if (depth == versionDepth)
                versionDepth = -1;
            --depth;
            break;
        case QXmlStreamReader::Characters:
            // Text content includes that of nested elements.
            if (urlDepth >= 0)
                doc.url += xml.text();
            if (versionDepth >= 0)
                doc.version += xml.text();
            break;
        default: break;
        }
    }
    if (xml.hasError())
        return UpdateDocument{};
    doc.wellFormed = true;
    return doc;
}

QString installedUpdaterVersion()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("verlifter"));
    if (program.isEmpty())
        return {};
    QProcess proc;
    proc.setStandardInputFile(QProcess::nullDevice());
    proc.setStandardErrorFile(QProcess::nullDevice());
    proc.start(program, {QStringLiteral("--version")});
    if (!proc.waitForStarted(2000))
        return {};
    if (!proc.waitForFinished(2000)) {
        proc.kill();
        proc.waitForFinished(500);
        return {};
    }
    const QString out = QString::fromLocal8Bit(proc.read(4096));
    static const QRegularExpression dotted(QStringLiteral("[0-9]+(?:\\.[0-9]+)+"));
    return dotted.match(out).captured(0);
}

void UpdateCheck::run(Meter &m)
{
    m_message.clear();
    m_verlifterEnabled = false;
    m_supportVisible = false;

    const QString installed = installedUpdaterVersion();

    IHttp *http = m.platform().http;
    if (!http) {
        m_message = QStringLiteral("Update site not reachable: no network access available.");
        return;
    }
    const HttpResult res = http->get(QUrl(m.BaseUrl + QStringLiteral("Update.xml")), m_timeoutMs, kMaxBodyBytes);
    if (res.status == 0) {
        if (res.timedOut)
            m_message = QStringLiteral("Update site not reachable: no answer within %1 s.")
                            .arg(qMax(1, (m_timeoutMs + 500) / 1000));
        else
            m_message = QStringLiteral("Update site not reachable: ") +
                        (res.error.isEmpty() ? QStringLiteral("unknown error.") : res.error);
        return;
    }
    if (res.status != 200) {
        m_message = kNotProperly + QStringLiteral(" HTTP status=") + QString::number(res.status);
        return;
    }
    if (res.truncated || res.timedOut) {
        m_message = kNotProperly;
        return;
    }
    const UpdateDocument doc = parseUpdateDocument(res.body);
    const QString title = QStringLiteral("tqx");
    if (!doc.wellFormed || !doc.hasUrl || !globMatch(doc.url, QStringLiteral("http://*/") + title + QLatin1Char('/'))) {
        m_message = kNotProperly;
        return;
    }
    m.BaseUrl = doc.url; // moves even when the version below is refused
    if (!doc.hasVersion || !globMatch(doc.version, QStringLiteral("*#.*#.*#"))) {
        m_message = kNotProperly;
        return;
    }
    if (VersionCompare(installed, QStringLiteral("0.0.0"), 3) == 1)
        m_verlifterEnabled = true;
    const QString running = Meter::versionText();
    if (VersionCompare(doc.version, running, 3) == 1) {
        m_message = QStringLiteral("New version available: ") + doc.version;
        m_supportVisible = true;
    } else {
        m_message = QStringLiteral("Version ") + running + QStringLiteral(" is current");
    }
}

void UpdateCheck::launchVerlifter(Meter &m)
{
    IOpener *opener = m.platform().opener;
    if (!opener)
        return;
    const int r = opener->open(m.AppDir + QStringLiteral("TQX.verlift"), m.AppDir);
    const QString caption = QStringLiteral("Verlift unavailable");
    if (r < 31)
        m.message(caption, QStringLiteral("Problem accessing Verlift. (Error %1)").arg(r), MsgIcon::Exclamation);
    else if (r == 31)
        m.message(caption, QStringLiteral("TQX could not find a file association for .verlift on your system."),
                  MsgIcon::Exclamation);
}

void UpdateCheck::openDownloadPage(Meter &m)
{
    OpenUrl(m, m.BaseUrl + QStringLiteral("support.htm#download"));
}
