#include "framework/gui/text/ShownDecoder.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kBell = 0x07;

struct Range {
    char32_t first;
    char32_t last;
};

// Combining marks, joiners and other characters drawn over or between their neighbours.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05BF},   {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7},   {0x0610, 0x061A},   {0x064B, 0x065F},   {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4},   {0x06E7, 0x06E8},   {0x06EA, 0x06ED},   {0x0711, 0x0711},
    {0x0730, 0x074A}, {0x0900, 0x0902},   {0x093A, 0x093A},   {0x093C, 0x093C},   {0x0941, 0x0948},
    {0x094D, 0x094D}, {0x0951, 0x0957},   {0x0E31, 0x0E31},   {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},
    {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},   {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},
    {0x20D0, 0x20FF}, {0x302A, 0x302D},   {0x3099, 0x309A},   {0xFE00, 0xFE0F},   {0xFE20, 0xFE2F},
    {0xFEFF, 0xFEFF}, {0x1F3FB, 0x1F3FF}, {0xE0001, 0xE007F}, {0xE0100, 0xE01EF},
};

// East Asian wide and full-width characters, and the emoji shown in two cells.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x3029},   {0x302E, 0x303E},   {0x3041, 0x3098},   {0x309B, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18AFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F3FA}, {0x1F400, 0x1F64F}, {0x1F680, 0x1F6FF},
    {0x1F7E0, 0x1F7EB}, {0x1F900, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <std::size_t N> bool InRanges(const Range (&ranges)[N], char32_t code) {
    const auto found = std::upper_bound(std::begin(ranges), std::end(ranges), code,
                                        [](char32_t c, const Range& r) { return c < r.first; });
    return found != std::begin(ranges) && code <= std::prev(found)->last;
}

// The 256 colours of the usual terminal palette, as 0xRRGGBB.
std::uint32_t PaletteColour(int index) {
    static constexpr std::uint32_t kSixteen[16] = {
        0x000000, 0xCD0000, 0x00CD00, 0xCDCD00, 0x0000EE, 0xCD00CD, 0x00CDCD, 0xE5E5E5,
        0x7F7F7F, 0xFF0000, 0x00FF00, 0xFFFF00, 0x5C5CFF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
    };
    if (index < 16)
        return kSixteen[index];
    if (index < 232) {
        static constexpr std::uint32_t kLevels[6] = {0x00, 0x5F, 0x87, 0xAF, 0xD7, 0xFF};
        const int cube = index - 16;
        return kLevels[cube / 36] << 16 | kLevels[cube / 6 % 6] << 8 | kLevels[cube % 6];
    }
    const std::uint32_t grey = static_cast<std::uint32_t>(8 + (index - 232) * 10);
    return grey << 16 | grey << 8 | grey;
}

void Mark(ShownByte* out, std::size_t count, ShownByte::Kind kind, const ShownStyle& style) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i].kind = kind;
        out[i].code = 0;
        out[i].width = 0;
        out[i].style = style;
    }
}

void MarkBytes(const unsigned char* bytes, ShownByte* out, std::size_t count, const ShownStyle& style) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i].kind = ShownByte::kByte;
        out[i].code = bytes[i];
        out[i].width = 1;
        out[i].style = style;
    }
}

} // namespace

CShownDecoder::CShownDecoder(CharacterSet characters, EscapeSequences escapes)
    : m_characters(characters), m_escapes(escapes) {}

void CShownDecoder::Reset() {
    m_style = ShownStyle();
}

int CShownDecoder::CharWidth(char32_t code) {
    if (InRanges(kZeroWidth, code))
        return 0;
    return InRanges(kWide, code) ? 2 : 1;
}

std::size_t CShownDecoder::Decode(const unsigned char* bytes, std::size_t count, ShownByte* out) {
    std::size_t at = 0;
    while (at < count) {
        const std::size_t length = DecodeUnit(bytes + at, count - at, out + at);
        if (length == 0) {
            Mark(out + at, count - at, ShownByte::kPending, m_style);
            return at;
        }
        at += length;
    }
    return count;
}

