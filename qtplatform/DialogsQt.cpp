#include "qtplatform/DialogsQt.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QScrollArea>

#include <algorithm>

// --- filter texts --------------------------------------------------------

namespace {

// "*.txt;*.tab" -> {"*.txt", "*.tab"}; "*.*" means every file, which on this
// platform is "*" (a dot is not required in a file name).
QStringList splitPatterns(const QString &patterns)
{
    QStringList out;
    for (const QString &part : patterns.split(QLatin1Char(';'))) {
        QString p = part.trimmed();
        if (p.isEmpty())
            continue;
        if (p == QLatin1String("*.*"))
            p = QStringLiteral("*");
        if (!out.contains(p))
            out << p;
    }
    return out;
}

} // namespace

QStringList qtNameFilters(const QString &filterText)
{
    // A trailing "(...)" of a description repeats its patterns for the
    // user's benefit; Qt builds that part itself from the pattern list.
    static const QRegularExpression trailingParens(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));

    QStringList filters;
    const QStringList parts = filterText.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QStringList patterns = splitPatterns(i + 1 < parts.size() ? parts[i + 1] : QString());
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        const QRegularExpressionMatch m = trailingParens.match(description);
        if (m.hasMatch()) {
            if (patterns.isEmpty()) // description without its pattern entry
                patterns = splitPatterns(m.captured(0).trimmed().mid(1).chopped(1));
            description.truncate(m.capturedStart());
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        const QString list = patterns.join(QLatin1Char(' '));
        filters << (description.isEmpty() ? list : description + QStringLiteral(" (") + list + QLatin1Char(')'));
    }
    if (filters.isEmpty())
        filters << QStringLiteral("All files (*)");
    return filters;
}

void configureFileDialog(QFileDialog &dialog, const FileDialogRequest &req, bool save)
{
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && req.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDirectory(req.initialDir.isEmpty() ? QDir::currentPath() : req.initialDir);
    const QStringList filters = qtNameFilters(req.filter);
    dialog.setNameFilters(filters);
    const qsizetype index = req.filterIndex >= 1 && req.filterIndex <= filters.size() ? req.filterIndex - 1 : 0;
    dialog.selectNameFilter(filters[index]);
    if (!req.fileName.isEmpty())
        dialog.selectFile(req.fileName);
}

// --- file dialogs --------------------------------------------------------

FileDialogsQt::FileDialogsQt(QWidget *parent)
    : m_parent(parent)
{
}

std::optional<QString> FileDialogsQt::openFile(const FileDialogRequest &req)
{
    return run(req, false);
}

std::optional<QString> FileDialogsQt::saveFile(const FileDialogRequest &req)
{
    return run(req, true);
}

std::optional<QString> FileDialogsQt::run(const FileDialogRequest &req, bool save)
{
    QFileDialog dialog(m_parent);
    configureFileDialog(dialog, req, save);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    // A desktop-native dialog may not enforce existence itself.
    if (!save && req.mustExist && !QFileInfo(chosen.first()).isFile())
        return std::nullopt;
    return chosen.first();
}

// --- clipboard -----------------------------------------------------------

ClipboardQt::ClipboardQt() = default;

void ClipboardQt::clear()
{
    QGuiApplication::clipboard()->clear();
}

void ClipboardQt::setText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

bool ClipboardQt::hasText()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QString ClipboardQt::text()
{
    return QGuiApplication::clipboard()->text();
}

// --- printing ------------------------------------------------------------

PrintOutcome printImageCopies(QPrinter &printer, const QPixmap &image, int copies)
{
    PrintOutcome outcome;
    if (copies < 1)
        return outcome;
    if (image.isNull() || !printer.isValid()) {
        outcome.failed = true;
        return outcome;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        outcome.failed = true;
        return outcome;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    // The painter's viewport is the printable area in printer pixels; the
    // image keeps its aspect ratio and is centred in it.
    const QRect page = painter.viewport();
    const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    const QRect target(page.x() + (page.width() - size.width()) / 2,
                       page.y() + (page.height() - size.height()) / 2, size.width(), size.height());

    for (int copy = 1; copy <= copies; ++copy) {
        if (copy > 1 && !printer.newPage())
            break;
        painter.drawPixmap(target, image);
        if (printer.printerState() == QPrinter::Error)
            break;
        ++outcome.copiesPrinted;
    }
    outcome.failed = outcome.copiesPrinted < copies;
    // The job is only handed over on end(); if that fails nothing came out.
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        outcome.failed = true;
        outcome.copiesPrinted = 0;
    }
    return outcome;
}

QPixmap windowClientImage(QWidget *window)
{
    if (!window)
        return QPixmap();
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->centralWidget()) {
        // A scrolled client area is printed whole, not just the part in view.
        if (auto *scroll = qobject_cast<QScrollArea *>(main->centralWidget()); scroll && scroll->widget())
            return scroll->widget()->grab();
        return main->centralWidget()->grab();
    }
    return window->grab();
}

PrintingQt::PrintingQt(QWidget *window)
    : printersInstalled([] { return !QPrinterInfo::availablePrinterNames().isEmpty(); })
    , m_window(window)
{
    choosePdfFile = [this]() -> std::optional<QString> {
        QFileDialog dialog(m_window, QStringLiteral("No printer is installed - save the window as a PDF file"));
        configureFileDialog(dialog, {QString(), QStringLiteral("PDF files (*.pdf)|*.pdf"), 1, QStringLiteral("TQX.pdf")},
                            true);
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().value(0).isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().value(0);
    };
}

PrintOutcome PrintingQt::saveAsPdf()
{
    PrintOutcome cancelled;
    cancelled.cancelled = true;
    const std::optional<QString> path = choosePdfFile ? choosePdfFile() : std::nullopt;
    if (!path || !m_window)
        return cancelled;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat); // whatever the file's suffix
    printer.setOutputFileName(*path);
    return printImageCopies(printer, windowClientImage(m_window), 1);
}

PrintOutcome PrintingQt::printMainWindow()
{
    PrintOutcome cancelled;
    cancelled.cancelled = true;
    if (!m_window)
        return cancelled;
    if (printersInstalled && !printersInstalled())
        return saveAsPdf();

    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, m_window);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    if (dialog.exec() != QDialog::Accepted || !m_window)
        return cancelled;

    // Each copy is one page of our own job; the print system must not
    // multiply the job again.
    const int copies = std::max(1, printer.copyCount());
    printer.setCopyCount(1);
    return printImageCopies(printer, windowClientImage(m_window), copies);
}
