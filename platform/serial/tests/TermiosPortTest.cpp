// TermiosPort over a real pseudo-terminal.
#include "platform/serial/SerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <sys/file.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace parlix::serial;
namespace fs = std::filesystem;

namespace {

class TermiosPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[256] = {};
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        // Keep the slave open here too, so the far end never sees a hang-up.
        device_ = name;
        folder_ = fs::temp_directory_path() / ("parlix-termios-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        fs::create_symlink(device_, folder_ / "com1");
        setPortsFolder(folder_);
    }
    void TearDown() override
    {
        setPortsFolder({});
        fs::remove_all(folder_);
        ::close(master_);
        ::close(slave_);
    }

    // Reads from the modem's end until `want` bytes came or a second passed.
    std::string readMaster(std::size_t want)
    {
        std::string got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
        while (got.size() < want && std::chrono::steady_clock::now() < until) {
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<std::size_t>(n));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return got;
    }

    // Input until `want` bytes came or a second passed.
    static std::string readPort(Port& port, std::size_t want)
    {
        std::string got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (got.size() < want && std::chrono::steady_clock::now() < until) {
            got += port.input();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return got;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string device_;
    fs::path folder_;
};

}  // namespace

TEST_F(TermiosPortTest, OpensLinkedDeviceRawAndPassesBytesUnchanged)
{
    TermiosPort port;
    port.setCommPort(1);
    port.setSettings("115200,N,8,1");
    port.setPortOpen(true);
    ASSERT_TRUE(port.portOpen());
    EXPECT_EQ(port.device(), (folder_ / "com1").string());
    EXPECT_EQ(port.input(), "");  // nothing received yet: empty, not blocking

    // Raw mode: CR stays CR, no echo, Ctrl-Z and high bytes pass.
    const std::string sent = std::string("AT+CMGS=1\r\n0011\x1a") + "\xff\x80" + std::string(1, '\0');
    port.output(sent);
    EXPECT_EQ(readMaster(sent.size()), sent);

    const std::string answer = "\r\n+CMGS: 7\r\n\r\nOK\r\n\x03";
    ASSERT_EQ(::write(master_, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
    EXPECT_EQ(readPort(port, answer.size()), answer);
    EXPECT_EQ(port.input(), "");  // a read takes everything

    termios tio{};
    ASSERT_EQ(::tcgetattr(master_, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), B115200);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & PARENB, 0u);

    // Applied to the open port at once. (A pty always keeps 8 bits without parity.)
    port.setSettings("9600,N,8,2");
    ASSERT_EQ(::tcgetattr(master_, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), B9600);
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);

    port.setPortOpen(false);
    EXPECT_FALSE(port.portOpen());
    try {
        port.setPortOpen(false);
        FAIL() << "closing a closed port raised nothing";
    } catch (const SerialError& e) {
        EXPECT_EQ(e.number(), PortAlreadyOpen);
    }
}

TEST_F(TermiosPortTest, PortHeldByAnotherProgramIsBusy)
{
    const int other = ::open(device_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    TermiosPort port;
    try {
        port.setPortOpen(true);
        FAIL() << "opened a busy port";
    } catch (const SerialError& e) {
        EXPECT_EQ(e.number(), PortAlreadyOpen);
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(device_), std::string::npos) << e.what();
    }
    ::close(other);
    port.setPortOpen(true);  // free again
    EXPECT_TRUE(port.portOpen());
}

TEST_F(TermiosPortTest, HungUpLineReadsAsNothing)
{
    TermiosPort port;
    port.setPortOpen(true);
    ::close(master_);
    master_ = ::open("/dev/null", O_RDONLY);  // keep TearDown's close harmless
    EXPECT_EQ(port.input(), "");
    EXPECT_EQ(port.input(), "");
}

TEST_F(TermiosPortTest, NotASerialDeviceIsRefused)
{
    fs::remove(folder_ / "com1");
    const fs::path plain = folder_ / "plain";
    { std::ofstream(plain) << "x"; }
    fs::create_symlink(plain, folder_ / "com1");
    TermiosPort port;
    try {
        port.setPortOpen(true);
        FAIL() << "opened a plain file";
    } catch (const SerialError& e) {
        EXPECT_NE(std::string(e.what()).find("not a serial device"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(port.portOpen());
}
