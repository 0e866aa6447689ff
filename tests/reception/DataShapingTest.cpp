#include "reception/DataShaping.h"
#include "reception/LoopText.h"
#include "reception/TimestampFormat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> Bytes(const std::string& text) {
    return std::vector<BYTE>(text.begin(), text.end());
}

TermSettingRec PlainSetting() {
    TermSettingRec setting;
    setting.nbMaxiByte = 0;
    setting.timestampInterval = 100;
    return setting;
}

// Appends to a plain string through the received text's loop.
void AppendWithinLoop(CString& buffer, const CString& chunk, DWORD nbMaxiByte) {
    CLoopText text;
    text.Assign(buffer);
    text.AppendWithinLoop(chunk, nbMaxiByte);
    buffer = text.Copy();
}

// A calendar clock reading a whole number of milliseconds after 2026-12-09 17:45:12 UTC.
std::chrono::system_clock::time_point At(long long milliseconds) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(1796838312)) +
           std::chrono::milliseconds(milliseconds);
}

// Every line stamped with the second and its milliseconds, which read the same in every time zone.
TermSettingRec EveryLineSetting() {
    TermSettingRec setting = PlainSetting();
    setting.bTimestamp = 1;
    setting.bTimestampEachLine = 1;
    setting.timestampFormat = "[%S.%L] ";
    return setting;
}

struct LineEndCase {
    int bLF;
    int bCR;
    std::string expected;
};

} // namespace

TEST(LineEndTranslation, FollowsTheFlagsForEveryCombination) {
    // A device line end CR LF, then a lone LF and a lone CR.
    const std::vector<BYTE> received = Bytes("a\r\nb\nc\rd");
    const LineEndCase cases[] = {
        {0, 0, "a\r\nb\nc\rd"},
        {1, 0, "a\r\r\nb\r\nc\rd"},
        {0, 1, "a\r\n\nb\nc\r\nd"},
        {1, 1, "a\r\n\r\nb\r\nc\r\nd"},
    };
    for (const LineEndCase& lineEnd : cases) {
        TermSettingRec setting = PlainSetting();
        setting.bLF = lineEnd.bLF;
        setting.bCR = lineEnd.bCR;
        EXPECT_EQ(TranslateLineEnds(received, setting), lineEnd.expected)
            << "bLF " << lineEnd.bLF << " bCR " << lineEnd.bCR;
    }
    // Line ends at both edges of a read, one after another, and a read of nothing.
    TermSettingRec both = PlainSetting();
    both.bLF = 1;
    both.bCR = 1;
    EXPECT_EQ(TranslateLineEnds(Bytes("\nxy\r\r"), both), "\r\nxy\r\n\r\n");
    EXPECT_EQ(TranslateLineEnds({}, both), "");
}

TEST(LineEndTranslation, PassesEveryOtherByteValueUnchanged) {
    std::vector<BYTE> all;
    for (int value = 0; value < 256; ++value) {
        if (value != 0x0A && value != 0x0D)
            all.push_back(static_cast<BYTE>(value));
    }
    TermSettingRec setting = PlainSetting();
    setting.bLF = 1;
    setting.bCR = 1;
    const CString chunk = TranslateLineEnds(all, setting);
    ASSERT_EQ(chunk.size(), all.size());
    EXPECT_TRUE(std::equal(all.begin(), all.end(), chunk.begin(),
                           [](BYTE byte, char character) { return byte == static_cast<BYTE>(character); }));
}

TEST(ByteFiltering, RemovesTheListedBytesAndKeepsTheOrder) {
    TermSettingRec setting = PlainSetting();
    setting.bFilteredByte = 1;
    setting.FilteredBytesList = "\\x07\\x00";
    std::vector<BYTE> received = {0x41, 0x07, 0x42, 0x00, 0x43};
    RemoveFilteredBytes(received, setting);
    EXPECT_EQ(received, Bytes("ABC"));

    std::vector<BYTE> onlyFiltered = {0x07, 0x00, 0x07};
    RemoveFilteredBytes(onlyFiltered, setting);
    EXPECT_TRUE(onlyFiltered.empty());
}

