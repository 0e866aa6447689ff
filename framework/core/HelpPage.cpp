#include "framework/core/HelpPage.h"

#include <sys/stat.h>

namespace {

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::string FindHelpPage(const std::string& programDir, const std::string& name) {
    for (const std::string& candidate :
         {programDir + "/help/index.html", programDir + "/../share/" + name + "/help/index.html"}) {
        if (IsFile(candidate))
            return candidate;
    }
    return std::string();
}
