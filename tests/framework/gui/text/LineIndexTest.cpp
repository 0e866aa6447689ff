// The display lines kept beside the bytes: kept up to date through appends and front cuts, they must be
// the lines a fresh mapping of the same bytes finds.
#include "framework/gui/text/LineIndex.h"
#include "framework/gui/text/DisplayText.h"

#include <gtest/gtest.h>

#include <QString>

#include <random>
#include <string>
#include <vector>

namespace {

// The lines of a display as (start, end) pairs relative to its first byte.
std::vector<std::pair<std::size_t, std::size_t>> LinesOf(const CDisplayText& display) {
    const CLineIndex& lines = display.Lines();
    const std::size_t base = display.Base();
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (std::size_t line = 0; line < lines.LineCount(); ++line)
        out.emplace_back(lines.LineStart(line) - base, lines.LineEnd(line, base + display.Size()) - base);
    return out;
}

} // namespace

TEST(LineIndex, BreaksSpanTheirBytesAndLinesHoldTheRest) {
    CDisplayText display;
    display.Assign("ab\r\ncd\nef\rg");
    const std::vector<std::pair<std::size_t, std::size_t>> expected{{0, 2}, {4, 6}, {7, 9}, {10, 11}};
    EXPECT_EQ(LinesOf(display), expected);
    const CLineIndex& lines = display.Lines();
    EXPECT_EQ(lines.LineOf(3), 0u); // the LF of the pair belongs to the first line's break
    EXPECT_EQ(lines.LineOf(4), 1u);
    EXPECT_EQ(lines.LineOf(11), 3u);
}

TEST(LineIndex, ACrAndTheLfOfTheNextUpdateAreOneBreak) {
    CDisplayText display;
    display.Add("one\r", 4);
    display.Add("\ntwo", 4);
    const std::vector<std::pair<std::size_t, std::size_t>> expected{{0, 3}, {5, 8}};
    EXPECT_EQ(LinesOf(display), expected);
}

TEST(LineIndex, ACutBetweenCrAndLfLeavesTheLoneLfAsABreak) {
    CDisplayText display;
    display.Assign("ab\r\ncd");
    display.DropFront(3);
    const std::vector<std::pair<std::size_t, std::size_t>> expected{{0, 0}, {1, 3}};
    EXPECT_EQ(LinesOf(display), expected);
}

TEST(LineIndex, LongRunsGetDisplayBreaksThatSpanNoByte) {
    CDisplayText display;
    const std::string run(CDisplayText::kMaxRun * 2 + 5, 'x');
    display.Assign(run);
    const std::vector<std::pair<std::size_t, std::size_t>> expected{
        {0, CDisplayText::kMaxRun},
        {CDisplayText::kMaxRun, 2 * CDisplayText::kMaxRun},
        {2 * CDisplayText::kMaxRun, run.size()}};
    EXPECT_EQ(LinesOf(display), expected);
    EXPECT_EQ(display.Lines().Longest(display.Base() + display.Size()), CDisplayText::kMaxRun);
}

TEST(LineIndex, IncrementalLinesMatchAFreshMappingThroughAppendsAndCuts) {
    // A terminal's life: random chunks appended, the front cut to a loop size, sometimes inside a CR LF
    // pair or a long run; the kept lines must agree with those of the same bytes mapped afresh, apart from
    // where the first display-only break falls (a cut run keeps its breaks where they were).
    std::mt19937 random(11);
    const char alphabet[] = {'a', '\r', '\n', '\0', '\t', '\xe9', ' ', 'b'};
    CDisplayText display;
    std::string bytes;
    const std::size_t loop = 2500;
    for (int step = 0; step < 500; ++step) {
        std::string chunk;
        const bool longRun = random() % 12 == 0;
        const int length = longRun ? 900 : static_cast<int>(random() % 90);
        for (int i = 0; i < length; ++i)
            chunk.push_back(longRun ? 'z' : alphabet[random() % sizeof(alphabet)]);
        display.Add(chunk.data(), chunk.size());
        bytes += chunk;
        if (bytes.size() > loop) {
            const std::size_t cut = bytes.size() - loop;
            bytes.erase(0, cut);
            display.DropFront(cut);
        }
        ASSERT_EQ(display.Bytes(), bytes);
        CDisplayText fresh;
        fresh.Assign(bytes);
        // Line breaks (not display-only ones) must be the same: compare the lines joined over soft breaks.
        auto hardLines = [](const CDisplayText& d) {
            std::vector<std::pair<std::size_t, std::size_t>> out;
            for (const auto& line : LinesOf(d)) {
                if (!out.empty() && out.back().second == line.first)
                    out.back().second = line.second;
                else
                    out.push_back(line);
            }
            return out;
        };
        ASSERT_EQ(hardLines(display), hardLines(fresh)) << "step " << step;
        for (const auto& line : LinesOf(display))
            ASSERT_LE(line.second - line.first, CDisplayText::kMaxRun) << "step " << step;
    }
}