TEST(ByteFiltering, LeavesTheBytesAloneWhenOffOrWhenTheListIsEmpty) {
    const std::vector<BYTE> original = {0x41, 0x07, 0x00, 0x43};

    TermSettingRec off = PlainSetting();
    off.FilteredBytesList = "\\x07\\x00";
    std::vector<BYTE> received = original;
    RemoveFilteredBytes(received, off);
    EXPECT_EQ(received, original);

    TermSettingRec emptyList = PlainSetting();
    emptyList.bFilteredByte = 1;
    received = original;
    RemoveFilteredBytes(received, emptyList);
    EXPECT_EQ(received, original);
}

TEST(ByteFiltering, HonoursHighValuesAndRepeatedEntries) {
    TermSettingRec setting = PlainSetting();
    setting.bFilteredByte = 1;
    setting.FilteredBytesList = "\\xFF\\x1b\\xff";
    std::vector<BYTE> received = {0xFF, 0x1B, 0x80, 0xFE, 0xFF};
    RemoveFilteredBytes(received, setting);
    EXPECT_EQ(received, (std::vector<BYTE>{0x80, 0xFE}));
}

TEST(Timestamps, FirstChunkIsStampedEvenAtTickZero) {
    TermSettingRec setting = PlainSetting();
    setting.bTimestamp = 1;
    setting.timestampFormat = "[stamp]";
    LastDataClock clock;
    DWORD tick = 0;
    const TickSource ticks = [&tick] { return tick; };

    CString chunk = "data";
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "\r\n[stamp]data");

    // Fifty milliseconds later the line has not been quiet long enough, although the clock read zero before.
    tick = 50;
    chunk = "more";
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "more");
}

TEST(Timestamps, AQuietTimeOfTheIntervalOrMoreOpensAStamp) {
    TermSettingRec setting = PlainSetting();
    setting.bTimestamp = 1;
    setting.timestampFormat = "T ";
    LastDataClock clock;
    DWORD tick = 5000;
    const TickSource ticks = [&tick] { return tick; };

    CString chunk = "a";
    StampChunk(chunk, setting, clock, ticks);
    ASSERT_EQ(chunk, "\r\nT a");

    tick += 99;
    chunk = "b";
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "b");

    // Measured from the previous chunk, not from the previous stamp: 100 ms after "b".
    tick += 100;
    chunk = "c";
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "\r\nT c");

    // Steady traffic with shorter gaps gets no further stamp however long it goes on.
    for (int i = 0; i < 50; ++i) {
        tick += 60;
        chunk = "x";
        StampChunk(chunk, setting, clock, ticks);
        EXPECT_EQ(chunk, "x");
    }
}

TEST(Timestamps, TheRuleHoldsAcrossTheWrapOfTheTickCounter) {
    TermSettingRec setting = PlainSetting();
    setting.bTimestamp = 1;
    setting.timestampFormat = "T";
    LastDataClock clock;
    DWORD tick = 0xFFFFFFC0u;
    const TickSource ticks = [&tick] { return tick; };

    CString chunk;
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "\r\nT");

    tick += 80; // wraps past zero: 80 ms later
    chunk = "y";
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "y");

    tick += 100;
    chunk = "z";
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "\r\nTz");
}

TEST(Timestamps, AnUnusableFormatGivesAnEmptyStampAfterTheLineBreak) {
    TermSettingRec setting = PlainSetting();
    setting.bTimestamp = 1;
    setting.timestampFormat = std::string(200, 'x'); // expands past the 128-character area
    LastDataClock clock;
    const TickSource ticks = [] { return DWORD{1}; };
    CString chunk = "q";
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "\r\nq");

    EXPECT_EQ(FormatTimestamp(""), "");
    EXPECT_EQ(FormatTimestamp("%%"), "%");
    EXPECT_EQ(FormatTimestamp("%Y").size(), 4u);
}

