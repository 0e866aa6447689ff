#include "framework/gui/text/DisplayText.h"

#include <gtest/gtest.h>

#include <QString>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

QString Shown(const char* text) {
    return QString::fromUtf8(text);
}

// The display an incremental history must equal: the same bytes assigned at once, soft breaks aside.
QString WithoutSoftBreaks(const CDisplayText& display) {
    return display.ShownText(0, display.Size());
}

// Each display line's shown characters, relative to the first byte.
std::vector<std::string> LinesOf(const CDisplayText& display) {
    std::vector<std::string> lines;
    const CLineIndex& index = display.Lines();
    const std::size_t end = display.Base() + display.Size();
    for (std::size_t line = 0; line < index.LineCount(); ++line) {
        const std::size_t start = index.LineStart(line) - display.Base();
        lines.emplace_back(display.Bytes().substr(start, index.LineEnd(line, end) - display.Base() - start));
    }
    return lines;
}

} // namespace

TEST(DisplayText, EveryByteShowsAsOneVisibleCharacterOrABreak) {
    EXPECT_EQ(CDisplayText::CharForByte(0x00), u'\u2400');
    EXPECT_EQ(CDisplayText::CharForByte(0x1B), u'\u241B');
    EXPECT_EQ(CDisplayText::CharForByte(0x7F), u'\u2421');
    EXPECT_EQ(CDisplayText::CharForByte('\t'), u'\t');
    EXPECT_EQ(CDisplayText::CharForByte('A'), u'A');
    EXPECT_EQ(CDisplayText::CharForByte(0x80), u'\u20AC');
    EXPECT_EQ(CDisplayText::CharForByte(0xE9), u'\u00E9');
    for (int b = 0; b < 256; ++b) {
        const char16_t ch = CDisplayText::CharForByte(static_cast<unsigned char>(b));
        const int back = CDisplayText::ByteForChar(ch);
        // Every byte but the five that Windows-1252 leaves unassigned comes back from its character.
        if (ch != 0xFFFD && b != '\n') {
            EXPECT_EQ(back, b) << b;
        }
    }
}

TEST(DisplayText, LineBreaksAtCrLfLoneLfAndLoneCr) {
    CDisplayText display;
    display.Assign("a\r\nb\nc\rd");
    EXPECT_EQ(LinesOf(display), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(display.ShownText(0, display.Size()), Shown("a\nb\nc\nd"));
}

TEST(DisplayText, CrAtTheEndAndLfInTheNextUpdateMakeOneBreak) {
    CDisplayText display;
    display.Assign("line\r");
    EXPECT_EQ(LinesOf(display), (std::vector<std::string>{"line", ""}));
    display.Add("\nnext", 5);
    EXPECT_EQ(LinesOf(display), (std::vector<std::string>{"line", "next"}));
    EXPECT_EQ(WithoutSoftBreaks(display), Shown("line\nnext"));
}

TEST(DisplayText, ACutInsideACrLfPairKeepsTheBreakOfTheLoneLf) {
    CDisplayText display;
    display.Assign("ab\r\ncd");
    display.DropFront(3); // "ab" and the CR go, the break stays for the LF
    EXPECT_EQ(display.Bytes(), "\ncd");
    EXPECT_EQ(LinesOf(display), (std::vector<std::string>{"", "cd"}));
    EXPECT_EQ(WithoutSoftBreaks(display), Shown("\ncd"));
}

TEST(DisplayText, LongRunsAreSplitForTheDisplayOnly) {
    CDisplayText display;
    const std::string run(CDisplayText::kMaxRun * 2 + 10, 'x');
    display.Assign(run);
    const std::vector<std::string> lines = LinesOf(display);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), CDisplayText::kMaxRun);
    EXPECT_EQ(lines[2].size(), 10u);
    EXPECT_EQ(display.ShownText(0, display.Size()).count(QChar(u'\n')), 0);
}

