// Port descriptions read from a fake system tree: sysfs class entries and USB attributes, /dev nodes and
// the by-id links, as the kernel and udev lay them out.
#include "framework/serial/PortDescription.h"
#include "framework/serial/PortTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class FakeSystem {
public:
    const std::string& root() const { return m_dir.path(); }
    std::string ports() const { return m_dir.file("ports"); }
    std::string ttyClass() const { return m_dir.file("sys/class/tty"); }

    FakeSystem() {
        fs::create_directories(m_dir.file("sys/class/tty"));
        fs::create_directories(m_dir.file("sys/bus/usb-serial/drivers/ftdi_sio"));
        fs::create_directories(m_dir.file("dev/serial/by-id"));
        fs::create_directories(ports());
    }

    // A USB adapter at bus position `position` (such as "1-2") with its tty `node` under interface :1.0.
    void AddUsb(const std::string& node, const std::string& position, const std::string& manufacturer,
                const std::string& product, const std::string& serial, const std::string& byId = "") {
        const std::string usb = m_dir.file("sys/devices/pci0000:00/usb1/" + position);
        const std::string tty = usb + "/" + position + ":1.0/" + node;
        fs::create_directories(tty);
        WriteWholeFile(usb + "/idVendor", "0403\n");
        WriteWholeFile(usb + "/idProduct", "6001\n");
        if (!manufacturer.empty())
            WriteWholeFile(usb + "/manufacturer", manufacturer + "\n");
        if (!product.empty())
            WriteWholeFile(usb + "/product", product + "\n");
        if (!serial.empty())
            WriteWholeFile(usb + "/serial", serial + "\n");
        fs::create_directory_symlink(m_dir.file("sys/bus/usb-serial/drivers/ftdi_sio"), tty + "/driver");
        AddClassEntry(node, tty);
        if (!byId.empty())
            fs::create_symlink("../../" + node, m_dir.file("dev/serial/by-id/" + byId));
    }

    void AddBuiltIn(const std::string& node) {
        const std::string tty = m_dir.file("sys/devices/platform/serial8250/" + node);
        fs::create_directories(tty);
        fs::create_directory_symlink(m_dir.file("sys/bus/usb-serial/drivers/ftdi_sio"), tty + "/driver");
        AddClassEntry(node, tty);
        WriteWholeFile(ttyClass() + "/" + node + "/type", "4\n");
    }

    void Pin(const std::string& name, const std::string& target) {
        fs::create_symlink(target, ports() + "/" + name);
    }

private:
    void AddClassEntry(const std::string& node, const std::string& device) {
        fs::create_directories(ttyClass() + "/" + node);
        fs::create_directory_symlink(device, ttyClass() + "/" + node + "/device");
        WriteWholeFile(m_dir.file("dev/" + node), "");
    }

    TempDir m_dir;
};

