#include "framework/gui/text/ShownDecoder.h"
#include "framework/gui/text/DisplayText.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>
#include <vector>

namespace {

std::vector<ShownByte> Decode(const std::string& bytes, CharacterSet characters = CharacterSet::Utf8,
                              EscapeSequences escapes = EscapeSequences::Colours) {
    CShownDecoder decoder(characters, escapes);
    std::vector<ShownByte> shown(bytes.size());
    const std::size_t done =
        decoder.Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), shown.data());
    EXPECT_EQ(done, bytes.size());
    return shown;
}

// The kinds of the shown bytes, one letter each: c character, f follow, b byte, h hidden, p pending.
std::string Kinds(const std::vector<ShownByte>& shown) {
    std::string kinds;
    for (const ShownByte& b : shown)
        kinds += "cfbhp"[b.kind];
    return kinds;
}

// The text a display shows of bytes fed to it in pieces (each piece one Add).
QString ShownInPieces(const std::vector<std::string>& pieces) {
    CDisplayText display;
    display.SetReading(CharacterSet::Utf8, EscapeSequences::Colours);
    for (const std::string& piece : pieces)
        display.Add(piece.data(), piece.size());
    return display.ShownText(0, display.Size());
}

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TEST(ShownDecoder, EverySingleByteShowsAsItselfOrAsTheCharacterItEncodes) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Kinds(Decode(byte, CharacterSet::Windows1252, EscapeSequences::Show)), "b") << b;
        // A lone ESC waits for the rest of its sequence; anything else is a byte of its own.
        if (b == 0x1B) {
            CShownDecoder decoder;
            ShownByte out;
            const unsigned char esc = 0x1B;
            EXPECT_EQ(decoder.Decode(&esc, 1, &out), 0u);
            EXPECT_EQ(out.kind, ShownByte::kPending);
            continue;
        }
        // In UTF-8 a lone lead byte C2-F4 waits for its continuation; every other byte shows as itself.
        if (b >= 0xC2 && b <= 0xF4)
            continue;
        const std::vector<ShownByte> utf8 = Decode(byte);
        ASSERT_EQ(utf8[0].kind, ShownByte::kByte) << b;
        EXPECT_EQ(utf8[0].code, static_cast<char32_t>(b));
    }
    for (int b = 0xC2; b <= 0xF4; ++b) {
        CShownDecoder decoder;
        const auto byte = static_cast<unsigned char>(b);
        ShownByte out;
        EXPECT_EQ(decoder.Decode(&byte, 1, &out), 0u) << b;
        // Followed by a space it is no character: it shows as itself, the space as a space.
        const std::vector<ShownByte> broken = Decode(std::string{static_cast<char>(b), ' '});
        EXPECT_EQ(Kinds(broken), "bb") << b;
    }
}

TEST(ShownDecoder, EveryUtf8LengthValidOverlongSurrogateAndTruncated) {
    // Valid: one to four bytes.
    EXPECT_EQ(Kinds(Decode("A\xC2\xB0\xE4\xB8\xAD\xF0\x9F\x98\x80")), "bcfcffcfff");
    const std::vector<ShownByte> valid = Decode("\xC2\xB0\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(valid[0].code, U'\u00B0');
    EXPECT_EQ(valid[0].width, 1);
    EXPECT_EQ(valid[2].code, U'\u4E2D');
    EXPECT_EQ(valid[2].width, 2);
    EXPECT_EQ(valid[5].code, U'\U0001F600');
    EXPECT_EQ(valid[5].width, 2);
    // Overlong forms of '/', two to four bytes: every byte shows as itself.
    EXPECT_EQ(Kinds(Decode("\xC0\xAF")), "bb");
    EXPECT_EQ(Kinds(Decode("\xE0\x80\xAF")), "bbb");
    EXPECT_EQ(Kinds(Decode("\xF0\x80\x80\xAF")), "bbbb");
    // A surrogate, and beyond U+10FFFF.
    EXPECT_EQ(Kinds(Decode("\xED\xA0\x80")), "bbb");
    EXPECT_EQ(Kinds(Decode("\xF4\x90\x80\x80")), "bbbb");
    // Truncated: the valid start shows byte by byte, what broke it starts anew.
    EXPECT_EQ(Kinds(Decode("\xE4\xB8"
                           "A")),
              "bbb");
    EXPECT_EQ(Kinds(Decode("\xF0\x9F\x98\xC2\xB0")), "bbbcf");
    // A C1 control in UTF-8 has no glyph: its bytes show.
    EXPECT_EQ(Kinds(Decode("\xC2\x9B")), "bb");
    // A combining mark takes no cell.
    EXPECT_EQ(Decode("e\xCC\x81")[1].width, 0);
    // Windows-1252 decodes nothing.
    EXPECT_EQ(Kinds(Decode("\xC2\xB0", CharacterSet::Windows1252)), "bb");
}

TEST(ShownDecoder, ACharacterSplitAcrossUpdatesShowsWhenComplete) {
    const char* whole = "23.0 \xC2\xB0"
                        "C \xE4\xB8\xAD \xF0\x9F\x98\x80!";
    const QString expected = Utf8(whole);
    const std::string bytes(whole);
    // Every split into two updates, and one byte per update.
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut)
        EXPECT_EQ(ShownInPieces({bytes.substr(0, cut), bytes.substr(cut)}), expected) << cut;
    std::vector<std::string> single;
    for (char c : bytes)
        single.emplace_back(1, c);
    EXPECT_EQ(ShownInPieces(single), expected);
    // Not yet complete: nothing of it shows, and nothing is lost.
    EXPECT_EQ(ShownInPieces({"a\xE4\xB8"}), Utf8("a"));
}

