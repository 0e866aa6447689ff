#include "reception/Capture.h"

#include <utility>

bool CCapture::Start(CCaptureWriter::Options options, CaptureContent content, std::string& reason) {
    if (IsRunning()) {
        reason = "a capture already runs";
        return false;
    }
    std::unique_ptr<CCaptureWriter> writer = CCaptureWriter::Start(std::move(options), reason);
    if (!writer)
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_writer = std::move(writer);
    m_content = content;
    return true;
}

CCapture::~CCapture() {
    Stop(nullptr);
}

bool CCapture::Stop(Report finished) {
    std::unique_ptr<CCaptureWriter> writer;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        writer = std::move(m_writer);
    }
    if (!writer)
        return false;
    m_finisher.Finish(std::move(writer), std::move(finished));
    return true;
}

bool CCapture::IsRunning() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_writer != nullptr;
}

bool CCapture::GetStatus(CCaptureWriter::Status& status, CaptureContent& content) const {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_writer)
        return false;
    status = m_writer->GetStatus();
    content = m_content;
    return true;
}

void CCapture::Feed(CaptureContent content, std::string_view bytes) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_writer && m_content == content)
        m_writer->Push(bytes);
}
