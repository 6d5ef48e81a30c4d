// Scripted serial port for unit tests (namespace parlix::serial, target
// parlix_serial_fake). Answers arrive in fake time: pair it with clock::FakeClock.
//
//   auto modem = std::make_shared<FakePort>();
//   ScopedFakePort install(modem);             // makePort() now hands out handles to it
//   modem->expect("AT\r", "AT\r\r\nOK\r\n");   // next write must be "AT\r"; answer at once
//   modem->expect("AT+CSQ\r", {{0, "\r\n+CS"}, {120, "Q: 15,99\r\n\r\nOK\r\n"}});
//
// Each expectation is met by the next write in order; its answer pieces become readable
// after their delays (each delay counted from the previous piece, the first from the
// write). Writes beyond the script go to the responder when one is set, else they are
// recorded in unexpected() and get no answer. A port closed or reopened drops what was
// still on its way. baudOnly() makes the modem deaf at other settings: such writes are
// logged but neither consume the script nor get an answer. Every handle shares one
// FakePort, as reopening a port reaches the same modem.
#pragma once

#include "platform/clock/Clock.h"
#include "platform/serial/SerialPort.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlix::serial {

struct Piece {
    int delayMs = 0;
    std::string text;
};

class FakePort final : public Port, public std::enable_shared_from_this<FakePort> {
public:
    using Responder = std::function<std::vector<Piece>(const std::string& written, FakePort&)>;

    FakePort& expect(std::string command, std::vector<Piece> answer);
    FakePort& expect(std::string command, std::string answer = {});
    void setResponder(Responder r);
    // Data that arrives without being asked, delayMs from now.
    void deliver(std::string text, int delayMs = 0);
    void setEcho(bool on);            // answered writes come back first, like ATE1
    void baudOnly(std::string settings);
    void failNextOpen(int number = InvalidPortNumber);
    void failNextClose(int number);

    void setPortOpen(bool open) override;
    bool portOpen() const override { return open_; }
    void output(std::string_view text) override;
    std::string input() override;

    const std::vector<std::string>& written() const { return written_; }
    const std::vector<std::string>& unexpected() const { return unexpected_; }
    // Settings in force at each open, in order.
    const std::vector<std::string>& opens() const { return opens_; }
    int closes() const { return closes_; }
    // Expectations not yet met.
    std::size_t pending() const { return script_.size() - next_; }

    // A Port that forwards everything to this FakePort.
    std::unique_ptr<Port> handle();

private:
    struct Exchange {
        std::string command;
        std::vector<Piece> answer;
    };
    struct Arrival {
        clock::Ticks due;
        std::string text;
    };
    void schedule(const std::vector<Piece>& pieces);

    std::vector<Exchange> script_;
    std::size_t next_ = 0;
    Responder responder_;
    bool echo_ = false;
    std::string baudOnly_;
    std::optional<int> openError_;
    std::optional<int> closeError_;
    bool open_ = false;
    std::vector<Arrival> arriving_;
    std::vector<std::string> written_;
    std::vector<std::string> unexpected_;
    std::vector<std::string> opens_;
    int closes_ = 0;
};

// Installs a factory whose ports all reach one FakePort; restores the default after.
class ScopedFakePort {
public:
    explicit ScopedFakePort(std::shared_ptr<FakePort> port);
    ~ScopedFakePort();
    ScopedFakePort(const ScopedFakePort&) = delete;
    ScopedFakePort& operator=(const ScopedFakePort&) = delete;
};

}  // namespace parlix::serial
