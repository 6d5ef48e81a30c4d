#include "engine/EngineGlobals.h"
#include "engine/ErrorLog.h"
#include "engine/RWini.h"
#include "platform/db/Value.h"
#include "platform/serial/SerialPort.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;
using namespace parlix;
using namespace parlix::engine;

namespace {

class EngineFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("parlix-engine-log-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        EngineFolder = dir.string();
        EngineModemID = 1;
    }
    void TearDown() override {
        EngineFolder = ".";
        fs::remove_all(dir);
    }
    std::string log() {
        std::ifstream in(dir / kErrorLogName, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void writeIni(const std::string& text) { std::ofstream(dir / "Setting.INI", std::ios::binary) << text; }
    fs::path dir;
};

}  // namespace

TEST_F(EngineFolderTest, ErrorRecordHasSixCrLfLinesAndAppends) {
    EngineVersion = "1.2.3";
    WriteErrorLog("frmSMSEngine-Form_Load", 3021, "no current row");
    WriteErrorLog("", -2147217887, "row is being processed elsewhere");
    const std::string text = log();
    const std::regex record(
        "\\*\\*\\* Parlix-SMS Engine version 1\\.2\\.3 \\*\\*\\*\r\n[^\r\n]+\r\n"
        "Error Location: frmSMSEngine-Form_Load\r\nError Number: 3021\r\nError Description: no current row\r\n\r\n"
        "\\*\\*\\* Parlix-SMS Engine version 1\\.2\\.3 \\*\\*\\*\r\n[^\r\n]+\r\n"
        "Error Location: N/A\r\nError Number: -2147217887\r\nError Description: row is being processed elsewhere\r\n\r\n");
    EXPECT_TRUE(std::regex_match(text, record)) << text;
}

TEST_F(EngineFolderTest, UnwritableLogIsSwallowed) {
    EngineFolder = (dir / "missing").string();
    EXPECT_NO_THROW(WriteErrorLog("x", 1, "y"));
}

TEST(ErrorNumber, TakesTheLayersOwnNumbers) {
    EXPECT_EQ(ErrorNumber(db::RowConflictError(false)), db::RowConflictError::kChanged);
    EXPECT_EQ(ErrorNumber(serial::SerialError(8002, "no port")), 8002);
    EXPECT_EQ(ErrorNumber(std::invalid_argument("x")), 13);
    EXPECT_EQ(ErrorNumber(std::runtime_error("x")), 440);
}

TEST_F(EngineFolderTest, ReadIniValueAndEngineNumber) {
    const std::string ini = (dir / "setting.ini").string();  // case variant of Setting.INI
    EXPECT_EQ(ReadIniValue("Product Name", "ProductName", ini), "");
    EXPECT_EQ(ReadEngineModemID(ini), 1);
    writeIni("[Product Name]\r\nPRODUCTNAME=Parlix Pro\r\n[Engine_Setting]\r\nEngineModemID=3\r\n");
    EXPECT_EQ(ReadIniValue("product name", "ProductName", ini), "Parlix Pro");
    EXPECT_EQ(ReadEngineModemID(ini), 3);
    EXPECT_FALSE(fs::exists(dir / kErrorLogName));

    writeIni("[Engine_Setting]\r\nEngineModemID=two\r\n");
    EXPECT_EQ(ReadEngineModemID(ini), 1);
    writeIni("[Engine_Setting]\r\nEngineModemID=0\r\n");
    EXPECT_EQ(ReadEngineModemID(ini), 1);
    EXPECT_NE(log().find("EngineModemID \"two\""), std::string::npos);
    EXPECT_NE(log().find("EngineModemID \"0\""), std::string::npos);
}