TEST(ShownDecoder, GraphicRenditionsSetTheStyle) {
    const std::vector<ShownByte> shown = Decode("\x1b[1;31mR\x1b[0mN\x1b[38;5;196mP\x1b[48;2;1;2;3mT\x1b[38:"
                                                "2::10:20:30mC\x1b[7;4;3;2mS\x1b[92;104mB");
    auto at = [&](char c) {
        for (std::size_t i = 0; i < shown.size(); ++i)
            if (shown[i].kind == ShownByte::kByte && shown[i].code == static_cast<char32_t>(c))
                return shown[i].style;
        ADD_FAILURE() << c;
        return ShownStyle();
    };
    EXPECT_EQ(at('R').foreground, ShownStyle::kSet | 0xCD0000);
    EXPECT_EQ(at('R').flags, ShownStyle::kBold);
    EXPECT_TRUE(at('N').IsPlain());
    EXPECT_EQ(at('P').foreground, ShownStyle::kSet | 0xFF0000);
    EXPECT_EQ(at('T').background, ShownStyle::kSet | 0x010203);
    EXPECT_EQ(at('C').foreground, ShownStyle::kSet | 0x0A141E);
    EXPECT_EQ(at('S').flags,
              ShownStyle::kInverse | ShownStyle::kUnderline | ShownStyle::kItalic | ShownStyle::kFaint);
    EXPECT_EQ(at('B').foreground, ShownStyle::kSet | 0x00FF00);
    EXPECT_EQ(at('B').background, ShownStyle::kSet | 0x5C5CFF);
    // Hide: hidden alike, no colour.
    const std::vector<ShownByte> hidden = Decode("\x1b[31mR", CharacterSet::Utf8, EscapeSequences::Hide);
    EXPECT_EQ(Kinds(hidden), "hhhhhb");
    EXPECT_TRUE(hidden[5].style.IsPlain());
    // Show: every byte as itself.
    EXPECT_EQ(Kinds(Decode("\x1b[31mR", CharacterSet::Utf8, EscapeSequences::Show)), "bbbbbb");
}

TEST(ShownDecoder, OtherSequencesAreHiddenAndMalformedOnesShowTheirBytes) {
    // Cursor movement, erase, private modes, an operating system command (BEL and ST), a designation.
    EXPECT_EQ(Kinds(Decode("\x1b[2J\x1b[?25l\x1b]0;title\x07\x1b]8;;x\x1b\\\x1b(B\x1b"
                           "7A")),
              std::string(4 + 6 + 10 + 8 + 3 + 2, 'h') + "b");
    // An ESC before something no sequence starts with shows; so does the text after it.
    EXPECT_EQ(Kinds(Decode("\x1b\x01x")), "bbb");
    // A control byte inside a control sequence breaks it: all its bytes show.
    EXPECT_EQ(Kinds(Decode("\x1b[0;3\r")), "bbbbbb");
    // 64 bytes without a final byte: shown, not swallowed.
    const std::string overlong = "\x1b[" + std::string(62, '1') + "m";
    EXPECT_EQ(Kinds(Decode(overlong)), std::string(overlong.size(), 'b'));
    const std::string longest = "\x1b[" + std::string(61, '1') + "m";
    EXPECT_EQ(Kinds(Decode(longest)), std::string(longest.size(), 'h'));
}

