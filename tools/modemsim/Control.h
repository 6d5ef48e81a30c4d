// The control channel's command language, one line per command:
//   set KEY=VALUE...            change settings (same keys as the options)
//   inject KEY=VALUE... text=T  store a received message (text = rest of line)
//   inject-pdu [read=1] HEX     store an SMS-DELIVER unit as given
//   ussd CODE REPLY             answer for AT+CUSD=1,"CODE"
//   count sm|sr / clear sm|sr   size / emptying of a store
//   status / drop / quit / ping
// Answers are one line: "OK[ detail]" or "ERROR reason".
#pragma once

#include <string>

#include "tools/modemsim/Modem.h"

namespace modemsim {

struct ControlResult {
  std::string reply;
  bool drop = false;
  bool quit = false;
};

ControlResult control(const std::string& line, Settings& settings, Modem& modem);

// Escapes for texts on one control line: \n \r \t \\ and \xHH.
std::string unescape(const std::string& s);
std::string escape(const std::string& s);

}  // namespace modemsim
