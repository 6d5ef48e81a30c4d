#include "modemapi/BringUp.h"
#include "modemapi/tests/FakeModem.h"

using namespace modemapi;
using namespace modemapi::testing;
using namespace std::chrono_literals;

namespace {

class BringUpTest : public FakeModemTest {
protected:
    void SetUp() override
    {
        FakeModemTest::SetUp();
        useReadyModem();
    }
    ModemStatus init(std::string_view pin = {}) { return InitModem(portWindow(Library::API6), 3, pin); }
    int heard(const std::string& command) { return modem.heard[command]; }
};

}  // namespace

TEST_F(BringUpTest, ReadyModemComesUpInPduModeWithPortOpen)
{
    EXPECT_EQ(init(), ModemStatus::OK);
    EXPECT_TRUE(port->portOpen());
    EXPECT_EQ(port->commPort(), 3);
    EXPECT_EQ(port->opens(), std::vector<std::string>{"115200,N,8,1"});
    // ESC first leaves whatever a killed program left half-written; one CR per command.
    EXPECT_EQ(port->written(), (std::vector<std::string>{"\x1B", "AT\r", "AT+CPIN?\r", "AT+CSMS=0\r", "AT+CSQ\r",
                                                         "AT+CSDH=1\r", "AT+CMGF=0\r"}));
    EXPECT_LT(clock.elapsed(), 2s);
}

TEST_F(BringUpTest, ModemAnsweringOnlyAt9600IsFoundAtTheSecondTry)
{
    port->baudOnly("9600,N,8,1");
    EXPECT_EQ(init(), ModemStatus::OK);
    EXPECT_EQ(port->opens(), (std::vector<std::string>{"115200,N,8,1", "9600,N,8,1"}));
    EXPECT_GE(clock.elapsed(), 7s);
    EXPECT_LT(clock.elapsed(), 9s);
}

TEST_F(BringUpTest, SilentModemFailsAfterThreeProbesWithPortClosed)
{
    modem.silent = true;
    EXPECT_EQ(init(), ModemStatus::Fail);
    EXPECT_FALSE(port->portOpen());
    EXPECT_EQ(port->opens(), (std::vector<std::string>{"115200,N,8,1", "9600,N,8,1", "9600,N,8,1"}));
    EXPECT_EQ(heard("AT"), 3);
    EXPECT_GE(clock.elapsed(), 21s);
    EXPECT_LE(clock.elapsed(), 24s + 200ms);
}

TEST_F(BringUpTest, SimStatesGiveTheirResults)
{
    struct Case {
        std::string cpin;
        std::string pin;
        std::string pinAnswer;
        ModemStatus result;
    };
    const Case cases[] = {
        {ok("+CPIN: SIM PIN"), "", "", ModemStatus::PINRequired},
        {ok("+CPIN: SIM PIN"), "0000", "\r\n+CME ERROR: 16\r\n", ModemStatus::PINWrong},
        {ok("+CPIN: SIM PIN"), "1234", ok(), ModemStatus::OK},
        {ok("+CPIN: SIM PUK"), "1234", "", ModemStatus::SIMBlocked},
        {"\r\n+CME ERROR: 10\r\n", "1234", "", ModemStatus::SIMError},
    };
    for (const Case& c : cases) {
        modem.standing["AT+CPIN?"] = c.cpin;
        modem.standing["AT+CPIN=" + c.pin] = c.pinAnswer;
        modem.heard.clear();
        EXPECT_EQ(init(c.pin), c.result) << c.cpin << c.pin;
        EXPECT_EQ(port->portOpen(), c.result == ModemStatus::OK) << c.cpin << c.pin;
        EXPECT_EQ(heard("AT+CPIN=" + c.pin), c.pin.empty() || c.cpin.find("SIM PIN") == std::string::npos ? 0 : 1);
        if (port->portOpen())
            port->setPortOpen(false);
    }

    // A PIN that would end the command line and start another is never written.
    modem.standing["AT+CPIN?"] = ok("+CPIN: SIM PIN");
    modem.heard.clear();
    EXPECT_EQ(init("12\rAT+CMGD=1,4"), ModemStatus::PINWrong);
    EXPECT_FALSE(port->portOpen());
    for (const auto& [line, times] : modem.heard)
        EXPECT_EQ(line.find("CPIN="), std::string::npos) << line << " x" << times;
}

