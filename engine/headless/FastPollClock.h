// Real time, but the modem library's pauses between polls of the port shrink to 1 ms:
// against a simulated modem that answers at once, the engine's own cost shows.
#pragma once

#include "platform/clock/Clock.h"

#include <chrono>
#include <thread>

namespace parlix::engine {

class FastPollClock final : public clock::Clock {
public:
    clock::TimePoint now() override { return std::chrono::system_clock::now(); }
    void sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms > 0 ? 1 : 0)); }
};

}  // namespace parlix::engine
