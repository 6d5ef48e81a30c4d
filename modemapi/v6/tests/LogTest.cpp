#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "modemapi/v6/Error.h"
#include "platform/clock/Clock.h"

namespace QuentraSMSAPI6 {
namespace {

namespace fs = std::filesystem;
using parlix::clock::TimePoint;

TimePoint localTime(int y, int mon, int d, int h, int min, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mon - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = min;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(EncodeLogText, MasksTokensInTableOrder) {
  EXPECT_EQ(EncodeLogText("Message Part: OK AT"), "Message Part: Q24>1 Q24>0");
  EXPECT_EQ(EncodeLogText("CATCH"), "CQ24>0CH");   // inside a word too
  EXPECT_EQ(EncodeLogText("ok at cmgs"), "ok at cmgs");  // case matters
  EXPECT_EQ(EncodeLogText("AT+CMGS=154"), "Q24>0+Q24>19=154");
  // "AT" goes first, so the later token CGATT can never match whole.
  EXPECT_EQ(EncodeLogText("CGATT CGREG"), "CGQ24>0T Q24>39");
  EXPECT_EQ(EncodeLogText("\"SM\" \"ME\" \"STO UNSENT\""), "Q24>26 Q24>27 Q24>23");
  EXPECT_EQ(EncodeLogText("Start STK--STSF--End STK"), "Q24>28Q24>29Q24>33");
  EXPECT_EQ(EncodeLogText("Start MMS--MMSCOMMMODE--End MMS"), "Q24>34Q24>40Q24>46");
  EXPECT_EQ(EncodeLogText("FUPL FDEL CMGD"), "Q24>45 Q24>44 Q24>22");
  EXPECT_EQ(EncodeLogText(""), "");
}

TEST(WriteAPILog, DailyFileInLibraryFolderWithEntries) {
  const TimePoint evening = localTime(2031, 7, 7, 23, 59, 58);
  parlix::clock::FakeClock clock(evening);
  parlix::clock::ScopedClock use(clock);

  const fs::path folder = LogFolder();
  EXPECT_TRUE(fs::exists(folder / "libQuentraSMSAPI6.so")) << folder;
  const fs::path day1 = folder / "Quentra SMS API Log_2031-7-7.txt";
  const fs::path day2 = folder / "Quentra SMS API Log_2031-7-8.txt";
  ASSERT_EQ(fs::path(LogFileName(evening)), day1.filename());
  fs::remove(day1);
  fs::remove(day2);

  WriteAPILog("Message Part: OK AT");
  WriteAPILog("");
  clock.advance(std::chrono::seconds(3));  // just after midnight
  WriteAPILog("next day");

  const std::string first = slurp(day1);
  const std::string header = "*** Quentra SMS API version ";
  ASSERT_EQ(first.rfind(header, 0), 0u) << first;
  std::istringstream lines(first);
  std::string line;
  std::vector<std::string> all;
  while (std::getline(lines, line)) all.push_back(line);
  ASSERT_EQ(all.size(), 6u) << first;
  EXPECT_NE(all[0].find(" log dated on "), std::string::npos);
  EXPECT_TRUE(all[0].ends_with(" ***"));
  EXPECT_EQ(all[1], "Message Part: Q24>1 Q24>0");
  EXPECT_EQ(all[2], "");
  EXPECT_EQ(all[3].rfind(header, 0), 0u);
  EXPECT_EQ(all[4], "");  // an empty text still makes an entry
  EXPECT_EQ(all[5], "");

  // It holds message texts: its owner's alone.
  EXPECT_EQ(fs::status(day1).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  const std::string second = slurp(day2);
  EXPECT_NE(second.find("\nnext day\n\n"), std::string::npos) << second;
  fs::remove(day1);
  fs::remove(day2);
}

TEST(WriteAPILog, UnwritableFileIsAnError) {
  parlix::clock::FakeClock clock(localTime(2031, 1, 2, 10, 0, 0));
  parlix::clock::ScopedClock use(clock);
  const fs::path file = fs::path(LogFolder()) / "Quentra SMS API Log_2031-1-2.txt";
  fs::remove_all(file);
  fs::create_directory(file);  // a folder where the file should be
  EXPECT_THROW(WriteAPILog("x"), std::runtime_error);
  fs::remove_all(file);
}

}  // namespace
}  // namespace QuentraSMSAPI6
