// A port that cannot be opened and a port that is lost are told with the system's reason after the
// program's own text, in the message and in the activity log.
#include "reception/CommThread.h"

#include "LevelOneLog.h"
#include "framework/core/MessageBox.h"
#include "support/MessageRecorder.h"
#include "support/PresentedBoxes.h"
#include "support/PseudoTerminal.h"
#include "support/SimDevice.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr HWND kWindow = 0x75;

} // namespace

TEST(CommThreadReason, AnOpenFailureSaysWhyInTheMessageAndTheLog) {
    LevelOneLog log;
    PresentedBoxes boxes;
    {
        CCommThread thread(kWindow);
        thread.SetParameters(9600, "/dev/kestrune-absent-port");
    }
    const std::string why = std::string("/dev/kestrune-absent-port: ") + std::strerror(ENOENT);
    ASSERT_EQ(1u, boxes.Texts().size());
    EXPECT_EQ("Error opening comm port. Port already in use?\n" + why, boxes.Texts()[0]);
    EXPECT_NE(std::string::npos, log.Text().find("Error opening comm port: " + why)) << log.Text();

    // A port another program holds is busy, not missing.
    PseudoTerminal device;
    TCommPort holder;
    holder.SetCommPort(device.path());
    holder.OpenCommPort();
    {
        CCommThread thread(kWindow);
        thread.SetParameters(9600, device.path());
    }
    ASSERT_EQ(2u, boxes.Texts().size());
    EXPECT_EQ("Error opening comm port. Port already in use?\n" + device.path() + ": " + std::strerror(EBUSY),
              boxes.Texts()[1]);
}

TEST(CommThreadReason, ALostPortIsLoggedWithTheReason) {
    LevelOneLog log;
    SimDevice device(53, {"--pattern", "--rate", "2000", "--count", "0"});
    MessageRecorder messages;
    CCommThread thread(kWindow);
    thread.SetParameters(9600, device.comName());
    ASSERT_TRUE(thread.IsPortOpen());
    device.unplug();
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_LOST, 1, 10s));
    const std::string record =
        "Comm port " + device.comName() + " lost, waiting for it to come back: " + std::strerror(EIO);
    EXPECT_NE(std::string::npos, log.Text().find(record)) << log.Text();
}
