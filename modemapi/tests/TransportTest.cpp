#include "modemapi/Modem.h"
#include "modemapi/tests/FakeModem.h"

#include <thread>

using namespace modemapi;
using namespace modemapi::testing;
using namespace std::chrono_literals;
using parlix::serial::SerialError;

using TransportTest = FakeModemTest;

TEST_F(TransportTest, AnswerInPiecesIsJoinedAndHandedBackWhole)
{
    Transport& t = openWindow();
    port->expect("AT+CSQ\r", {{10, "AT+CSQ\r\r\n+CS"}, {120, "Q: 15,99\r\n"}, {90, "\r\nO"}, {60, "K\r\n"}});
    std::string reply = "old";
    EXPECT_TRUE(SendATCommand(t, "AT+CSQ", reply, 7));
    EXPECT_EQ(reply, "AT+CSQ\r\r\n+CSQ: 15,99\r\n\r\nOK\r\n");
    EXPECT_TRUE(t.buffer.empty());
    EXPECT_EQ(port->pending(), 0u);
    EXPECT_TRUE(port->unexpected().empty());
}

TEST_F(TransportTest, OneCrEndsACommandAndNoneFollowsCtrlZ)
{
    Transport& t = openWindow();
    port->setResponder([](const std::string&, parlix::serial::FakePort&) { return std::vector<Piece>{{0, ok()}}; });
    std::string reply;
    EXPECT_TRUE(SendATCommand(t, "AT+CMGF=0", reply, 7));
    EXPECT_TRUE(SendATCommand(t, "AT+CMGF=0\r", reply, 7));  // a caller's own CR is the one
    EXPECT_TRUE(SendATCommand(t, "0011000B81\x1a", reply, 12));
    EXPECT_EQ(port->written(), (std::vector<std::string>{"AT+CMGF=0\r", "AT+CMGF=0\r", "0011000B81\x1a"}));
}

TEST_F(TransportTest, FinalResultCodesCountOnlyAsWholeLines)
{
    struct Case {
        const char* what;
        std::vector<Piece> answer;
        bool result;
        std::chrono::milliseconds took;
        std::string reply;
    };
    const std::string header = "\r\n+CMGR: \"REC READ\",\"+601\",,\"26/12/08,09:15:30+32\"\r\n";
    const std::vector<Case> cases = {
        {"515 split over two reads", {{0, "\r\n+CMS ERROR: 5"}, {300, "15\r\n"}}, false, 300ms,
         "\r\n+CMS ERROR: 515\r\n"},
        {"OK cut before its line end", {{0, "\r\nOK"}, {200, "\r\n"}}, true, 200ms, "\r\nOK\r\n"},
        {"a message line that begins with OK", {{0, header + "OK thanks\r\n"}, {200, "\r\nOK\r\n"}}, true, 200ms,
         header + "OK thanks\r\n\r\nOK\r\n"},
        {"a message that reads OK", {{0, header + "OK\r\n"}, {200, "\r\nOK\r\n"}}, true, 200ms,
         header + "OK\r\n\r\nOK\r\n"},
        {"a message with a line OK", {{0, header + "Fine\nOK\r\nERROR\r\n"}, {200, "\r\nOK\r\n"}}, true, 200ms,
         header + "Fine\nOK\r\nERROR\r\n\r\nOK\r\n"},
        {"verbose CME error", {{0, "\r\n+CME ERROR: SIM not inserted\r\n"}}, false, 0ms,
         "\r\n+CME ERROR: SIM not inserted\r\n"},
    };
    Transport& t = openWindow(Library::API5);
    for (const Case& c : cases) {
        port->expect("AT+CMGR=0\r", c.answer);
        std::string reply;
        const auto start = clock.now();
        EXPECT_EQ(SendATCommand(t, "AT+CMGR=0", reply, 7), c.result) << c.what;
        EXPECT_EQ(reply, c.reply) << c.what;
        EXPECT_GE(since(start), c.took) << c.what;
        EXPECT_LE(since(start), c.took + 200ms) << c.what;
    }
}

