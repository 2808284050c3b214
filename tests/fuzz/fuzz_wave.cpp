// The wave header walk and the level analysis over arbitrary file bytes.
#include "acquire/Wave.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const WaveInfo info = ReadWaveHeader(file);
    if (info.Rate > 0)
        analyseLevel(file, file.pos(), info.Samples, info.Rate, true);
    return 0;
}
