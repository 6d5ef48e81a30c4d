#pragma once
// What the classes of this library share beside the replies: the thread's port and
// the test that a caller's text may stand inside a command.

#include <string>
#include <string_view>

#include "modemapi/Modem.h"

namespace QuentraSMSAPI5 {

// The port window of this library on the calling thread (created closed on first use).
inline modemapi::Transport& Link() { return modemapi::portWindow(modemapi::Library::API5); }

// A caller's text that goes into a command line. A CR or LF would end the command and
// start another, Ctrl-Z or ESC would end or cancel a message text, and a double quote
// would close the quoted argument early: such texts are refused before anything is
// written.
bool FitsInCommand(std::string_view text, bool quoted);
// A message text may hold line breaks but neither Ctrl-Z nor ESC.
bool FitsInMessage(std::string_view text);

// UTF-8 to the code page of the modem's text mode, and back.
std::string ToModem(std::string_view utf8);
std::string FromModem(std::string_view ansi);

}  // namespace QuentraSMSAPI5