TEST_F(TransportTest, WallClockSetBackDoesNotStretchAWait)
{
    Transport& t = openWindow();
    port->expect("AT\r", {{1000, "\r\n"}});
    // The first look at the port sets the wall clock an hour back.
    bool once = false;
    const int id = clock.addListener([this, &once](parlix::clock::TimePoint now) {
        if (!once) {
            once = true;
            clock.setWallClock(now - std::chrono::hours(1));
        }
    });
    const auto ticks = clock.ticks();
    std::string reply;
    EXPECT_FALSE(SendATCommand(t, "AT", reply, 7));
    clock.removeListener(id);
    EXPECT_TRUE(once);
    EXPECT_LE(clock.ticks() - ticks, 8100ms);
    EXPECT_GE(clock.ticks() - ticks, 7s);
}

TEST_F(TransportTest, OkWithoutLineBreakBeforeItDoesNotEndTheWait)
{
    Transport& t = openWindow();
    port->expect("AT\r", "OK\r\n");
    std::string reply = "kept";
    const auto start = clock.now();
    EXPECT_FALSE(SendATCommand(t, "AT", reply, 2));
    EXPECT_EQ(reply, "kept");  // a time-out leaves the caller's text alone
    EXPECT_TRUE(t.buffer.empty());
    EXPECT_GE(since(start), 2s);
    EXPECT_LE(since(start), 3050ms);
}

TEST_F(TransportTest, ErrorAnswersEndSendATCommandAtOnce)
{
    Transport& t = openWindow();
    for (const std::string answer : {"\r\n+CMS ERROR: 500\r\n", "\r\n+CME ERROR: 10\r\n", "\r\nERROR\r\n"}) {
        port->expect("AT+CMGS=20\r", answer);
        std::string reply;
        const auto start = clock.now();
        EXPECT_FALSE(SendATCommand(t, "AT+CMGS=20", reply, 60)) << answer;
        EXPECT_EQ(reply, answer);
        EXPECT_LE(since(start), 50ms) << answer;
    }
    // "ERROR" only counts at the start of a line.
    port->expect("AT\r", {{0, "NOERROR"}, {30, "\r\nOK\r\n"}});
    std::string reply;
    EXPECT_TRUE(SendATCommand(t, "AT", reply, 7));
    EXPECT_EQ(reply, "NOERROR\r\nOK\r\n");
}

TEST_F(TransportTest, TimeOutsCountWholeSecondsZeroMeaningSeven)
{
    struct Case {
        Library lib;
        int seconds;
        std::chrono::milliseconds least, most;
    };
    for (const Case& c : {Case{Library::API6, 0, 7s, 8s}, Case{Library::API6, 60, 60s, 61s},
                          Case{Library::API5, 0, 7s, 8s}, Case{Library::API5, 1, 1s, 2s}}) {
        Transport& t = portWindow(c.lib);
        if (!t.port().portOpen())
            t.port().setPortOpen(true);
        std::string reply;
        const auto start = clock.now();
        EXPECT_FALSE(SendATCommand(t, "AT", reply, c.seconds));
        EXPECT_GE(since(start), c.least) << c.seconds;
        EXPECT_LE(since(start), c.most + 100ms) << c.seconds;  // plus the last poll pause
    }
}

TEST_F(TransportTest, EachLibraryPausesItsOwnTimeBetweenPolls)
{
    for (const auto& [lib, pause] : {std::pair{Library::API6, 50ms}, std::pair{Library::API5, 100ms}}) {
        Transport& t = portWindow(lib);
        if (!port->portOpen())
            port->setPortOpen(true);
        port->expect("AT\r", {{1, ok()}});  // arrives just after the first look
        const auto slept = clock.slept();
        std::string reply;
        EXPECT_TRUE(SendATCommand(t, "AT", reply, 7));
        EXPECT_EQ(clock.slept() - slept, 2 * pause);
        EXPECT_EQ(t.pollPauseMs(), pause.count());
    }
}

