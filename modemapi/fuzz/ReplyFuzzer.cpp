// Modem replies of any shape through the transport and bring-up: nothing may crash,
// hang past its time-out or leave the shared buffer filled.
//
// Input: one byte choosing the routine, then answer pieces separated by 0xFE; each
// piece starts with a delay byte (x 20 ms of fake time).
#include "modemapi/BringUp.h"
#include "platform/clock/Clock.h"
#include "platform/serial/FakePort.h"

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

using namespace modemapi;
using parlix::serial::Piece;

namespace {

std::deque<std::vector<Piece>> answers(const std::uint8_t* data, std::size_t size)
{
    std::deque<std::vector<Piece>> out;
    std::vector<Piece> current;
    std::size_t i = 0;
    while (i < size) {
        std::size_t end = i;
        while (end < size && data[end] != 0xFE)
            ++end;
        if (end > i) {
            const int delay = data[i] * 20;
            current.push_back({delay, std::string(reinterpret_cast<const char*>(data) + i + 1, end - i - 1)});
        }
        // Two separators in a row end one write's answer.
        if (end + 1 < size && data[end + 1] == 0xFE) {
            out.push_back(std::move(current));
            current.clear();
            ++end;
        }
        i = end + 1;
    }
    out.push_back(std::move(current));
    return out;
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    parlix::clock::FakeClock clock;
    parlix::clock::ScopedClock useClock(clock);
    auto port = std::make_shared<parlix::serial::FakePort>();
    parlix::serial::ScopedFakePort install(port);
    auto queue = answers(data + 1, size - 1);
    port->setResponder([&queue](const std::string&, parlix::serial::FakePort&) {
        if (queue.empty())
            return std::vector<Piece>{};
        auto next = std::move(queue.front());
        queue.pop_front();
        return next;
    });

    const Library lib = (data[0] & 0x80) ? Library::API5 : Library::API6;
    Transport& t = portWindow(lib);
    std::string reply;
    const auto start = clock.now();
    switch (data[0] % 7) {
    case 0:
    case 1:
    case 2:
    case 3: {
        t.port().setPortOpen(true);
        using Wait = bool (*)(Transport&, std::string_view, std::string&, int);
        const Wait waits[] = {SendATCommand, SendATWaitColon, SendATWaitPrompt, SendATWaitLine};
        (void)waits[data[0] % 7](t, "AT", reply, 3);
        // A limit of 3 s ends 3 to 4 s after the command, plus one poll pause.
        check(clock.now() - start <= std::chrono::milliseconds(4100));
        break;
    }
    case 4:
        (void)InitModem(t, 1, "1234");
        break;
    case 5:
        t.port().setPortOpen(true);
        (void)ConnectToGSM(t);
        (void)CheckPIN(t);
        (void)PINAttempts(t);
        break;
    default:
        t.port().setPortOpen(true);
        (void)EnterPIN(t, "0000");
        (void)CloseModem(t);
        (void)CloseModem(t);
        check(!IsPortOpen(t));
        break;
    }
    check(t.buffer.empty());
    unloadPortWindow(lib);
    return 0;
}
