#pragma once
// A scripted modem on fake time for the library's unit tests. The SMS object is the
// last member, so its end unloads the port window before the fake port goes away.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "modemapi/Modem.h"
#include "modemapi/v5/SMS.h"
#include "platform/clock/Clock.h"
#include "platform/serial/FakePort.h"

namespace v5test {

using parlix::serial::FakePort;
using parlix::serial::Piece;

inline const std::string OK = "\r\nOK\r\n";

class ModemTest : public ::testing::Test {
protected:
  // Opens the library's port as a finished bring-up would have left it.
  void openPort() { modemapi::portWindow(modemapi::Library::API5).port().setPortOpen(true); }
  bool portOpen() { return modemapi::portWindow(modemapi::Library::API5).port().portOpen(); }
  double seconds() const { return std::chrono::duration<double>(clock.elapsed()).count(); }

  parlix::clock::FakeClock clock;
  parlix::clock::ScopedClock useClock{clock};
  std::shared_ptr<FakePort> modem = std::make_shared<FakePort>();
  parlix::serial::ScopedFakePort install{modem};
  QuentraSMSAPI5::SMS sms;
};

}  // namespace v5test
