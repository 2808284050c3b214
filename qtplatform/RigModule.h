#pragma once
// IRig through the Hamlib back end (RigHamlib), kept in a module of its own
// that is loaded on the first call. Hamlib and the libraries it pulls in
// (USB, serial helpers and the like) take a noticeable share of a program's
// start-up on their own; most sessions never control a receiver, so the
// program does not link them and pays for them only when a receiver is used.
//
// The module is looked for in the folders given, in order: by default the
// install location relative to the program's folder (../lib/tqx under the
// same prefix), then the program's own folder (the build tree). It is never
// unloaded: a session's worker thread may still be inside it at exit.
//
// When the module cannot be loaded, every open(), tune() and readFrequency()
// fails with a message that says why (as the interface prescribes, later,
// from the event loop) and models() is empty.
//
// Lives on the user-interface thread; callbacks arrive there.

#include "platform/Rig.h"

#include <QObject>
#include <QStringList>

#include <memory>

class RigModule : public QObject, public IRig
{
public:
    // `folders` empty: defaultFolders().
    explicit RigModule(const QStringList &folders = {});
    ~RigModule() override;

    QList<RigModelInfo> models() override;
    void open(const RigConfig &config, int timeoutMs, Done done) override;
    void tune(double hz, int timeoutMs, Done done) override;
    void readFrequency(int timeoutMs, Done done) override;
    void cancel() override;
    void close() override;

    // Whether the module has been loaded (by a call so far).
    bool loaded() const { return m_rig != nullptr; }
    // Why it could not be loaded; empty before the first call and on success.
    QString loadError() const { return m_error; }

    // The install location relative to the program's folder, then that folder.
    static QStringList defaultFolders();
    // The module's file name ("libtqxrighamlib.so").
    static QString fileName();

private:
    // The back end, loaded on the first call; null when it cannot be.
    IRig *rig();
    // Answers `done` with the load error from the event loop.
    void refuse(Done done);

    QStringList m_folders;
    std::unique_ptr<IRig> m_rig;
    bool m_tried = false;
    QString m_error;
    quint64 m_refusal = 0; // the refusal still to be answered, 0 = none
    quint64 m_lastRefusal = 0;
};

// The module's entry points, resolved by name. The version guards against a
// module left over from another build of TQX: the interface between the two
// is C++ and must match exactly.
#define TQX_RIG_MODULE_VERSION_SYMBOL "tqxRigModuleVersion"
#define TQX_RIG_MODULE_CREATE_SYMBOL "tqxCreateRig"
using RigModuleVersionFn = const char *(*)();
using RigModuleCreateFn = IRig *(*)();
