#include "PdfText.h"

#include <cstdio>
#include <cstdlib>
#include <regex>

namespace {

std::string RunAndRead(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

std::string PageOptions(int page) {
    return page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : std::string();
}

} // namespace

std::string PdfText(const std::string& pdfPath, int page) {
    return RunAndRead("pdftotext -layout" + PageOptions(page) + " '" + pdfPath + "' - 2>/dev/null");
}

int PdfPageCount(const std::string& pdfPath) {
    const std::string info = RunAndRead("pdfinfo '" + pdfPath + "' 2>/dev/null");
    std::smatch match;
    if (std::regex_search(info, match, std::regex("Pages:\\s+(\\d+)")))
        return std::atoi(match[1].str().c_str());
    return 0;
}

double PdfWordLeft(const std::string& pdfPath, int page, const std::string& word) {
    const std::string html =
        RunAndRead("pdftotext -bbox" + PageOptions(page) + " '" + pdfPath + "' - 2>/dev/null");
    const std::regex pattern("<word xMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator();
         ++it) {
        if ((*it)[2].str() == word)
            return std::atof((*it)[1].str().c_str());
    }
    return -1;
}

std::string PdfTitle(const std::string& pdfPath) {
    const std::string info = RunAndRead("pdfinfo '" + pdfPath + "' 2>/dev/null");
    std::smatch match;
    if (std::regex_search(info, match, std::regex("Title:\\s+([^\\n]*)")))
        return match[1].str();
    return std::string();
}
