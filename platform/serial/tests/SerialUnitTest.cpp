#include "platform/clock/Clock.h"
#include "platform/serial/FakePort.h"
#include "platform/serial/SerialPort.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace parlix::serial;
namespace fs = std::filesystem;

namespace {

int errorNumber(const std::function<void()>& f)
{
    try {
        f();
    } catch (const SerialError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(SerialSettings, ParsesTheControlsSettingsText)
{
    const LineSettings fast = parseSettings("115200,N,8,1");
    EXPECT_EQ(fast.baud, 115200);
    EXPECT_EQ(fast.parity, 'N');
    EXPECT_EQ(fast.dataBits, 8);
    EXPECT_EQ(fast.stopBits, 1);
    const LineSettings other = parseSettings("9600,e,7,2");
    EXPECT_EQ(other.baud, 9600);
    EXPECT_EQ(other.parity, 'E');
    EXPECT_EQ(other.dataBits, 7);
    EXPECT_EQ(other.stopBits, 2);
}

TEST(SerialSettings, RejectsMalformedText)
{
    for (const char* bad : {"", "9600", "9600,N,8", "9600,N,8,1,", "12345,N,8,1", "9600,X,8,1",
                            "9600,N,9,1", "9600,N,8,3", "9600,NN,8,1", " 9600,N,8,1", "-9600,N,8,1"}) {
        EXPECT_EQ(errorNumber([&] { parseSettings(bad); }), InvalidPropertyValue) << '"' << bad << '"';
    }
}

TEST(SerialPortBase, ChecksPortNumberSettingsAndOpenState)
{
    FakePort port;
    EXPECT_EQ(errorNumber([&] { port.setCommPort(0); }), InvalidPortNumber);
    EXPECT_EQ(errorNumber([&] { port.setSettings("fast"); }), InvalidPropertyValue);
    EXPECT_EQ(port.settings(), "9600,N,8,1");  // a refused text changes nothing
    port.setCommPort(3);
    port.setPortOpen(true);
    EXPECT_EQ(errorNumber([&] { port.setCommPort(4); }), OperationWhileOpen);
    EXPECT_EQ(port.commPort(), 3);
    EXPECT_EQ(errorNumber([&] { port.setPortOpen(true); }), PortAlreadyOpen);
    port.setSettings("115200,N,8,1");  // allowed while open
    port.setPortOpen(false);
    EXPECT_EQ(errorNumber([&] { port.setPortOpen(false); }), PortAlreadyOpen);
    EXPECT_EQ(errorNumber([&] { port.output("AT\r"); }), PortNotOpen);
    EXPECT_EQ(errorNumber([&] { (void)port.input(); }), PortNotOpen);
}

TEST(SerialPorts, PortNumberMapsToLinkInPortsFolderElseTtyS)
{
    const fs::path folder = fs::temp_directory_path() / ("parlix-ports-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    setPortsFolder(folder);
    fs::create_symlink("/dev/ttyUSB0", folder / "com3");            // may dangle: still used
    fs::create_symlink("/nonexistent/ttyACM7", folder / "com12");

    EXPECT_EQ(devicePath(3), (folder / "com3").string());
    EXPECT_EQ(devicePath(12), (folder / "com12").string());
    EXPECT_EQ(devicePath(1), "/dev/ttyS0");
    EXPECT_EQ(devicePath(4), "/dev/ttyS3");

    // Opening the dangling link names both the link and where it points.
    TermiosPort port;
    port.setCommPort(12);
    try {
        port.setPortOpen(true);
        FAIL() << "opened a missing device";
    } catch (const SerialError& e) {
        EXPECT_EQ(e.number(), InvalidPortNumber);
        EXPECT_EQ(e.device(), (folder / "com12").string());
        EXPECT_NE(std::string(e.what()).find("COM12"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("/nonexistent/ttyACM7"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(port.portOpen());

    setPortsFolder({});
    EXPECT_EQ(portsFolder().filename(), "ports");
    fs::remove_all(folder);
}

TEST(SerialPorts, FactoryIsReplaceableAndRestorable)
{
    auto modem = std::make_shared<FakePort>();
    {
        ScopedFakePort install(modem);
        auto a = makePort();
        auto b = makePort();
        a->setCommPort(5);
        a->setPortOpen(true);
        EXPECT_TRUE(b->portOpen());  // both reach the one modem
        EXPECT_EQ(b->commPort(), 5);
    }
    EXPECT_NE(dynamic_cast<TermiosPort*>(makePort().get()), nullptr);
}

TEST(FakePortScript, AnswersArriveInPiecesInFakeTime)
{
    parlix::clock::FakeClock clock;
    parlix::clock::ScopedClock use(clock);
    FakePort port;
    port.setPortOpen(true);
    port.expect("AT\r", {{0, "\r\nO"}, {100, "K\r\n"}});
    port.expect("ATI\r", "x");

    port.output("AT\r");
    EXPECT_EQ(port.input(), "\r\nO");
    clock.sleep(99);
    EXPECT_EQ(port.input(), "");
    clock.sleep(1);
    EXPECT_EQ(port.input(), "K\r\n");

    port.output("AT+WRONG\r");  // not what the script waits for: no answer
    EXPECT_EQ(port.input(), "");
    EXPECT_EQ(port.pending(), 1u);
    ASSERT_EQ(port.unexpected().size(), 1u);
    EXPECT_EQ(port.unexpected()[0], "AT+WRONG\r");

    port.deliver("RING", 10);
    port.setPortOpen(false);  // what was on its way is lost
    port.setPortOpen(true);
    clock.sleep(20);
    EXPECT_EQ(port.input(), "");
}

TEST(FakePortScript, DeafAtOtherSettingsAndEchoes)
{
    parlix::clock::FakeClock clock;
    parlix::clock::ScopedClock use(clock);
    FakePort port;
    port.baudOnly("9600,N,8,1");
    port.setEcho(true);
    port.expect("AT\r", "\r\nOK\r\n");
    port.setSettings("115200,N,8,1");
    port.setPortOpen(true);
    port.output("AT\r");
    EXPECT_EQ(port.input(), "");
    EXPECT_EQ(port.pending(), 1u);
    port.setSettings("9600,N,8,1");
    port.output("AT\r");
    EXPECT_EQ(port.input(), "AT\r\r\nOK\r\n");
    EXPECT_EQ(port.written().size(), 2u);
    EXPECT_EQ(port.opens(), std::vector<std::string>{"115200,N,8,1"});
}