TEST(PortDescription, UsbAdapterShowsNodeVendorProductAndSerialNumber) {
    FakeSystem system;
    system.AddUsb("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "A10K1234");
    system.AddUsb("ttyACM0", "1-2", "", "", "", "usb-Arduino_Uno_7563-if00");
    system.AddUsb("ttyUSB1", "1-3", "", "", "");
    const CPortDescriber describer(system.root());
    EXPECT_EQ(describer.Describe("/dev/ttyUSB0"), "/dev/ttyUSB0: FTDI FT232R USB UART, serial A10K1234");
    // Without names from the device, the vendor and product numbers tell what it is.
    EXPECT_EQ(describer.Describe("/dev/ttyUSB1"), "/dev/ttyUSB1: USB 0403:6001");
    EXPECT_EQ(describer.Describe("/dev/ttyACM0"), "/dev/ttyACM0: USB 0403:6001");
}

TEST(PortDescription, ByIdNameTellsADeviceThatSysfsDoesNotAndBuiltInPortIsItsNode) {
    FakeSystem system;
    system.AddBuiltIn("ttyS0");
    fs::create_symlink("../../ttyS0", system.root() + "/dev/serial/by-id/pci-Moxa_CP-102-port0");
    const CPortDescriber describer(system.root());
    EXPECT_EQ(describer.Describe("/dev/ttyS0"), "/dev/ttyS0: pci-Moxa_CP-102-port0");
    fs::remove(system.root() + "/dev/serial/by-id/pci-Moxa_CP-102-port0");
    EXPECT_EQ(CPortDescriber(system.root()).Describe("/dev/ttyS0"), "/dev/ttyS0");
}

TEST(PortDescription, PseudoTerminalIsNamedAsToldAndALostDeviceIsNotConnected) {
    FakeSystem system;
    fs::create_directories(system.root() + "/dev/pts");
    WriteWholeFile(system.root() + "/dev/pts/3", "");
    system.Pin("COM9", system.root() + "/dev/pts/3");
    system.Pin("COM4", system.root() + "/dev/serial/by-id/usb-FTDI_gone-if00-port0");
    const CPortDescriber describer(system.root(), "test device");
    EXPECT_EQ(describer.Describe(system.ports() + "/COM9"), "/dev/pts/3: test device");
    EXPECT_EQ(CPortDescriber(system.root()).Describe(system.ports() + "/COM9"),
              "/dev/pts/3: pseudo terminal");
    // The pinned link names the adapter that is missing.
    EXPECT_EQ(describer.Describe(system.ports() + "/COM4"),
              system.root() + "/dev/serial/by-id/usb-FTDI_gone-if00-port0: not connected");
    EXPECT_EQ(describer.Describe("/dev/ttyUSB9"), "/dev/ttyUSB9: not connected");
}

TEST(PortDescription, VendorTextWithControlBytesAndBlanksIsCleaned) {
    FakeSystem system;
    system.AddUsb("ttyUSB0", "1-1", "  Silicon\tLabs ", "CP2102\r", "0001");
    EXPECT_EQ(CPortDescriber(system.root()).Describe("/dev/ttyUSB0"),
              "/dev/ttyUSB0: Silicon Labs CP2102, serial 0001");
}

TEST(PortDescription, PinnedByIdLinkIsDescribedByTheAdapterItLeadsTo) {
    FakeSystem system;
    system.AddUsb("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "A10K1234",
                  "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0");
    system.Pin("COM3", system.root() + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0");
    const auto table = ReadPortTable(system.ports(), system.ttyClass());
    const auto descriptions = DescribePorts(table, CPortDescriber(system.root()));
    ASSERT_EQ(descriptions.size(), 2u);
    EXPECT_EQ(descriptions.at("COM3"), "/dev/ttyUSB0: FTDI FT232R USB UART, serial A10K1234");
    // The same adapter also takes the first free number as a device of the class.
    EXPECT_EQ(descriptions.at("COM1"), "/dev/ttyUSB0: FTDI FT232R USB UART, serial A10K1234");
}

TEST(PortDescription, SixtyFourAdaptersAreListedAndDescribedInUnderFiftyMilliseconds) {
    FakeSystem system;
    for (int i = 0; i < 64; ++i)
        system.AddUsb("ttyUSB" + std::to_string(i), "1-" + std::to_string(i + 1), "FTDI", "FT232R USB UART",
                      "S" + std::to_string(i),
                      "usb-FTDI_FT232R_USB_UART_S" + std::to_string(i) + "-if00-port0");
    // The work is measured in the processor time it takes (system calls included), so that a machine
    // shared with other builds does not make it look slow; the wall time of the best run is shown.
    auto cpuNow = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    };
    auto bestCpu = std::chrono::nanoseconds::max();
    auto bestWall = std::chrono::steady_clock::duration::max();
    std::map<std::string, std::string> descriptions;
    for (int run = 0; run < 5; ++run) {
        const auto cpuStart = cpuNow();
        const auto wallStart = std::chrono::steady_clock::now();
        descriptions =
            DescribePorts(ReadPortTable(system.ports(), system.ttyClass()), CPortDescriber(system.root()));
        bestWall = std::min(bestWall, std::chrono::steady_clock::now() - wallStart);
        bestCpu =
            std::min(bestCpu, std::chrono::duration_cast<std::chrono::nanoseconds>(cpuNow() - cpuStart));
    }
    ASSERT_EQ(descriptions.size(), 64u);
    EXPECT_EQ(descriptions.at("COM64"), "/dev/ttyUSB63: FTDI FT232R USB UART, serial S63");
    const auto wallMs = std::chrono::duration_cast<std::chrono::microseconds>(bestWall).count() / 1000.0;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(bestCpu).count(), 50)
        << "wall time " << wallMs << " ms";
    std::printf("64 ports listed and described: %.1f ms processor time, %.1f ms wall time\n",
                std::chrono::duration_cast<std::chrono::microseconds>(bestCpu).count() / 1000.0, wallMs);
}

} // namespace

TEST(PortDescription, ARemotePortIsDescribedByItsProtocolAndAddress) {
    const CPortDescriber describer;
    EXPECT_EQ(describer.Describe("rfc2217://lab-pi:3001"), "remote, RFC 2217, lab-pi:3001");
    EXPECT_EQ(describer.Describe("tcp://10.0.0.5:4000"), "remote, TCP, 10.0.0.5:4000");
}
