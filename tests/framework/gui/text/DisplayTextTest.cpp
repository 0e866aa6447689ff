#include "framework/gui/text/DisplayText.h"

#include <gtest/gtest.h>

#include <QString>

#include <random>
#include <string>
#include <utility>

namespace {

QString Shown(const char* text) {
    return QString::fromUtf8(text);
}

// The display an incremental history must equal: the same bytes assigned at once, soft breaks aside.
QString WithoutSoftBreaks(const CDisplayText& display) {
    return display.ShownText(0, display.Size());
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
    EXPECT_EQ(display.Assign("a\r\nb\nc\rd"), Shown("a\nb\nc\nd"));
    EXPECT_EQ(display.DisplaySize(), 7u);
    EXPECT_EQ(display.DisplayPos(2), 1u); // inside the pair: its break
    EXPECT_EQ(display.DisplayPos(3), 2u);
    EXPECT_EQ(display.BytePos(2), 3u);
    EXPECT_EQ(display.BytePos(1), 1u);
    EXPECT_EQ(display.ShownText(0, display.Size()), Shown("a\nb\nc\nd"));
}

TEST(DisplayText, CrAtTheEndAndLfInTheNextUpdateMakeOneBreak) {
    CDisplayText display;
    EXPECT_EQ(display.Assign("line\r"), Shown("line\n"));
    EXPECT_EQ(display.Append("\nnext", 5), Shown("next"));
    EXPECT_EQ(display.DisplaySize(), 9u);
    EXPECT_EQ(display.BytePos(display.DisplaySize()), display.Size());
}

TEST(DisplayText, ACutInsideACrLfPairKeepsTheBreakOfTheLoneLf) {
    CDisplayText display;
    display.Assign("ab\r\ncd");
    EXPECT_EQ(display.DropFront(3), 2u); // "ab" go, the break stays for the LF
    EXPECT_EQ(display.Bytes(), "\ncd");
    EXPECT_EQ(display.DisplaySize(), 3u);
    EXPECT_EQ(WithoutSoftBreaks(display), Shown("\ncd"));
}

TEST(DisplayText, LongRunsAreSplitForTheDisplayOnly) {
    CDisplayText display;
    const std::string run(CDisplayText::kMaxRun * 2 + 10, 'x');
    const QString shown = display.Assign(run);
    EXPECT_EQ(shown.count(QChar(u'\n')), 2);
    EXPECT_EQ(display.ShownText(0, display.Size()).count(QChar(u'\n')), 0);
    for (std::size_t pos = 0; pos <= run.size(); pos += 37)
        EXPECT_EQ(display.BytePos(display.DisplayPos(pos)), pos);
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
        display.Append(chunk.data(), chunk.size());
        if (bytes.size() > loop) {
            const std::size_t cut = bytes.size() - loop;
            bytes.erase(0, cut);
            display.DropFront(cut);
        }
        ASSERT_EQ(display.Bytes(), bytes);
        CDisplayText fresh;
        fresh.Assign(bytes);
        ASSERT_EQ(WithoutSoftBreaks(display), WithoutSoftBreaks(fresh)) << "step " << step;
        for (std::size_t pos = 0; pos <= bytes.size(); pos += 97) {
            const std::size_t there = display.DisplayPos(pos);
            ASSERT_LE(display.DisplayPos(display.BytePos(there)), there);
        }
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
    EXPECT_EQ(display.DisplaySize(), 6u);
}
