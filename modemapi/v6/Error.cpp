#include "modemapi/v6/Error.h"

#include <dlfcn.h>

#include <array>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

#include "platform/clock/Clock.h"
#include "platform/logfile/LogFile.h"

#ifndef QUENTRA_VERSION
#define QUENTRA_VERSION "1.0.0"
#endif

namespace QuentraSMSAPI6 {
namespace {

// Order matters: later tokens are searched in the text earlier ones produced.
constexpr std::array<std::string_view, 47> kTokens = {
    "AT",          "OK",        "ERROR",     "CME",          "CSQ",
    "CREG",        "CPIN",      "CSMS",      "CSCS",         "CNMI",
    "CGSN",        "CPMS",      "CSMP",      "CDSI",         "CGMI",
    "CMMS",        "CFUN",      "CUSD",      "CMGF",         "CMGS",
    "CMGR",        "CMGL",      "CMGD",      "\"STO UNSENT\"", "\"0000\"",
    "\"1234\"",    "\"SM\"",    "\"ME\"",    "Start STK--",  "STSF",
    "STGI",        "STIN",      "STGR",      "--End STK",    "Start MMS--",
    "MMSBEARER",   "MMSCURL",   "MMSPROXY",  "CGATT",        "CGREG",
    "MMSCOMMMODE", "MMSW",      "MMSSEND",   "MMSTRACE",     "FDEL",
    "FUPL",        "--End MMS"};

std::tm localTime(std::chrono::system_clock::time_point when) {
  std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

// The user's short date and long time, as the desktop shows a date and time.
std::string generalDate(std::chrono::system_clock::time_point when) {
  std::tm tm = localTime(when);
  std::ostringstream s;
  try {
    s.imbue(std::locale(""));
  } catch (const std::runtime_error&) {
    // An unknown locale name in the environment: keep the classic one.
  }
  s << std::put_time(&tm, "%x %X");
  return s.str();
}

std::filesystem::path folderOfThisLibrary() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&folderOfThisLibrary), &info) != 0 && info.dli_fname &&
      std::strchr(info.dli_fname, '/') != nullptr) {
    fs::path lib = fs::weakly_canonical(info.dli_fname, ec);
    if (!ec && !lib.empty()) return lib.parent_path();
  }
  // Linked into the program itself: its folder.
  return exe.parent_path();
}

}  // namespace

std::string EncodeLogText(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < kTokens.size(); ++i) {
    const std::string_view token = kTokens[i];
    const std::string marker = "Q24>" + std::to_string(i);
    std::size_t pos = 0;
    while ((pos = out.find(token, pos)) != std::string::npos) {
      out.replace(pos, token.size(), marker);
      pos += marker.size();
    }
  }
  return out;
}

std::string LogFolder() { return folderOfThisLibrary().string(); }

std::string LogFileName(std::chrono::system_clock::time_point when) {
  std::tm tm = localTime(when);
  return "Quentra SMS API Log_" + std::to_string(tm.tm_year + 1900) + "-" +
         std::to_string(tm.tm_mon + 1) + "-" + std::to_string(tm.tm_mday) + ".txt";
}

void WriteAPILog(std::string_view text) {
  const auto now = parlix::clock::now();
  const std::string date = generalDate(now);
  const std::string masked = EncodeLogText(text);
  const std::string entry =
      "*** Quentra SMS API version " QUENTRA_VERSION " log dated on " + date + " ***\n" + masked + "\n\n";
  // One write per entry, so entries from several processes never interleave. The log
  // holds message texts: owner-only. A repeat of the last entry within a minute is
  // counted, not written again.
  parlix::logfile::Append((folderOfThisLibrary() / LogFileName(now)).string(), {entry, masked, date}, "\n");
}

}  // namespace QuentraSMSAPI6
