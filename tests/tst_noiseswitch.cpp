// The port setup dialog frmComSetup and its model.

#include "acquire/NoiseSwitch.h"
#include "gui/Dialogs.h"
#include "support/TestPlatform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestNoiseSwitch : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestBench> m_bench;
    std::unique_ptr<QDialog> m_dlg;

    template <typename T> T *ctl(const char *name) { return m_dlg->findChild<T *>(QString::fromLatin1(name)); }

private Q_SLOTS:
    void init()
    {
        m_bench = std::make_unique<TestBench>();
        m_bench->meter.ComEnabled = 0;
        m_bench->meter.ComPort = 4;
        m_dlg.reset(createComSetupDialog(m_bench->meter, nullptr));
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
    }
    void cleanup() { m_dlg.reset(); }

    // OK takes a whole number 1..99 (blanks, leading zeros); else refused, dialog stays, nothing changes.
    void okChecksThePortText_data()
    {
        QTest::addColumn<QString>("portText");
        QTest::addColumn<int>("port"); // 0: refused
        QTest::newRow("chosen item") << "12" << 12;
        QTest::newRow("typed with blanks and a zero") << " 07 " << 7;
        QTest::newRow("above 99") << "100" << 0;
        QTest::newRow("huge") << "99999999999999999999" << 0;
    }
    void okChecksThePortText()
    {
        QFETCH(QString, portText);
        QFETCH(int, port);
        ctl<QCheckBox>("ComEn")->setChecked(true);
        ctl<QComboBox>("port")->setEditText(portText);
        ctl<QPushButton>("OKButton")->click();
        const Meter &m = m_bench->meter;
        QCOMPARE(m_dlg->result() == QDialog::Accepted, port != 0);
        QCOMPARE(QPair(m.ComPort, m.ComEnabled), port ? QPair(port, 1) : QPair(4, 0));
        QCOMPARE(m_bench->messages.shown.size(), port ? 0 : 1);
        QVERIFY(port || (m_dlg->isVisible() && ctl<QComboBox>("port")->currentText() == portText));
    }

    // acc: leaving or Enter (not OK) rewrites the leading number as a whole one; negative: 0, focus stays.
    void accIsAWholeNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("negative, leaving") << "-3" << "0" << false;
        QTest::newRow("half rounds away from zero, Enter") << "2.5" << "3" << true;
        QTest::newRow("beyond double range") << "1e999" << "0" << true;
    }
    void accIsAWholeNumber()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, byEnter);
        auto *acc = ctl<QLineEdit>("acc");
        acc->setFocus();
        QTRY_VERIFY(acc->hasFocus());
        acc->setText(typed);
        if (byEnter)
            QTest::keyClick(acc, Qt::Key_Return);
        else
            ctl<QComboBox>("speed")->setFocus(Qt::TabFocusReason);
        QCOMPARE(acc->text(), shown);
        QVERIFY(m_dlg->isVisible());
        if (!byEnter) // only a negative number keeps the focus
            QTRY_COMPARE(acc->hasFocus(), typed.startsWith(QLatin1Char('-')));
    }
};

QTEST_MAIN(TestNoiseSwitch)
#include "tst_noiseswitch.moc"
