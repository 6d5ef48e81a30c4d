#include "platform/logfile/LogFile.h"

#include "platform/clock/Clock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace parlix::logfile {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

unsigned mode(const fs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("logfile-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        Flush();
        if (!HasFailure()) fs::remove_all(dir);
    }
    // An entry the way the logs write them: its date, then its text.
    void log(const fs::path& file, const std::string& text) {
        const std::string date = std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                                    fake.now().time_since_epoch()).count());
        Append(file.string(), {"[" + date + "] " + text + "\r\n\r\n", text, date}, "\r\n");
    }

    fs::path dir;
    clock::FakeClock fake;
    clock::ScopedClock scoped{fake};
};

TEST_F(LogFileTest, ARepeatWithinAMinuteIsCountedAndTheCountComesBeforeTheNextDifferentEntry) {
    const fs::path file = dir / "log.txt";
    log(file, "modem not answering");
    fake.advance(std::chrono::seconds(10));
    log(file, "modem not answering");
    fake.advance(std::chrono::seconds(49));
    const std::string lastDate = std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(fake.now().time_since_epoch()).count());
    log(file, "modem not answering");
    EXPECT_EQ(count(slurp(file), "modem not answering"), 1u);
    log(file, "database locked");
    log(file, "modem not answering");  // differs from the last one: written at once
    const std::string text = slurp(file);
    const auto first = text.find("modem not answering");
    const auto note = text.find("... repeated 2 more times, the last at " + lastDate + "\r\n\r\n");
    const auto other = text.find("database locked");
    ASSERT_NE(note, std::string::npos) << text;
    EXPECT_LT(first, note);
    EXPECT_LT(note, other);
    EXPECT_EQ(count(text, "modem not answering"), 2u);
    EXPECT_EQ(count(text, "repeated"), 1u);
}

// A fault at every tick of a fast poll for ten minutes: one entry and one count line a
// minute at most, and every occurrence is accounted for.
TEST_F(LogFileTest, AFaultThatGoesOnWritesAtMostTwoEntriesAMinuteAndCountsEveryOccurrence) {
    const fs::path file = dir / "log.txt";
    const int occurrences = 10 * 60 * 4;
    for (int i = 0; i < occurrences; ++i) {
        log(file, "Send fail! Unable to connect to modem!");
        fake.advance(std::chrono::milliseconds(250));
    }
    Flush();
    const std::string text = slurp(file);
    const std::size_t written = count(text, "Send fail!");
    EXPECT_LE(written, 11u);
    std::size_t counted = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("... repeated ", 0) == 0) counted += std::stoul(line.substr(13));
    EXPECT_EQ(written + counted, static_cast<std::size_t>(occurrences));
}

TEST_F(LogFileTest, EachFileKeepsItsOwnLastEntryAndACountWaitsNoLongerThanItsMinute) {
    const fs::path one = dir / "one.txt", two = dir / "two.txt";
    log(one, "same");
    log(two, "same");
    log(one, "same");
    EXPECT_EQ(count(slurp(one), "same"), 1u);
    EXPECT_EQ(count(slurp(two), "same"), 1u);
    // The repeats stop; once their minute is over, an entry of any log writes the count.
    fake.advance(std::chrono::seconds(61));
    log(two, "other");
    EXPECT_EQ(count(slurp(one), "... repeated 1 more time,"), 1u);
}

TEST_F(LogFileTest, TheCountStillHeldIsWrittenWhenTheProgramEnds) {
    const fs::path file = dir / "log.txt";
    EXPECT_EXIT(
        {
            log(file, "same");
            log(file, "same");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(count(slurp(file), "same\r\n\r\n... repeated 1 more time, the last at "), 1u) << slurp(file);
}

TEST_F(LogFileTest, ALogThatWouldPassTenMegabytesIsMovedAsideKeepingOneOldCopy) {
    const fs::path file = dir / "SMS Engine Error Log.txt";
    const fs::path old = dir / "SMS Engine Error Log.old.txt";
    EXPECT_EQ(OldCopyPath(file.string()), old.string());
    for (int round = 1; round <= 2; ++round) {
        std::ofstream(file, std::ios::app).close();
        fs::resize_file(file, kMaxBytes - 10 * round);
        log(file, "entry " + std::to_string(round));
        EXPECT_EQ(fs::file_size(old), kMaxBytes - 10 * round) << round;  // the older copy replaced
        EXPECT_EQ(count(slurp(file), "entry " + std::to_string(round)), 1u);
        EXPECT_LT(fs::file_size(file), 100u);
    }
    EXPECT_FALSE(fs::exists(dir / "SMS Engine Error Log.old.old.txt"));
    // Up to the limit a file grows as before.
    fs::resize_file(file, kMaxBytes - 100);
    log(file, "fits");
    EXPECT_EQ(fs::file_size(old), kMaxBytes - 20);
}

TEST_F(LogFileTest, LogsAreOwnerOnlyNewOrOld) {
    const fs::path fresh = dir / "new.txt", older = dir / "older.txt";
    std::ofstream(older) << "from before\r\n";
    fs::permissions(older, fs::perms(0644));
    const mode_t mask = ::umask(0);  // even a permissive umask leaves them private
    log(fresh, "x");
    log(older, "y");
    ::umask(mask);
    EXPECT_EQ(mode(fresh), 0600u);
    EXPECT_EQ(mode(older), 0600u);
    EXPECT_EQ(slurp(older).rfind("from before\r\n", 0), 0u);
}

TEST_F(LogFileTest, AnEntryThatCouldNotBeWrittenIsNotCountedAsWritten) {
    const fs::path file = dir / "log.txt";
    fs::create_directories(file);  // a folder where the file should be
    EXPECT_THROW(log(file, "disk trouble"), std::runtime_error);
    fs::remove(file);
    log(file, "disk trouble");
    EXPECT_EQ(count(slurp(file), "disk trouble"), 1u);
}

}  // namespace
}  // namespace parlix::logfile
