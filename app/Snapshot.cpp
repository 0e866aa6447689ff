#include "app/Snapshot.h"

#include "framework/core/WinApp.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/docview/View.h"
#include "framework/gui/textview/EditView.h"

#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

void ArmSnapshot(CWinApp& app) {
    const char* dir = std::getenv("KESTRUNE_SNAPSHOT_DIR");
    if (dir == nullptr || *dir == '\0')
        return;
    const char* after = std::getenv("KESTRUNE_SNAPSHOT_AFTER_MS");
    const int delay = after != nullptr ? std::atoi(after) : 5000;
    const QString folder = QString::fromLocal8Bit(dir);
    QTimer::singleShot(delay > 0 ? delay : 5000, [&app, folder]() {
        auto* frame = dynamic_cast<CMDIFrameWnd*>(app.m_pMainWnd);
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
                // Beside the bytes, the text as the view shows it (the dump lines of a hex view).
                if (auto* edit = dynamic_cast<CEditView*>(view)) {
                    const CString shown = edit->GetShownText();
                    QFile shownFile(folder + QStringLiteral("/window-%1.shown.txt").arg(number));
                    if (shownFile.open(QIODevice::WriteOnly))
                        shownFile.write(shown.data(), static_cast<qint64>(shown.size()));
                }
                if (CDocument* document = view->GetDocument())
                    document->SetModifiedFlag(FALSE);
            }
            ++number;
        }
        frame->OnClose();
    });
}
