#pragma once

#include "reception/CaptureWriter.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// What a window's capture records: the text its buffer receives (after filtering, line-end translation
// and timestamps), or the bytes as the port delivered them.
enum class CaptureContent { Text, Raw };

// A window's capture to a file: started and stopped on the user-interface thread, fed by the reception
// thread. The reception thread only hands bytes to the writer, which writes them on its own thread, so a
// slow disk never holds reception up; stopping waits for the writer outside the lock the feed takes.
class CCapture {
public:
    CCapture() = default;
    CCapture(const CCapture&) = delete;
    CCapture& operator=(const CCapture&) = delete;

    // Opens the file and starts recording; false, with the reason, when the file cannot be written or a
    // capture already runs.
    bool Start(CCaptureWriter::Options options, CaptureContent content, std::string& reason);
    // Ends the capture once everything handed over is written (or known lost); false when none ran. The
    // report is the writer's last status.
    bool Stop(CCaptureWriter::Status& report);

    bool IsRunning() const;
    // The running capture's status and content; false when none runs.
    bool GetStatus(CCaptureWriter::Status& status, CaptureContent& content) const;

    // On the reception thread: records the bytes when the running capture takes this content.
    void Feed(CaptureContent content, std::string_view bytes);

private:
    mutable std::mutex m_lock;
    std::unique_ptr<CCaptureWriter> m_writer;
    CaptureContent m_content = CaptureContent::Text;
};
