// The input queue between the driver thread and the reader.
#include "framework/serial/InputQueue.h"
#include "framework/core/WinError.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

const COMMTIMEOUTS kPortTimeouts{15, 1, 250, 1, 250};

// Returns at once with what is queued.
const COMMTIMEOUTS kNoWait{0xFFFFFFFF, 0, 0, 0, 0};

std::string ReadAll(InputQueue& queue, std::size_t count, const COMMTIMEOUTS& timeouts = kPortTimeouts) {
    std::string out(count, '\0');
    std::size_t read = 0;
    DWORD failure = 0;
    EXPECT_TRUE(queue.Read(reinterpret_cast<BYTE*>(&out[0]), count, timeouts, &read, &failure));
    out.resize(read);
    return out;
}

void Push(InputQueue& queue, const std::string& bytes) {
    queue.Push(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
}

TEST(InputQueue, FullQueueKeepsItsBytesAndCountsWhatItDrops) {
    InputQueue queue(8);
    Push(queue, "abcdef");
    Push(queue, "ghijkl");
    DWORD fill = 0, errors = 0, failure = 0;
    ASSERT_TRUE(queue.Query(&fill, &errors, &failure));
    EXPECT_EQ(fill, 8u);
    EXPECT_EQ(errors, CE_RXOVER);
    EXPECT_EQ(queue.Dropped(), 4u);
    ASSERT_TRUE(queue.Query(&fill, &errors, &failure));
    EXPECT_EQ(errors, 0u); // the flag is cleared by the query that reported it
    EXPECT_EQ(ReadAll(queue, 5), "abcde");
    Push(queue, "mnopq"); // wraps around the end of the ring
    EXPECT_EQ(ReadAll(queue, 8), "fghmnopq");
}

TEST(InputQueue, PiecesOfEverySizeCrossTheRingsEndInOrder) {
    InputQueue queue(23);
    std::string sent;
    std::string received;
    for (int round = 0; round < 200; ++round) {
        std::string piece;
        for (int i = 0; i < round % 11 + 1; ++i)
            piece += static_cast<char>('a' + (sent.size() + piece.size()) % 26);
        Push(queue, piece);
        sent += piece;
        // A part now and the rest with the next piece queued behind it, so the head wanders round the ring.
        received += ReadAll(queue, static_cast<std::size_t>(round % 7 + 1), kNoWait);
        if (round % 2 == 1)
            received += ReadAll(queue, 23, kNoWait);
    }
    received += ReadAll(queue, 23, kNoWait);
    EXPECT_EQ(queue.Dropped(), 0u);
    EXPECT_EQ(received, sent);
    queue.Resize(5); // a resize of a wrapped ring keeps the oldest bytes in order
    Push(queue, "0123456");
    ReadAll(queue, 3, kNoWait);
    Push(queue, "789");
    queue.Resize(4);
    EXPECT_EQ(ReadAll(queue, 10, kNoWait), "3478");
}

TEST(InputQueue, ResizeKeepsTheOldestBytes) {
    InputQueue queue(4);
    Push(queue, "wxyz");
    queue.Resize(32768);
    EXPECT_EQ(queue.Capacity(), 32768u);
    Push(queue, std::string(100, '.'));
    EXPECT_EQ(ReadAll(queue, 6), "wxyz..");
    queue.Resize(2);
    EXPECT_EQ(ReadAll(queue, 10), "..");
}

TEST(InputQueue, HangUpIsReportedOnlyAfterTheQueuedBytesAreRead) {
    InputQueue queue(64);
    Push(queue, "last words");
    queue.MarkHungUp(ERROR_GEN_FAILURE);
    DWORD fill = 0, errors = 0, failure = 0;
    ASSERT_TRUE(queue.Query(&fill, &errors, &failure));
    EXPECT_EQ(fill, 10u);
    EXPECT_EQ(ReadAll(queue, 64), "last words"); // returns at once, nothing more can come
    EXPECT_FALSE(queue.Query(&fill, &errors, &failure));
    EXPECT_EQ(failure, ERROR_GEN_FAILURE);
    BYTE buffer[4];
    std::size_t read = 0;
    EXPECT_FALSE(queue.Read(buffer, 4, kPortTimeouts, &read, &failure));
}

TEST(InputQueue, ReadWaitsNoLongerThanItsTimeouts) {
    InputQueue queue(64);
    BYTE buffer[16];
    std::size_t read = 0;
    DWORD failure = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(queue.Read(buffer, 16, kPortTimeouts, &read, &failure));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(read, 0u);
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::seconds(5));
}

TEST(InputQueue, ReaderWaitingForBytesGetsThoseThatArrive) {
    // A reader blocks for more bytes than are queued while the driver thread delivers them in two parts.
    InputQueue queue(64);
    std::thread driver([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Push(queue, "abc");
        Push(queue, "def");
    });
    EXPECT_EQ(ReadAll(queue, 6), "abcdef");
    driver.join();
}

} // namespace
