#include "framework/gui/text/HexByteString.h"

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ':' || c == '-';
}

// Appends the bytes of one group of digits; false when the group is not whole bytes.
bool AddGroup(std::string_view digits, std::string& bytes) {
    if (digits.empty())
        return false;
    if (digits.size() == 1) {
        bytes += static_cast<char>(DigitValue(digits[0]));
        return true;
    }
    if (digits.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes += static_cast<char>(DigitValue(digits[i]) * 16 + DigitValue(digits[i + 1]));
    return true;
}

} // namespace

bool ParseHexByteString(std::string_view text, std::string& bytes) {
    bytes.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        // An optional prefix, then the digits of the group up to a separator or the next "\x".
        const bool backslash = text[i] == '\\';
        if (backslash ||
            (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X'))) {
            if (i + 1 >= text.size() || (text[i + 1] != 'x' && text[i + 1] != 'X')) {
                bytes.clear();
                return false;
            }
            i += 2;
        }
        const std::size_t start = i;
        while (i < text.size() && DigitValue(text[i]) >= 0)
            ++i;
        if (i < text.size() && !IsSeparator(text[i]) && text[i] != '\\') {
            bytes.clear();
            return false;
        }
        if (!AddGroup(text.substr(start, i - start), bytes)) {
            bytes.clear();
            return false;
        }
    }
    return !bytes.empty();
}