TEST(ShownDecoder, HiddenSequencesArrivingOneBytePerUpdateAreHidden) {
    const std::string bytes = "\x1b[0;32mI (1000) wifi: ok\x1b[0m\r\n\x1b]0;t\x07"
                              "end";
    std::vector<std::string> single;
    for (char c : bytes)
        single.emplace_back(1, c);
    EXPECT_EQ(ShownInPieces(single), Utf8("I (1000) wifi: ok\nend"));
    CDisplayText display;
    display.SetReading(CharacterSet::Utf8, EscapeSequences::Colours);
    for (char c : bytes)
        display.Add(&c, 1);
    EXPECT_EQ(display.Shown(8).style.foreground, ShownStyle::kSet | 0x00CD00);
    EXPECT_TRUE(display.Shown(display.Size() - 1).style.IsPlain());
}

TEST(ShownDecoder, TheFrontCutShowsTheRestOfAPartedCharacterOrSequenceAsBytes) {
    CDisplayText display;
    display.SetReading(CharacterSet::Utf8, EscapeSequences::Colours);
    const std::string bytes = "\xE4\xB8\xAD\x1b[31mred";
    display.Add(bytes.data(), bytes.size());
    EXPECT_EQ(display.ShownText(0, display.Size()), Utf8("\xE4\xB8\xADred"));
    // Cut inside the character: its last two bytes show as Windows-1252 characters.
    display.DropFront(1);
    EXPECT_EQ(display.ShownText(0, display.Size()), QString(QChar(0x00B8)) + QChar(0x00AD) + "red");
    // Cut inside the sequence: its rest shows, the colour it set stays.
    display.DropFront(4);
    EXPECT_EQ(display.ShownText(0, display.Size()), QStringLiteral("31mred"));
    EXPECT_EQ(display.Shown(display.Size() - 1).style.foreground, ShownStyle::kSet | 0xCD0000);
    // A character still waiting at the end loses its start to the cut: what is left shows.
    CDisplayText waiting;
    waiting.SetReading(CharacterSet::Utf8, EscapeSequences::Colours);
    waiting.Add("ab\xF0\x9F\x98", 5);
    waiting.DropFront(3);
    waiting.Add("\x80", 1);
    EXPECT_EQ(waiting.ShownText(0, waiting.Size()), QString(QChar(0x0178)) + QChar(0x02DC) + QChar(0x20AC));
}

TEST(ShownDecoder, FindAndCopyFollowWhatIsShown) {
    CDisplayText display;
    display.SetReading(CharacterSet::Utf8, EscapeSequences::Colours);
    const std::string bytes = "\x1b[32mT=23 \xC2\xB0"
                              "C\x1b[0m\r\n\x1b[31m\xE7\xBD\x91\xE7\xBB\x9C\x1b[0m";
    display.Add(bytes.data(), bytes.size());
    std::size_t end = 0;
    const long long found = display.FindShown(Utf8("23 \xC2\xB0"
                                                   "C"),
                                              0, true, true, end);
    ASSERT_EQ(found, 7);
    EXPECT_EQ(end, 13u);
    // Across the line break, over hidden sequences.
    EXPECT_EQ(display.FindShown(Utf8("C\n\xE7\xBD\x91"), 0, true, true, end), 12);
    EXPECT_EQ(end, 27u);
    EXPECT_EQ(display.FindShown(QStringLiteral("t=23"), 0, true, false, end), 5);
    EXPECT_EQ(display.FindShown(QStringLiteral("t=23"), 0, true, true, end), -1);
    EXPECT_EQ(display.FindShown(Utf8("\xE7\xBB\x9C"), display.Size(), false, true, end), 27);
    EXPECT_EQ(display.ShownText(0, display.Size()), Utf8("T=23 \xC2\xB0"
                                                         "C\n\xE7\xBD\x91\xE7\xBB\x9C"));
    EXPECT_EQ(display.ShownOffset(27), 9u);
    EXPECT_EQ(display.PositionOfShown(9), 27u);
    // Windows-1252 with sequences shown: today's one character per byte.
    display.SetReading(CharacterSet::Windows1252, EscapeSequences::Show);
    EXPECT_EQ(display.ShownText(0, 7), QString(QChar(0x241B)) + "[32mT=");
}
