// The Audio input window on the virtual bench: it monitors the bench's sound card (level and noise
// bandwidth agree with the bench's own truth), every control has a name and every reading a value, the
// noise bandwidth goes to the uncertainty calculator, and without a mixer program the mixer entries open
// this window. Closing the bench's window or choosing another input during a sweep leaves every reading
// on the bench.
#include "acquire/Bench.h"
#include "acquire/Monitor.h"
#include "calc/Nmuc.h"
#include "gui/AudioInputWindow.h"
#include "gui/Dialogs.h"
#include "instrument/SweepCommands.h"
#include "sheet/NumText.h"
#include "support/TestPlatform.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QtTest>

#include <cmath>

class TstAudioInputWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }

    void monitorsTheBench()
    {
        TestBench b;
        b.loaded().setRoute(DeviceRoute::Bench);
        AudioInputWindow w(b.meter, nullptr);
        w.show();
        const Monitor &mon = w.monitor();
        QTRY_VERIFY2_WITH_TIMEOUT(mon.history().size() >= 20 && mon.passband().ok, qPrintable(mon.message()),
                                  10000);
        const Bench &bench = b.meter.bench();
        const double expectDb = 10 * std::log10(bench.expectedMeanSquare(bench.state(), mon.rate()));
        QVERIFY2(std::abs(mon.levelDb() - expectDb) < 0.3,
                 qPrintable(QStringLiteral("%1 %2").arg(mon.levelDb()).arg(expectDb)));
        const double enbw = b.meter.bench().noiseBandwidthHz(mon.rate());
        QVERIFY2(std::abs(mon.passband().enbwHz / enbw - 1) < 0.05,
                 qPrintable(QString::number(mon.passband().enbwHz)));
        auto *input = w.findChild<QComboBox *>(QStringLiteral("cboInputDevice"));
        QCOMPARE(input->currentText(), QStringLiteral("Virtual bench sound card"));
        // Screen readers hear each reading's value, not only its name; the bench's noise has no line.
        for (const char *name : {"lblLevel", "lblPeak", "lblHeadroom", "lblEnbw"}) {
            auto *label = w.findChild<QLabel *>(QLatin1String(name));
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(label);
            QCOMPARE(a->text(QAccessible::Name), label->accessibleName());
            QCOMPARE(a->text(QAccessible::Value), label->text());
            QVERIFY2(label->text().contains(QRegularExpression(QStringLiteral("\\d"))), name);
        }
        QVERIFY2(!w.findChild<QLabel *>(QStringLiteral("lblEnbw"))->text().contains(QStringLiteral("line")),
                 qPrintable(w.findChild<QLabel *>(QStringLiteral("lblEnbw"))->text()));
        for (QWidget *c : w.findChildren<QWidget *>()) {
            if (qobject_cast<QAbstractButton *>(c) || qobject_cast<QComboBox *>(c) ||
                c->inherits("QChartView") || c->inherits("QProgressBar"))
                QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
        }
        // The bandwidth button opens the calculator with the noise bandwidth as its Bandwidth.
        QString offered;
        b.windows.onDialog = [&](DialogId id) {
            if (id == DialogId::Nmuc) {
                b.meter.nmuc().load();
                offered = b.meter.nmuc().text(NmucField::Bandwidth);
            }
        };
        w.findChild<QAbstractButton *>(QStringLiteral("btnUseEnbw"))->click();
        QCOMPARE(offered, QString::number(std::round(w.monitor().passband().enbwHz)));
    }

    // The windows show and choose; they never re-route a running sweep. The bench window closed, or the
    // sound card chosen in the Audio input window, after the first point: all six readings of the three
    // points still come from the bench, the sound card records nothing, and the route stays.
    void windowsDuringSweep_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("bench window closed") << "close bench";
        QTest::newRow("sound card chosen as input") << "choose input";
    }
    void windowsDuringSweep()
    {
        QFETCH(QString, action);
        QTemporaryDir dir;
        ScriptedAudio soundCard;
        TestBench b;
        b.inFolder(dir.path(), &soundCard);
        b.loaded();
        const QString binDir = qEnvironmentVariable("TQX_BINARY_DIR") + QLatin1Char('/');
        b.meter.session().AppDir = QFileInfo::exists(binDir + "TQX.wav") ? binDir
                                                                          : qEnvironmentVariable("TQX_SOURCE_DIR") + "/data/";
        b.meter.session().ComEnabled = 1;
        b.meter.sheet().setText(Field::Interval, QStringLiteral("0.200"));
        QVERIFY(b.meter.setRoute(DeviceRoute::Bench));
        std::unique_ptr<QDialog> bench(createVirtualBenchDialog(b.meter, nullptr));
        bench->show();
        AudioInputWindow audio(b.meter, nullptr);
        audio.show();
        SweepFrequencies f;
        f.source = SweepFrequencies::Source::List;
        f.list = QStringLiteral("100 200 300");
        QPointer<Sweep> sweep = startSweep(b.meter, SweepKind::Calibration, f, 0, false);
        QVERIFY(sweep);
        QVector<SweepPoint> points;
        connect(sweep, &Operation::ended, this, [&] { points = sweep->points(); });
        bool acted = false;
        connect(sweep, &Sweep::pointChanged, this, [&] {
            if (acted || !sweep->points()[0].hiDb)
                return;
            acted = true;
            if (action == QLatin1String("close bench")) {
                bench->close();
            } else {
                auto *input = audio.findChild<QComboBox *>(QStringLiteral("cboInputDevice"));
                input->setCurrentIndex(0); // the sound card's default input
                Q_EMIT input->activated(0);
            }
        });
        QVERIFY(waitIdle(b.meter, 60000));
        QVERIFY(acted);
        QCOMPARE(points.size(), 3);
        for (const SweepPoint &p : points)
            QCOMPARE(int(p.state), int(SweepPoint::State::Measured));
        QCOMPARE(b.meter.bench().audio().recordings(), 6);
        QVERIFY(soundCard.requests.isEmpty());
        QCOMPARE(b.meter.route(), DeviceRoute::Bench);
    }

    // With pavucontrol the mixer entries start it; without any mixer program they stay enabled and
    // open the Audio input window instead.
    void mixerFallback_data()
    {
        QTest::addColumn<bool>("mixer");
        QTest::newRow("pavucontrol installed") << true;
        QTest::newRow("no mixer program") << false;
    }
    void mixerFallback()
    {
        QFETCH(bool, mixer);
        TestBench b;
        if (mixer)
            b.opener.available = {QStringLiteral("pavucontrol")};
        b.loaded();
        for (Control c : {Control::mnuSCCR, Control::mnuSCCP, Control::mnuMMSYS}) {
            QVERIFY(b.meter.sheet().enabled(c));
            b.meter.click(c);
        }
        QCOMPARE(b.opener.started.size(), mixer ? 3 : 0);
        QCOMPARE(b.windows.dialogs, mixer ? QList<DialogId>{} : QList<DialogId>(3, DialogId::AudioInput));
    }
};

QTEST_MAIN(TstAudioInputWindow)
#include "tst_audioinputwindow.moc"
