// SIM PIN handling and port close shared by both modem libraries (namespace modemapi).
//
//   CheckPIN    up to 12 tries of "AT+CPIN?" (SendATWaitColon, 7 s); the answer gives
//               0 "READY", 1 "SIM PIN", 2 "SIM PUK", 3 "ERROR"; anything else or false
//               tries again; 3 after 12 tries or on a run-time error
//   EnterPIN    "AT+CPIN=" + PIN (no quotes) with SendATCommand, 7 s: 1 on OK, else 0
//               (0 on a run-time error too, and 0 without writing for a PIN holding
//               CR, LF, Ctrl-Z or ESC)
//   PINAttempts how many SIM PIN attempts are left, asked in the vendor forms that
//               Replies::PINAttemptsLeft reads ("AT+CPINR=\"SIM PIN\"", "AT^CPIN?",
//               "AT+QPINC=\"SC\"", "AT+XPINCNT", "AT+CPINC"; 3 s each) until one
//               answers with a count; -1 when none does (also on a run-time error)
//   CloseModem  closes the port: true; false when closing fails, except that a port
//               already closed (serial error 8005) counts as closed: true
#pragma once

#include "modemapi/Modem.h"

#include <string_view>

namespace modemapi {

int CheckPIN(Transport& t);
int EnterPIN(Transport& t, std::string_view pin);
int PINAttempts(Transport& t);
bool CloseModem(Transport& t);

}  // namespace modemapi
