// Reading back what a device holds after settings were applied.
#include "framework/serial/SerialTermios.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace {

termios Line(speed_t speed, tcflag_t frame) {
    termios settings{};
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    settings.c_cflag |= CREAD | frame;
    return settings;
}

TEST(SettingsHeld, KeptCharacterSizeOrParityIsARefusalExceptWhereTheDeviceFixesThem) {
    const termios asked = Line(B9600, CS7 | PARENB);
    const termios kept = Line(B9600, CS8);
    EXPECT_FALSE(SettingsHeld(asked, kept, false, false));
    EXPECT_TRUE(SettingsHeld(asked, kept, true, false));
    EXPECT_TRUE(SettingsHeld(asked, asked, false, false));
}

TEST(SettingsHeld, KeptSpeedOrStopBitsIsAlwaysARefusal) {
    const termios asked = Line(B115200, CS8 | CSTOPB);
    EXPECT_FALSE(SettingsHeld(asked, Line(B9600, CS8 | CSTOPB), true, false));
    EXPECT_FALSE(SettingsHeld(asked, Line(B115200, CS8), true, false));
    // A rate without a speed constant is set and checked separately.
    EXPECT_TRUE(SettingsHeld(asked, Line(B9600, CS8 | CSTOPB), true, true));
}

} // namespace
