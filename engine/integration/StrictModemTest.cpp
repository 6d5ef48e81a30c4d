// The engine against modems that keep strictly to 27.005: storage numbered from 0 or 1,
// information text and OK written apart, a network that answers a send late, and a
// modem left at its ">" prompt by an engine that was killed.
#include "engine/integration/WorkRig.h"


using namespace parlix;
using namespace parlix::engine;
using namespace parlix::engine::testing;

namespace {

class StrictModem : public WorkRig, public ::testing::WithParamInterface<std::vector<std::string>> {};

INSTANTIATE_TEST_SUITE_P(Storage, StrictModem,
                         ::testing::Values(std::vector<std::string>{"--index-base=0", "--ok-gap=100"},
                                           std::vector<std::string>{"--index-base=1"}));

class LateAndLeftModem : public WorkRig {};

}  // namespace

TEST_P(StrictModem, EveryMessageIsReadAndEveryReportApplied) {
    startEngine("Direction = 0, DSR = 1", GetParam());
    ASSERT_TRUE(engine.DeliveryReportActive);
    sim->inject("+60123456789", "first");
    sim->inject("+60161111111", "OK");
    const auto one = queue("0123456789", "one");
    const auto two = queue("0161234567", "two");

    ASSERT_TRUE(engine.SendSMS0());
    ASSERT_TRUE(engine.SendSMS0());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(engine.ReadSMS());
    for (int i = 0; i < 3; ++i) engine.GetDeliveryStatusReport();

    const auto rows = db.query("SELECT Message FROM Inbox ORDER BY MsgID");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].asText(), "first");
    EXPECT_EQ(rows[1][0].asText(), "OK");
    EXPECT_EQ(sim->count("sm"), 0);
    for (auto id : {one, two}) {
        EXPECT_EQ(row(id)["SentStatus"], "S") << id;
        EXPECT_EQ(row(id)["DeliveryStatus"], "D") << id;
    }
    EXPECT_EQ(sim->count("sr"), 0);
    EXPECT_EQ(sim->sent().size(), 2u);
    EXPECT_EQ(errorLog(), "");
}

TEST_F(LateAndLeftModem, LateSendResultSendsOnce) {
    startEngine("Direction = 2, DSR = 0", {"--cmgs-delay=14000"});
    const auto id = queue("0123456789", "slow network");
    ASSERT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(id)["SentStatus"], "S");
    EXPECT_EQ(row(id)["MsgRef"], std::to_string(sim->sent().at(0).mr));
    EXPECT_TRUE(engine.SendSMS0());  // nothing left to send
    EXPECT_EQ(sim->sent().size(), 1u);
}

TEST_F(LateAndLeftModem, StartsOnAModemLeftAtThePrompt) {
    setModem("Direction = 2, DSR = 0");
    startModem();
    // An engine killed half-way through a send: the modem waits for the rest of its PDU.
    sim->leaveOnLine("AT+CMGS=19\r0011000B91");

    engine.cmdInit_Click();
    ASSERT_EQ(engine.EngineState, "Running") << engine.StatusText();
    const auto id = queue("0123456789", "after the restart");
    ASSERT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(id)["SentStatus"], "S");
    ASSERT_EQ(sim->sent().size(), 1u);
    EXPECT_EQ(sim->sent()[0].text, "after the restart");
}
