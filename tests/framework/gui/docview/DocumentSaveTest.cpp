// Saving writes beside the old file and renames into place: a failure leaves the old file whole.
#include "framework/files/File.h"
#include "framework/gui/dialogs/FileDialog.h"
#include "framework/gui/docview/Archive.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/SafeSave.h"
#include "framework/gui/windows/TestHook.h"
#include "support/DialogTestSupport.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TextDocument : public CDocument {
public:
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring()) {
            ar.Write(text.data(), static_cast<UINT>(text.size()) / 2);
            if (failHalfway)
                throw std::runtime_error("disk full");
            ar.Write(text.data() + text.size() / 2, static_cast<UINT>(text.size() - text.size() / 2));
        }
    }
    std::string text;
    bool failHalfway = false;
};

std::size_t FilesIn(const std::string& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

} // namespace

TEST(DocumentSave, AFailedSaveLeavesTheOldFileWholeAndNoLeftovers) {
    EnsureDialogTestApplication();
    TempDir dir;
    const std::string path = dir.file("text.txt");
    WriteWholeFile(path, "the old content");
    TextDocument document;
    document.text = "new content that fails";
    document.failHalfway = true;
    document.SetModifiedFlag(TRUE);
    const MessageBoxAnswers boxes;
    GuiTestHook hook;
    hook.messageBox = boxes.Hook();
    CScopedGuiTestHook installed(hook);
    EXPECT_FALSE(document.DoSave(path.c_str()));
    EXPECT_EQ(ReadWholeFile(path), "the old content");
    EXPECT_EQ(FilesIn(dir.path()), 1u);
    EXPECT_TRUE(document.IsModified());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_NE(boxes.Texts().front().find("disk full"), CString::npos);

    document.failHalfway = false;
    EXPECT_TRUE(document.DoSave(path.c_str()));
    EXPECT_EQ(ReadWholeFile(path), "new content that fails");
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(DocumentSave, AWriteThatFailsNamesTheChosenFileNotTheHiddenOne) {
    EnsureDialogTestApplication();
    TempDir dir;
    const std::string path = dir.file("capture.txt");
    WriteWholeFile(path, "the old content");
    TextDocument document;
    document.text.assign(64 * 1024, 'x');
    MessageBoxAnswers answers;
    GuiTestHook hook;
    hook.messageBox = answers.Hook();
    CScopedGuiTestHook installed(hook);
    // A file size limit makes the write into the new file fail as a full disk would.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1000;
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const BOOL saved = document.DoSave(path.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadWholeFile(path), "the old content");
    const std::vector<CString>& boxes = answers.Texts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes.front().find("\"" + path + "\""), CString::npos) << boxes.front();
    EXPECT_EQ(boxes.front().find(".saving-"), CString::npos) << boxes.front();
}

TEST(DocumentSave, SaveKeepsPermissionsAndTheLinkToTheFile) {
    TempDir dir;
    const std::string target = dir.file("real.txt");
    const std::string link = dir.file("link.txt");
    WriteWholeFile(target, "old");
    ::chmod(target.c_str(), 0640);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    {
        CSafeSave save(link);
        save.File().Write("new", 3);
        save.Commit();
    }
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadWholeFile(target), "new");
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(DocumentSave, TitleFollowsTheFileAndTheSaveQuestionNamesTheDocument) {
    EnsureDialogTestApplication();
    TextDocument document;
    document.SetTitle("KT_COM3");
    document.SetModifiedFlag(TRUE);
    const MessageBoxAnswers boxes(IDCANCEL);
    GuiTestHook hook;
    hook.messageBox = boxes.Hook();
    CScopedGuiTestHook installed(hook);
    EXPECT_FALSE(document.SaveModified());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_NE(boxes.Texts().front().find("KT_COM3"), CString::npos);
    document.SetPathName("/some/folder/capture.txt");
    EXPECT_EQ(document.GetTitle(), "capture.txt");
}

TEST(DocumentSave, FileDialogFiltersAndDefaultExtension) {
    EXPECT_EQ(CFileDialog::QtFilterFromFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*||"),
              "Text Files (*.txt);;All Files (*)");
    EXPECT_EQ(CFileDialog::WithDefaultExtension("/tmp/KT_COM3", ".txt"), "/tmp/KT_COM3.txt");
    EXPECT_EQ(CFileDialog::WithDefaultExtension("/tmp/a.log", ".txt"), "/tmp/a.log");
    EXPECT_EQ(CFileDialog::WithDefaultExtension("/tmp.d/name", "txt"), "/tmp.d/name.txt");
}
