// The update response: the document parser, the patterns and the outcome over arbitrary bytes.
#include "help/UpdateResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HttpResult res;
    res.status = 200;
    res.body = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    QString baseUrl = QStringLiteral("http://tqx.example.org/tqx/");
    evaluateUpdateResponse(res, 10000, QStringLiteral("1.0.0"), QStringLiteral("1.0.0"), baseUrl);
    const QString text = QString::fromUtf8(res.body);
    const qsizetype cut = text.indexOf(QLatin1Char('\n'));
    globMatch(text.mid(cut + 1), text.left(qMax<qsizetype>(cut, 0))); // first line as the pattern
    updaterVersionFromOutput(res.body);
    return 0;
}
