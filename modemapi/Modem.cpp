#include "modemapi/Modem.h"

#include "modemapi/Replies.h"

#include <array>

namespace modemapi {

namespace clk = parlix::clock;

namespace {

// One port window per library and thread. Keyed by library so that the two libraries
// keep apart even when both are loaded into one program.
thread_local std::array<std::unique_ptr<Transport>, 2> windows;

std::size_t slot(Library lib)
{
    return lib == Library::API6 ? 0 : 1;
}

constexpr char kCtrlZ = '\x1A';

int limitOf(int seconds)
{
    return seconds == 0 ? kDefaultTimeoutSeconds : seconds;
}

bool has(const std::string& s, std::string_view what)
{
    return s.find(what) != std::string::npos;
}

bool hasFinal(const std::string& s)
{
    return Replies::FindFinalResult(s).has_value();
}

bool finalOK(const std::string& s)
{
    const auto final = Replies::FindFinalResult(s);
    return final && final->ok;
}

bool hasError(const std::string& s)
{
    return Replies::HasFinalError(s);
}

// Empties the shared buffer however the wait ends, exceptions included.
struct BufferReset {
    Transport& t;
    ~BufferReset() { t.buffer.clear(); }
};

void writeCommand(Transport& t, std::string_view cmd)
{
    // One CR ends a command line: a second one would be an empty command, or, behind
    // AT+CMGS, the first character of the message. A message body ends in Ctrl-Z alone.
    std::string line(cmd);
    if (line.empty() || (line.back() != '\r' && line.back() != kCtrlZ))
        line += '\r';
    t.port().output(line);
    t.start = clk::ticks();
}

// Polls the shared buffer until stop() says so (true) or the limit passes (false).
template <class Stop>
bool poll(Transport& t, int limit, Stop stop)
{
    for (;;) {
        clk::yield();
        t.buffer += t.port().input();
        if (IsTimedOut(t, t.start, limit))
            return false;
        if (stop(t.buffer))
            return true;
    }
}

template <class Stop, class Result>
bool sendAndWait(Transport& t, std::string_view cmd, std::string& reply, int seconds, Stop stop,
                 Result result)
{
    BufferReset reset{t};
    writeCommand(t, cmd);
    if (!poll(t, limitOf(seconds), stop))
        return false;
    reply = t.buffer;
    return result(t.buffer);
}

bool colonStop(const std::string& b)
{
    return hasError(b) || has(b, ":");
}

// Once the awaited information has come, the rest of the answer is read too, so that
// its final result code is not left for the next command to find. Should it not come
// within the limit, what arrived stands.
void readOn(Transport& t, int limit)
{
    if (!hasFinal(t.buffer))
        poll(t, limit, hasFinal);
}

}  // namespace

Transport::Transport(Library lib) : library_(lib), port_(parlix::serial::makePort()) {}

Transport::~Transport() = default;

int Transport::pollPauseMs() const
{
    return library_ == Library::API6 ? 50 : 100;
}

Transport& portWindow(Library lib)
{
    auto& w = windows[slot(lib)];
    if (!w)
        w = std::make_unique<Transport>(lib);
    return *w;
}

void unloadPortWindow(Library lib)
{
    windows[slot(lib)].reset();
}

bool SendATCommand(Transport& t, std::string_view cmd, std::string& reply, int seconds)
{
    return sendAndWait(t, cmd, reply, seconds, hasFinal, finalOK);
}

bool SendATWaitColon(Transport& t, std::string_view cmd, std::string& reply, int seconds)
{
    BufferReset reset{t};
    writeCommand(t, cmd);
    const int limit = limitOf(seconds);
    if (!poll(t, limit, colonStop))
        return false;
    if (has(t.buffer, ":"))
        readOn(t, limit);
    reply = t.buffer;
    return has(t.buffer, ":");
}

bool SendATWaitPrompt(Transport& t, std::string_view cmd, std::string& reply, int seconds)
{
    return sendAndWait(
        t, cmd, reply, seconds, [](const std::string& b) { return hasFinal(b) || has(b, ">"); },
        [](const std::string& b) { return has(b, ">"); });
}

bool SendATWaitLine(Transport& t, std::string_view cmd, std::string& reply, int seconds)
{
    BufferReset reset{t};
    writeCommand(t, cmd);
    const int limit = limitOf(seconds);
    if (!poll(t, limit, colonStop))
        return false;
    const std::size_t colon = t.buffer.find(':');
    if (colon == std::string::npos) {
        reply = t.buffer;
        return false;
    }
    const auto lineEnded = [colon](const std::string& b) {
        return b.find("\r\n", colon + 1) != std::string::npos;
    };
    if (!poll(t, limit, [&](const std::string& b) { return hasError(b) || lineEnded(b); }))
        return false;
    if (lineEnded(t.buffer))
        readOn(t, limit);
    reply = t.buffer;
    return lineEnded(t.buffer);
}

bool IsPortOpen(Transport& t)
{
    return t.port().portOpen();
}

bool IsTimedOut(Transport& t, clk::Ticks start, int seconds)
{
    const bool timedOut = clk::secondBoundaries(start, clk::ticks()) > seconds;
    clk::sleep(t.pollPauseMs());
    return timedOut;
}

namespace {

template <class Stop>
bool waitOwn(Transport& t, std::string_view text, std::string& reply, int seconds, Stop stop)
{
    writeCommand(t, text);
    for (;;) {
        clk::yield();
        reply += t.port().input();
        if (IsTimedOut(t, t.start, seconds))
            return false;
        if (stop(reply))
            return true;
    }
}

}  // namespace

bool WaitForText(Transport& t, std::string_view text, std::string_view awaited, std::string& reply,
                 int seconds)
{
    return waitOwn(t, text, reply, seconds, [awaited](const std::string& r) { return has(r, awaited); });
}

bool WaitForOK(Transport& t, std::string_view text, std::string& reply, int seconds)
{
    return waitOwn(t, text, reply, seconds, finalOK);
}

void Discard(Transport& t, int ms)
{
    const clk::Ticks start = clk::ticks();
    do {
        clk::yield();
        t.port().input();
        clk::sleep(t.pollPauseMs());
    } while (clk::ticks() - start < std::chrono::milliseconds(ms));
}

void PauseSeconds(Transport& t, int seconds)
{
    const clk::Ticks start = clk::ticks();
    do {
        clk::yield();
    } while (!IsTimedOut(t, start, seconds));
}

}  // namespace modemapi
