// The edit view's text control: bytes in and out, selection in byte positions, find, copy and loading.
#include "framework/gui/textview/EditView.h"
#include "framework/core/MessageBox.h"
#include "framework/files/File.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/Archive.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/textview/TextView.h"
#include "framework/gui/windows/TestHook.h"
#include "support/DialogTestSupport.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempDir.h"

#include "EditViewHost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QWidget>

namespace {

// An edit view on a plain parent window.
class EditViewTest : public EditViewHost {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(CreateView()); }
};

} // namespace

TEST_F(EditViewTest, SelectionCountsBytesAcrossLineBreaks) {
    m_view->SetWindowText("ab\r\ncd\nef");
    m_view->SetSel(4, 6);
    EXPECT_EQ(m_view->GetSelectedText(), "cd");
    EXPECT_EQ(m_view->GetEditCtrl()->SelectedShownText(), QStringLiteral("cd"));
    m_view->OnEditSelectAll();
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 9);
}

TEST_F(EditViewTest, FindMovesOnAndWrapsAround) {
    m_view->SetWindowText("one two one two");
    m_view->SetSel(0, 0);
    ASSERT_TRUE(m_view->FindText("two"));
    EXPECT_EQ(m_view->GetSelectedText(), "two");
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 4);
    ASSERT_TRUE(m_view->FindText("two"));
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 12);
    ASSERT_TRUE(m_view->FindText("two"));
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 4);
    EXPECT_FALSE(m_view->FindText("three"));
    EXPECT_TRUE(m_view->FindText("ONE", TRUE, FALSE));
}

// A character no byte shows as is not found in a text read one character per byte; it used to be searched
// for as '?', which found any question mark.
TEST_F(EditViewTest, FindDialogTextWithoutAByteFindsNothingInsteadOfAQuestionMark) {
    m_view->SetWindowText("what? \xC2\xB0");
    GuiTestHook hook;
    QString typed = QString::fromUtf8("\xE7\xBD\x91");
    hook.modalDialog = [&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("findWhat"))->setText(typed);
        return IDOK;
    };
    CScopedGuiTestHook installed(hook);
    m_view->SetSel(0, 0);
    m_view->OnEditFind();
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, end);
    // What the bytes show is found: the two bytes of the degree sign are the characters A-circumflex and
    // degree here.
    typed = QString::fromUtf8("\xC3\x82\xC2\xB0");
    m_view->OnEditFind();
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 6);
    EXPECT_EQ(end, 8);
}

TEST_F(EditViewTest, FindDialogRemembersTheTextForRepeat) {
    m_view->SetWindowText("alpha Beta beta");
    GuiTestHook hook;
    hook.modalDialog = [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("findWhat"))->setText(QStringLiteral("beta"));
        dialog.findChild<QCheckBox*>(QStringLiteral("matchCase"))->setChecked(true);
        return IDOK;
    };
    CScopedGuiTestHook installed(hook);
    m_view->OnEditFind();
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 11);
    EXPECT_EQ(m_view->m_strFind, "beta");
    EXPECT_TRUE(m_view->HasCommandHandler(ID_EDIT_REPEAT));
}

TEST_F(EditViewTest, CopyTakesTheShownCharactersWithoutDisplayBreaks) {
    std::string text(CDisplayText::kMaxRun + 20, 'x');
    text += std::string("\0\x1b\xe9", 3);
    m_view->SetWindowText(text);
    m_view->OnEditSelectAll();
    m_view->OnEditCopy();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied.size(), static_cast<qsizetype>(text.size()));
    EXPECT_FALSE(copied.contains(QChar(u'\n')));
    EXPECT_TRUE(copied.endsWith(QString::fromUtf16(u"\u2400\u241B\u00E9")));
}

TEST_F(EditViewTest, SerializeRawRefusesAFileOverTheLimitBeforeReading) {
    TempDir dir;
    const std::string path = dir.file("big.txt");
    WriteWholeFile(path, std::string(CEditView::nMaxSize + 1, 'y'));
    const MessageBoxAnswers boxes;
    GuiTestHook hook;
    hook.messageBox = boxes.Hook();
    CScopedGuiTestHook installed(hook);
    m_view->SetWindowText("kept");
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead));
    CArchive archive(&file, CArchive::load);
    EXPECT_THROW(m_view->SerializeRaw(archive), CUserException);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(file.GetPosition(), 0u);
    CString text;
    m_view->GetWindowText(text);
    EXPECT_EQ(text, "kept");
}
