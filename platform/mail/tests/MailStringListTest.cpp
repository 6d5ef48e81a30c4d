#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/mail/Mail.h"

using parlix::mail::MailStringList;
namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path;
    Folder() {
        std::string t = (fs::temp_directory_path() / "parlix-list-XXXXXX").string();
        path = mkdtemp(t.data());
    }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

void write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

MailStringList listOf(std::initializer_list<const char*> items) {
    MailStringList l;
    for (const char* i : items) l.Append(i);
    return l;
}

}  // namespace

TEST(MailStringList, SavesAndLoadsBackManyEntries) {
    Folder dir;
    MailStringList list;
    for (int i = 0; i < 5000; ++i) list.Append("000" + std::to_string(i) + "5f1a");
    list.Append("ünïcode");
    list.Append("");  // kept in its place
    list.Append("last");
    ASSERT_TRUE(list.SaveToFile(dir.file("alreadySeenUidls.txt"))) << list.LastErrorText();

    MailStringList back = listOf({"stale"});
    ASSERT_TRUE(back.LoadFromFile(dir.file("alreadySeenUidls.txt"))) << back.LastErrorText();
    ASSERT_EQ(back.Count(), list.Count());
    for (long i = 0; i < list.Count(); ++i) ASSERT_EQ(back.GetString(i), list.GetString(i));
    EXPECT_TRUE(back.Contains("00049995f1a"));
    EXPECT_TRUE(back.Contains("ünïcode"));
    EXPECT_FALSE(back.Contains("stale"));
    EXPECT_FALSE(back.Contains("00049995f1"));
    EXPECT_THROW(back.GetString(back.Count()), std::out_of_range);
    EXPECT_THROW(back.GetString(-1), std::out_of_range);
    // Nothing is left beside the file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(MailStringList, ReadsFilesWrittenElsewhere) {
    Folder dir;
    MailStringList list = listOf({"old"});
    EXPECT_TRUE(list.LoadFromFile(dir.file("missing.txt")));
    EXPECT_EQ(list.Count(), 0);

    write(dir.file("crlf.txt"), "a\r\nb\r\nc");  // Windows line ends, no final line end
    ASSERT_TRUE(list.LoadFromFile(dir.file("crlf.txt")));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetString(1), "b");
    EXPECT_EQ(list.GetString(2), "c");

    write(dir.file("empty.txt"), "");
    ASSERT_TRUE(list.LoadFromFile(dir.file("empty.txt")));
    EXPECT_EQ(list.Count(), 0);
}

// A damaged seen-list must not come back empty: every mail would look new and be sent again.
TEST(MailStringList, RefusesDamagedOrUnreadableFiles) {
    Folder dir;
    write(dir.file("zeros.txt"), std::string(4096, '\0'));
    write(dir.file("binary.txt"), "uidl1\nuid\xFF\xFEl2\n");
    fs::create_directory(dir.file("folder.txt"));
    for (const char* name : {"zeros.txt", "binary.txt", "folder.txt"}) {
        SCOPED_TRACE(name);
        MailStringList list = listOf({"kept"});
        EXPECT_FALSE(list.LoadFromFile(dir.file(name)));
        EXPECT_NE(list.LastErrorText().find(name), std::string::npos) << list.LastErrorText();
        ASSERT_EQ(list.Count(), 1);
        EXPECT_TRUE(list.Contains("kept"));
    }
}

TEST(MailStringList, FailedSaveLeavesTheOldFile) {
    Folder dir;
    std::string path = dir.file("seen.txt");
    ASSERT_TRUE(listOf({"one", "two"}).SaveToFile(path));

    MailStringList broken = listOf({"one", "two\nthree"});
    EXPECT_FALSE(broken.SaveToFile(path));
    EXPECT_NE(broken.LastErrorText().find("line break"), std::string::npos);
    EXPECT_EQ(read(path), "one\ntwo\n");

    MailStringList fine = listOf({"x"});
    EXPECT_FALSE(fine.SaveToFile(dir.file("no/such/folder/seen.txt")));
    EXPECT_NE(fine.LastErrorText().find("No such file"), std::string::npos) << fine.LastErrorText();
    fs::create_directory(dir.file("taken"));
    EXPECT_FALSE(fine.SaveToFile(dir.file("taken")));  // a folder stands where the file should go
    EXPECT_FALSE(fine.LastErrorText().empty());
    EXPECT_EQ(read(path), "one\ntwo\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);  // no temp files

    if (geteuid() != 0) {  // root writes into read-only folders
        fs::create_directory(dir.file("ro"));
        chmod(dir.file("ro").c_str(), 0555);
        EXPECT_FALSE(fine.SaveToFile(dir.file("ro/seen.txt")));
        EXPECT_NE(fine.LastErrorText().find("Permission denied"), std::string::npos);
        chmod(dir.file("ro").c_str(), 0755);
    }
}
