// Test fixture: a fake clock, a scripted port behind the library's port factory, and a
// small modem that answers the bring-up commands the way a ready modem does.
#pragma once

#include "modemapi/Modem.h"
#include "platform/clock/Clock.h"
#include "platform/serial/FakePort.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <string>

namespace modemapi::testing {

using parlix::serial::Piece;

inline std::string ok(const std::string& body = {})
{
    return (body.empty() ? std::string() : "\r\n" + body + "\r\n") + "\r\nOK\r\n";
}

// Answers by command line (trailing CRs dropped): queued answers first, then the
// standing answer; unknown commands get ERROR. Echo on, as after a factory reset.
class ReadyModem {
public:
    std::map<std::string, std::string> standing = {
        {"AT", ok()},
        {"AT+CPIN?", ok("+CPIN: READY")},
        {"AT+CSMS=0", ok("+CSMS: 1,1,1")},
        {"AT+CSQ", ok("+CSQ: 15,99")},
        {"AT+CSDH=1", ok()},
        {"AT+CMGF=0", ok()},
        {"AT+CREG?", ok("+CREG: 0,1")},
    };
    std::map<std::string, std::deque<std::string>> queued;
    std::map<std::string, int> heard;  // how often each command came
    bool silent = false;

    std::vector<Piece> answer(const std::string& written)
    {
        std::string line = written;
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        ++heard[line];
        if (silent)
            return {};
        std::string text;
        if (auto q = queued.find(line); q != queued.end() && !q->second.empty()) {
            text = q->second.front();
            q->second.pop_front();
        } else if (auto s = standing.find(line); s != standing.end()) {
            text = s->second;
        } else {
            text = "\r\nERROR\r\n";
        }
        return {{0, written}, {20, text}};
    }
};

class FakeModemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unloadPortWindow(Library::API6);
        unloadPortWindow(Library::API5);
    }
    void TearDown() override
    {
        unloadPortWindow(Library::API6);
        unloadPortWindow(Library::API5);
    }

    // Serves every write from `modem` instead of a script.
    void useReadyModem()
    {
        port->setResponder([this](const std::string& w, parlix::serial::FakePort&) { return modem.answer(w); });
    }
    Transport& openWindow(Library lib = Library::API6)
    {
        Transport& t = portWindow(lib);
        t.port().setPortOpen(true);
        return t;
    }
    std::chrono::milliseconds since(parlix::clock::TimePoint t) const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - t);
    }

    mutable parlix::clock::FakeClock clock;
    parlix::clock::ScopedClock useClock{clock};
    std::shared_ptr<parlix::serial::FakePort> port = std::make_shared<parlix::serial::FakePort>();
    parlix::serial::ScopedFakePort install{port};
    ReadyModem modem;
};

}  // namespace modemapi::testing
