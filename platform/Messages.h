#pragma once
// Modal message boxes with one OK button. The core reports failures through
// this interface; the GUI shows them with QMessageBox, tests record them.

#include <QString>

enum class MsgIcon { None, Critical, Exclamation, Information };

class IMessages
{
public:
    virtual ~IMessages() = default;
    // Blocks until the user has dismissed the box.
    virtual void show(const QString &caption, const QString &text, MsgIcon icon) = 0;
    // A Yes/No question; true for Yes. Blocks until answered. A service that
    // cannot ask answers No.
    virtual bool ask(const QString & /*caption*/, const QString & /*text*/) { return false; }
    // A box whose text is followed, on request, by `details` (where and why
    // it failed, what to do). A service that cannot show details shows the
    // box alone.
    virtual void showDetailed(const QString &caption, const QString &text, MsgIcon icon, const QString &details)
    {
        (void)details;
        show(caption, text, icon);
    }
};