TEST(DisplayText, DiffFindsTheCutAtTheFrontAndTheAddedEnd) {
    CDisplayText display;
    display.Assign("0123456789");
    std::size_t drop = 0;
    std::size_t appendFrom = 0;
    ASSERT_TRUE(display.DiffTo("0123456789ab", drop, appendFrom));
    EXPECT_EQ(drop, 0u);
    EXPECT_EQ(appendFrom, 10u);
    ASSERT_TRUE(display.DiffTo("456789abcd", drop, appendFrom));
    EXPECT_EQ(drop, 4u);
    EXPECT_EQ(appendFrom, 6u);
    ASSERT_TRUE(display.DiffTo("", drop, appendFrom));
    EXPECT_EQ(drop, 10u);
    EXPECT_FALSE(display.DiffTo("something else entirely", drop, appendFrom));
}

TEST(DisplayText, IncrementalUpdatesMatchAFreshMappingOfTheSameBytes) {
    // A terminal's life: random chunks (line ends, lone CRs, NULs, high bytes, long runs) appended, the
    // front cut to a loop size; the kept mapping must agree with one built from scratch.
    std::mt19937 random(7);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', '\t', '\x1b', '\xe9', '\x80', ' '};
    CDisplayText display;
    std::string bytes;
    const std::size_t loop = 3000;
    for (int step = 0; step < 400; ++step) {
        std::string chunk;
        const int length = static_cast<int>(random() % 120);
        const bool longRun = random() % 10 == 0;
        for (int i = 0; i < (longRun ? 700 : length); ++i)
            chunk.push_back(longRun ? 'z' : alphabet[random() % sizeof(alphabet)]);
        bytes += chunk;
        display.Add(chunk.data(), chunk.size());
        if (bytes.size() > loop) {
            const std::size_t cut = bytes.size() - loop;
            bytes.erase(0, cut);
            display.DropFront(cut);
        }
        ASSERT_EQ(display.Bytes(), bytes);
        CDisplayText fresh;
        fresh.Assign(bytes);
        ASSERT_EQ(WithoutSoftBreaks(display), WithoutSoftBreaks(fresh)) << "step " << step;
    }
}

TEST(DisplayText, FindFoldsCaseOnlyWhenAsked) {
    CDisplayText display;
    display.Assign("Alpha beta \xC9t\xE9 ALPHA");
    EXPECT_EQ(display.Find("ALPHA", 0, true, true), 15);
    EXPECT_EQ(display.Find("alpha", 1, true, false), 15);
    EXPECT_EQ(display.Find("\xE9T\xC9", 0, true, false), 11);
    EXPECT_EQ(display.Find("alpha", 20, false, false), 15);
    EXPECT_EQ(display.Find("alpha", 19, false, false), 0);
    EXPECT_EQ(display.Find("gamma", 0, true, false), -1);
}

TEST(DisplayText, BytesCutFromTheFrontAreGoneForFindsDiffsAndShownTextWhetherOrNotTheStoreWasCompacted) {
    CDisplayText display;
    display.Assign("abcab\r\nXYZab");
    // Small cuts leave most of the store alive (one of them inside the CR LF pair); the last one makes the
    // dropped front the larger part of the store.
    const std::pair<std::size_t, std::string> steps[] = {{2, "cab\r\nXYZab"}, {4, "\nXYZab"}, {1, "XYZab"}};
    for (const auto& [cut, kept] : steps) {
        SCOPED_TRACE(kept);
        display.DropFront(cut);
        EXPECT_EQ(display.Bytes(), kept);
        EXPECT_EQ(display.Size(), kept.size());
        EXPECT_EQ(display.Find("ab", 0, true, true), static_cast<long long>(kept.find("ab")));
        EXPECT_EQ(display.Find("ab", kept.size(), false, true), static_cast<long long>(kept.size() - 2));
        EXPECT_EQ(display.Find("abc", 0, true, true), -1);
        EXPECT_EQ(display.ShownText(0, 1), kept[0] == '\n' ? QString("\n") : QString(QChar(kept[0])));
        std::size_t drop = 0;
        std::size_t appendFrom = 0;
        ASSERT_TRUE(display.DiffTo(kept + "more", drop, appendFrom));
        EXPECT_EQ(drop, 0u);
        EXPECT_EQ(appendFrom, kept.size());
        ASSERT_TRUE(display.DiffTo("XYZab!", drop, appendFrom));
        EXPECT_EQ(drop, kept.size() - 5);
    }
    display.Add("!", 1);
    EXPECT_EQ(display.Bytes(), "XYZab!");
    EXPECT_EQ(display.Size(), 6u);
}
