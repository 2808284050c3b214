// End to end on a private PulseAudio server: cold and hot tones 10 dB apart played into its null sink
// while buttons 1 and 2 read them through Qt Multimedia. TQX_ALLOW_SKIP_AUDIO skips without a server.
#include "acquire/Sequence.h"
#include "sheet/Meter.h"
#include "sheet/NumText.h"
#include "platform/qt/AudioQt.h"
#include "support/AudioFixtures.h"
#include "support/TestPlatform.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>

class TestSequencePulse : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_pulseDir;

    // Plays `tone` into the sink while `button` takes its reading.
    void readWhilePlaying(Meter &m, const QString &tone, Control button)
    {
        QProcess player;
        player.start(QStringLiteral("paplay"), {QStringLiteral("--device=tqx_out"), tone});
        QVERIFY(player.waitForStarted(5000));
        QTest::qWait(500); // the stream runs before the recording starts
        m.click(button);
        player.kill();
        player.waitForFinished(3000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLocale::setDefault(QLocale::c());
        const QString why = startPulseServer(&m_pulseDir);
        if (!why.isEmpty()) {
            if (qEnvironmentVariableIsSet("TQX_ALLOW_SKIP_AUDIO"))
                QSKIP(qPrintable(why));
            QFAIL(qPrintable(why));
        }
        QVERIFY(writeToneWave(m_dir.filePath(QStringLiteral("TQX.wav")), 0, 997, 0.001));
    }

    void cleanupTestCase()
    {
        stopPulseServer(m_pulseDir);
    }

    void instrumentYFactorOfTenDb()
    {
        const QString cold = m_dir.filePath(QStringLiteral("cold.wav"));
        const QString hot = m_dir.filePath(QStringLiteral("hot.wav"));
        QVERIFY(writeToneWave(cold, 0.03, 997, 15));
        QVERIFY(writeToneWave(hot, 0.03 * std::sqrt(10.0), 997, 15)); // +10 dB

        TestBench bench;
        AudioQt audio;
        Platform p = bench.platform();
        p.audio = &audio;
        Meter &m = bench.meter;
        m.setPlatform(p);
        m.AppDir = m_dir.path() + QLatin1Char('/');
        m.TempWave = m_dir.filePath(QStringLiteral("~0000E2E0"));
        Sheet &s = m.sheet();
        s.setChecked(Control::mnuOptionsLimits, true);
        for (auto [f, t] : {std::pair{Field::Interval, "1"}, {Field::Tatt1, "290"}, {Field::Tatt2, "290"}, {Field::Tcold, "290"},
                            {Field::Thot, "9460"}, {Field::Att11, "0"}, {Field::Att12, "0"}, {Field::Att21, "0"}, {Field::Att22, "0"}})
            s.setText(f, QString::fromLatin1(t));

        // The zero of an idle null sink; whatever it is, never -inf or nan.
        m.click(Control::btnNoise00);
        QCOMPARE(bench.messages.texts(), QStringList());
        const QString zero = s.text(Field::Noise00);
        QVERIFY2(zero == kSilenceText || IsNumber(zero), qPrintable(zero));

        readWhilePlaying(m, cold, Control::btnNoise11);
        readWhilePlaying(m, hot, Control::btnNoise12);
        QCOMPARE(bench.messages.texts(), QStringList());
        // A 0.03 FS sine is 10 log10(0.03^2 / 2) = -33.47 dBFS.
        QVERIFY2(std::abs(ParseNumber(s.text(Field::Noise11)) + 33.47) < 0.2, qPrintable(s.text(Field::Noise11)));
        QVERIFY2(std::abs(ParseNumber(s.text(Field::Y2dB)) - 10.0) < 0.1,
                 qPrintable(QStringLiteral("Y = %1 dB (HI %2)").arg(s.text(Field::Y2dB), s.text(Field::Noise12))));
        QCOMPARE(s.colour(Field::Noise12), Colour::WindowText);
    }
};

QTEST_GUILESS_MAIN(TestSequencePulse)
#include "tst_sequencepulse.moc"