std::size_t CShownDecoder::DecodeUnit(const unsigned char* bytes, std::size_t count, ShownByte* out) {
    if (bytes[0] == kEscape && m_escapes != EscapeSequences::Show) {
        const std::size_t length = MatchEscape(bytes, count);
        if (length == 0)
            return 0;
        if (length != kMalformed) {
            if (m_escapes == EscapeSequences::Colours && bytes[1] == '[' && bytes[length - 1] == 'm')
                ApplyGraphicRendition(bytes + 2, length - 3);
            Mark(out, length, ShownByte::kHidden, m_style);
            return length;
        }
    }
    if (bytes[0] < 0x80 || m_characters == CharacterSet::Windows1252) {
        MarkBytes(bytes, out, 1, m_style);
        return 1;
    }
    return DecodeUtf8(bytes, count, out);
}

std::size_t CShownDecoder::DecodeUtf8(const unsigned char* bytes, std::size_t count, ShownByte* out) {
    const unsigned char lead = bytes[0];
    std::size_t follow = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        follow = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        follow = 2;
        // No overlong forms, no surrogates.
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        follow = 3;
        // No overlong forms, nothing beyond U+10FFFF.
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        MarkBytes(bytes, out, 1, m_style);
        return 1;
    }
    char32_t code = lead & (0x3F >> follow);
    for (std::size_t k = 1; k <= follow; ++k) {
        if (k >= count)
            return 0;
        const unsigned char next = bytes[k];
        if (next < low || next > high) {
            // The valid start of a sequence that breaks off shows byte by byte; the breaking byte begins
            // whatever comes next.
            MarkBytes(bytes, out, k, m_style);
            return k;
        }
        low = 0x80;
        high = 0xBF;
        code = code << 6 | (next & 0x3F);
    }
    if (code < 0xA0) {
        // A C1 control character: no font shows it, so its bytes are shown.
        MarkBytes(bytes, out, follow + 1, m_style);
        return follow + 1;
    }
    out[0].kind = ShownByte::kChar;
    out[0].code = code;
    out[0].width = static_cast<std::uint8_t>(CharWidth(code));
    out[0].style = m_style;
    Mark(out + 1, follow, ShownByte::kFollow, m_style);
    return follow + 1;
}

std::size_t CShownDecoder::MatchEscape(const unsigned char* bytes, std::size_t count) const {
    if (count < 2)
        return 0;
    const unsigned char kind = bytes[1];
    if (kind == '[') {
        // Control sequence: parameter bytes, then intermediate bytes, then one final byte.
        bool intermediate = false;
        for (std::size_t i = 2; i < count; ++i) {
            if (i >= kLongestSequence)
                return kMalformed;
            const unsigned char c = bytes[i];
            if (c >= 0x40 && c <= 0x7E)
                return i + 1;
            if (c >= 0x30 && c <= 0x3F && !intermediate)
                continue;
            if (c >= 0x20 && c <= 0x2F) {
                intermediate = true;
                continue;
            }
            return kMalformed;
        }
        return count >= kLongestSequence ? kMalformed : 0;
    }
    if (kind == ']' || kind == 'P' || kind == 'X' || kind == '^' || kind == '_') {
        // A command string, ended by the string terminator (ESC \) or, for an operating system command,
        // by BEL.
        for (std::size_t i = 2; i < count; ++i) {
            if (i >= kLongestString)
                return kMalformed;
            const unsigned char c = bytes[i];
            if (c == kBell && kind == ']')
                return i + 1;
            if (c == kEscape) {
                if (i + 1 == count)
                    return 0;
                return bytes[i + 1] == '\\' ? i + 2 : kMalformed;
            }
            if (c < 0x20 || c == 0x7F)
                return kMalformed;
        }
        return count >= kLongestString ? kMalformed : 0;
    }
    if (kind >= 0x20 && kind <= 0x2F) {
        // Intermediate bytes, then a final byte (character set designations and the like).
        for (std::size_t i = 2; i < count; ++i) {
            if (i >= kLongestSequence)
                return kMalformed;
            const unsigned char c = bytes[i];
            if (c >= 0x30 && c <= 0x7E)
                return i + 1;
            if (c < 0x20 || c > 0x2F)
                return kMalformed;
        }
        return count >= kLongestSequence ? kMalformed : 0;
    }
    if (kind >= 0x30 && kind <= 0x7E)
        return 2;
    return kMalformed;
}

