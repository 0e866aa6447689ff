#include "reception/CaptureNames.h"

#include <climits>
#include <vector>

std::string SubstitutePortName(const std::string& pattern, const std::string& port) {
    std::string fitPort;
    for (const char c : port) {
        if (c == '%')
            fitPort += "%%";
        else if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            fitPort += '_';
        else
            fitPort += c;
    }
    std::string result;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 'p') {
                result += fitPort;
                ++i;
                continue;
            }
            // Any other conversion, "%%" included, passes whole so that its second character is never
            // taken for the start of one.
            result += pattern[i];
            result += pattern[++i];
            continue;
        }
        result += pattern[i];
    }
    return result;
}

std::string ExpandTimePattern(const std::string& pattern, std::time_t when) {
    if (pattern.empty())
        return std::string();
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr)
        return std::string();
    // strftime gives 0 both for a result that does not fit and for an empty one; a leading space tells
    // the two apart.
    const std::string marked = " " + pattern;
    std::vector<char> area(PATH_MAX + 2);
    const std::size_t length = std::strftime(area.data(), area.size(), marked.c_str(), &local);
    if (length <= 1)
        return std::string();
    return std::string(area.data() + 1, length - 1);
}

std::string NumberedName(const std::string& path, unsigned n) {
    if (n == 0)
        return path;
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = path.size();
    return path.substr(0, dot) + "-" + std::to_string(n) + path.substr(dot);
}

std::string JoinCapturePath(const std::string& folder, const std::string& name) {
    if (folder.empty() || (!name.empty() && name.front() == '/'))
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string ProposedCaptureName(const std::string& port, std::time_t when) {
    return ExpandTimePattern(SubstitutePortName(kDefaultCaptureName, port), when);
}
