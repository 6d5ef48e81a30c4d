// AT command transport shared by both modem libraries (namespace modemapi, static PIC
// target modemapi_core, no Qt).
//
// Transport: the port window of one library on one thread: the serial port, the
// shared receive buffer, the start time of the command in progress and the poll pause
// (API6 50 ms, API5 100 ms). portWindow(lib) creates it on first use (its port comes
// from parlix::serial::makePort(), closed); unloadPortWindow(lib) destroys it, closing
// the port, when an object of class SMS ends. Because any object's end unloads it,
// callers fetch portWindow(lib) for every call instead of keeping the reference.
//
// The waits write cmd and one CR (none when cmd already ends in CR, or in Ctrl-Z as a
// message body does), poll (clock::yield, port input appended to the buffer,
// IsTimedOut, which sleeps the poll pause) and stop at the terminators below. Time is
// the clock's monotonic ticks, so a wall clock set back or forward changes no wait. A
// time-out of 0 means 7 s; a limit of t ends the wait t to t+1 s after the command. On
// a terminator reply receives the whole buffer (echo included); on a time-out reply is
// left untouched. Every way out empties the buffer. Serial errors (closed port, missing
// device) pass to the caller as parlix::serial::SerialError.
//
// A final result code ("OK", "ERROR", "+CMS ERROR: <n>", "+CME ERROR: <n>") counts only
// as a whole line with its CR LF, and never as the text of a received message
// (Replies::FindFinalResult).
//
//   SendATCommand     stops at the final result code; true when it is OK
//   SendATWaitColon   stops at a final error or ":", then reads on to the final result
//                     code (within the same limit); true when ":" is present
//   SendATWaitPrompt  stops at the final result code or ">"; true when ">" is present
//                     (API6)
//   SendATWaitLine    waits as SendATWaitColon, then for a final error or a CR LF after
//                     the first ":", then reads on to the final result code; true when
//                     that CR LF arrived (API5)
//   IsPortOpen        the port is open
//   IsTimedOut        more whole-second boundaries than seconds lie between start and
//                     now; sleeps the poll pause whatever it answers
//
// WaitForText, WaitForOK and PauseSeconds serve the libraries' own wait loops (bring-up
// probes, listings) that poll a buffer of their own; Discard reads and drops whatever
// the modem says for a while.
#pragma once

#include "platform/clock/Clock.h"
#include "platform/serial/SerialPort.h"

#include <memory>
#include <string>
#include <string_view>

namespace modemapi {

enum class Library { API6, API5 };

class Transport {
public:
    explicit Transport(Library lib);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    Library library() const { return library_; }
    int pollPauseMs() const;
    parlix::serial::Port& port() { return *port_; }

    // The shared receive buffer and the start time of the running command.
    std::string buffer;
    parlix::clock::Ticks start;

private:
    Library library_;
    std::unique_ptr<parlix::serial::Port> port_;
};

Transport& portWindow(Library lib);
void unloadPortWindow(Library lib);

// Seconds that a time-out argument of 0 stands for.
inline constexpr int kDefaultTimeoutSeconds = 7;
// How long a send waits for its final result after Ctrl-Z. Networks may take well over
// the 12 s the senders once waited; giving up early and sending again would deliver
// the message twice, so only an error answer or this much silence is a failure.
inline constexpr int kSendResultSeconds = 60;

bool SendATCommand(Transport& t, std::string_view cmd, std::string& reply, int seconds);
bool SendATWaitColon(Transport& t, std::string_view cmd, std::string& reply, int seconds);
bool SendATWaitPrompt(Transport& t, std::string_view cmd, std::string& reply, int seconds);
bool SendATWaitLine(Transport& t, std::string_view cmd, std::string& reply, int seconds);
bool IsPortOpen(Transport& t);
bool IsTimedOut(Transport& t, parlix::clock::Ticks start, int seconds);

// Writes text + CR, then polls (yield, port input appended to reply, IsTimedOut) until
// reply holds awaited: true; false on the time-out (seconds used as given). reply is
// the caller's own buffer and is not emptied first. The shared buffer is not touched.
bool WaitForText(Transport& t, std::string_view text, std::string_view awaited, std::string& reply,
                 int seconds);
// The same until reply holds the final result code OK; an error answer is not awaited
// and runs to the time-out.
bool WaitForOK(Transport& t, std::string_view text, std::string& reply, int seconds);
// Reads and drops the port's input for ms milliseconds (at least one poll).
void Discard(Transport& t, int ms);
// Keeps the message loop running for the given whole-second limit, in poll pauses.
void PauseSeconds(Transport& t, int seconds);

}  // namespace modemapi