void CShownDecoder::ApplyGraphicRendition(const unsigned char* params, std::size_t length) {
    // A private parameter string ("<", "=", ">", "?") is some other device's business.
    if (length > 0 && params[0] >= 0x3C)
        return;
    // Parameters split at ';', each with its ':' sub-parameters; an empty one counts as 0.
    std::vector<std::vector<int>> groups(1, std::vector<int>(1, 0));
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = params[i];
        if (c == ';') {
            groups.emplace_back(1, 0);
        } else if (c == ':') {
            groups.back().push_back(0);
        } else if (c >= '0' && c <= '9') {
            int& value = groups.back().back();
            value = std::min(value * 10 + (c - '0'), 100000);
        } else {
            return;
        }
    }
    // An extended colour: 5;n from the palette or 2;r;g;b, from the values after the 38 or 48.
    auto extended = [](const std::vector<int>& values, std::size_t at, std::size_t& used,
                       std::uint32_t& colour) {
        used = 0;
        if (at >= values.size())
            return false;
        if (values[at] == 5 && at + 1 < values.size()) {
            used = 2;
            if (values[at + 1] > 255)
                return false;
            colour = ShownStyle::kSet | PaletteColour(values[at + 1]);
            return true;
        }
        if (values[at] == 2 && at + 3 < values.size()) {
            // The colon form may carry a colour space before the three components.
            const std::size_t first = values.size() - at >= 5 ? at + 2 : at + 1;
            used = first + 3 - at;
            if (first + 2 >= values.size())
                return false;
            const int r = values[first], g = values[first + 1], b = values[first + 2];
            if (r > 255 || g > 255 || b > 255)
                return false;
            colour = ShownStyle::kSet | static_cast<std::uint32_t>(r << 16 | g << 8 | b);
            return true;
        }
        used = 1;
        return false;
    };
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const std::vector<int>& group = groups[g];
        const int code = group[0];
        if (code == 38 || code == 48) {
            std::uint32_t colour = 0;
            std::size_t used = 0;
            bool ok = false;
            if (group.size() > 1) {
                ok = extended(group, 1, used, colour);
            } else {
                std::vector<int> rest;
                for (std::size_t k = g + 1; k < groups.size() && k < g + 5; ++k)
                    rest.push_back(groups[k][0]);
                // The semicolon form has no colour space.
                if (!rest.empty() && rest[0] == 2 && rest.size() >= 4)
                    rest.resize(4);
                ok = extended(rest, 0, used, colour);
                g += used;
            }
            if (ok)
                (code == 38 ? m_style.foreground : m_style.background) = colour;
            continue;
        }
        switch (code) {
        case 0:
            m_style = ShownStyle();
            break;
        case 1:
            m_style.flags |= ShownStyle::kBold;
            break;
        case 2:
            m_style.flags |= ShownStyle::kFaint;
            break;
        case 3:
            m_style.flags |= ShownStyle::kItalic;
            break;
        case 4:
        case 21:
            m_style.flags |= ShownStyle::kUnderline;
            break;
        case 7:
            m_style.flags |= ShownStyle::kInverse;
            break;
        case 22:
            m_style.flags &= static_cast<std::uint8_t>(~(ShownStyle::kBold | ShownStyle::kFaint));
            break;
        case 23:
            m_style.flags &= static_cast<std::uint8_t>(~ShownStyle::kItalic);
            break;
        case 24:
            m_style.flags &= static_cast<std::uint8_t>(~ShownStyle::kUnderline);
            break;
        case 27:
            m_style.flags &= static_cast<std::uint8_t>(~ShownStyle::kInverse);
            break;
        case 39:
            m_style.foreground = ShownStyle::kDefault;
            break;
        case 49:
            m_style.background = ShownStyle::kDefault;
            break;
        default:
            if (code >= 30 && code <= 37)
                m_style.foreground = ShownStyle::kSet | PaletteColour(code - 30);
            else if (code >= 40 && code <= 47)
                m_style.background = ShownStyle::kSet | PaletteColour(code - 40);
            else if (code >= 90 && code <= 97)
                m_style.foreground = ShownStyle::kSet | PaletteColour(code - 90 + 8);
            else if (code >= 100 && code <= 107)
                m_style.background = ShownStyle::kSet | PaletteColour(code - 100 + 8);
            break;
        }
    }
}
