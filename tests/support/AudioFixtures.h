#pragma once
// Audio fixtures of the tests: the headless PulseAudio server
// (scripts/pulse-test-server) and wave files of a known tone.

#include <QString>

// Starts the server and exports its environment into this process (before
// any Qt Multimedia use). Returns an empty text and the server's folder in
// *pulseDir, or the reason it did not start.
QString startPulseServer(QString *pulseDir);
// In a test's initTestCase: starts the private PulseAudio server, failing
// the test (or skipping it where TQX_ALLOW_SKIP_AUDIO is set) when it cannot.
#define TQX_START_PULSE(pulseDir)                                                                                      \
    do {                                                                                                               \
        const QString why_ = startPulseServer(pulseDir);                                                               \
        if (!why_.isEmpty()) {                                                                                         \
            if (qEnvironmentVariableIsSet("TQX_ALLOW_SKIP_AUDIO"))                                                     \
                QSKIP(qPrintable(why_));                                                                               \
            QFAIL(qPrintable(why_));                                                                                   \
        }                                                                                                              \
    } while (false)
void stopPulseServer(const QString &pulseDir);

// A canonical 16-bit mono wave file of a sine of `amplitude` (full scale 1).
bool writeToneWave(const QString &path, double amplitude, double hz, double seconds, int rate = 48000);
