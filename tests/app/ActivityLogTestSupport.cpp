#include "ActivityLogTestSupport.h"

#include <mutex>

namespace {
std::mutex boxTextLock;
}

ActivityLogFixture::ActivityLogFixture(const std::string& iniContent)
    : m_cwd((WriteWholeFile(m_dir.file("Kestrune.ini"), iniContent), m_dir.path())) {
    auto boxes = m_boxes;
    auto lastBox = m_lastBox;
    SetMessageBoxPresenter([boxes, lastBox](const CString& text, UINT) {
        std::lock_guard<std::mutex> guard(boxTextLock);
        *lastBox = text;
        ++*boxes;
        return IDOK;
    });
    m_app = std::make_unique<CMainApp>();
    m_app->m_logEnable = m_app->SetLogFile();
}

ActivityLogFixture::~ActivityLogFixture() {
    m_app.reset();
    SetMessageBoxPresenter(nullptr);
}

std::string ActivityLogFixture::LogBytes() const {
    return ReadWholeFile(m_dir.file("Kestrune.log"));
}

std::string ActivityLogFixture::ArchiveBytes() const {
    return ReadWholeFile(m_dir.file("ARCH_Kestrune.log"));
}

std::string ActivityLogFixture::LastBoxText() const {
    std::lock_guard<std::mutex> guard(boxTextLock);
    return *m_lastBox;
}

std::vector<LoggedRecord> RecordsOf(const std::string& fileBytes) {
    std::vector<LoggedRecord> records;
    for (size_t offset = 144; offset + 144 <= fileBytes.size(); offset += 144) {
        const std::string line = fileBytes.substr(offset, 144);
        records.push_back(
            {std::string(line.substr(41, 20).c_str()), std::string(line.substr(62, 80).c_str())});
    }
    return records;
}
