#include "app/AboutDlg.h"

#include "framework/core/Resource.h"
#include "framework/core/WinApp.h"
#include "framework/gui/windows/TestHook.h"
#include "framework/gui/windows/Wnd.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

int CAboutDlg::DoModal() {
    CWnd* mainWnd = AfxGetMainWnd();
    QDialog dialog(mainWnd != nullptr ? mainWnd->GetWidget() : nullptr);
    const char* title = AfxLoadString(AFX_IDS_APP_TITLE);
    const QString name = QString::fromLatin1(title != nullptr ? title : "");
    dialog.setWindowTitle(QStringLiteral("About %1").arg(name));
    dialog.setObjectName(QStringLiteral("dialog100"));

    auto* picture = new QLabel(&dialog);
    // The program's own icon, as the desktop shows it in its application list.
    const QPixmap icon(QStringLiteral(":/icons/64.png"));
    if (!icon.isNull())
        picture->setPixmap(icon);
    auto* text =
        new QLabel(QStringLiteral("%1 Version %2\nA receive-only serial terminal.\nCopyright (C) 2026")
                       .arg(name, QStringLiteral(KESTRUNE_VERSION)),
                   &dialog);
    text->setObjectName(QStringLiteral("aboutText"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(row);
    layout->addWidget(buttons);
    return AfxRunModalDialog(dialog);
}
