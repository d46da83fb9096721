#pragma once

namespace telvano::platform {

// Ctrl-C and SIGTERM end the program the way the tray's exit does. They are blocked in every thread from
// the first line of main on (the embedded database engine's threads inherit that) and read through the
// signalfd this returns (-1 when none can be had), so no thread is ever interrupted by them.
int BlockStopSignals();

// True while a stop signal waits to be read: a request that blocks the one thread asks this to give up.
bool StopSignalPending();

}  // namespace telvano::platform
