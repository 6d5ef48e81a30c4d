// End to end: the composer's queueing puts broadcasts into Outbox, a headless engine
// (parlix-engine-headless, a separate process) sends them through a simulated modem
// on a pseudo-terminal, and the modem's delivery reports come back into the rows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "console/dialogs/core/Broadcast.h"
#include "console/dialogs/tests/ComposerDb.h"
#include "console/dialogs/tests/HeadlessEngine.h"
#include "tools/modemsim/SimModem.h"

namespace parlix::console::testing {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

class EndToEnd : public ComposerDb {
protected:
    void SetUp() override {
        ComposerDb::SetUp();
        folder = PrepareEngineFolder(root, db, "0123456789", 2, true);
        sim = std::make_unique<modemsim::SimModem>();
        sim->linkPort(folder.string(), 3);
    }
    void TearDown() override {
        engine.reset();
        sim.reset();
        ComposerDb::TearDown();
    }
    QueueResult queue(const std::string& subject, const std::string& text, bool unicode,
                      const std::vector<std::string>& entries, bool filter = false) {
        BroadcastQueue q(db, {subject, text, std::chrono::system_clock::now(), unicode, filter}, nullptr);
        return q.queueAll(entries);
    }
    // Waits (the engine works meanwhile) until `done` holds; false at the deadline.
    bool waitFor(const std::function<bool()>& done, int seconds = 120) {
        const auto deadline = Steady::now() + std::chrono::seconds(seconds);
        while (Steady::now() < deadline) {
            if (done()) return true;
            if (!engine->running()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    // How often each (handset, text) arrived, parts joined. Handsets by their local
    // number: single messages go out international ("601..."), long ones as queued.
    std::map<std::pair<std::string, std::string>, int> arrived() {
        std::map<std::pair<std::string, std::string>, int> n;
        for (const auto& m : modemsim::reassemble(sim->sent())) {
            EXPECT_TRUE(m.complete) << m.number;
            const std::string local = m.number.rfind("601", 0) == 0 ? m.number.substr(1) : m.number;
            ++n[{local, m.text}];
        }
        return n;
    }

    fs::path folder;
    std::unique_ptr<modemsim::SimModem> sim;
    std::unique_ptr<Engine> engine;
};

TEST_F(EndToEnd, BroadcastsReachEachHandsetOnceAndTheFilterSkipsAFailedNumber) {
    auto a = contact("Ali", "0121111111"), b = contact("Badu", "0122222222");
    group("Staff", {a, b});
    auto c = contact("Chen", "0133333333");
    const std::vector<std::string> entries = {"Staff", std::to_string(c) + ":Chen:0133333333", "019-8765432"};
    std::string longText;
    for (int i = 0; longText.size() < 300; ++i) longText += "Part " + std::to_string(i) + " of the notice. ";
    longText.resize(300);
    const std::string unicodeText = "\xe4\xbc\x9a\xe8\xae\xae\xe4\xb9\x9d\xe7\x82\xb9\xe5\xbc\x80\xe5\xa7\x8b";
    const std::vector<std::tuple<std::string, std::string, bool>> broadcasts = {
        {"081226100001", "Meeting at 9", false}, {"081226100002", longText, false}, {"081226100003", unicodeText, true}};
    for (const auto& [subject, text, unicode] : broadcasts) EXPECT_EQ(queue(subject, text, unicode, entries).queued, 4);

    engine = std::make_unique<Engine>(folder);
    ASSERT_TRUE(waitFor([&] { return count("SentStatus = 'S' AND DeliveryStatus = 'D'") == 12; }))
        << count("SentStatus = 'S'") << " sent, " << count("DeliveryStatus = 'D'") << " delivered";
    const auto got = arrived();
    for (const auto& [subject, text, unicode] : broadcasts)
        for (const std::string handset : {"0121111111", "0122222222", "0133333333", "0198765432"}) {
            const auto it = got.find({handset, text});
            EXPECT_EQ(it == got.end() ? 0 : it->second, 1) << handset << " " << subject;
            if (it == got.end())
                for (const auto& [k, n] : got)
                    if (k.first != "") std::cout << k.first << " "  << k.second.size() << " [" << k.second << "]\n";
        }
    EXPECT_EQ(count("SentStatus <> 'S' OR Lock <> 0"), 0);

    // A number whose message was not delivered is skipped by a later filtered Send.
    sim->set("report=failed");
    EXPECT_EQ(queue("081226100004", "Fails", false, {"0171111111"}).queued, 1);
    ASSERT_TRUE(waitFor([&] { return count("Mobile = '0171111111' AND DeliveryStatus = 'F'") == 1; }));
    sim->set("report=delivered");
    auto r = queue("081226100005", "Filtered", false, {"0171111111", "0172222222"}, true);
    EXPECT_EQ(r.queued, 1);
    EXPECT_EQ(r.notQueued, 1);
    ASSERT_TRUE(waitFor([&] { return count("Message = 'Filtered' AND DeliveryStatus = 'D'") == 1; }));
    engine->stop();
    const auto after = arrived();
    EXPECT_EQ(after.count({"0172222222", "Filtered"}), 1u);
    EXPECT_EQ(after.count({"0171111111", "Filtered"}), 0u);
}

}  // namespace
}  // namespace parlix::console::testing
