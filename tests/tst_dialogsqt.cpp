// Qt dialogs: filter translation, file dialog set-up, a window image printed
// to PDF (rendered back by pdftoppm), and the small dialogs' Alt letters.

#include "gui/Dialogs.h"
#include "platform/Windows.h"
#include "qtplatform/DialogsQt.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <QtWidgets>
#include <QPrinter>

class TstDialogsQt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Filter texts become Qt name filters; the request sets the dialog up
    // (directory, preselected filter, must-exist, no suffix ever added).
    void fileDialogs_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("index"); // 1-based, 0: an open dialog
        QTest::addColumn<QStringList>("filters"); // the preselected one first
        const QString report = "All Files (*.*)|*.*|Text files (*.txt;*.tab)|*.txt;*.tab";
        QTest::newRow("save, second filter") << report << 2 << QStringList{"Text files (*.txt *.tab)", "All Files (*)"};
        QTest::newRow("save, index out of range") << report << 7 << QStringList{"All Files (*)", "Text files (*.txt *.tab)"};
        QTest::newRow("open, without parentheses") << "ENR tables|*.tab" << 0 << QStringList{"ENR tables (*.tab)"};
        QTest::newRow("missing last pattern") << "Text (*.tab)|*.tab|Any" << 1 << QStringList{"Text (*.tab)", "Any (*)"};
    }
    void fileDialogs()
    {
        QFETCH(QString, filter);
        QFETCH(int, index);
        QFETCH(QStringList, filters);
        QFileDialog dialog;
        configureFileDialog(dialog, {"", filter, index, "20240501123456", index == 0}, index > 0);
        QStringList got = dialog.nameFilters();
        got.move(got.indexOf(dialog.selectedNameFilter()), 0);
        QCOMPARE(got, filters);
        QCOMPARE(dialog.fileMode() + 10 * dialog.acceptMode(), index > 0 ? QFileDialog::AnyFile + 10 * QFileDialog::AcceptSave
                                                                         : QFileDialog::ExistingFile + 10 * QFileDialog::AcceptOpen);
        QCOMPARE(dialog.directory().absolutePath() + dialog.defaultSuffix(), QDir::currentPath());
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
        QMainWindow window; // client area all red, a menu bar beside it
        window.menuBar()->addMenu("&File");
        window.setCentralWidget(new QLabel);
        window.centralWidget()->setStyleSheet("background: #ff0000");
        window.centralWidget()->setMinimumSize(400, 300);
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
            if (route == "printers") // its own dialog comes up: close it
                QTimer::singleShot(500, &window, [] { QApplication::activeModalWidget()->close(); });
            outcome = printing.printMainWindow();
            QCOMPARE(asked, route == "printers" ? 0 : 1);
        }
        QCOMPARE((QList<int>{outcome.failed, outcome.cancelled, outcome.copiesPrinted}),
                 (QList<int>{pages < 0, pages == 0, std::max(pages, 0)}));
        if (pages <= 0)
            return;
        QProcess render;
        render.start("pdftoppm", {"-r", "20", "-png", pdf, dir.filePath("page")});
        QVERIFY(render.waitForFinished(60000) && render.exitCode() == 0);
        const QStringList rendered = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
        QCOMPARE(rendered.size(), pages);
        for (const QString &page : rendered) { // red across the page's width, in its middle
            const QImage image(dir.filePath(page));
            for (double x : {0.2, 0.5, 0.8}) {
                const QColor c = image.pixelColor(int(image.width() * x), image.height() / 2);
                QVERIFY2(c.red() > 200 && c.green() < 60 && c.blue() < 60, qPrintable(page));
            }
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
