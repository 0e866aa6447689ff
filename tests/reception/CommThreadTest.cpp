#include "reception/CommThread.h"

#include "framework/core/MessageBox.h"
#include "support/MessageRecorder.h"
#include "support/PollPasses.h"
#include "support/PresentedBoxes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr HWND kWindow = 0x51;
constexpr HWND kOtherWindow = 0x52;
// A device path that no machine has, so opening it fails at the first step.
const std::string kAbsentPort = "/dev/kestrune-absent-port";

std::vector<BYTE> Bytes(const std::string& text) {
    return std::vector<BYTE>(text.begin(), text.end());
}

TermSettingRec PlainSetting() {
    TermSettingRec setting;
    setting.nbMaxiByte = 0;
    setting.timestampInterval = 100;
    return setting;
}

CString DataOf(CCommThread& thread) {
    CString data;
    thread.GetData(data);
    return data;
}

} // namespace

// A new window's thread runs with its port closed under the name "?" and shows nothing.
TEST(CommThreadLifecycle, ANewThreadIdlesOnAClosedPortWithTheDefaults) {
    MessageRecorder messages;
    CCommThread thread(kWindow);
    EXPECT_TRUE(thread.m_Thread != nullptr);
    EXPECT_EQ(thread.m_CommPort.GetCommPort(), "?");
    EXPECT_EQ(thread.m_CommPort.GetBaudRate(), 9600u);
    EXPECT_FALSE(thread.IsPortOpen());
    EXPECT_FALSE(thread.m_Suspended);

    // The test runs where no INI file is, so the built-in terminal defaults apply.
    const TermSettingRec setting = thread.GetTermSetting();
    EXPECT_EQ(setting.nbMaxiByte, 1023u); // the largest loop whose text a window can load again
    EXPECT_EQ(setting.timestampInterval, 100u);
    EXPECT_FALSE(setting.bLF || setting.bCR || setting.bTimestamp || setting.bFilteredByte);
    EXPECT_TRUE(setting.timestampFormat.empty() && setting.FilteredBytesList.empty());

    ASSERT_TRUE(WaitForPollPasses(thread, 2));
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_DATA_READY), 0);
    EXPECT_TRUE(DataOf(thread).empty());
}

// Pausing is a two-state condition: any number of Suspend calls end with one Resume.
TEST(CommThreadLifecycle, SuspendAndResumeTellTheirStateAndEndPromptly) {
    const auto started = std::chrono::steady_clock::now();
    {
        CCommThread thread(kWindow);
        EXPECT_TRUE(thread.Suspend());
        EXPECT_TRUE(thread.Suspend());
        EXPECT_TRUE(thread.m_Suspended);
        EXPECT_TRUE(thread.Resume());
        EXPECT_FALSE(thread.m_Suspended);
        EXPECT_TRUE(thread.Resume());
        EXPECT_FALSE(thread.m_Suspended);
        thread.Suspend();
        // Destroyed while paused: the end must still reach the thread at once.
    }
    // Sleeps are interruptible, so five round trips and an end take far less than one 500 ms step each.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

// Ending a thread that has only just been started is not lost, however quickly it comes.
TEST(CommThreadLifecycle, CloseThreadRightAfterTheStartEndsTheThread) {
    for (int i = 0; i < 50; ++i) {
        CCommThread thread(kWindow);
        thread.CloseThread();
        ASSERT_TRUE(thread.m_Thread->joinable());
        thread.m_Thread->join();
        EXPECT_TRUE(thread.m_ThreadMutex.IsTerminated());
        // A pause asked of a thread that has ended returns at once instead of waiting for it.
        EXPECT_TRUE(thread.Suspend());
    }
}

// A port that cannot be opened is reported once; choosing the same name again leaves it closed and paused.
TEST(CommThreadConnection, AnOpenFailureIsShownAndTheSameNameIsNotRetried) {
    PresentedBoxes boxes;
    CCommThread thread(kWindow);

    thread.SetParameters(9600, kAbsentPort);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0],
              "Error opening comm port. Port already in use?\n" + kAbsentPort + ": " + std::strerror(ENOENT));
    EXPECT_FALSE(thread.IsPortOpen());
    EXPECT_FALSE(thread.m_Suspended);
    EXPECT_FALSE(thread.IsPortLost());

    thread.SetParameters(19200, kAbsentPort);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(thread.m_Suspended);
    EXPECT_EQ(thread.m_CommPort.GetBaudRate(), 19200u);
    EXPECT_EQ(thread.m_CommPort.GetCommPort(), kAbsentPort);

    // Another name tries again (and fails again), and the attempt resumes the thread.
    thread.SetParameters(9600, kAbsentPort + "-2");
    EXPECT_EQ(boxes.Texts().size(), 2u);
    EXPECT_FALSE(thread.m_Suspended);
}

TEST(CommThreadShaping, FilteredReadsStillPostAndUnfilteredNulStays) {
    MessageRecorder messages;
    CCommThread thread(kWindow);
    TermSettingRec setting = PlainSetting();
    setting.bFilteredByte = 1;
    setting.FilteredBytesList = "\\x07";
    thread.SetTermSetting(setting);

    thread.m_ReceivedChars = {0x07, 0x07};
    thread.SynchronizeData();
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_DATA_READY), 1);
    EXPECT_TRUE(DataOf(thread).empty());

    thread.m_ReceivedChars = {0x41, 0x00, 0x07, 0x42};
    thread.SynchronizeData();
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_DATA_READY), 2);
    EXPECT_EQ(DataOf(thread), std::string("A\0B", 3));
}

