#include "framework/gui/app/WinMain.h"

#include "framework/core/WinApp.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/MDIFrameWnd.h"

#include <QApplication>

#include <string>
#include <vector>

int AfxWinMain(int argc, char** argv, const std::function<void(CWinApp& app)>& started) {
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
    if (started)
        started(*app);
    return app->Run();
}
