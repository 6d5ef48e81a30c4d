// One e-mail-to-SMS pass over a mailbox of 20,000 identifiers of which all but five
// were handled before: the gateway's own work (seen-list look-ups, the five e-mails,
// the seen list saved after each) against the in-memory mail server and modem.
#include "mailgateway/tests/Fakes.h"

#include <benchmark/benchmark.h>

using namespace gatewaytest;

static void BM_PassOverLargeMailbox(benchmark::State& state) {
    const int total = static_cast<int>(state.range(0));
    const int fresh = 5;
    Rig rig;
    Setting::Loaded.EMail.Recipient = "0123456789";
    Setting::Loaded.EMail.Line1 = "0";
    std::vector<std::string> seen;
    for (int i = 0; i < total; ++i) {
        const std::string id = "1DQ5Xk" + std::to_string(1000000 + i) + ".gateway";
        rig.mail.add(id, {"Notice " + std::to_string(i), "Body of e-mail " + std::to_string(i), "Ali <ali@example.com>",
                          "ali@example.com", "2026-12-08 10:00:00"});
        if (i < total - fresh) seen.push_back(id);
    }
    const std::string path = EmailtoSMS::SeenListPath();
    for (auto _ : state) {
        state.PauseTiming();
        EmailtoSMS::Reset();
        rig.mail.files[path] = seen;
        rig.Modem().sent.clear();
        rig.mail.delivered.clear();
        state.ResumeTiming();
        EmailtoSMS::ConnectMailServer();
        if (rig.modem->sent.size() != static_cast<std::size_t>(fresh)) state.SkipWithError("wrong number of SMS sent");
    }
}
BENCHMARK(BM_PassOverLargeMailbox)->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
