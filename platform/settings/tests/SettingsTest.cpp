#include "platform/settings/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace parlix::settings;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("parlix-settings-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string path(const std::string& name) { return (dir / name).string(); }
    fs::path dir;
};

}  // namespace

TEST(SettingsLookup, SectionAndKeyIgnoreCaseAndBlanks) {
    const std::string text = "; settings\r\n[Product Name]\r\n  ProductName =  Parlix Pro  \r\n[Other]\r\nProductName=x\r\n";
    EXPECT_EQ(lookup(text, "product name", "productname"), "Parlix Pro");
    EXPECT_EQ(lookup(text, "PRODUCT NAME", "PRODUCTNAME"), "Parlix Pro");
    EXPECT_EQ(lookup(text, "other", "productname"), "x");
}

TEST(SettingsLookup, MissingGivesDefaultAndFirstOccurrenceWins) {
    const std::string text = "[A]\nk=1\nk=2\n[A]\nj=3\n[B]\n";
    EXPECT_EQ(lookup(text, "A", "k"), "1");
    EXPECT_EQ(lookup(text, "A", "j"), "");  // only the first [A] counts
    EXPECT_EQ(lookup(text, "B", "k"), "");
    EXPECT_EQ(lookup(text, "C", "k", "dflt"), "dflt");
    EXPECT_EQ(lookup("", "A", "k"), "");
    EXPECT_EQ(lookup("[A]\n;k=1\nk\n", "A", "k"), "");  // comment and bare word are no keys
}

TEST(SettingsLookup, QuotesAndBomAndLongValues) {
    EXPECT_EQ(lookup("\xEF\xBB\xBF[A]\nk=\"  spaced \"\n", "a", "k"), "  spaced ");
    EXPECT_EQ(lookup("[A]\nk='x'\n", "a", "k"), "x");
    EXPECT_EQ(lookup("[A]\nk=\"x\n", "a", "k"), "\"x");
    EXPECT_EQ(lookup("[A]\nk=a=b\n", "a", "k"), "a=b");
    const std::string longValue(2000, 'v');
    EXPECT_EQ(lookup("[A]\nk=" + longValue + "\n", "A", "k").size(), kMaxValueLength);
    EXPECT_EQ(lookup("[A]\nk=" + std::string(kMaxValueLength, 'v'), "A", "k").size(), kMaxValueLength);
}

TEST(SettingsUpdate, ReplacesInPlaceAndKeepsOtherLines) {
    const std::string text = "; top\r\n[Product Name]\r\nproductname=Old\r\n\r\n[X]\r\nA=1\r\n";
    EXPECT_EQ(update(text, "PRODUCT NAME", "PRODUCTNAME", "New"),
              "; top\r\n[Product Name]\r\nPRODUCTNAME=New\r\n\r\n[X]\r\nA=1\r\n");
}

TEST(SettingsUpdate, AddsKeyBehindSectionAndSectionAtEnd) {
    EXPECT_EQ(update("[A]\nk=1\n\n[B]\nz=0\n", "a", "J", "2"), "[A]\nk=1\nJ=2\n\n[B]\nz=0\n");
    EXPECT_EQ(update("[A]\nk=1", "B", "K", "v"), "[A]\nk=1\n[B]\nK=v\n");
    EXPECT_EQ(update("[A]\nk=1", "A", "J", "v"), "[A]\nk=1\nJ=v\n");
    EXPECT_EQ(update("", "S", "K", ""), "[S]\r\nK=\r\n");
}

TEST(SettingsUpdate, RefusesWhatWouldBreakTheFile) {
    EXPECT_THROW(update("", "S", "K", "a\r\n[Other]"), SettingsError);
    EXPECT_THROW(update("", "S]", "K", "v"), SettingsError);
    EXPECT_THROW(update("", "S", "K=1", "v"), SettingsError);
    EXPECT_THROW(update("", "S", ";K", "v"), SettingsError);
    EXPECT_THROW(update("", " ", "K", "v"), SettingsError);
}

TEST_F(SettingsFile, MissingFileReadsEmptyAndWriteCreatesIt) {
    EXPECT_EQ(readKey(path("Setting.INI"), "Product Name", "productname"), "");
    writeKey(path("Setting.INI"), "Product Name", "PRODUCTNAME", "Parlix");
    EXPECT_EQ(readKey(path("Setting.INI"), "product name", "productname"), "Parlix");
    EXPECT_FALSE(fs::exists(dir / "Setting.INI.tmp"));
}

TEST_F(SettingsFile, CaseVariantsOfTheFileNameAreOneFile) {
    write("Setting.ini", "[Product Name]\r\nProductName=Lower\r\n");
    EXPECT_EQ(readKey(path("Setting.INI"), "Product Name", "productname"), "Lower");
    writeKey(path("SETTING.INI"), "Product Name", "PRODUCTNAME", "Changed");
    EXPECT_EQ(read("Setting.ini"), "[Product Name]\r\nPRODUCTNAME=Changed\r\n");
    EXPECT_FALSE(fs::exists(dir / "SETTING.INI"));
    EXPECT_EQ(resolvePath(path("nothing.ini")), path("nothing.ini"));
}

TEST_F(SettingsFile, MissingFolderThrows) {
    EXPECT_THROW(writeKey((dir / "missing" / "Setting.INI").string(), "A", "k", "2"), SettingsError);
}
