#pragma once
// The virtual bench's sound card and serial port: stand-ins for the real
// devices that read from, and switch, a Bench model instead of hardware.
//
// BenchAudio records the receiver's simulated audio output as fast as the
// event loop turns (no real-time pacing: a reading takes milliseconds, not
// seconds), half a second of samples per turn so that a cancel is seen at
// once; its stream delivers 0.1 s every 100 ms, paused while a recording
// runs. BenchSerial
// is a port whose DTR line powers the simulated noise source and whose RTS
// line puts the simulated DUT in the path, with the error numbers of the
// real port. Both are owned by their Bench and used on the user-interface
// thread only.

#include "platform/Audio.h"
#include "platform/Serial.h"

class Bench;

// Error numbers of BenchAudio::record, outside the real back end's range.
namespace BenchAudioError {
inline constexpr int BadFormat = 30; // rate not positive, or a negative sample count
inline constexpr int TooLong = 31;   // more samples than a recording may hold
inline constexpr int Settings = 32;  // the bench cannot simulate its current settings
} // namespace BenchAudioError

class BenchAudio : public IAudio
{
public:
    explicit BenchAudio(Bench &bench) : m_bench(bench) {}

    // Exactly `samples` samples of the bench's state (source, path,
    // receiver connection) at the time of each block.
    std::unique_ptr<AudioJob> record(int rate, qint64 samples) override;
    std::unique_ptr<AudioJob> stream(int rate) override;
    // Nothing to hear on a virtual bench: it succeeds silently.
    std::unique_ptr<AudioJob> play(const QString &wavFile) override;
    void beep(int hz, int ms) override;
    bool hasInput() override { return true; }
    // One virtual input and one virtual output, each the default.
    static constexpr const char *kDeviceId = "tqx-virtual-bench";
    QList<AudioDevice> inputDevices() override { return {virtualDevice()}; }
    QList<AudioDevice> outputDevices() override { return {virtualDevice()}; }
    bool setInputDevice(const QString &id) override { return id.isEmpty() || id == QLatin1String(kDeviceId); }
    bool setOutputDevice(const QString &id) override { return setInputDevice(id); }

    int recordings() const { return m_recordings; } // completed recordings
    // Recordings running now (streams pause meanwhile).
    int activeRecordings() const { return m_active; }

private:
    static AudioDevice virtualDevice()
    {
        return {QString::fromLatin1(kDeviceId), QStringLiteral("Virtual bench sound card"), true};
    }
    friend class BenchJob;
    Bench &m_bench;
    int m_recordings = 0;
    int m_active = 0;
};

class BenchSerial : public ISerialLines
{
public:
    static constexpr int kFirstPort = 1; // the port numbers the setup dialog offers
    static constexpr int kLastPort = 99;
    static constexpr int kErrAlreadyOpen = 8000;
    static constexpr int kErrNoSuchPort = 8002;

    explicit BenchSerial(Bench &bench) : m_bench(bench) {}

    // Every port number 1..99 exists on the bench; DTR and RTS drive the
    // bench while the port is open. 8000 when it is open already, 8002 for
    // a number outside 1..99.
    int open(int port, bool dtr, bool rts) override;
    bool setLines(bool dtr, bool rts) override;
    // The bench's port never fails once open.
    int fault() override { return 0; }
    // Releases both lines: the bench falls back to its manual switches.
    void close() override;
    bool isOpen() const override { return m_open; }
    QString deviceName(int port) const override;
    bool deviceExists(int port) const override;

    int openedPort() const { return m_port; } // 0 while closed

private:
    Bench &m_bench;
    bool m_open = false;
    int m_port = 0;
};
