// The received text's loop: cutting by a mark keeps exactly the bytes that cutting the string would.
#include "reception/LoopText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// The loop's rule on a plain string: the last loop x 1024 bytes, all of them for 0.
void KeepLoop(CString& text, DWORD loop) {
    const std::size_t limit = std::size_t{loop} * 1024u;
    if (loop != 0 && text.size() > limit)
        text.erase(0, text.size() - limit);
}

TEST(LoopText, KeepsWhatTheLoopKeepsThroughManyCutsAndCompactions) {
    std::mt19937 random(7);
    for (DWORD loop : {0u, 1u, 3u}) {
        CLoopText text;
        CString reference;
        std::size_t cutTotal = 0;
        for (int round = 0; round < 3000; ++round) {
            CString chunk(random() % 700, '\0');
            for (char& c : chunk)
                c = static_cast<char>(random());
            const std::size_t before = reference.size() + chunk.size();
            reference += chunk;
            KeepLoop(reference, loop);
            const std::size_t cut = text.AppendWithinLoop(chunk, loop);
            EXPECT_EQ(cut, before - reference.size());
            cutTotal += cut;
            ASSERT_EQ(text.View(), reference) << "loop " << loop << ", round " << round;
        }
        EXPECT_EQ(text.Copy(), reference);
        EXPECT_EQ(text.Size(), reference.size());
        EXPECT_EQ(cutTotal > 0, loop != 0);
    }
}

TEST(LoopText, AssignAndClearStartAfresh) {
    CLoopText text;
    text.AppendWithinLoop(std::string(3000, 'a'), 2);
    text.Assign("fresh");
    EXPECT_EQ(text.View(), "fresh");
    EXPECT_EQ(text.AppendWithinLoop(std::string(2048, 'b'), 2), 5u);
    EXPECT_EQ(text.View(), std::string(2048, 'b'));
    text.Clear();
    EXPECT_EQ(text.Size(), 0u);
    EXPECT_EQ(text.Copy(), "");
}

TEST(LoopText, ACopyFollowsCutsAndAdditionsAndNeverCutsMoreThanItHolds) {
    std::mt19937 random(11);
    CLoopText copy;
    CString reference;
    for (int round = 0; round < 2000; ++round) {
        const std::size_t cut = random() % 900;
        CString added(random() % 600, '\0');
        for (char& c : added)
            c = static_cast<char>(random());
        reference.erase(0, std::min(cut, reference.size()));
        reference += added;
        copy.DropFrontAndAppend(cut, added);
        ASSERT_EQ(copy, reference) << "round " << round;
    }
    // A cut beyond the text empties it and nothing more.
    copy.DropFrontAndAppend(copy.Size() + 10, "tail");
    EXPECT_EQ(copy, "tail");
    EXPECT_NE(copy, "tai");
}

} // namespace
