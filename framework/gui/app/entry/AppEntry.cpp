// The process entry point of a windowed program: the application object already exists (it is a static
// object of the program); here the windowing system starts, the application initialises itself, and the
// message loop runs until the main window is gone.
#include "framework/core/WinApp.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/docview/View.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <malloc.h>

#include <string>
#include <vector>

namespace {

// For a run without anyone watching (a demonstration offscreen, a check of the windows): with
// KESTRUNE_SNAPSHOT_DIR set, after KESTRUNE_SNAPSHOT_AFTER_MS (default 5000) the main window is saved as
// window.png and the text of each child window as window-N.txt in that folder, and the program ends
// without asking about unsaved windows.
void ArmSnapshot(CWinApp* app) {
    const char* dir = std::getenv("KESTRUNE_SNAPSHOT_DIR");
    if (dir == nullptr || *dir == '\0')
        return;
    const char* after = std::getenv("KESTRUNE_SNAPSHOT_AFTER_MS");
    const int delay = after != nullptr ? std::atoi(after) : 5000;
    const QString folder = QString::fromLocal8Bit(dir);
    QTimer::singleShot(delay > 0 ? delay : 5000, [app, folder]() {
        auto* frame = dynamic_cast<CMDIFrameWnd*>(app->m_pMainWnd);
        if (frame == nullptr || frame->GetWidget() == nullptr)
            return;
        frame->GetWidget()->grab().save(folder + QStringLiteral("/window.png"));
        int number = 1;
        for (CMDIChildWnd* child : frame->GetChildFrames()) {
            if (CView* view = child->GetActiveView()) {
                CString text;
                view->GetWindowText(text);
                QFile file(folder + QStringLiteral("/window-%1.txt").arg(number));
                if (file.open(QIODevice::WriteOnly))
                    file.write(text.data(), static_cast<qint64>(text.size()));
                if (CDocument* document = view->GetDocument())
                    document->SetModifiedFlag(FALSE);
            }
            ++number;
        }
        frame->OnClose();
    });
}

} // namespace

int main(int argc, char** argv) {
    // Texts of a megabyte and more are allocated and given back as they grow and are compacted; at a
    // fixed threshold they always come from their own mappings and go back to the system when freed,
    // instead of leaving holes in the heaps of the threads that last held them.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    QApplication application(argc, argv);
    AfxInstallGuiServices();
    // Qt has taken its own switches (-platform and the like) out of argv; the rest is the program's.
    std::vector<CString> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    CWinApp::SetCommandLineArguments(arguments);

    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return 1;
    if (!app->InitInstance()) {
        // Start-up gave up halfway: whatever windows it made go before the windowing system does.
        if (auto* frame = dynamic_cast<CMDIFrameWnd*>(app->m_pMainWnd)) {
            frame->CloseAllDocuments();
            frame->DestroyWindow();
        } else if (app->m_pMainWnd != nullptr) {
            app->m_pMainWnd->DestroyWindow();
        }
        app->m_pMainWnd = nullptr;
        app->ExitInstance();
        return 1;
    }
    ArmSnapshot(app);
    return app->Run();
}
