#pragma once
// The remote control in the main window: Options -> Remote control, and in
// the status bar who is connected ("Remote: 127.0.0.1") with a local Stop
// for what the client started. While a remote run is on, the window's menus
// and panel are disabled as during a reading.

class MainWindow;
class RemoteControl;

void attachRemoteControl(MainWindow &window, RemoteControl &remote);
