#include "framework/gui/dialogs/FindDialog.h"

#include "framework/core/MessageBox.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/windows/TestHook.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

BOOL AfxRunFindDialog(CString& what, BOOL& bCase, BOOL& bNext) {
    QString shown;
    for (unsigned char byte : what)
        shown.append(QChar(CDisplayText::CharForByte(byte)));
    if (!AfxRunFindDialog(shown, bCase, bNext))
        return FALSE;
    CString bytes;
    for (QChar ch : shown) {
        const int byte = CDisplayText::ByteForChar(ch.unicode());
        bytes.push_back(static_cast<char>(byte >= 0 ? byte : '?'));
    }
    what = bytes;
    return TRUE;
}

BOOL AfxRunFindDialog(QString& what, BOOL& bCase, BOOL& bNext) {
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Find"));
    auto* findWhat = new QLineEdit(&dialog);
    findWhat->setObjectName(QStringLiteral("findWhat"));
    findWhat->setText(what);
    auto* matchCase = new QCheckBox(QStringLiteral("Match &case"), &dialog);
    matchCase->setObjectName(QStringLiteral("matchCase"));
    matchCase->setChecked(bCase != FALSE);
    auto* searchUp = new QRadioButton(QStringLiteral("&Up"), &dialog);
    searchUp->setObjectName(QStringLiteral("searchUp"));
    auto* searchDown = new QRadioButton(QStringLiteral("&Down"), &dialog);
    (bNext ? searchDown : searchUp)->setChecked(true);

    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("&Find Next"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Fi&nd what:"), findWhat);
    auto* direction = new QHBoxLayout;
    direction->addWidget(matchCase);
    direction->addStretch();
    direction->addWidget(searchUp);
    direction->addWidget(searchDown);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addLayout(direction);
    layout->addWidget(buttons);

    if (AfxRunModalDialog(dialog) != IDOK || findWhat->text().isEmpty())
        return FALSE;
    what = findWhat->text();
    bCase = matchCase->isChecked() ? TRUE : FALSE;
    bNext = searchUp->isChecked() ? FALSE : TRUE;
    return TRUE;
}
