// Feeds arbitrary text to the byte-string parser of the hex view's search: a string it takes must give
// bytes, and those bytes written out again must read back the same.
#include "framework/gui/text/HexByteString.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string bytes;
    if (!ParseHexByteString(text, bytes)) {
        if (!bytes.empty())
            std::abort();
        return 0;
    }
    if (bytes.empty() || bytes.size() > size)
        std::abort();
    std::string written;
    for (char byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x ", static_cast<unsigned char>(byte));
        written += pair;
    }
    std::string again;
    if (!ParseHexByteString(written, again) || again != bytes)
        std::abort();
    return 0;
}
