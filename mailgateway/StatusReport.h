// Module StatusReport: the activity box and the status e-mails that tell an e-mail's
// sender whether its SMS went out.
#pragma once

#include <string>

namespace parlix::gateway::StatusReport {

// Shows one activity line (date and time, " > ", text) in txtLog, cutting a long box
// to "..." and its last 500 characters first, and writes it to the daily log.
void DisplayActivity(const std::string& text);

// Appends to txtLog as it stands: no date, no cut, no log entry.
void AppendToActivityBox(const std::string& text);

// Tells the current e-mail's sender whether its SMS to the current number was sent.
void SendStatusReportByEmail(bool sent);

// Drops the kept mail and e-mail objects (tests, the program's end).
void Release();

}  // namespace parlix::gateway::StatusReport
