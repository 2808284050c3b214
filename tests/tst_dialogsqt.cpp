// Qt dialogs: filter translation, file dialog set-up, and a window image printed to PDF, rendered back by pdftoppm.

#include "platform/qt/DialogsQt.h"

#include <QtTest>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QVBoxLayout>

class TstDialogsQt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nameFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("report filter") << "All Files (*.*)|*.*|Text files (*.txt;*.tab)|*.txt;*.tab"
                                       << QStringList{"All Files (*)", "Text files (*.txt *.tab)"};
        QTest::newRow("description without parentheses") << "ENR tables|*.tab" << QStringList{"ENR tables (*.tab)"};
        QTest::newRow("missing last pattern") << "Text files (*.tab)|*.tab|Any" << QStringList{"Text files (*.tab)", "Any (*)"};
        QTest::newRow("empty filter") << "" << QStringList{"All files (*)"};
    }
    void nameFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(qtNameFilters(filter), expected);
    }

    void dialogSetUp_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("selectedFilter");
        QTest::addColumn<int>("fileMode");
        QTest::newRow("save, second filter") << true << 2 << "Text files (*.txt *.tab)" << int(QFileDialog::AnyFile);
        QTest::newRow("open, file must exist") << false << 1 << "All Files (*)" << int(QFileDialog::ExistingFile);
        QTest::newRow("index out of range") << true << 7 << "All Files (*)" << int(QFileDialog::AnyFile);
    }
    void dialogSetUp()
    {
        QFETCH(bool, save);
        QFETCH(int, index);
        QFETCH(QString, selectedFilter);
        QFETCH(int, fileMode);
        QFileDialog dialog;
        const FileDialogRequest req{"", "All Files (*.*)|*.*|Text files (*.txt;*.tab)|*.txt;*.tab", index,
                                    "20240501123456", !save};
        configureFileDialog(dialog, req, save);
        QCOMPARE(dialog.selectedNameFilter(), selectedFilter);
        QCOMPARE(int(dialog.fileMode()), fileMode);
        QCOMPARE(dialog.acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        QCOMPARE(dialog.directory().absolutePath(), QDir::currentPath());
        QVERIFY(dialog.defaultSuffix().isEmpty()); // the chosen name comes back as typed
    }

    void printToPdf_data()
    {
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("badOutput");
        QTest::newRow("three copies, three pages") << 3 << false;
        QTest::newRow("output cannot be written") << 2 << true;
    }
    void printToPdf()
    {
        QFETCH(int, copies);
        QFETCH(bool, badOutput);
        QMainWindow window; // client area mostly a red marker
        window.menuBar()->addMenu("&File");
        auto *client = new QWidget;
        auto *layout = new QVBoxLayout(client);
        layout->addWidget(new QLabel("Noise HI(2) (dB)"));
        layout->addWidget(new QLineEdit("12.345"));
        auto *marker = new QLabel;
        marker->setAutoFillBackground(true);
        marker->setStyleSheet("background: #ff0000");
        marker->setMinimumSize(400, 300);
        layout->addWidget(marker);
        window.setCentralWidget(client);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = dir.filePath(badOutput ? "gone/out.pdf" : "out.pdf");
        printer.setOutputFileName(pdf);
        const PrintOutcome outcome = printImageCopies(printer, windowClientImage(&window), copies);
        QCOMPARE(outcome.failed, badOutput);
        QCOMPARE(outcome.copiesPrinted, badOutput ? 0 : copies);
        if (badOutput)
            return;

        QProcess render;
        render.start("pdftoppm", {"-r", "20", "-png", pdf, dir.filePath("page")});
        QVERIFY(render.waitForFinished(60000) && render.exitCode() == 0);
        const QStringList pages = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
        QCOMPARE(pages.size(), copies);
        for (const QString &page : pages) {
            const QImage image(dir.filePath(page));
            int red = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
                }
            QVERIFY2(red > image.width() * image.height() / 10, qPrintable(page)); // scaled to the page width
        }
    }
};

QTEST_MAIN(TstDialogsQt)
#include "tst_dialogsqt.moc"
