// The program: the application object (gMainApp, constructed before main) gets its windows, and the
// framework runs it.
#include "app/MainAppShell.h"
#include "app/Snapshot.h"
#include "app/main.h"
#include "framework/gui/app/WinMain.h"

#include <malloc.h>

int main(int argc, char** argv) {
    // Texts of a megabyte and more are allocated and given back as they grow and are compacted; at a
    // fixed threshold they always come from their own mappings and go back to the system when freed,
    // instead of leaving holes in the heaps of the threads that last held them.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    InstallMainAppShell(gMainApp);
    return AfxWinMain(argc, argv, [](CWinApp& app) { ArmSnapshot(app); });
}
