// Feeds arbitrary text to the byte-list parser and checks that it yields one byte per token.
#include "settings/StringTokenizer.h"
#include "settings/tools.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string list(reinterpret_cast<const char*>(data), size);
    BYTE* bytes = nullptr;
    DWORD count = 0;
    HexaStringToBytes(list, &bytes, &count);
    StringTokenizer tokens(list, "\\x");
    if (static_cast<int>(count) != tokens.countTokens())
        std::abort();
    // Touching every byte lets the address sanitizer check the array's bounds.
    unsigned sum = 0;
    for (DWORD index = 0; index < count; ++index)
        sum += bytes[index];
    delete[] bytes;
    return static_cast<int>(sum & 0);
}