TEST(CommThreadShaping, ClearAndSetReplaceTheBufferBetweenChunks) {
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.m_ReceivedChars = Bytes("old text");
    thread.SynchronizeData();
    thread.ClearData();
    EXPECT_TRUE(DataOf(thread).empty());
    thread.m_ReceivedChars = Bytes("new");
    thread.SynchronizeData();
    EXPECT_EQ(DataOf(thread), "new");

    thread.SetData(std::string("loaded\0doc", 10));
    thread.m_ReceivedChars = Bytes("+");
    thread.SynchronizeData();
    EXPECT_EQ(DataOf(thread), std::string("loaded\0doc+", 11));
}

TEST(CommThreadShaping, NewSettingsTakeEffectWithTheNextReadAndTheLoopCuts) {
    CCommThread thread(kWindow);
    TermSettingRec setting = PlainSetting();
    thread.SetTermSetting(setting);
    thread.m_ReceivedChars = Bytes("a\n");
    thread.SynchronizeData();

    setting.bLF = 1;
    setting.nbMaxiByte = 1;
    thread.SetTermSetting(setting);
    thread.m_ReceivedChars = Bytes("b\n");
    thread.SynchronizeData();
    EXPECT_EQ(DataOf(thread), "a\nb\r\n");

    thread.m_ReceivedChars = std::vector<BYTE>(1500, 'x');
    thread.SynchronizeData();
    EXPECT_EQ(DataOf(thread), CString(1024, 'x'));

    std::vector<BYTE> bytes = {0x07, 0x41};
    setting.bFilteredByte = 1;
    setting.FilteredBytesList = "\\x41";
    thread.SetTermSetting(setting);
    thread.FilterByteacters(bytes);
    EXPECT_EQ(bytes, (std::vector<BYTE>{0x07}));
}

// Each window keeps its own last-data clock: steady traffic in one window must not hold back the
// timestamps of another.
TEST(CommThreadShaping, TimestampsOfOneWindowIgnoreTheTrafficOfAnother) {
    CCommThread first(kWindow);
    CCommThread second(kOtherWindow);
    DWORD tick = 1000;
    const TickSource ticks = [&tick] { return tick; };
    TermSettingRec setting = PlainSetting();
    setting.bTimestamp = 1;
    setting.timestampFormat = "T:";
    for (CCommThread* thread : {&first, &second}) {
        thread->SetTermSetting(setting);
        thread->SetTickSource(ticks);
    }

    first.m_ReceivedChars = Bytes("1");
    first.SynchronizeData();
    second.m_ReceivedChars = Bytes("A");
    second.SynchronizeData();
    for (int i = 0; i < 5; ++i) {
        tick += 50;
        first.m_ReceivedChars = Bytes("1");
        first.SynchronizeData();
    }
    tick += 50;
    second.m_ReceivedChars = Bytes("B");
    second.SynchronizeData();

    EXPECT_EQ(DataOf(first), "\r\nT:111111");
    EXPECT_EQ(DataOf(second), "\r\nT:A\r\nT:B");

    // A read made only of filtered bytes may still open a timestamp line.
    setting.bFilteredByte = 1;
    setting.FilteredBytesList = "\\x00";
    second.SetTermSetting(setting);
    tick += 500;
    second.m_ReceivedChars = {0x00};
    second.SynchronizeData();
    EXPECT_EQ(DataOf(second), "\r\nT:A\r\nT:B\r\nT:");
}

// With a stamp on every line the thread keeps the device's line across reads: a line split between reads,
// and a CR LF split between reads, are stamped once; switching back to the quiet-time rule stamps as before.
TEST(CommThreadShaping, StampsOnEveryLineFollowTheDevicesLinesAcrossReads) {
    CCommThread thread(kWindow);
    DWORD tick = 1000;
    thread.SetTickSource([&tick] { return tick; });
    TermSettingRec setting = PlainSetting();
    setting.bTimestamp = 1;
    setting.bTimestampEachLine = 1;
    setting.timestampFormat = "T:";
    thread.SetTermSetting(setting);
    for (const char* read : {"a", "b\r", "\nc", "\n"}) {
        thread.m_ReceivedChars = Bytes(read);
        thread.SynchronizeData();
    }
    EXPECT_EQ(DataOf(thread), "T:ab\r\nT:c\n");

    setting.bTimestampEachLine = 0;
    thread.SetTermSetting(setting);
    thread.m_ReceivedChars = Bytes("quiet rule");
    thread.SynchronizeData();
    EXPECT_EQ(DataOf(thread), "T:ab\r\nT:c\n\r\nT:quiet rule");

    // Back on every line in the middle of a line: the stamp waits for the next line.
    setting.bTimestampEachLine = 1;
    thread.SetTermSetting(setting);
    thread.m_ReceivedChars = Bytes(" goes on\rnext");
    thread.SynchronizeData();
    EXPECT_EQ(DataOf(thread), "T:ab\r\nT:c\n\r\nT:quiet rule goes on\rT:next");
}
