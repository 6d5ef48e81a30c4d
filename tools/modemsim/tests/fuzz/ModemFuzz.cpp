// Whatever a program under test writes to the simulated modem must not crash
// it: AT lines, PDUs and text bodies, in any order.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/modemsim/Modem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  std::string error;
  modemsim::decodeSubmit(in, static_cast<int>(in.size() / 2) - 1, error);
  modemsim::decodeDeliver(in, error);

  modemsim::Settings settings;
  settings.urc = true;
  modemsim::Io io;
  io.write = [](const std::string&, int) {};
  io.drop = [] {};
  io.log = [](const std::string&, const std::string&) {};
  io.sent = [](const std::string&) {};
  modemsim::Modem modem(settings, io);
  modem.inject({"+60123456789", "stored", "auto", "", std::nullopt, std::nullopt, false}, error);
  modem.receive(in);
  return 0;
}