TEST(Timestamps, OffLeavesTheChunkAndTheClockAlone) {
    TermSettingRec setting = PlainSetting();
    setting.timestampFormat = "T";
    LastDataClock clock;
    const TickSource ticks = [] { return DWORD{700}; };
    CString chunk = "plain";
    StampChunk(chunk, setting, clock, ticks);
    EXPECT_EQ(chunk, "plain");
    EXPECT_FALSE(clock.HasData());
}

TEST(BufferLoop, KeepsTheLastCharactersOfTheLoopSize) {
    CString buffer(1000, 'a');
    AppendWithinLoop(buffer, CString(500, 'b'), 1);
    ASSERT_EQ(buffer.size(), 1024u);
    EXPECT_EQ(buffer.substr(0, 524), CString(524, 'a'));
    EXPECT_EQ(buffer.substr(524), CString(500, 'b'));

    // A buffer no longer than the loop stays as it is.
    CString shortBuffer = "abc";
    AppendWithinLoop(shortBuffer, CString(1021, 'd'), 1);
    EXPECT_EQ(shortBuffer.size(), 1024u);
    EXPECT_EQ(shortBuffer.substr(0, 3), "abc");
}

TEST(BufferLoop, ZeroNeverCutsAndLargeLoopSizesDoNotWrap) {
    CLoopText buffer;
    for (int i = 0; i < 3000; ++i)
        buffer.AppendWithinLoop(CString(1024, 'z'), 0);
    EXPECT_EQ(buffer.Size(), 3000u * 1024u);

    // 4194304 x 1024 is 2^32: counted in 32 bits it would cut everything away.
    CString kept = "keep me";
    AppendWithinLoop(kept, "!", 4194304u);
    EXPECT_EQ(kept, "keep me!");
}

TEST(BufferLoop, ACutMayFallInsideALineEnd) {
    CString buffer(1023, 'a');
    AppendWithinLoop(buffer, "\r\n", 1);
    ASSERT_EQ(buffer.size(), 1024u);
    EXPECT_EQ(buffer.back(), '\n');
    EXPECT_EQ(buffer[1022], '\r');

    AppendWithinLoop(buffer, "\r", 1);
    EXPECT_EQ(buffer.front(), 'a');
    AppendWithinLoop(buffer, CString(1022, 'b'), 1);
    EXPECT_EQ(buffer.front(), '\n');
}

TEST(TimestampsOnEveryLine, ALineSplitAcrossReadsHasOneStampTakenWhenItsFirstByteArrived) {
    const TermSettingRec setting = EveryLineSetting();
    LinePosition position;
    EXPECT_EQ(TranslateAndStampLines(Bytes("temp 2"), setting, position, At(7)), "[12.007] temp 2");
    EXPECT_EQ(TranslateAndStampLines(Bytes("1.5\r\nhum"), setting, position, At(340)), "1.5\r\n[12.340] hum");
    // The line end comes in two reads: CR, then LF with the next line. No empty line, one stamp.
    EXPECT_EQ(TranslateAndStampLines(Bytes(" 40\r"), setting, position, At(1999)), " 40\r");
    EXPECT_EQ(TranslateAndStampLines(Bytes("\nok"), setting, position, At(2000)), "\n[14.000] ok");
    // A line end that closes a read waits for the next line's first byte to be stamped.
    EXPECT_EQ(TranslateAndStampLines(Bytes("\r\n"), setting, position, At(2100)), "\r\n");
    EXPECT_EQ(TranslateAndStampLines(Bytes("x"), setting, position, At(3005)), "[15.005] x");
    // No read at all leaves the position as it was.
    EXPECT_EQ(TranslateAndStampLines({}, setting, position, At(3100)), "");
    EXPECT_EQ(TranslateAndStampLines(Bytes("y"), setting, position, At(3200)), "y");
}

