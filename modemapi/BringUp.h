// Bring-up of the PDU-mode library (QuentraSMSAPI6's InitModem and ConnectToGSM),
// in modemapi_core so that class SMS calls them on portWindow(Library::API6), and the
// first steps that the text-mode library's ModemInit shares with it.
//
//   OpenAndUnlock(t, port, pin)  port number and "115200,N,8,1"; up to three "AT"
//                            probes (115200, then 9600 twice), 7 s each, each after an
//                            ESC and half a second of dropped input (a modem left at
//                            the ">" prompt answers again); PIN states to
//                            ModemStatus. OK leaves the port open; any other result
//                            leaves it closed. Serial errors pass to the caller.
//                            With attemptsLeft, the PIN attempts are read and kept
//                            as InitModem does.
//   SignalAndHeaders(t)      "AT+CSQ" (7 s; "+CSQ: 0" is no signal) and "AT+CSDH=1"
//                            (7 s), each awaiting CR LF "OK" in a reply of its own
//                            (an "ERROR" answer runs to the time-out): true when both
//                            answered and there is a signal. Leaves the port open.
//
//   InitModem(t, port, pin)  port number and "115200,N,8,1"; up to three "AT" probes
//                            (115200, then 9600 twice), 7 s each; PIN states to
//                            ModemStatus, except that a PIN is not sent while the
//                            modem says only one attempt is left (PINRequired);
//                            attemptsLeft gets the count read before the PIN, or
//                            after its refusal (-1: not read, or the modem does not
//                            tell); "AT+CSMS=0" up to 14 sends while
//                            "+CMS ERROR: 515" (7 s apart); "AT+CSQ" ("+CSQ: 0" fails);
//                            "AT+CSDH=1"; "AT+CMGF=0" (PDU mode). OK leaves the port
//                            open; every other result closes it first. A serial error
//                            (missing or busy port) gives Fail with the port closed.
//   ConnectToGSM(t)          "AT+CREG?": true when registered at home or roaming
//                            (+CREG: 0,1 / 1,1 / 0,5 / 1,5); a failed command closes the
//                            port and gives false; other states give false, port open.
#pragma once

#include "modemapi/Modem.h"
#include "modemapi/Security.h"
#include "modemapi/Types.h"

#include <string_view>

namespace modemapi {

ModemStatus OpenAndUnlock(Transport& t, int intPort, std::string_view PIN, int* attemptsLeft = nullptr);
bool SignalAndHeaders(Transport& t);

ModemStatus InitModem(Transport& t, int intPort, std::string_view PIN = {}, int* attemptsLeft = nullptr);
bool ConnectToGSM(Transport& t);

}  // namespace modemapi