TEST_F(TransportTest, ColonWaitReadsOnToTheFinalResultCode)
{
    Transport& t = openWindow();
    // Information line and OK written apart: the OK is not left for the next command.
    port->expect("AT+CPIN?\r", {{0, "\r\n+CPIN:"}, {300, " READY\r\n"}, {500, "\r\nOK\r\n"}});
    port->expect("AT+CSMS=0\r", {{10, "\r\n+CMS ERROR: 515\r\n"}});
    std::string reply;
    EXPECT_TRUE(SendATWaitColon(t, "AT+CPIN?", reply, 7));
    EXPECT_EQ(reply, "\r\n+CPIN: READY\r\n\r\nOK\r\n");
    EXPECT_FALSE(SendATCommand(t, "AT+CSMS=0", reply, 7));
    EXPECT_EQ(reply, "\r\n+CMS ERROR: 515\r\n");

    // A final code that never comes: what arrived stands when the limit passes.
    port->expect("AT+CPIN?\r", {{0, "\r\n+CPIN: SIM PIN\r\n"}});
    const auto start = clock.now();
    EXPECT_TRUE(SendATWaitColon(t, "AT+CPIN?", reply, 2));
    EXPECT_EQ(reply, "\r\n+CPIN: SIM PIN\r\n");
    EXPECT_GE(since(start), 2s);
}

TEST_F(TransportTest, LateCharactersLandInTheNextCommandsReply)
{
    Transport& t = openWindow();
    port->expect("AT+CSQ\r", {{2500, ok("+CSQ: 9,99")}});
    port->expect("AT\r", {{10, "AT\r\r\nOK\r\n"}});
    std::string reply;
    EXPECT_FALSE(SendATCommand(t, "AT+CSQ", reply, 1));
    clock.sleep(1000);
    // The old answer ends the next command before its own answer comes ...
    EXPECT_TRUE(SendATCommand(t, "AT", reply, 7));
    EXPECT_EQ(reply, "\r\n+CSQ: 9,99\r\n\r\nOK\r\n");
    // ... which in turn lands in the command after that.
    port->expect("AT+CSQ\r", {{10, ok("+CSQ: 9,99")}});
    EXPECT_TRUE(SendATCommand(t, "AT+CSQ", reply, 7));
    EXPECT_EQ(reply, "AT\r\r\nOK\r\n");
}

TEST_F(TransportTest, WaitColonAndWaitPromptStopConditions)
{
    Transport& t = openWindow();
    std::string reply;
    port->expect("AT+CPIN?\r", "\r\nERROR\r\n");
    EXPECT_FALSE(SendATWaitColon(t, "AT+CPIN?", reply, 7));
    EXPECT_EQ(reply, "\r\nERROR\r\n");

    port->expect("AT+CMGS=25\r", {{0, "AT+CMGS=25\r"}, {40, "\r\n> "}});
    EXPECT_TRUE(SendATWaitPrompt(t, "AT+CMGS=25", reply, 7));
    EXPECT_EQ(reply, "AT+CMGS=25\r\r\n> ");

    port->expect("AT+CMGS=999\r", "\r\n+CMS ERROR: 304\r\n");  // a refusal ends the prompt wait
    const auto start = clock.now();
    EXPECT_FALSE(SendATWaitPrompt(t, "AT+CMGS=999", reply, 7));
    EXPECT_EQ(reply, "\r\n+CMS ERROR: 304\r\n");
    EXPECT_LE(since(start), 100ms);
}

TEST_F(TransportTest, WaitLineWaitsForTheEndOfTheLineAfterTheColon)
{
    Transport& t = openWindow(Library::API5);
    std::string reply;
    port->expect("AT+CSQ\r", {{0, "AT+CSQ\r\r\n+CSQ:"}, {250, " 21,"}, {250, "99\r\n\r\nOK\r\n"}});
    EXPECT_TRUE(SendATWaitLine(t, "AT+CSQ", reply, 7));
    EXPECT_EQ(reply, "AT+CSQ\r\r\n+CSQ: 21,99\r\n\r\nOK\r\n");

    // The echo's own line end before the colon does not count.
    port->expect("AT+CUSD=1\r", {{0, "AT+CUSD=1\r\r\n\r\n+CUSD: 0,\"Bal"}, {5000, "\r\n"}});
    const auto start = clock.now();
    EXPECT_TRUE(SendATWaitLine(t, "AT+CUSD=1", reply, 7));
    EXPECT_GE(since(start), 5s);

    port->expect("AT+CSQ\r", "\r\nERROR\r\n");  // ERROR before any colon
    EXPECT_FALSE(SendATWaitLine(t, "AT+CSQ", reply, 7));
    EXPECT_EQ(reply, "\r\nERROR\r\n");

    // ERROR and a colon in one piece: the line after the colon never came.
    port->expect("AT+CSQ\r", "\r\nERROR\r\n+CSQ:");
    EXPECT_FALSE(SendATWaitLine(t, "AT+CSQ", reply, 7));
    EXPECT_EQ(reply, "\r\nERROR\r\n+CSQ:");
}