TEST(TimestampsOnEveryLine, EveryKindOfLineEndOpensALineAsTheViewBreaksIt) {
    TermSettingRec setting = EveryLineSetting();
    setting.timestampFormat = "%L|";
    LinePosition position;
    // LF, CR LF and a lone CR each end a line; empty lines are lines too. One read, one clock reading.
    EXPECT_EQ(TranslateAndStampLines(Bytes("a\nb\r\nc\rd\n\n"), setting, position, At(42)),
              "042|a\n042|b\r\n042|c\r042|d\n042|\n");
    // A lone CR at the end of a read is a line end once the next byte is not a LF.
    LinePosition afterCR;
    TranslateAndStampLines(Bytes("e\r"), setting, afterCR, At(1));
    EXPECT_EQ(TranslateAndStampLines(Bytes("\rf"), setting, afterCR, At(2)), "002|\r002|f");
}

TEST(TimestampsOnEveryLine, LineEndsAreTranslatedAfterTheStampWithoutABreakOfItsOwn) {
    TermSettingRec setting = EveryLineSetting();
    setting.bLF = 1;
    setting.timestampFormat = "T ";
    LinePosition position;
    EXPECT_EQ(TranslateAndStampLines(Bytes("one\ntwo\n"), setting, position, At(0)), "T one\r\nT two\r\n");

    // An unusable format stamps nothing, and still adds no line break.
    setting.timestampFormat = std::string(200, 'x');
    EXPECT_EQ(TranslateAndStampLines(Bytes("three"), setting, position, At(0)), "three");
}

TEST(TimestampsOnEveryLine, StampsSwitchedOnInTheMiddleOfALineWaitForTheNextLine) {
    const TermSettingRec setting = EveryLineSetting();
    LinePosition position;
    position.Follow(Bytes("half a li"));
    EXPECT_EQ(TranslateAndStampLines(Bytes("ne\nnext"), setting, position, At(500)), "ne\n[12.500] next");
    position.Follow(Bytes("closed\r"));
    EXPECT_EQ(TranslateAndStampLines(Bytes("\nnew"), setting, position, At(600)), "\n[12.600] new");

    EXPECT_TRUE(StampsEveryLine(setting));
    TermSettingRec off = setting;
    off.bTimestamp = 0;
    EXPECT_FALSE(StampsEveryLine(off));
}

TEST(TimestampFormat, PercentLGivesTheMillisecondsOfTheSameReading) {
    std::tm local{};
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 7;
    EXPECT_EQ(ExpandTimestampFormat("%H:%M:%S.%L", local, 0), "09:05:07.000");
    EXPECT_EQ(ExpandTimestampFormat("%L%L", local, 999), "999999");
    EXPECT_EQ(ExpandTimestampFormat("%S.%L", local, 45), "07.045");
    // A percent sign written as %% never opens a conversion, and a lone one at the end stays.
    EXPECT_EQ(ExpandTimestampFormat("%%L %%%L %", local, 5), "%L %005 %");
    // The limit counts what %L expands to.
    EXPECT_EQ(ExpandTimestampFormat(std::string(124, 'x') + "%L", local, 1).size(), 127u);
    EXPECT_EQ(ExpandTimestampFormat(std::string(125, 'x') + "%L", local, 1), "");
    EXPECT_EQ(ExpandTimestampFormat("", local, 1), "");

    // The second and its milliseconds come from one reading, also at the turn of a second.
    EXPECT_EQ(FormatTimestampAt("%S.%L", At(999)), "12.999");
    EXPECT_EQ(FormatTimestampAt("%S.%L", At(1000)), "13.000");
    // The quiet-time rule reads %L too.
    EXPECT_EQ(FormatTimestamp("%L").size(), 3u);
}
