// The SCPI reading over arbitrary bytes: each line split into commands, every
// header tried against the server's patterns, every parameter read as a
// number, a boolean and a string, and the answers formatted back.
#include "remote/ScpiParser.h"

#include <QList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(scpi::kMaxLineBytes))
        return 0; // the server drops longer lines before they reach the parser
    static const QList<scpi::Pattern> patterns = {
        scpi::Pattern(QStringLiteral("[SENSe]:FREQuency:STARt")),
        scpi::Pattern(QStringLiteral("SYSTem:ERRor[:NEXT]")),
        scpi::Pattern(QStringLiteral("TQX:ATTenuator#:TEMPerature")),
        scpi::Pattern(QStringLiteral("FETCh:ARRay[:DATA]:CORRected:NFIGure:UNCertainty")),
        scpi::Pattern(QStringLiteral("*IDN")),
    };
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const scpi::ParsedLine parsed = scpi::parseLine(line);
    for (const scpi::Command &c : parsed.commands) {
        QVector<int> suffixes;
        for (const scpi::Pattern &p : patterns)
            p.matches(c, &suffixes);
        for (const QString &param : c.params) {
            for (scpi::Unit u :
                 {scpi::Unit::None, scpi::Unit::Hertz, scpi::Unit::Decibel, scpi::Unit::Second})
                if (const std::optional<scpi::Numeric> n = scpi::parseNumeric(param, u))
                    scpi::nr3(n->value);
            scpi::parseBoolean(param);
            scpi::parseString(param);
            scpi::isMnemonic(param, QStringLiteral("SWEep"));
        }
    }
    return 0;
}
