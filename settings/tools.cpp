#include "settings/tools.h"

#include "framework/core/StockFont.h"
#include "settings/StringTokenizer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Unlike assert, this check stays in release builds: overwriting the caller's pointer would leak its array.
void RequireNullTarget(BYTE* const* buf) {
    if (buf == nullptr || *buf != nullptr) {
        std::fprintf(stderr, "Assertion failed: NULL == *buf (HexaStringToBytes)\n");
        std::abort();
    }
}

} // namespace

void HexaStringToBytes(const std::string& list, BYTE** buf, DWORD* count) {
    RequireNullTarget(buf);
    StringTokenizer tokens(list, "\\x");
    const int total = tokens.countTokens();
    *count = static_cast<DWORD>(total);
    *buf = new BYTE[static_cast<size_t>(total)];
    for (int index = 0; index < total; ++index)
        (*buf)[index] = static_cast<BYTE>(HexaTCharToInt(tokens.nextToken().c_str()) & 0xFF);
}

int HexaTCharToInt(const char* text) {
    static const char digits[] = "0123456789ABCDEF";
    if (text == nullptr)
        return 0;
    std::string upper(text);
    for (char& c : upper)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    size_t position = upper.compare(0, 2, "0X") == 0 ? 2 : 0;
    std::uint32_t result = 0;
    for (; position < upper.size(); ++position) {
        int digit = -1;
        for (int index = 0; index < 16; ++index) {
            if (digits[index] == upper[position]) {
                digit = index;
                break;
            }
        }
        if (digit < 0)
            break;
        result = (result << 4) | static_cast<std::uint32_t>(digit);
    }
    return static_cast<int>(result);
}

void GetSystemLogFont(UINT stockId, LOGFONTA* logFont) {
    if (logFont != nullptr)
        GetStockFontLogFont(stockId, *logFont);
}
