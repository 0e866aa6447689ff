#pragma once

#include "reception/CaptureFinisher.h"
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
// slow disk never holds reception up; a stop hands the writer to a finisher, so it never holds up whoever
// stops either.
class CCapture {
public:
    using Report = CCaptureFinisher::Report;

    explicit CCapture(CCaptureFinisher& finisher = CCaptureFinisher::Program()) : m_finisher(finisher) {}
    // A capture still running is finished as a stop does, without a report.
    ~CCapture();
    CCapture(const CCapture&) = delete;
    CCapture& operator=(const CCapture&) = delete;

    // Opens the file and starts recording; false, with the reason, when the file cannot be written or a
    // capture already runs.
    bool Start(CCaptureWriter::Options options, CaptureContent content, std::string& reason);
    // Ends the capture at once: nothing more is fed to it, and a new one may start. The writer writes out
    // everything handed over before on the finisher's thread, then `finished` runs there with its last
    // status. False when none ran.
    bool Stop(Report finished);

    bool IsRunning() const;
    // The running capture's status and content; false when none runs.
    bool GetStatus(CCaptureWriter::Status& status, CaptureContent& content) const;

    // On the reception thread: records the bytes when the running capture takes this content.
    void Feed(CaptureContent content, std::string_view bytes);

private:
    CCaptureFinisher& m_finisher;
    mutable std::mutex m_lock;
    std::unique_ptr<CCaptureWriter> m_writer;
    CaptureContent m_content = CaptureContent::Text;
};
