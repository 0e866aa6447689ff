#pragma once

#include <functional>
#include <thread>

// How the POSIX serial driver starts the thread that fills an open port's input queue. The system may
// refuse a new thread (std::system_error); the driver then fails the open with the device released. Tests
// install a start that refuses, to see that path without exhausting the machine's threads.
using DriverThreadStart = std::function<std::thread(std::function<void()>)>;

// Makes `start` the way driver threads start (an empty one: a plain std::thread again); returns the one it
// replaces. Install it before the ports it should apply to are opened.
DriverThreadStart InstallDriverThreadStart(DriverThreadStart start);

// Starts a driver thread the installed way.
std::thread StartDriverThread(std::function<void()> body);
