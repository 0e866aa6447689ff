// The installed tree: what `cmake --install` puts under a prefix, checked file by file and by the desktop's
// own validators, and the help page found from the installed program's folder.
#include "framework/core/HelpPage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kAppId = "org.kestrune.Kestrune";

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool IsExecutable(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

// Runs a shell command, keeping what it prints; returns its exit status.
int RunCommand(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return -1;
    std::string text;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        text += chunk;
    const int status = pclose(pipe);
    if (output != nullptr)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& tool) {
    return RunCommand("command -v " + tool + " >/dev/null") == 0;
}

// Width and height from a PNG's header chunk.
bool PngSize(const std::string& path, unsigned& width, unsigned& height) {
    std::ifstream in(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[1] != 'P' || header[2] != 'N')
        return false;
    auto big = [&](int at) {
        return (unsigned(header[at]) << 24) | (unsigned(header[at + 1]) << 16) |
               (unsigned(header[at + 2]) << 8) | unsigned(header[at + 3]);
    };
    width = big(16);
    height = big(20);
    return true;
}

// One installation into a temporary prefix, shared by the tests of this file.
class InstalledTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = new TempDir();
        const std::string binary = KESTRUNE_BINARY_DIR;
        std::string command;
        if (access(binary.c_str(), W_OK) == 0) {
            command = std::string("'") + KESTRUNE_CMAKE_COMMAND + "' --install '" + binary + "' --prefix '" +
                      s_prefix->path() + "'";
        } else {
            // An unprivileged test run may not write the build folder, where installing leaves its list of
            // installed files: the same install script runs with that list in the temporary folder.
            command = "sed 's|\"" + binary + "/${CMAKE_INSTALL_MANIFEST}\"|\"" + s_prefix->path() +
                      "/manifest.txt\"|' '" + binary + "/cmake_install.cmake' > '" + s_prefix->path() +
                      "/install.cmake' && '" + KESTRUNE_CMAKE_COMMAND + "' -DCMAKE_INSTALL_PREFIX='" +
                      s_prefix->path() + "' -P '" + s_prefix->path() + "/install.cmake'";
        }
        s_status = RunCommand(command, s_output);
    }
    static void TearDownTestSuite() {
        delete s_prefix;
        s_prefix = nullptr;
    }
    void SetUp() override { ASSERT_EQ(s_status, 0) << *s_output; }

    static std::string At(const std::string& relative) { return s_prefix->path() + "/" + relative; }

    static TempDir* s_prefix;
    static int s_status;
    static std::string* s_output;
};

TempDir* InstalledTree::s_prefix = nullptr;
int InstalledTree::s_status = -1;
std::string* InstalledTree::s_output = new std::string;

TEST_F(InstalledTree, HoldsBothProgramsTheHelpPageAndTheManualPages) {
    EXPECT_TRUE(IsExecutable(At("bin/kestrune")));
    EXPECT_TRUE(IsExecutable(At("bin/kestrune-sim")));
    EXPECT_TRUE(Exists(At("share/kestrune/help/index.html")));
    EXPECT_TRUE(Exists(At("share/man/man1/kestrune.1.gz")));
    EXPECT_TRUE(Exists(At("share/man/man1/kestrune-sim.1.gz")));
    if (HaveTool("man")) {
        std::string page;
        EXPECT_EQ(RunCommand("MANWIDTH=80 man -l '" + At("share/man/man1/kestrune.1.gz") + "'", &page), 0)
            << page;
        EXPECT_NE(page.find("usermod"), std::string::npos);
        EXPECT_NE(page.find("KESTRUNE_PORTS"), std::string::npos);
    }
}

TEST_F(InstalledTree, DocumentationFolderHoldsTheCopyrightAndTheChangelogOfThisVersion) {
    // Debian's machine-readable copyright format opens with the address of its definition.
    const std::string format = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n";
    const std::string copyright = ReadWholeFile(At("share/doc/kestrune/copyright"));
    EXPECT_EQ(copyright.rfind(format, 0), 0u) << copyright;
    std::string changelog;
    EXPECT_EQ(RunCommand("zcat '" + At("share/doc/kestrune/changelog.gz") + "'", &changelog), 0) << changelog;
    EXPECT_EQ(changelog.rfind(std::string("kestrune (") + KESTRUNE_VERSION + ") ", 0), 0u) << changelog;
}

TEST_F(InstalledTree, InstalledProgramFindsItsHelpPageInTheDataFolder) {
    const std::string found = FindHelpPage(At("bin"), "kestrune");
    EXPECT_EQ(found, At("bin/../share/kestrune/help/index.html"));
}

