// Drives a shown terminal view offscreen through its real update path and prints how long the user
// interface spends per update with a full buffer, with and without line ends and as a coloured UTF-8 log
// (an escape sequence at either end of each line), and how long a byte written
// by a simulated device takes to appear on the screen.
//
// Each update goes the real way: the bytes are shaped into the reception thread's buffer (which loops at
// 1023 KB) and the view takes what changed; then the widget paints the window, timed apart (here after
// every update, the worst case: the widget itself paints at most 30 times a second).
//
// Targets on a 2-core machine: update median <= 0.5 ms and worst <= 5 ms, for each of the three streams,
// in the text view and in the hex dump; latency 99th percentile <= 120 ms.
//
// Usage: bench_view_update [seconds of the latency run, default 60]

#include "app/MDICommChild.h"
#include "app/main.h"
#include "framework/core/MessageBox.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/textview/HexView.h"
#include "framework/gui/textview/TextView.h"
#include "framework/gui/windows/TestHook.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "view/CommView.h"
#include "view/MainDoc.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kUpdateSize = 10 * 1024;
constexpr int kWarmUpdates = 120; // fills the buffer and lets it loop before anything is measured
constexpr int kTimedUpdates = 200;

struct Figures {
    double median;
    double worst;
    double p99;
};

Figures Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    if (values.empty())
        return {0, 0, 0};
    return {values[values.size() / 2], values.back(),
            values[std::min(values.size() - 1, values.size() * 99 / 100)]};
}

CCommView* OpenView(CMultiDocTemplate& documents) {
    auto* document = dynamic_cast<CMainDoc*>(documents.OpenDocumentFile(nullptr));
    AfxPumpMessages();
    return document != nullptr ? document->GetViewDocument() : nullptr;
}

// The user-interface time of one update: the view takes what changed in the thread's buffer, shows it, and
// the widget lays out and paints the lines in sight.
struct UpdateFigures {
    Figures update;
    Figures paint;
};

enum class Stream { kLines, kRaw, kColoured };

UpdateFigures MeasureUpdates(CCommView* view, Stream stream) {
    std::string chunk;
    std::size_t counter = 0;
    std::vector<double> times;
    std::vector<double> paints;
    for (int update = 0; update < kWarmUpdates + kTimedUpdates; ++update) {
        chunk.clear();
        while (chunk.size() < kUpdateSize) {
            if (stream == Stream::kColoured) {
                char line[160];
                std::snprintf(line, sizeof(line),
                              "\x1b[0;3%zumI (%08zu) net: temp=%zu.%zu \xc2\xb0"
                              "C loop=%zu \xc2\xb5s "
                              "\xe7\xbd\x91\xe7\xbb\x9c \xc3\x9c"
                              "berlauf%.*s\x1b[0m\r\n",
                              1 + counter % 6, counter, 20 + counter % 9, counter % 10, 700 + counter % 300,
                              static_cast<int>(counter % 50),
                              "..................................................");
                chunk += line;
            } else if (stream == Stream::kLines) {
                char line[96];
                std::snprintf(line, sizeof(line),
                              "%08zu the device reports a value of %6zu units, all is well\r\n", counter,
                              (counter * 7919) % 100000);
                chunk += line;
            } else {
                chunk += static_cast<char>('a' + counter % 26);
            }
            ++counter;
        }
        chunk.resize(kUpdateSize);
        // The shaping step of the reception thread, whose own loop idles on the closed port.
        view->m_commThread->m_ReceivedChars.assign(chunk.begin(), chunk.end());
        view->m_commThread->SynchronizeData();

        QElapsedTimer timer;
        timer.start();
        view->SendMessage(WM_COMM_DATA_READY, 0, 0);
        const double milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        // The widget in sight: the text, or the hex dump.
        auto* shown = view->IsHexView() ? static_cast<QAbstractScrollArea*>(view->GetHexCtrl())
                                        : static_cast<QAbstractScrollArea*>(view->GetEditCtrl());
        shown->viewport()->repaint();
        QCoreApplication::processEvents();
        const double painted = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (update >= kWarmUpdates) {
            times.push_back(milliseconds);
            paints.push_back(painted);
        }
    }
    return {Summarise(times), Summarise(paints)};
}

// A pseudo-terminal as the device; the writer sends numbered lines at a steady byte rate and notes when
// each number was written.
struct Device {
    int master = -1;
    std::string path;
    std::mutex lock;
    std::map<unsigned, Clock::time_point> written;
};

