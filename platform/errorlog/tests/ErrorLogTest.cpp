#include "platform/errorlog/ErrorLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/db/Value.h"
#include <unistd.h>

namespace parlix::errorlog {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ErrorLogTest, RecordIsSixCrLfLinesWithNAForAnEmptyLocationAndSignedNumbers) {
    EXPECT_EQ(Record("Parlix version 4.0.1", "08/12/26 10:00:00", "", -2147217900, "bad"),
              "*** Parlix version 4.0.1 ***\r\n08/12/26 10:00:00\r\nError Location: N/A\r\n"
              "Error Number: -2147217900\r\nError Description: bad\r\n\r\n");
    EXPECT_NE(Record("t", "d", "General-Status", 3021, "x").find("Error Location: General-Status\r\n"),
              std::string::npos);
}

TEST(ErrorLogTest, AppendAddsWholeRecordsAndGivesUpSilentlyOnAnUnwritableFile) {
    auto dir = std::filesystem::temp_directory_path() / ("errorlog-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "log.txt").string();
    EXPECT_TRUE(Append(path, "T", "A", 1, "one"));
    EXPECT_TRUE(Append(path, "T", "B", 2, "two"));
    const std::string text = slurp(path);
    EXPECT_LT(text.find("Error Location: A"), text.find("Error Location: B"));
    std::size_t records = 0;
    for (std::size_t at = text.find("*** T ***"); at != std::string::npos; at = text.find("*** T ***", at + 1)) ++records;
    EXPECT_EQ(records, 2u);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
    // A folder where the file should be: nothing written, no exception.
    EXPECT_FALSE(Append(dir.string(), "T", "C", 3, "three"));
    std::filesystem::remove_all(dir);
}

TEST(ErrorLogTest, ErrorNumbersFollowTheKindOfFailure) {
    struct Case {
        std::exception_ptr e;
        long number;
    } cases[] = {
        {std::make_exception_ptr(db::DbError("locked", 3260)), 3260},
        {std::make_exception_ptr(std::invalid_argument("x")), 13},
        {std::make_exception_ptr(std::bad_alloc()), 7},
        {std::make_exception_ptr(std::runtime_error("x")), 440},
        {std::make_exception_ptr(42), 440},
    };
    for (const auto& c : cases) {
        long n = 0;
        std::string d;
        try {
            std::rethrow_exception(c.e);
        } catch (...) {
            CurrentException(n, d);
        }
        EXPECT_EQ(n, c.number);
        EXPECT_FALSE(d.empty());
    }
}

}  // namespace
}  // namespace parlix::errorlog
