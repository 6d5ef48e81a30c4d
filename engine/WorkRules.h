// Small rules of the send, read and report steps, kept apart from the database and
// the modem so that they can be checked on their own.
#pragma once

#include "platform/db/Connection.h"

#include <array>
#include <cstdint>
#include <string>

namespace parlix::engine {

// How a queued row goes out: MsgType 0 as one Unicode message whatever its length,
// other types as a long (concatenated) message above 160 septets (GSM 7-bit, where an
// extension character such as "€" takes two), else as one.
enum class SendKind { Unicode, Long, Single };
SendKind KindOf(int msgType, const std::string& text);

// Why a queued row cannot become a message, or empty when it can: an empty text, an
// empty number, or a number that is not digits (an optional leading "+"). `number`
// is the cleaned number (text::cleanNumber).
std::string CannotBeSent(const std::string& number, const std::string& text);

// The due-row query of one pass and its parameters: rows "P" or "R" queued no later
// than `moment` ("YYYY-MM-DD HH:MM:SS"), oldest first. With `routed`, only numbers
// that begin with a non-empty prefix slot, in slot order; a routing without any
// prefix means every number, as the Modem row's flags say.
std::string DueRowsSql(const std::array<std::string, 7>& prefixes, bool routed, const std::string& moment,
                       db::Params& params);

// Numeric value of a message reference as the modem gives it ("12\r\n" is 12): the
// leading digits after blanks, 0 when there are none.
std::int64_t ReferenceValue(const std::string& reference);

// The last n characters of a UTF-8 text (all of it when shorter).
std::string LastChars(const std::string& utf8, std::size_t n);

// A random concatenation reference 0..254, drawn from a generator seeded by the clock.
int ConcatReference();

}  // namespace parlix::engine
