#pragma once

#include <string>

// A fresh directory under the system's temporary folder, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // Path of a file inside the directory.
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Makes a directory the current one for its lifetime (the program reads and writes relative to it).
class CurrentDirGuard {
public:
    explicit CurrentDirGuard(const std::string& dir);
    ~CurrentDirGuard();
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

private:
    std::string m_previous;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes bytes to a file, replacing it.
void WriteWholeFile(const std::string& path, const std::string& bytes);
