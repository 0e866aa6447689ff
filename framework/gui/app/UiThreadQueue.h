#pragma once

#include <functional>

// Work that other threads hand to the user-interface thread. It passes through a queue under a standard
// mutex and the thread is woken through an event counter that the loop watches, so nothing of the sending
// thread (not even the posted event) is handed over through Qt's own locking, which ThreadSanitizer cannot
// see in a Qt that is not built with it.

// Lets the current QApplication's loop run queued work; on the user-interface thread, once an application
// exists. Safe to call again; a later application takes over.
void AfxStartUiThreadQueue();

// Queues work to run on the user-interface thread, from any thread; false (and the work dropped) when no
// application's loop takes it. Work left when the application ends is dropped.
bool AfxRunOnUiThread(std::function<void()> work);
