#pragma once

// Installs the GUI half's services into the display-free seams once a QApplication exists: the message
// poster (messages queued to the user-interface thread, dropped when their window is gone), the message
// box presenter (real boxes on the user-interface thread; from another thread the box is posted there and
// not waited for) and the box poster (boxes shown from the event loop, one at a time in the order posted).
// Safe to call more than once.
void AfxInstallGuiServices();

// TRUE on the thread that runs the Qt event loop.
bool AfxIsUiThread();

// Runs every message posted so far (and anything those messages post in turn, up to a bound), without
// waiting for new ones. Tests and benchmarks use it to let the queue drain.
void AfxPumpMessages();
