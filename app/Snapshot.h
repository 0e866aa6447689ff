#pragma once

class CWinApp;

// For a run without anyone watching (a demonstration offscreen, a check of the windows): with
// KESTRUNE_SNAPSHOT_DIR set, after KESTRUNE_SNAPSHOT_AFTER_MS (default 5000) the main window is saved as
// window.png and the text of each child window as window-N.txt in that folder, and the program ends
// without asking about unsaved windows. Does nothing without the variable.
void ArmSnapshot(CWinApp& app);