TEST_F(TransportTest, WaitLineTimeOutKeepsOneLimitFromTheCommand)
{
    Transport& t = openWindow(Library::API5);
    port->expect("AT+CSQ\r", {{3500, "\r\n+CSQ: 21"}});  // the line never ends
    std::string reply = "kept";
    const auto start = clock.now();
    EXPECT_FALSE(SendATWaitLine(t, "AT+CSQ", reply, 5));
    EXPECT_EQ(reply, "kept");
    EXPECT_TRUE(t.buffer.empty());
    EXPECT_GE(since(start), 5s);
    EXPECT_LE(since(start), 6100ms);
}

TEST_F(TransportTest, ClosedPortRaisesTheSerialErrorAndLeavesTheBufferEmpty)
{
    Transport& t = portWindow(Library::API6);
    t.buffer = "stale";
    std::string reply;
    EXPECT_FALSE(IsPortOpen(t));
    EXPECT_THROW(SendATCommand(t, "AT", reply, 7), SerialError);
    EXPECT_TRUE(t.buffer.empty());
    t.port().setPortOpen(true);
    EXPECT_TRUE(IsPortOpen(t));
}

TEST_F(TransportTest, IsTimedOutCountsBoundariesAndAlwaysPauses)
{
    Transport& t = portWindow(Library::API6);
    clock.set(parlix::clock::TimePoint{} + 100s + 900ms);
    const auto start = clock.ticks();
    EXPECT_FALSE(IsTimedOut(t, start, 0));  // 100.90: no boundary yet
    EXPECT_EQ(clock.elapsed(), 50ms);
    clock.advance(50ms);                    // 101.00: one boundary after 0.1 s
    EXPECT_TRUE(IsTimedOut(t, start, 0));
    EXPECT_FALSE(IsTimedOut(t, start, 1));
    clock.advance(1000ms);                  // 102.10
    EXPECT_TRUE(IsTimedOut(t, start, 1));
    EXPECT_EQ(clock.slept(), 200ms);
}

TEST_F(TransportTest, OneWindowPerLibraryAndThreadUntilUnloaded)
{
    Transport& six = portWindow(Library::API6);
    Transport& five = portWindow(Library::API5);
    EXPECT_NE(&six, &five);
    EXPECT_EQ(&six, &portWindow(Library::API6));
    EXPECT_EQ(six.library(), Library::API6);

    Transport* other = nullptr;
    std::thread([&] {
        other = &portWindow(Library::API6);
        unloadPortWindow(Library::API6);
    }).join();
    EXPECT_NE(other, &six);

    six.port().setPortOpen(true);
    unloadPortWindow(Library::API6);  // the port goes with its window
    EXPECT_FALSE(port->portOpen());
    EXPECT_EQ(port->closes(), 1);
    EXPECT_FALSE(IsPortOpen(portWindow(Library::API6)));
}

TEST_F(TransportTest, WaitForTextUsesItsOwnBuffer)
{
    Transport& t = openWindow();
    t.buffer = "shared";
    port->expect("AT\r", {{0, "\r\nERROR\r\n"}});
    std::string own;
    const auto start = clock.now();
    EXPECT_FALSE(WaitForText(t, "AT", "\r\nOK", own, 7));  // ERROR is no stop here
    EXPECT_GE(since(start), 7s);
    EXPECT_EQ(own, "\r\nERROR\r\n");
    EXPECT_EQ(t.buffer, "shared");
}
