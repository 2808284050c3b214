#pragma once
// The set of platform services the core uses. Pointers are not owned; any of
// them may be null in a test that does not need the facility.

#include "platform/Audio.h"
#include "platform/Dialogs.h"
#include "platform/Http.h"
#include "platform/Messages.h"
#include "platform/Opener.h"
#include "platform/Rig.h"
#include "platform/Serial.h"
#include "platform/SettingsStore.h"
#include "platform/Windows.h"

struct Platform {
    IMessages *messages = nullptr;
    ISettingsStore *settings = nullptr;
    IFileDialogs *fileDialogs = nullptr;
    IClipboard *clipboard = nullptr;
    IPrinting *printing = nullptr;
    IOpener *opener = nullptr;
    IAudio *audio = nullptr;
    ISerialLines *serial = nullptr;
    IHttp *http = nullptr;
    IWindows *windows = nullptr;
    IRig *rig = nullptr;
};