TEST(HelpPageSearch, BuildTreeCopyBesideTheProgramComesFirstAndNothingGivesEmpty) {
    TempDir tree;
    EXPECT_EQ(FindHelpPage(tree.path() + "/bin", "kestrune"), "");
    mkdir((tree.path() + "/bin").c_str(), 0755);
    mkdir((tree.path() + "/bin/help").c_str(), 0755);
    WriteWholeFile(tree.file("bin/help/index.html"), "<html></html>");
    EXPECT_EQ(FindHelpPage(tree.path() + "/bin", "kestrune"), tree.file("bin/help/index.html"));
}

TEST_F(InstalledTree, IconsComeAtEverySizeAndAsADrawing) {
    for (unsigned size : {16u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        unsigned width = 0;
        unsigned height = 0;
        ASSERT_TRUE(PngSize(At("share/icons/hicolor/" + folder + "/apps/" + kAppId + ".png"), width, height))
            << folder;
        EXPECT_EQ(width, size);
        EXPECT_EQ(height, size);
    }
    const std::string svg = ReadWholeFile(At("share/icons/hicolor/scalable/apps/" + kAppId + ".svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
}

TEST_F(InstalledTree, DesktopEntryNamesTheProgramItsIconAndWhatItOpens) {
    const std::string entry = ReadWholeFile(At("share/applications/" + kAppId + ".desktop"));
    for (const char* line :
         {"Name=Kestrune\n", "GenericName=Serial Terminal\n", "Categories=Development;Electronics;Utility;\n",
          "MimeType=text/plain;\n", "Exec=kestrune %F\n", "Icon=org.kestrune.Kestrune\n"})
        EXPECT_NE(entry.find(line), std::string::npos) << line;
    if (!HaveTool("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is missing (package desktop-file-utils)";
    std::string report;
    EXPECT_EQ(RunCommand("desktop-file-validate '" + At("share/applications/" + kAppId + ".desktop") + "'",
                         &report),
              0)
        << report;
}

TEST_F(InstalledTree, AppStreamDescriptionValidatesAndLaunchesTheDesktopEntry) {
    const std::string metainfo = ReadWholeFile(At("share/metainfo/" + kAppId + ".metainfo.xml"));
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">" + kAppId + ".desktop</launchable>"),
              std::string::npos);
    if (!HaveTool("appstreamcli"))
        GTEST_SKIP() << "appstreamcli is missing (package appstream)";
    std::string report;
    EXPECT_EQ(RunCommand("appstreamcli validate --no-net '" +
                             At("share/metainfo/" + kAppId + ".metainfo.xml") + "'",
                         &report),
              0)
        << report;
}

} // namespace

namespace {

TEST_F(InstalledTree, HelpPageCoversEveryMenuItemDialogFieldAndIniKey) {
    const std::string page = ReadWholeFile(At("share/kestrune/help/index.html"));
    const char* const topics[] = {
        // menu items
        "New",
        "Save As...",
        "Page Setup",
        "Print...",
        "Print Preview...",
        "Exit",
        "Copy",
        "Find...",
        "Find Next",
        "Select All",
        "Clear Screen",
        "Toolbar",
        "Status Bar",
        "Freeze screen",
        "Terminal...",
        "Serial port...",
        "Font...",
        "Cascade",
        "Tile Horizontally",
        "Tile Vertically",
        "Arrange Icons",
        "Kestrune Help",
        "Using Help",
        "About Kestrune",
        // dialog fields
        "Port :",
        "Baud rate :",
        "Data :",
        "Parity :",
        "Stop :",
        "maxi bytes buffer loop",
        "Autosave delay",
        "Receive 'LF' -&gt; display 'CR + LF'",
        "Receive 'CR' -&gt; display 'CR + LF'",
        "Add a timestamp to data",
        "On every line",
        "Minimum interval between data received",
        "Filtered list of bytes",
        // INI keys
        "Port",
        "BaudRate",
        "ByteSize",
        "Parity",
        "StopBit",
        "MaxBytes",
        "TrapLF",
        "TrapCR",
        "AddTimestamp",
        "TimestampFormat",
        "TimestampMinDataInterval",
        "TimestampEachLine",
        "FilterByte",
        "FilteredBytesList",
        "AutoSaveFrequency",
        "DefaultBackupPath",
        "LogFilePath",
        "ArchiveLogFilePath",
        "LogLevel",
        "FontFaceName",
        "FontSize",
    };
    for (const char* topic : topics)
        EXPECT_NE(page.find(std::string(">") + topic), std::string::npos) << topic;
    // The port table, the log, the simulator, permissions.
    for (const char* topic :
         {"KESTRUNE_PORTS", "/sys/class/tty", "/dev/serial/by-id", "pseudo terminal (simulator)",
          "100 records", "kestrune-sim", "sudo usermod -aG dialout $USER"})
        EXPECT_NE(page.find(topic), std::string::npos) << topic;
}

} // namespace
