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

TEST(CustomRateHeld, TheDivisorsRoundingIsHeldAnotherRateIsNot) {
    EXPECT_TRUE(CustomRateHeld(250000, 250000));
    // A bridge that runs 74880 as 76800 (2.6 percent off) still frames the bytes.
    EXPECT_TRUE(CustomRateHeld(74880, 76800));
    EXPECT_TRUE(CustomRateHeld(100000, 103000));
    EXPECT_TRUE(CustomRateHeld(100000, 97000));
    EXPECT_FALSE(CustomRateHeld(100000, 103001));
    EXPECT_FALSE(CustomRateHeld(100000, 96999));
    // A driver that falls back to 9600, or reports no rate, does not hold the rate asked.
    EXPECT_FALSE(CustomRateHeld(250000, 9600));
    EXPECT_FALSE(CustomRateHeld(250000, 0));
    EXPECT_TRUE(CustomRateHeld(4294967295u, 4294967295u));
    EXPECT_FALSE(CustomRateHeld(4294967295u, 0));
}

} // namespace
