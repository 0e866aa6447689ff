#include "PdfText.h"
#include "PrivateCups.h"
#include "support/DialogPortDirectory.h"
#include "support/DialogTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitTimedOut = -1000;

// The program started as a user's desktop would start it to print a file: in a working folder holding its
// INI file, with a home folder of its own, no print server and no display.
class DirectPrintProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef KESTRUNE_PROGRAM_PATH
        GTEST_SKIP() << "the program is not built in this tree";
#endif
        ::mkdir(m_work.file("home").c_str(), 0700);
        WriteWholeFile(m_work.file("Kestrune.ini"),
                       "[COM]\r\nPort=COM7\r\nBaudRate=9600\r\nByteSize=8\r\nParity=0\r\nStopBit=0\r\n");
        std::string text;
        for (int n = 1; n <= 120; ++n)
            text += "capture line " + std::to_string(n) + "\r\n";
        WriteWholeFile(m_work.file("capture.txt"), text);
    }

    std::string Home() const {
        return m_work.file("home");
    }

    // Runs the program with arguments and returns its exit status, or kExitTimedOut after a minute.
    int RunProgram(const std::vector<std::string>& arguments,
                   const std::string& printServer = std::string()) {
#ifdef KESTRUNE_PROGRAM_PATH
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(m_work.path().c_str()) != 0)
                ::_exit(126);
            ::setenv("HOME", Home().c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (Home() + "/.config").c_str(), 1);
            // Without a server of the test's own, one that does not exist: the machine's printers stay out.
            const std::string server = printServer.empty() ? m_work.file("no-server.sock") : printServer;
            ::setenv("CUPS_SERVER", server.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(KESTRUNE_PROGRAM_PATH));
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(KESTRUNE_PROGRAM_PATH, argv.data());
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return kExitTimedOut;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
#else
        (void)arguments;
        (void)printServer;
        return kExitTimedOut;
#endif
    }

    void ExpectPrintout(const std::string& pdf) {
        ASSERT_GT(PdfPageCount(pdf), 1) << pdf;
        const std::string all = PdfText(pdf);
        EXPECT_NE(std::string::npos, all.find("capture line 1\n")) << all.substr(0, 400);
        EXPECT_NE(std::string::npos, all.find("capture line 120")) << all.substr(0, 400);
        EXPECT_NE(std::string::npos, PdfText(pdf, 1).find("page: 1"));
        EXPECT_NE(std::string::npos, all.find("Edition: "));
        EXPECT_EQ("capture.txt", PdfTitle(pdf));
    }

    DialogPortDirectory m_ports{{7}};
    TempDir m_work;
};

TEST_F(DirectPrintProgramTest, PrintSwitchPrintsTheFileWithoutADialogAndEnds) {
    ::mkdir((Home() + "/Documents").c_str(), 0700);
    EXPECT_EQ(0, RunProgram({"/p", "capture.txt"}));
    ExpectPrintout(Home() + "/Documents/Kestrune.pdf");
}

TEST_F(DirectPrintProgramTest, WithoutADocumentsFolderThePrintoutGoesToTheHomeFolder) {
    EXPECT_EQ(0, RunProgram({"-P", "capture.txt"}));
    ExpectPrintout(Home() + "/Kestrune.pdf");
}

TEST_F(DirectPrintProgramTest, PrintToSwitchPrintsOnTheNamedQueueAndEnds) {
    PrivateCups cups;
    if (!cups.Failure().empty())
        GTEST_SKIP() << "no private print server: " << cups.Failure();
    ASSERT_TRUE(cups.AddQueue("office"));
    EXPECT_EQ(0, RunProgram({"/pt", "capture.txt", "office"}, cups.Socket()));
    EXPECT_EQ(1, cups.JobCount("office"));
    // Nothing went to the PDF file of a machine without printers.
    EXPECT_TRUE(ReadWholeFile(Home() + "/Kestrune.pdf").empty());
}

} // namespace