TEST_F(BringUpTest, ThePinIsNeverSentWithTheSimsLastAttempt)
{
    struct Case {
        std::string query;      // the vendor form the modem knows ("" none)
        std::vector<std::string> counts;  // its answers, in turn
        std::string pinAnswer;
        ModemStatus result;
        int sent;               // AT+CPIN=4321 written
        int left;               // attemptsLeft afterwards
    };
    const Case cases[] = {
        {"AT+CPINR=\"SIM PIN\"", {ok("+CPINR: SIM PIN,1,3")}, ok(), ModemStatus::PINRequired, 0, 1},
        {"AT+XPINCNT", {ok("+XPINCNT: 1,3,10,10")}, ok(), ModemStatus::PINRequired, 0, 1},
        {"AT+QPINC=\"SC\"", {ok("+QPINC: \"SC\",0,10")}, ok(), ModemStatus::PINRequired, 0, 0},
        {"AT^CPIN?", {ok("^CPIN: SIM PIN,3,10,3,10,3")}, ok(), ModemStatus::OK, 1, 3},
        // After a refusal the count is read again.
        {"AT+CPINC", {ok("+CPINC: 3,3,10,10"), ok("+CPINC: 2,3,10,10")}, "\r\n+CME ERROR: 16\r\n",
         ModemStatus::PINWrong, 1, 2},
        // A modem that tells no count: the PIN goes, as it always did.
        {"", {}, "\r\n+CME ERROR: 16\r\n", ModemStatus::PINWrong, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        modem.standing["AT+CPIN?"] = ok("+CPIN: SIM PIN");
        modem.standing["AT+CPIN=4321"] = c.pinAnswer;
        modem.queued.clear();
        if (!c.query.empty())
            modem.queued[c.query] = {c.counts.begin(), c.counts.end()};
        modem.heard.clear();
        int left = 99;
        EXPECT_EQ(InitModem(portWindow(Library::API6), 3, "4321", &left), c.result);
        EXPECT_EQ(heard("AT+CPIN=4321"), c.sent);
        EXPECT_EQ(left, c.left);
        if (port->portOpen())
            port->setPortOpen(false);
    }
}

TEST_F(BringUpTest, NoAnswerToThePinQueryIsASimErrorAfterTwelveTries)
{
    modem.standing["AT+CPIN?"] = "";
    modem.standing["AT"] = ok();
    EXPECT_EQ(init(), ModemStatus::SIMError);
    EXPECT_EQ(heard("AT+CPIN?"), 12);
    EXPECT_FALSE(port->portOpen());
    EXPECT_GE(clock.elapsed(), 12 * 7s);
}

TEST_F(BringUpTest, UnrecognisedPinAnswerIsAskedAgainAtOnce)
{
    modem.queued["AT+CPIN?"] = {ok("+CPIN: PH-NET PIN"), ok("+CPIN: PH-NET PIN")};
    EXPECT_EQ(init(), ModemStatus::OK);
    EXPECT_EQ(heard("AT+CPIN?"), 3);
    EXPECT_LT(clock.elapsed(), 2s);
}

TEST_F(BringUpTest, SmsServiceStartingUpIsWaitedForUpToFourteenSends)
{
    const std::string starting = "\r\n+CMS ERROR: 515\r\n";
    modem.queued["AT+CSMS=0"] = std::deque<std::string>(13, starting);
    EXPECT_EQ(init(), ModemStatus::OK);
    EXPECT_EQ(heard("AT+CSMS=0"), 14);
    EXPECT_GE(clock.elapsed(), 13 * 7s);
    EXPECT_LE(clock.elapsed(), 13 * 8s + 2s);

    port->setPortOpen(false);
    modem.heard.clear();
    modem.queued["AT+CSMS=0"] = std::deque<std::string>(14, starting);
    EXPECT_EQ(init(), ModemStatus::Fail);
    EXPECT_EQ(heard("AT+CSMS=0"), 14);
    EXPECT_EQ(heard("AT+CSQ"), 0);
    EXPECT_FALSE(port->portOpen());
}

TEST_F(BringUpTest, OtherSmsServiceFailuresAreNotRetried)
{
    for (const std::string answer : {"\r\n+CMS ERROR: 500\r\n", "\r\nERROR\r\n", ""}) {
        modem.standing["AT+CSMS=0"] = answer;
        modem.heard.clear();
        EXPECT_EQ(init(), ModemStatus::Fail) << answer;
        EXPECT_EQ(heard("AT+CSMS=0"), 1) << answer;
        EXPECT_FALSE(port->portOpen());
    }
}

TEST_F(BringUpTest, SignalZeroFailsAnyOtherStrengthGoesOn)
{
    for (const auto& [csq, result] : {std::pair{"+CSQ: 0,99", ModemStatus::Fail},
                                      std::pair{"+CSQ: 15,99", ModemStatus::OK},
                                      std::pair{"+CSQ: 99,99", ModemStatus::OK}}) {
        modem.standing["AT+CSQ"] = ok(csq);
        EXPECT_EQ(init(), result) << csq;
        EXPECT_EQ(port->portOpen(), result == ModemStatus::OK);
        if (port->portOpen())
            port->setPortOpen(false);
    }
}

TEST_F(BringUpTest, ErrorToSignalHeadersOrModeFailsTheBringUp)
{
    for (const std::string command : {"AT+CSQ", "AT+CSDH=1", "AT+CMGF=0"}) {
        modem.standing = ReadyModem().standing;
        modem.standing[command] = "\r\nERROR\r\n";
        const auto start = clock.now();
        EXPECT_EQ(init(), ModemStatus::Fail) << command;
        EXPECT_FALSE(port->portOpen());
        // Signal and headers wait only for OK, so ERROR runs into their time-out.
        if (command == "AT+CMGF=0")
            EXPECT_LT(since(start), 1500ms);
        else
            EXPECT_GE(since(start), 7s) << command;
    }
}

TEST_F(BringUpTest, MissingPortFailsWithPortClosed)
{
    port->failNextOpen(parlix::serial::InvalidPortNumber);
    EXPECT_EQ(init(), ModemStatus::Fail);
    EXPECT_FALSE(port->portOpen());
    EXPECT_TRUE(port->written().empty());
    EXPECT_EQ(InitModem(portWindow(Library::API6), 0), ModemStatus::Fail);  // no such port number
}

TEST_F(BringUpTest, SecondBringUpReopensAnOpenPortEvenOnAnotherNumber)
{
    EXPECT_EQ(init(), ModemStatus::OK);
    EXPECT_EQ(InitModem(portWindow(Library::API6), 4), ModemStatus::OK);
    EXPECT_EQ(port->commPort(), 4);
    EXPECT_EQ(port->opens().size(), 2u);
    EXPECT_TRUE(port->portOpen());
}

TEST_F(BringUpTest, ConnectToGsmTellsRegistration)
{
    Transport& t = portWindow(Library::API6);
    ASSERT_EQ(init(), ModemStatus::OK);
    for (const char* state : {"+CREG: 0,1", "+CREG: 1,1", "+CREG: 0,5", "+CREG: 1,5"}) {
        modem.standing["AT+CREG?"] = ok(state);
        EXPECT_TRUE(ConnectToGSM(t)) << state;
    }
    for (const char* state : {"+CREG: 0,2", "+CREG: 0,0", "+CREG: 0,3"}) {
        modem.standing["AT+CREG?"] = ok(state);
        EXPECT_FALSE(ConnectToGSM(t)) << state;
        EXPECT_TRUE(port->portOpen()) << state;
    }
    modem.standing["AT+CREG?"] = "\r\nERROR\r\n";
    EXPECT_FALSE(ConnectToGSM(t));
    EXPECT_FALSE(port->portOpen());
    EXPECT_FALSE(ConnectToGSM(t));  // closed port: false, nothing raised
}

TEST_F(BringUpTest, CloseModemTreatsAnAlreadyClosedPortAsClosed)
{
    Transport& t = openWindow();
    EXPECT_TRUE(CloseModem(t));
    EXPECT_FALSE(port->portOpen());
    EXPECT_TRUE(CloseModem(t));  // the control's "already" error 8005
    port->setPortOpen(true);
    port->failNextClose(parlix::serial::ReadWriteError);
    EXPECT_FALSE(CloseModem(t));
}

TEST_F(BringUpTest, EnterPinSendsThePinUnquoted)
{
    Transport& t = openWindow();
    modem.standing["AT+CPIN=1234"] = ok();
    EXPECT_EQ(EnterPIN(t, "1234"), 1);
    EXPECT_EQ(EnterPIN(t, "9999"), 0);
    port->setPortOpen(false);
    EXPECT_EQ(EnterPIN(t, "1234"), 0);  // a serial error is a refusal
    EXPECT_EQ(CheckPIN(t), 3);
}
