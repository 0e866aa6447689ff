#pragma once

// Registers the program's menus (2 for the main window alone, 3 while terminal windows are open), its
// accelerator table 2 and its bitmaps with the framework. Safe to call more than once.
void RegisterAppResources();
