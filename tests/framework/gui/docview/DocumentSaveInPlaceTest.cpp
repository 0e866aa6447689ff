// Saving where no file can be created beside the target, saves killed half-way, and what they leave.
#include "framework/files/File.h"
#include "framework/gui/docview/SafeSave.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <random>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kSkipped = 77;

void Save(const std::string& path, const std::string& bytes) {
    CSafeSave save(path);
    save.File().Write(bytes.data(), static_cast<UINT>(bytes.size()));
    save.Commit();
}

int HiddenTemporaries(const std::string& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename().string().find(".saving-") != std::string::npos)
            ++count;
    }
    return count;
}

// Runs body in a child process that holds no root rights, so that file modes bind it: the child of an
// unprivileged test as it is, the child of a root test after it became "nobody". The files of paths are
// handed to that user first. Returns the child's exit status, kSkipped when rights could not be dropped.
int AsOrdinaryUser(const std::vector<std::string>& paths, const std::function<bool()>& body) {
    const bool root = ::geteuid() == 0;
    if (root) {
        for (const std::string& path : paths) {
            if (::chown(path.c_str(), kNobody, kNobody) != 0)
                return kSkipped;
        }
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(kSkipped);
        bool passed = false;
        try {
            passed = body();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
        }
        ::_exit(passed ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

TEST(DocumentSaveInPlace, AWritableFileInAReadOnlyFolderIsSavedInPlace) {
    TempDir dir;
    const std::string folder = dir.file("locked");
    const std::string target = folder + "/capture.txt";
    std::filesystem::create_directory(folder);
    WriteWholeFile(target, "the old content, longer than the new one");
    ::chmod(target.c_str(), 0644);
    ::chmod(folder.c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    const int result = AsOrdinaryUser({dir.path(), folder, target}, [&]() {
        // The folder really refuses new files to this user.
        const std::string probe = folder + "/probe";
        if (::open(probe.c_str(), O_CREAT | O_WRONLY, 0600) >= 0)
            return false;
        {
            CSafeSave save(target);
            if (!save.WritesInPlace())
                return false;
            save.File().Write("new text", 8);
            save.Commit();
        }
        return ReadWholeFile(target) == "new text" && HiddenTemporaries(folder) == 0;
    });
    ::chmod(folder.c_str(), 0755);
    if (result == kSkipped)
        GTEST_SKIP() << "runs as root and cannot become an ordinary user";
    EXPECT_EQ(0, result);
    EXPECT_EQ("new text", ReadWholeFile(target));
}

TEST(DocumentSaveInPlace, AFailedInPlaceSaveLeavesTheOldFileAndAMissingFileIsStillRefused) {
    TempDir dir;
    const std::string folder = dir.file("locked");
    const std::string target = folder + "/capture.txt";
    std::filesystem::create_directory(folder);
    WriteWholeFile(target, "old");
    ::chmod(folder.c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    const int result = AsOrdinaryUser({dir.path(), folder, target}, [&]() {
        bool refused = false;
        try {
            CSafeSave missing(folder + "/new.txt");
        } catch (const std::exception&) {
            refused = true;
        }
        {
            // Abandoned before Commit, as when the serialisation throws.
            CSafeSave save(target);
            save.File().Write("half", 4);
        }
        return refused && ReadWholeFile(target) == "old";
    });
    ::chmod(folder.c_str(), 0755);
    if (result == kSkipped)
        GTEST_SKIP() << "runs as root and cannot become an ordinary user";
    EXPECT_EQ(0, result);
}

TEST(DocumentSaveInPlace, StaleTemporariesOfTheTargetGoAtTheNextSaveAndLiveOnesStay) {
    TempDir dir;
    const std::string target = dir.file("capture.txt");
    WriteWholeFile(target, "old");
    WriteWholeFile(dir.file(".capture.txt.saving-AbC123"), "killed save");
    WriteWholeFile(dir.file(".other.txt.saving-AbC123"), "another file's");
    const std::string live = dir.file(".capture.txt.saving-Live01");
    WriteWholeFile(live, "in progress");
    const int held = ::open(live.c_str(), O_RDONLY);
    ASSERT_EQ(0, ::flock(held, LOCK_EX));
    Save(target, "new");
    EXPECT_EQ("new", ReadWholeFile(target));
    EXPECT_FALSE(std::filesystem::exists(dir.file(".capture.txt.saving-AbC123")));
    EXPECT_TRUE(std::filesystem::exists(dir.file(".other.txt.saving-AbC123")));
    EXPECT_TRUE(std::filesystem::exists(live));
    ::close(held);
}

// A child process saves 1 MB again and again, each time all of one letter, and is killed at random
// moments; after each kill the file must be one whole version, and the next save clears what was left.
TEST(DocumentSaveKilled, TwentyKillsDuringALargeSaveLeaveAWholeFileAndTheNextSaveCleansUp) {
    TempDir dir;
    const std::string target = dir.file("capture.txt");
    constexpr size_t kSize = 1 << 20;
    Save(target, std::string(kSize, 'a'));
    std::mt19937 random(1234);
    int temporariesSeen = 0;
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (char letter = 'b';; letter = letter == 'z' ? 'b' : static_cast<char>(letter + 1))
                Save(target, std::string(kSize, letter));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 40000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string bytes = ReadWholeFile(target);
        ASSERT_EQ(kSize, bytes.size()) << "after kill " << kill;
        ASSERT_EQ(std::string::npos, bytes.find_first_not_of(bytes[0])) << "a torn file after kill " << kill;
        temporariesSeen += HiddenTemporaries(dir.path());
    }
    Save(target, std::string(kSize, 'A'));
    EXPECT_EQ(std::string(kSize, 'A'), ReadWholeFile(target));
    EXPECT_EQ(0, HiddenTemporaries(dir.path()));
    std::printf("temporaries left by the kills: %d\n", temporariesSeen);
}
