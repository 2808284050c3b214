// The Audio input window on the virtual bench: it monitors the bench's sound card (level and noise
// bandwidth agree with the bench's own truth), every control has a name, the noise bandwidth goes to
// the uncertainty calculator, and without a mixer program the mixer entries open this window.
#include "acquire/Bench.h"
#include "acquire/Monitor.h"
#include "calc/Nmuc.h"
#include "gui/AudioInputWindow.h"
#include "support/TestPlatform.h"

#include <QAbstractButton>
#include <QComboBox>
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
