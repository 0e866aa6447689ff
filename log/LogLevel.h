#pragma once

// How much the activity log records: application life and configuration (one), user actions on the
// screen (two), internal steps (three).
enum LogLevel { NOLOG = 0, LEVELONE = 1, LEVELTWO = 2, LEVELTHREE = 3 };
