#pragma once

#include <functional>

class CWinApp;

// The process's run as a windowed program: the application object exists already (a static object of the
// program); the windowing system starts, the application initialises itself, started runs once the
// application is up (before the first event), and the message loop runs until the main window is gone.
// Returns the process's exit code.
int AfxWinMain(int argc, char** argv, const std::function<void(CWinApp& app)>& started = {});
