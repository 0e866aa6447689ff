#include "framework/core/Resource.h"

#include <cstddef>

namespace {

struct StringEntry {
    UINT id;
    const char* text;
};

// Each group of texts lives in a file of its own; together they are the program's string table.
constexpr StringEntry kStrings[] = {
#include "app/strings/LogStrings.inc"
#include "app/strings/PrintStrings.inc"
#include "app/strings/ShellStrings.inc"
#include "app/strings/ViewStrings.inc"
};

} // namespace

const char* AfxLoadString(UINT id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id)
            return entry.text;
    }
    return nullptr;
}
