#include "ActivityLogTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace {

// Several threads log thousands of records at once, each with its own procedure name, while the log fills
// up and is archived again and again: every record must land exactly once, whole, with its own name.
TEST(ActivityLogThreadsTest, ConcurrentWritersLoseAndMixNothing) {
    ActivityLogFixture fixture("[LOG]\nLogLevel=3\n");
    constexpr int kThreads = 4;
    constexpr int kPerThread = 750;
    std::vector<std::thread> writers;
    for (int thread = 0; thread < kThreads; ++thread) {
        writers.emplace_back([&fixture, thread] {
            const std::string proc = "Writer" + std::to_string(thread);
            for (int index = 0; index < kPerThread; ++index)
                fixture.App().WriteToLog(proc + " " + std::to_string(index), proc, LEVELTHREE);
        });
    }
    for (std::thread& writer : writers)
        writer.join();

    const std::string archive = fixture.ArchiveBytes();
    const std::string log = fixture.LogBytes();
    EXPECT_EQ(0u, archive.size() % 144);
    EXPECT_EQ(0u, log.size() % 144);
    EXPECT_LE(log.size(), 101u * 144);

    std::map<std::string, int> seen;
    for (const std::string* file : {&archive, &log}) {
        for (const LoggedRecord& record : RecordsOf(*file)) {
            EXPECT_EQ(0u, record.description.find(record.procName + " ")) << record.description;
            ++seen[record.description];
        }
    }
    EXPECT_EQ(static_cast<size_t>(kThreads * kPerThread), seen.size());
    for (const auto& entry : seen)
        EXPECT_EQ(1, entry.second) << entry.first;
    EXPECT_EQ(0, fixture.Boxes());
}

} // namespace
