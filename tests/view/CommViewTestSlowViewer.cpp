// A device streams numbered lines into a window with a 4 KB loop while the user-interface thread is slow:
// it takes the messages only every few tens of milliseconds, so the buffer often moves on by more than the
// loop between two updates. Every text the view shows must be one unbroken piece of the stream, and at the
// end the view, the document and the thread's buffer must hold the same bytes.
#include "CommViewTestSupport.h"
#include "framework/gui/app/GuiServices.h"
#include "reception/CommThread.h"
#include "settings/SettingRec.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

TEST_F(TerminalWindowTest, ASlowViewerShowsOnlyUnbrokenPiecesOfTheStreamAndEndsWithTheThreadsBuffer) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    TermSettingRec setting = view->m_commThread->GetTermSetting();
    setting.nbMaxiByte = 4;
    view->m_commThread->SetTermSetting(setting);

    const std::string stream = NumberedLines(12000);
    std::atomic<bool> sent{false};
    // Bursts of up to 6 KB every few milliseconds: about 100 KB/s, far below what the port's queue holds
    // between two polls, so the reception thread keeps every byte.
    std::thread device([&] {
        std::size_t done = 0;
        for (std::size_t burst = 1; done < stream.size(); ++burst) {
            const std::size_t size = std::min(stream.size() - done, 1 + burst * 977 % 6000);
            m_device.Send(stream.substr(done, size));
            done += size;
            std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(burst % 5) * 10));
        }
        sent = true;
    });

    int updates = 0;
    int broken = 0;
    CString previous;
    for (int step = 0; !sent || step % 8 != 0; ++step) {
        // A slow viewer: 20 to 90 ms between two looks at its messages.
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + step * 37 % 71));
        AfxPumpMessages();
        const CString text = TextOf(view);
        if (text == previous || text.empty())
            continue;
        ++updates;
        if (stream.find(text) == std::string::npos)
            ++broken;
        previous = text;
    }
    device.join();

    // Everything the device sent has either reached the thread or been dropped by the port's queue (a
    // starved reception thread on a loaded machine); the view must then hold the thread's buffer.
    CCommThread* thread = view->m_commThread;
    const auto dropped = [&] { return static_cast<std::size_t>(thread->BytesDropped()); };
    CString threadText;
    ASSERT_TRUE(WaitFor(
        [&] {
            thread->GetData(threadText);
            return thread->BytesReceived() + dropped() == stream.size() && TextOf(view) == threadText;
        },
        10000))
        << thread->BytesReceived() << " bytes received, " << dropped() << " dropped";
    EXPECT_EQ(DocumentOf(view)->m_strData, threadText);
    EXPECT_GT(updates, 10);
    if (dropped() != 0)
        GTEST_SKIP() << "the port's queue dropped " << dropped()
                     << " bytes; the pieces shown cannot be judged";
    EXPECT_EQ(threadText, stream.substr(stream.size() - 4096));
    EXPECT_EQ(broken, 0) << "of " << updates << " texts shown";
}
