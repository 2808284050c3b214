#pragma once
// Qt implementations of the file dialogs, the clipboard and printing an image
// of the main window. All classes live on the user-interface thread; the
// dialogs are modal and block until the user closes them.

#include "platform/Dialogs.h"

#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

class QFileDialog;
class QPixmap;
class QPrinter;
class QWidget;

// Turns a filter text "description|pattern|description|pattern..." into Qt
// name filters, one per description: "Wave files (*.wav)". A pattern list
// "*.txt;*.tab" becomes "*.txt *.tab"; "*.*" becomes "*" so that files without
// an extension stay visible. A parenthesised pattern list at the end of the
// description is replaced by the translated one. An empty filter text gives
// the single filter "All files (*)".
QStringList qtNameFilters(const QString &filterText);

// Applies a request to a file dialog without showing it: directory (empty =
// the process's current directory), name filters with the 1-based index
// preselected (out of range: the first), the proposed file name. No default
// suffix is ever set, so the chosen name comes back exactly as typed.
void configureFileDialog(QFileDialog &dialog, const FileDialogRequest &req, bool save);

class FileDialogsQt : public IFileDialogs
{
public:
    // parent: the window the dialogs are modal to; not owned, may be null.
    explicit FileDialogsQt(QWidget *parent = nullptr);
    // The window the dialogs are modal to, once it exists.
    void setParentWindow(QWidget *parent) { m_parent = parent; }
    std::optional<QString> openFile(const FileDialogRequest &req) override;
    std::optional<QString> saveFile(const FileDialogRequest &req) override;

private:
    std::optional<QString> run(const FileDialogRequest &req, bool save);
    QPointer<QWidget> m_parent;
};

// The system clipboard (QGuiApplication::clipboard()), plain text only.
class ClipboardQt : public IClipboard
{
public:
    ClipboardQt();
    void clear() override;
    void setText(const QString &text) override;
    bool hasText() override;
    QString text() override;
};

// Prints `copies` pages onto an already configured printer, one image per
// page, scaled to fit the printable area (keeping its aspect ratio) and
// centred. Stops at the first page that fails; the job as a whole fails when
// the printer cannot start or finish it. Never shows anything.
PrintOutcome printImageCopies(QPrinter &printer, const QPixmap &image, int copies);

// The image that is printed for a window: its central widget (the client
// area with all fields, without menu bar) when it is a QMainWindow that has
// one, the whole widget otherwise.
QPixmap windowClientImage(QWidget *window);

class PrintingQt : public IPrinting
{
public:
    // window: the main window; not owned, may be destroyed before us.
    explicit PrintingQt(QWidget *window = nullptr);
    // The main window, once it exists.
    void setWindow(QWidget *window) { m_window = window; }
    // Printer dialog (no print-to-file, no selection range), then one page
    // per chosen copy. With no printer installed the printer dialog would
    // offer nothing: the window is saved as a PDF file instead (one page),
    // which the user can print later.
    PrintOutcome printMainWindow() override;

    // Whether the print system knows any printer (CUPS queues).
    std::function<bool()> printersInstalled;
    // Asks where to save the PDF; nullopt when cancelled. Default: a save
    // dialog that says why it appears.
    std::function<std::optional<QString>()> choosePdfFile;

private:
    PrintOutcome saveAsPdf();
    QPointer<QWidget> m_window;
};
