#include "PrivateCups.h"

#if KESTRUNE_TEST_CUPS
#include <cups/cups.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";

// A4 with an unprintable border of 18 points (6.35 mm) left and right and 36 points (12.7 mm) at the top
// and bottom.
constexpr const char* kWideBorderPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "WIDE.PPD"
*Manufacturer: "Test"
*Product: "(Wide Border)"
*ModelName: "Wide Border Printer"
*ShortNickName: "Wide Border Printer"
*NickName: "Wide Border Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter: "application/pdf 0 -"
*DefaultResolution: 300dpi
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 36 577 806"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
)PPD";

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out);
}

bool ToolExists(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

PrivateCups::PrivateCups() {
#if !KESTRUNE_TEST_CUPS
    m_failure = "the CUPS development library was missing when the tests were built";
    return;
#endif
    if (::access(kCupsd, X_OK) != 0 || !ToolExists("lpadmin") || !ToolExists("cupsreject")) {
        m_failure = "cupsd or the CUPS client tools are not installed";
        return;
    }
    const std::string root = m_dir.path();
    for (const char* sub : {"spool", "cache", "state", "log", "tmp"})
        ::mkdir(m_dir.file(sub).c_str(), 0755);
    m_socket = m_dir.file("cups.sock");
    const bool written =
        WriteFile(m_dir.file("cupsd.conf"), "Listen " + m_socket +
                                                "\nLogLevel warn\nBrowsing No\nWebInterface No\n"
                                                "DefaultAuthType None\n<Location />\n  Order allow,deny\n"
                                                "  Allow all\n</Location>\n<Policy default>\n  <Limit All>\n"
                                                "    Order deny,allow\n  </Limit>\n</Policy>\n") &&
        WriteFile(m_dir.file("cups-files.conf"),
                  "ServerRoot " + root + "\nRequestRoot " + m_dir.file("spool") + "\nCacheDir " +
                      m_dir.file("cache") + "\nStateDir " + m_dir.file("state") + "\nTempDir " +
                      m_dir.file("tmp") + "\nErrorLog " + m_dir.file("log/error_log") + "\nAccessLog " +
                      m_dir.file("log/access_log") + "\nPageLog " + m_dir.file("log/page_log") +
                      "\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\nFileDevice Yes\nPrintcap " +
                      m_dir.file("printcap") + "\n") &&
        WriteFile(m_dir.file("wide.ppd"), kWideBorderPpd);
    if (!written) {
        m_failure = "the server's configuration could not be written";
        return;
    }

    m_pid = ::fork();
    if (m_pid == 0) {
        const std::string conf = m_dir.file("cupsd.conf");
        const std::string files = m_dir.file("cups-files.conf");
        ::execl(kCupsd, kCupsd, "-f", "-c", conf.c_str(), "-s", files.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    struct stat info {};
    for (int waited = 0; waited < 100 && ::stat(m_socket.c_str(), &info) != 0; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (::stat(m_socket.c_str(), &info) != 0) {
        m_failure = "cupsd did not start within five seconds";
        return;
    }
    if (const char* previous = std::getenv("CUPS_SERVER")) {
        m_hadPreviousServer = true;
        m_previousServer = previous;
    }
    ::setenv("CUPS_SERVER", m_socket.c_str(), 1);
    m_bServerSet = true;
#if KESTRUNE_TEST_CUPS
    // The CUPS library keeps the server it first used for the thread; the printing happens on this one.
    cupsSetServer(m_socket.c_str());
#endif
}

PrivateCups::~PrivateCups() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (!m_bServerSet)
        return;
    if (m_hadPreviousServer)
        ::setenv("CUPS_SERVER", m_previousServer.c_str(), 1);
    else
        ::unsetenv("CUPS_SERVER");
#if KESTRUNE_TEST_CUPS
    cupsSetServer(nullptr);
#endif
}

bool PrivateCups::RunTool(const std::string& arguments) {
    return std::system((arguments + " >/dev/null 2>&1").c_str()) == 0;
}

bool PrivateCups::AddQueue(const std::string& name) {
    return m_failure.empty() && RunTool("lpadmin -h '" + m_socket + "' -p " + name +
                                        " -E -v 'file:///dev/null' -P '" + m_dir.file("wide.ppd") + "'");
}

bool PrivateCups::RejectJobs(const std::string& name) {
    return m_failure.empty() && RunTool("cupsreject -h '" + m_socket + "' " + name);
}

int PrivateCups::JobCount(const std::string& name) {
    if (!m_failure.empty())
        return 0;
    FILE* pipe = ::popen(("lpstat -h '" + m_socket + "' -W all -o " + name + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return 0;
    int lines = 0;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        lines += c == '\n' ? 1 : 0;
    ::pclose(pipe);
    return lines;
}