bool OpenDevice(Device& device) {
    device.master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (device.master < 0 || ::grantpt(device.master) != 0 || ::unlockpt(device.master) != 0)
        return false;
    termios raw{};
    ::tcgetattr(device.master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(device.master, TCSANOW, &raw);
    device.path = ::ptsname(device.master);
    return true;
}

// The highest line number whose line end is on the screen, or -1.
long LastShownNumber(CCommView* view) {
    const int length = view->GetWindowTextLength();
    const CString tail = view->GetTextRange(std::max(0, length - 300), length);
    const auto end = tail.rfind("\r\n");
    if (end == CString::npos)
        return -1;
    const auto start = tail.rfind('#', end);
    if (start == CString::npos)
        return -1;
    return std::strtol(tail.c_str() + start + 1, nullptr, 10);
}

Figures MeasureLatency(CCommView* view, Device& device, int seconds) {
    constexpr double kBytesPerSecond = 11.5 * 1024;
    constexpr std::size_t kLineLength = 64;
    std::atomic<bool> running{true};
    std::thread writer([&] {
        unsigned number = 0;
        const auto start = Clock::now();
        double sent = 0;
        while (running.load()) {
            const double due = std::chrono::duration<double>(Clock::now() - start).count() * kBytesPerSecond;
            while (sent + kLineLength <= due) {
                char line[kLineLength + 1];
                std::snprintf(line, sizeof(line),
                              "#%08u measured sample line of the simulated device ....\r\n", number);
                {
                    std::lock_guard<std::mutex> guard(device.lock);
                    device.written[number] = Clock::now();
                }
                const ssize_t wrote = ::write(device.master, line, kLineLength);
                (void)wrote;
                ++number;
                sent += kLineLength;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    std::vector<double> delays;
    long shownUpTo = -1;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        QCoreApplication::processEvents();
        const long last = LastShownNumber(view);
        if (last > shownUpTo) {
            const auto now = Clock::now();
            std::lock_guard<std::mutex> guard(device.lock);
            for (long n = shownUpTo + 1; n <= last; ++n) {
                auto found = device.written.find(static_cast<unsigned>(n));
                if (found == device.written.end())
                    continue;
                delays.push_back(std::chrono::duration<double, std::milli>(now - found->second).count());
                device.written.erase(found);
            }
            shownUpTo = last;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    running.store(false);
    writer.join();
    return Summarise(delays);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    AfxInstallGuiServices();
    // Nobody is there to answer: messages (the closed port of the driven window) go to standard error.
    GuiTestHook answers;
    answers.messageBox = [](const CString& text, UINT) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return IDOK;
    };
    CScopedGuiTestHook hook(answers);

    Device device;
    if (!OpenDevice(device)) {
        std::fprintf(stderr, "cannot create a pseudo-terminal\n");
        return 1;
    }
    CPreference* preferences = gMainApp.m_PrefApp;
    preferences->m_available = PREF_INI_READ | PREF_COMM_SETTING | PREF_TERM_SETTING | PREF_AUTOSAVE;
    preferences->m_used = 0;
    preferences->m_commSetting.port = device.path;
    preferences->m_commSetting.baud = 115200;
    preferences->m_commSetting.byteSize = 8;
    preferences->m_commSetting.parity = 0;
    preferences->m_commSetting.stopBit = 0;
    preferences->m_termSetting = TermSettingRec{};
    preferences->m_termSetting.nbMaxiByte = 1023;

    auto frame = new CMDIFrameWnd;
    if (!frame->LoadFrame(2))
        return 1;
    gMainApp.m_pMainWnd = frame;
    frame->GetWidget()->resize(1024, 768);
    frame->ShowWindow(SW_SHOW);
    auto documents = std::make_shared<CMultiDocTemplate>(
        3, []() -> CDocument* { return new CMainDoc; }, []() -> CFrameWnd* { return new CMDICommChildWnd; },
        []() -> CView* { return new CCommView; });
    gMainApp.AddDocTemplate(documents);

    // The update measurements use a second window whose port stays closed, so nothing but the benchmark
    // changes its buffer; the first window holds the device for the latency run.
    CCommView* live = OpenView(*documents);
    preferences->m_used = 0;
    preferences->m_commSetting.port = "/nonexistent/kestrune-bench";
    CCommView* driven = OpenView(*documents);
    if (live == nullptr || driven == nullptr) {
        std::fprintf(stderr, "cannot open the terminal windows\n");
        return 1;
    }
    dynamic_cast<CMDIChildWnd*>(driven->GetParentFrame())->MDIMaximize();
    AfxPumpMessages();

    for (bool hex : {false, true}) {
        driven->SetHexView(hex ? TRUE : FALSE);
        for (Stream stream : {Stream::kLines, Stream::kRaw, Stream::kColoured}) {
            const UpdateFigures figures = MeasureUpdates(driven, stream);
            std::printf(
                "update%s, 1023 KB buffer, 10 KB per update, %-15s median %.2f ms, worst %.2f ms "
                "(targets 0.5 and 5); a paint of the maximised window: median %.2f ms, worst %.2f ms\n",
                hex ? " in hex" : "",
                stream == Stream::kLines ? "with line ends:"
                : stream == Stream::kRaw ? "no line ends:"
                                         : "coloured log:",
                figures.update.median, figures.update.worst, figures.paint.median, figures.paint.worst);
        }
    }
    driven->SetHexView(FALSE);
    std::fflush(stdout);

    dynamic_cast<CMDIChildWnd*>(live->GetParentFrame())->MDIMaximize();
    frame->MDIActivate(live->GetParentFrame());
    AfxPumpMessages();
    const Figures latency = MeasureLatency(live, device, seconds);
    std::printf("latency, device to screen, 11.5 KB/s for %d s: median %.1f ms, 99th percentile %.1f ms "
                "(target 120)\n",
                seconds, latency.median, latency.p99);

    for (CDocument* document : std::vector<CDocument*>(documents->GetDocuments()))
        document->SetModifiedFlag(FALSE);
    frame->CloseAllDocuments();
    AfxPumpMessages();
    ::close(device.master);
    return 0;
}
