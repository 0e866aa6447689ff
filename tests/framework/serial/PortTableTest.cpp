// The COM-name table from a port directory and a tty class folder built in a temporary directory.
#include "framework/serial/PortTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void MakeTty(const TempDir& root, const std::string& name, bool withDriver, const std::string& type = "") {
    const std::string folder = root.file("tty/" + name);
    mkdir(root.file("tty").c_str(), 0755);
    mkdir(folder.c_str(), 0755);
    mkdir((folder + "/device").c_str(), 0755);
    if (withDriver) {
        ASSERT_EQ(symlink("/nonexistent/driver", (folder + "/device/driver").c_str()), 0);
    }
    if (!type.empty())
        WriteWholeFile(folder + "/type", type + "\n");
}

TEST(PortTable, NamesOfPortsAreComAndANonZeroNumber) {
    EXPECT_EQ(PortNumberOfName("COM7"), 7u);
    EXPECT_EQ(PortNumberOfName("com12"), 12u);
    EXPECT_EQ(PortNumberOfName("COM0"), 0u);
    EXPECT_EQ(PortNumberOfName("COM"), 0u);
    EXPECT_EQ(PortNumberOfName("COM7x"), 0u);
    EXPECT_EQ(PortNumberOfName("LPT1"), 0u);
}

TEST(PortTable, PinnedLinksComeFirstAndDevicesTakeTheFreeNumbers) {
    TempDir root;
    const std::string ports = root.file("ports");
    mkdir(ports.c_str(), 0755);
    ASSERT_EQ(symlink("/dev/ttyUSB7", (ports + "/COM2").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", (ports + "/COM10").c_str()), 0);
    WriteWholeFile(ports + "/COM3", "a plain file is no port");
    ASSERT_EQ(symlink("/dev/null", (ports + "/notes").c_str()), 0);
    MakeTty(root, "ttyACM0", true);
    MakeTty(root, "ttyUSB1", true);
    MakeTty(root, "ttyUSB0", true);
    MakeTty(root, "ttyS10", true, "4");
    MakeTty(root, "ttyS2", true, "4");
    MakeTty(root, "ttyS3", true, "0"); // a placeholder of unknown type
    MakeTty(root, "tty5", false);      // a console has no driver
    MakeTty(root, "ttyAMA0", true);

    bool read = false;
    const std::vector<PortEntry> table = ReadPortTable(ports, root.file("tty"), &read);
    EXPECT_TRUE(read);
    std::vector<std::string> rows;
    for (const PortEntry& entry : table)
        rows.push_back(entry.name + "=" + entry.device);
    EXPECT_EQ(rows,
              (std::vector<std::string>{"COM2=" + ports + "/COM2", "COM10=" + ports + "/COM10",
                                        "COM1=/dev/ttyS2", "COM3=/dev/ttyS10", "COM4=/dev/ttyUSB0",
                                        "COM5=/dev/ttyUSB1", "COM6=/dev/ttyACM0", "COM7=/dev/ttyAMA0"}));

    EXPECT_EQ(ResolvePortName("COM5", table), "/dev/ttyUSB1");
    EXPECT_EQ(ResolvePortName("com5", table), "/dev/ttyUSB1");
    EXPECT_EQ(ResolvePortName("\\\\.\\COM10", table), ports + "/COM10");
    EXPECT_EQ(ResolvePortName("/dev/pts/3", table), "/dev/pts/3");
    EXPECT_EQ(ResolvePortName("COM42", table), "");
    EXPECT_EQ(ResolvePortName("?", table), "");
}

TEST(PortTable, MissingFoldersGiveOnlyWhatExists) {
    TempDir root;
    bool read = true;
    EXPECT_TRUE(ReadPortTable(root.file("none"), root.file("nothing"), &read).empty());
    EXPECT_FALSE(read);
}

} // namespace

// A port directory entry may point at a port on another machine: the COM name then opens that port,
// which lists count as present (only connecting would tell otherwise) and describe as remote.
TEST(PortTable, ALinkToARemotePortNameStandsForThatPort) {
    TempDir root;
    const std::string ports = root.file("ports");
    mkdir(ports.c_str(), 0755);
    ASSERT_EQ(symlink("rfc2217://lab-pi:3001", (ports + "/COM20").c_str()), 0);
    ASSERT_EQ(symlink("tcp://[::1]:4000", (ports + "/COM21").c_str()), 0);
    ASSERT_EQ(symlink("rfc2217://no port", (ports + "/COM22").c_str()), 0);
    const std::vector<PortEntry> table = ReadPortTable(ports, root.file("none"));
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(ResolvePortName("COM20", table), "rfc2217://lab-pi:3001");
    EXPECT_EQ(ResolvePortName("com21", table), "tcp://[::1]:4000");
    EXPECT_EQ(ResolvePortName("COM22", table), ports + "/COM22");
    EXPECT_TRUE(PortDevicePresent(table[0]));
    EXPECT_FALSE(PortDevicePresent(table[2]));

    EXPECT_EQ(ResolvePortName("rfc2217://10.0.0.5:3001", table), "rfc2217://10.0.0.5:3001");
    EXPECT_TRUE(NamesAPort("tcp://lab-pi:4000"));
    EXPECT_FALSE(NamesAPort("tcp://lab-pi"));
}
