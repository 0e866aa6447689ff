#pragma once

#include "app/main.h"
#include "framework/core/MessageBox.h"
#include "support/TempDir.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

// An application object of its own in a fresh directory with the given INI content and logging enabled as
// start-up enables it; message boxes are counted instead of shown.
class ActivityLogFixture {
public:
    explicit ActivityLogFixture(const std::string& iniContent);
    ~ActivityLogFixture();

    CMainApp& App() { return *m_app; }
    std::string LogBytes() const;
    std::string ArchiveBytes() const;
    const TempDir& Dir() const { return m_dir; }
    int Boxes() const { return m_boxes->load(); }
    std::string LastBoxText() const;
    // Ends the application object, which writes the close record.
    void Close() { m_app.reset(); }

private:
    TempDir m_dir;
    CurrentDirGuard m_cwd;
    std::shared_ptr<std::atomic<int>> m_boxes = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::string> m_lastBox = std::make_shared<std::string>();
    std::unique_ptr<CMainApp> m_app;
};

// The procedure and description fields of each record line (the header skipped).
struct LoggedRecord {
    std::string procName;
    std::string description;
};
std::vector<LoggedRecord> RecordsOf(const std::string& fileBytes);
