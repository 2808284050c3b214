#pragma once
// File dialogs, the printer dialog and the clipboard.

#include <QString>
#include <optional>

struct FileDialogRequest {
    QString initialDir;      // empty: the process's current directory
    QString filter;          // "description|pattern|description|pattern..."
    int filterIndex = 1;     // counts descriptions from 1
    QString fileName;        // proposed name; no extension is ever added
    bool mustExist = false;  // open dialog: the chosen file must exist
};

class IFileDialogs
{
public:
    virtual ~IFileDialogs() = default;
    // nullopt on cancel or any failure of the dialog.
    virtual std::optional<QString> openFile(const FileDialogRequest &req) = 0;
    virtual std::optional<QString> saveFile(const FileDialogRequest &req) = 0;
};

class IClipboard
{
public:
    virtual ~IClipboard() = default;
    virtual void clear() = 0;
    virtual void setText(const QString &text) = 0;
    virtual bool hasText() = 0;
    virtual QString text() = 0;
};

// Printing an image of the main window: shows the printer dialog and prints
// one page per copy. The core only decides what to say about the outcome.
struct PrintOutcome {
    bool cancelled = false; // dialog cancelled or failed: nothing printed, no message
    bool failed = false;    // a copy failed; later copies were skipped
    int copiesPrinted = 0;
};

class IPrinting
{
public:
    virtual ~IPrinting() = default;
    virtual PrintOutcome printMainWindow() = 0;
};
