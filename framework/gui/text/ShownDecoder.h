#pragma once

#include <cstddef>
#include <cstdint>

// How received bytes read as characters: UTF-8 (a byte that is no part of a valid sequence stands for
// itself) or one Windows-1252 character per byte.
enum class CharacterSet { Utf8, Windows1252 };
// What becomes of ANSI escape sequences: their colours and styles apply, they are hidden without effect,
// or they are shown byte by byte like any other data.
enum class EscapeSequences { Colours, Hide, Show };

// The look a select graphic rendition sequence gives the characters that follow it.
struct ShownStyle {
    static constexpr std::uint32_t kDefault = 0;      // the view's own colour
    static constexpr std::uint32_t kSet = 0x01000000; // with a 0xRRGGBB colour below
    enum : std::uint8_t { kBold = 1, kFaint = 2, kItalic = 4, kUnderline = 8, kInverse = 16 };

    std::uint32_t foreground = kDefault;
    std::uint32_t background = kDefault;
    std::uint8_t flags = 0;

    bool IsPlain() const { return foreground == kDefault && background == kDefault && flags == 0; }
    bool operator==(const ShownStyle& other) const {
        return foreground == other.foreground && background == other.background && flags == other.flags;
    }
    bool operator!=(const ShownStyle& other) const { return !(*this == other); }
};

// What one byte of the text shows. A character starts at its first byte (kChar, with its code point and
// width in cells: 0 for a combining mark, 2 for a wide one); its other bytes are kFollow. A byte that is
// no part of a valid character shows as itself (kByte). The bytes of a recognised escape sequence are
// kHidden; those of a sequence not yet complete at the end of the data are kPending until the rest comes.
struct ShownByte {
    enum Kind : std::uint8_t { kChar, kFollow, kByte, kHidden, kPending };
    char32_t code = 0;
    std::uint8_t kind = kByte;
    std::uint8_t width = 1;
    ShownStyle style;
};

// Turns bytes into shown bytes, carrying the style and any unfinished sequence from one call to the next,
// so that data arriving in pieces shows as it would arriving whole. Knows nothing of fonts or displays.
class CShownDecoder {
public:
    // The longest escape sequence looked for: one that runs longer without its end shows as its bytes.
    static constexpr std::size_t kLongestSequence = 64;
    // Operating system commands (window titles, links) may run longer.
    static constexpr std::size_t kLongestString = 256;

    CShownDecoder(CharacterSet characters = CharacterSet::Utf8,
                  EscapeSequences escapes = EscapeSequences::Colours);

    CharacterSet Characters() const { return m_characters; }
    EscapeSequences Escapes() const { return m_escapes; }
    // True when every byte shows as itself, one character each, with nothing hidden or coloured.
    bool ShowsEveryByte() const {
        return m_characters == CharacterSet::Windows1252 && m_escapes == EscapeSequences::Show;
    }

    // Starts over with the default style.
    void Reset();

    // Decodes count bytes into as many shown bytes. A sequence the bytes end inside of is marked pending;
    // returns how many bytes are decoded for good: the others must be given again, followed by the bytes
    // that come after them.
    std::size_t Decode(const unsigned char* bytes, std::size_t count, ShownByte* out);

    // The cells a character takes: 0 for combining marks and invisible joiners, 2 for wide characters.
    static int CharWidth(char32_t code);

private:
    // Decodes the unit that starts at bytes[0]; returns its length, or 0 when it needs more bytes.
    std::size_t DecodeUnit(const unsigned char* bytes, std::size_t count, ShownByte* out);
    std::size_t DecodeUtf8(const unsigned char* bytes, std::size_t count, ShownByte* out);
    // An escape sequence at bytes[0]: its length when complete, 0 when it needs more bytes, or
    // kMalformed when it is not one (the ESC then shows as a byte).
    std::size_t MatchEscape(const unsigned char* bytes, std::size_t count) const;
    void ApplyGraphicRendition(const unsigned char* params, std::size_t length);

    static constexpr std::size_t kMalformed = static_cast<std::size_t>(-1);

    CharacterSet m_characters;
    EscapeSequences m_escapes;
    ShownStyle m_style;
};
