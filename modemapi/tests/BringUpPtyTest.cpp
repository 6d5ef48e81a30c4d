// Bring-up over a real pseudo-terminal through the termios port, against the
// simulated modem, in real time.
#include "modemapi/BringUp.h"
#include "platform/serial/SerialPort.h"
#include "tools/modemsim/SimModem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <unistd.h>

using namespace modemapi;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class BringUpPtyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() /
                  ("parlix-bringup-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        parlix::serial::setPortsFolder(folder_ / "ports");
        unloadPortWindow(Library::API6);
        unloadPortWindow(Library::API5);
    }
    void TearDown() override
    {
        unloadPortWindow(Library::API6);
        unloadPortWindow(Library::API5);
        parlix::serial::setPortsFolder({});
        sim_.reset();
        fs::remove_all(folder_);
    }

    modemsim::SimModem& start(std::vector<std::string> args = {})
    {
        sim_ = std::make_unique<modemsim::SimModem>(std::move(args));
        sim_->linkPort(folder_.string(), 3);
        return *sim_;
    }
    static Transport& six() { return portWindow(Library::API6); }
    static auto seconds(std::chrono::steady_clock::time_point since)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    }

    fs::path folder_;
    std::unique_ptr<modemsim::SimModem> sim_;
};

}  // namespace

TEST_F(BringUpPtyTest, ReadyModemComesUpRegistersAndCloses)
{
    auto& sim = start();
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(InitModem(six(), 3), ModemStatus::OK) << sim.dialogue();
    EXPECT_LT(seconds(t0), 3.0);
    EXPECT_TRUE(IsPortOpen(six()));
    EXPECT_TRUE(ConnectToGSM(six()));
    const std::string dialogue = sim.dialogue();
    for (const char* command : {"AT+CPIN?", "AT+CSMS=0", "AT+CSQ", "AT+CSDH=1", "AT+CMGF=0", "AT+CREG?"})
        EXPECT_NE(dialogue.find(command), std::string::npos) << command << '\n' << dialogue;
    EXPECT_TRUE(CloseModem(six()));
    EXPECT_FALSE(IsPortOpen(six()));
    EXPECT_TRUE(CloseModem(six()));
}

TEST_F(BringUpPtyTest, ModemAt9600OnlyIsFoundAtTheSecondProbe)
{
    auto& sim = start({"--only-baud=9600"});
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(InitModem(six(), 3), ModemStatus::OK) << sim.dialogue();
    // One probe at 115200 runs into its 7-second limit first.
    EXPECT_GE(seconds(t0), 7.0);
    EXPECT_LT(seconds(t0), 10.0);
    EXPECT_EQ(six().port().settings(), "9600,N,8,1");
}

TEST_F(BringUpPtyTest, PinStatesOfTheSim)
{
    auto& sim = start({"--sim=pin", "--pin=1234"});
    EXPECT_EQ(InitModem(six(), 3), ModemStatus::PINRequired) << sim.dialogue();
    EXPECT_FALSE(IsPortOpen(six()));
    EXPECT_EQ(InitModem(six(), 3, "0000"), ModemStatus::PINWrong) << sim.dialogue();
    EXPECT_FALSE(IsPortOpen(six()));
    EXPECT_EQ(InitModem(six(), 3, "1234"), ModemStatus::OK) << sim.dialogue();
    EXPECT_TRUE(IsPortOpen(six()));

    sim.set("sim=puk");
    EXPECT_EQ(InitModem(six(), 3, "1234"), ModemStatus::SIMBlocked) << sim.dialogue();
    sim.set("sim=error");
    EXPECT_EQ(InitModem(six(), 3, "1234"), ModemStatus::SIMError) << sim.dialogue();
    EXPECT_FALSE(IsPortOpen(six()));
}

TEST_F(BringUpPtyTest, NoSignalFailsAndSearchingNetworkKeepsThePortOpen)
{
    auto& sim = start({"--csq=0,99"});
    EXPECT_EQ(InitModem(six(), 3), ModemStatus::Fail) << sim.dialogue();
    EXPECT_FALSE(IsPortOpen(six()));
    sim.set("csq=99,99 creg=2");
    ASSERT_EQ(InitModem(six(), 3), ModemStatus::OK) << sim.dialogue();
    EXPECT_FALSE(ConnectToGSM(six()));
    EXPECT_TRUE(IsPortOpen(six()));
}

TEST_F(BringUpPtyTest, AnswersInSmallPiecesStillBringTheModemUp)
{
    auto& sim = start({"--pieces=3", "--piece-gap=5"});
    EXPECT_EQ(InitModem(six(), 3), ModemStatus::OK) << sim.dialogue();
}

TEST_F(BringUpPtyTest, DroppedLineFailsInsteadOfHanging)
{
    auto& sim = start();
    ASSERT_EQ(InitModem(six(), 3), ModemStatus::OK) << sim.dialogue();
    sim.drop();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(ConnectToGSM(six()));
    EXPECT_LT(seconds(t0), 8.5);
}

TEST_F(BringUpPtyTest, MissingDeviceFailsAtOnce)
{
    fs::create_directories(folder_ / "ports");
    fs::create_symlink(folder_ / "no-such-tty", folder_ / "ports" / "com3");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(InitModem(six(), 3), ModemStatus::Fail);
    EXPECT_FALSE(IsPortOpen(six()));
    EXPECT_LT(seconds(t0), 1.0);
}

TEST_F(BringUpPtyTest, TextModeLibraryWaitsForTheWholeSignalLine)
{
    auto& sim = start({"--csq=21,99", "--pieces=4", "--piece-gap=20"});
    Transport& five = portWindow(Library::API5);
    five.port().setCommPort(3);
    five.port().setSettings("115200,N,8,1");
    five.port().setPortOpen(true);
    std::string reply;
    ASSERT_TRUE(SendATWaitLine(five, "AT+CSQ", reply, 7)) << sim.dialogue();
    EXPECT_NE(reply.find("+CSQ: 21,99\r\n"), std::string::npos) << reply;
}
