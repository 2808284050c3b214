#include <QtTest>
class TstNumText : public QObject { Q_OBJECT private Q_SLOTS: void dummy() {} };
QTEST_GUILESS_MAIN(TstNumText)
#include "tst_numtext.moc"
