#include "reception/CommThread.h"

#include "LevelOneLog.h"
#include "app/main.h"
#include "log/LogLevel.h"
#include "reception/DropReport.h"
#include "settings/Preference.h"
#include "support/MessageRecorder.h"
#include "support/SimDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr HWND kWindow = 0x74;
// Well beyond what the port's queue holds (a megabyte).
constexpr std::uint64_t kSent = 3 * 1024 * 1024;

template <class Condition> bool WaitFor(Condition condition, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    return condition();
}

TEST(DropEpisode, AnEpisodeEndsAtTheFirstPassWithoutNewDrops) {
    DropEpisode episode;
    EXPECT_EQ(episode.Observe(0), 0u);
    EXPECT_EQ(episode.Observe(100), 0u);
    EXPECT_EQ(episode.Observe(250), 0u);
    EXPECT_EQ(episode.Observe(250), 250u);
    EXPECT_EQ(episode.Observe(250), 0u);
    EXPECT_EQ(episode.Observe(300), 0u);
    EXPECT_EQ(episode.End(), 50u);
    EXPECT_EQ(episode.End(), 0u);
    EXPECT_EQ(DropEpisodeText("COM9", 50), "COM9: 50 bytes lost, input queue full.");
    EXPECT_EQ(PortClosedText("COM9", 1000, 24), "COM9 closed: 1000 bytes received, 24 bytes lost.");
}

} // namespace

// A frozen window keeps its pause while the device goes on sending: the full queue drops bytes, they are
// counted while the window is frozen, logged once when reception takes up again, and at the close the
// received and lost bytes add up to what the device sent.
TEST(CommThreadDrops, FrozenWindowCountsLogsAndReportsItsDrops) {
    ASSERT_NE(gMainApp.m_PrefApp, nullptr);
    LevelOneLog log;
    SimDevice device(53, {"--pattern", "--rate", "0", "--count", std::to_string(kSent)});
    MessageRecorder messages;
    {
        CCommThread thread(kWindow);
        thread.SetParameters(9600, device.comName());
        ASSERT_TRUE(thread.IsPortOpen());
        thread.Suspend();
        // The queue holds a megabyte; most of the rest is dropped while the window stays frozen.
        ASSERT_TRUE(WaitFor([&] { return thread.BytesDropped() >= kSent / 2; }, 60s))
            << thread.BytesDropped() << " dropped";
        EXPECT_TRUE(thread.m_Suspended);

        thread.Resume();
        ASSERT_TRUE(WaitFor([&] { return thread.BytesReceived() + thread.BytesDropped() == kSent; }, 60s));
        ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_DROPS, 1, 10s));
        ASSERT_TRUE(WaitFor(
            [&] { return log.Text().find("bytes lost, input queue full.") != std::string::npos; }, 10s));
        EXPECT_EQ(thread.BytesDroppedSinceClear(), thread.BytesDropped());
        thread.ClearData();
        EXPECT_EQ(thread.BytesDroppedSinceClear(), 0u);
        EXPECT_GT(thread.BytesDropped(), 0u);

        const std::string episode = DropEpisodeText(device.comName(), thread.BytesDropped());
        EXPECT_NE(log.Text().find(episode), std::string::npos) << log.Text();
        const std::string closed =
            PortClosedText(device.comName(), thread.BytesReceived(), thread.BytesDropped());
        thread.SetParameters(9600, "?");
        EXPECT_NE(log.Text().find(closed), std::string::npos) << log.Text();
    }
}
