// Qt dialogs: filter translation, file dialog set-up, a window image printed
// to PDF (rendered back by pdftoppm), and the small dialogs' Alt letters.

#include "gui/Dialogs.h"
#include "platform/Windows.h"
#include "platform/qt/DialogsQt.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QRadioButton>
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

    // A window image printed to PDF: copies through a set-up printer, and
    // the Print menu's route when no printer is installed (a PDF file).
    void printToPdf_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<int>("pages"); // -1: failed, 0: cancelled
        QTest::newRow("three copies, three pages") << "copies" << 3;
        QTest::newRow("output cannot be written") << "gone/" << -1;
        QTest::newRow("no printer: saved as PDF") << "no printer" << 1;
        QTest::newRow("no printer: PDF cancelled") << "cancel" << 0;
        QTest::newRow("printers: their dialog") << "printers" << 0;
    }
    void printToPdf()
    {
        QFETCH(QString, route);
        QFETCH(int, pages);
        QMainWindow window; // client area mostly a red marker
        window.menuBar()->addMenu("&File");
        auto *client = new QWidget;
        auto *layout = new QVBoxLayout(client);
        layout->addWidget(new QLineEdit("12.345"));
        auto *marker = new QLabel;
        marker->setStyleSheet("background: #ff0000");
        marker->setMinimumSize(400, 300);
        layout->addWidget(marker);
        window.setCentralWidget(client);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTemporaryDir dir;
        const QString pdf = dir.filePath(route == "gone/" ? "gone/out.pdf" : "out.pdf");
        PrintOutcome outcome;
        if (route == "copies" || route == "gone/") {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            outcome = printImageCopies(printer, windowClientImage(&window), pages < 0 ? 2 : pages);
        } else {
            PrintingQt printing(&window);
            printing.printersInstalled = [&] { return route == "printers"; };
            int asked = 0;
            printing.choosePdfFile = [&]() -> std::optional<QString> {
                ++asked;
                return route == "cancel" ? std::nullopt : std::optional(pdf);
            };
            QTimer::singleShot(500, [] { // the printer dialog, when one showed
                if (QWidget *w = QApplication::activeModalWidget())
                    w->close();
            });
            outcome = printing.printMainWindow();
            QCOMPARE(asked, route == "printers" ? 0 : 1);
        }
        QCOMPARE(outcome.failed, pages < 0);
        QCOMPARE(outcome.cancelled, pages == 0);
        QCOMPARE(outcome.copiesPrinted, std::max(pages, 0));
        if (pages <= 0)
            return;
        QProcess render;
        render.start("pdftoppm", {"-r", "20", "-png", pdf, dir.filePath("page")});
        QVERIFY(render.waitForFinished(60000) && render.exitCode() == 0);
        const QStringList rendered = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
        QCOMPARE(rendered.size(), pages);
        for (const QString &page : rendered) {
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

    // Every field, box and choice of the three small dialogs has its own
    // Alt letter; the Com setup dialog keeps its width while a port is typed.
    void dialogAltLetters_data()
    {
        QTest::addColumn<int>("dialog");
        QTest::newRow("Com setup") << int(DialogId::ComSetup);
        QTest::newRow("uncertainty calculator") << int(DialogId::Nmuc);
        QTest::newRow("noise source calibration") << int(DialogId::CalNoiseSource);
    }
    void dialogAltLetters()
    {
        QFETCH(int, dialog);
        TestBench b;
        std::unique_ptr<QDialog> dlg(dialog == int(DialogId::ComSetup) ? createComSetupDialog(b.meter, nullptr)
                                     : dialog == int(DialogId::Nmuc)   ? createNmucDialog(b.meter, nullptr)
                                                                       : createCalNoiseSourceDialog(b.meter, nullptr));
        QStringList letters; // of the fields (through their labels), boxes, choices and buttons
        for (QWidget *w : dlg->findChildren<QWidget *>()) {
            QString text = qobject_cast<QLabel *>(w) ? QString() : w->property("text").toString();
            for (QLabel *l : dlg->findChildren<QLabel *>())
                text = l->buddy() == w ? l->text() : text;
            const auto *edit = qobject_cast<QLineEdit *>(w);
            const bool field = (edit && !edit->isReadOnly() && !qobject_cast<QComboBox *>(w->parent())) ||
                               qobject_cast<QComboBox *>(w) || qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w);
            QVERIFY2(!field || !QKeySequence::mnemonic(text).isEmpty(), qPrintable(w->objectName()));
            if (!QKeySequence::mnemonic(text).isEmpty())
                letters << QKeySequence::mnemonic(text).toString();
        }
        QCOMPARE(QSet<QString>(letters.begin(), letters.end()).size(), letters.size());
        if (dialog != int(DialogId::ComSetup))
            return;
        dlg->show();
        const int width = dlg->width();
        auto *port = dlg->findChild<QComboBox *>("port");
        for (const char *typed : {"1", "12", "x", ""}) {
            port->setEditText(typed);
            QApplication::processEvents();
            QCOMPARE(dlg->width(), width);
        }
    }
};

QTEST_MAIN(TstDialogsQt)
#include "tst_dialogsqt.moc"
