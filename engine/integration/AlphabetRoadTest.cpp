// The GSM alphabet through the engine and the simulated modem on a pty: extension
// characters and Greek letters out and in, the single or long choice counted in
// septets, parts of long messages and unreadable units received.
#include "engine/integration/WorkRig.h"

using namespace parlix;
using namespace parlix::engine;
using namespace parlix::engine::testing;

namespace {

class AlphabetRoad : public WorkRig {};

const std::string kText = "Price 5\u20AC {a} [b] ~c| \\d ^e \u0394\u03A6\u0393\u039B\u03A9\u03A0\u03A8\u03A3\u0398\u039E "
                          "\u00E4\u00F6\u00FC\u00D1\u00A7";

}  // namespace

TEST_F(AlphabetRoad, ExtensionCharactersAndGreekGoOutIntact) {
    startEngine();
    // 159 characters, two of them "€": 161 septets, too many for one message.
    const std::string euros = std::string(153, 'x') + "\u20AC" + "1234" + "\u20AC";
    const std::string fits = std::string(152, 'x') + "\u20AC" + "1234" + "\u20AC";  // 160 septets
    queue("0123456789", kText, 1, "a");
    queue("0171234567", euros, 1, "b");
    queue("0181234567", fits, 1, "c");
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(engine.SendSMS0());

    const auto joined = modemsim::reassemble(sim->sent());
    ASSERT_EQ(joined.size(), 3u);
    EXPECT_EQ(joined[0].text, kText);
    EXPECT_EQ(joined[0].parts, 1);
    EXPECT_EQ(joined[1].text, euros);
    EXPECT_EQ(joined[1].parts, 2);
    EXPECT_TRUE(joined[1].complete);
    EXPECT_EQ(joined[2].text, fits);
    EXPECT_EQ(joined[2].parts, 1);
    for (const auto& unit : sim->sent()) EXPECT_EQ(unit.coding, "7bit");
    EXPECT_EQ(errorLog(), "");
}

TEST_F(AlphabetRoad, ReceivedMessagesAreStoredAsTheSenderWroteThem) {
    startEngine();
    sim->inject("+60123456789", kText);
    sim->inject("+60123456789", "first of two parts, {clean}", "concat=33/2/1");
    sim->inject("InfoBank", "Your code is 1234");
    // 8-bit data cannot be shown: it leaves the SIM (raw in the library's log), no row.
    sim->injectPdu("07910621000010F0" "04" "0B91" "0621436587F9" "00" "04" "62214231000000" "03C0FFEE");
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(engine.ReadSMS());

    const auto rows = db.query("SELECT Mobile, Message FROM Inbox ORDER BY MsgID");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1].asText(), kText);
    EXPECT_EQ(rows[1][1].asText(), "first of two parts, {clean}");
    EXPECT_EQ(rows[2][0].asText(), "InfoBank");
    EXPECT_EQ(rows[2][1].asText(), "Your code is 1234");
    EXPECT_EQ(engine.InCount, 3);
    EXPECT_EQ(sim->count("sm"), 0);
    EXPECT_EQ(errorLog(), "");
}
