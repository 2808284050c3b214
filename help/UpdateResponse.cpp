#include "help/UpdateResponse.h"

#include "sheet/NumText.h"

#include <QRegularExpression>
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
        default:
            break;
        }
    }
    if (xml.hasError())
        return UpdateDocument{};
    doc.wellFormed = true;
    return doc;
}

QString updaterVersionFromOutput(const QByteArray &output)
{
    static const QRegularExpression dotted(QStringLiteral("[0-9]+(?:\\.[0-9]+)+"));
    return dotted.match(QString::fromLocal8Bit(output.left(4096))).captured(0);
}

UpdateOutcome evaluateUpdateResponse(const HttpResult &res, int timeoutMs, const QString &installed,
                                     const QString &running, QString &baseUrl)
{
    UpdateOutcome out;
    if (res.status == 0) {
        if (res.timedOut)
            out.message = QStringLiteral("Update site not reachable: no answer within %1 s.")
                              .arg(qMax(1, (timeoutMs + 500) / 1000));
        else
            out.message = QStringLiteral("Update site not reachable: ") +
                          (res.error.isEmpty() ? QStringLiteral("unknown error.") : res.error);
        return out;
    }
    if (res.status != 200) {
        out.message = kNotProperly + QStringLiteral(" HTTP status=") + QString::number(res.status);
        return out;
    }
    out.message = kNotProperly;
    if (res.truncated || res.timedOut)
        return out;
    const UpdateDocument doc = parseUpdateDocument(res.body);
    const QString title = QStringLiteral("tqx");
    if (!doc.wellFormed || !doc.hasUrl ||
        !globMatch(doc.url, QStringLiteral("http://*/") + title + QLatin1Char('/')))
        return out;
    baseUrl = doc.url; // moves even when the version below is refused
    if (!doc.hasVersion || !globMatch(doc.version, QStringLiteral("*#.*#.*#")))
        return out;
    out.verlifterEnabled = VersionCompare(installed, QStringLiteral("0.0.0"), 3) == 1;
    if (VersionCompare(doc.version, running, 3) == 1) {
        out.message = QStringLiteral("New version available: ") + doc.version;
        out.supportVisible = true;
    } else {
        out.message = QStringLiteral("Version ") + running + QStringLiteral(" is current");
    }
    return out;
}
