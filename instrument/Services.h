#pragma once
// The platform facilities the instrument uses, each behind its interface.
// Pointers are not owned; any may be null where a front end or a test has
// no such facility. `keepAlive` shares ownership of the implementations:
// the instrument keeps a copy, so the services outlive it whatever order a
// program declares them in.

#include "platform/Audio.h"
#include "platform/Dialogs.h"
#include "platform/Http.h"
#include "platform/Opener.h"
#include "platform/Rig.h"
#include "platform/Serial.h"
#include "platform/SettingsStore.h"

#include <memory>

struct Services {
    ISettingsStore *settings = nullptr;
    IFileDialogs *fileDialogs = nullptr;
    IClipboard *clipboard = nullptr;
    IPrinting *printing = nullptr;
    IOpener *opener = nullptr;
    IAudio *audio = nullptr;       // the sound card
    ISerialLines *serial = nullptr; // the real serial port
    IHttp *http = nullptr;
    IRig *rig = nullptr; // Hamlib
    std::shared_ptr<const void> keepAlive;
};
