#include "modemapi/Results.h"

#include <charconv>
#include <cstdint>
#include <stdexcept>

#include "modemapi/Replies.h"

namespace modemapi {

DeliveryStatus Results::DRStatus() const {
  // The text only ever holds what setDRStatus wrote, so any number it holds is
  // given back as it was set.
  std::int32_t value = 0;
  const char* end = drStatus_.data() + drStatus_.size();
  const auto [stop, ec] = std::from_chars(drStatus_.data(), end, value);
  if (drStatus_.empty() || ec != std::errc() || stop != end) {
    throw std::runtime_error("DRStatus: type mismatch, no delivery report has been read");
  }
  return static_cast<DeliveryStatus>(value);
}

void Results::setDRStatus(DeliveryStatus v) {
  drStatus_ = std::to_string(static_cast<std::int32_t>(v));
}

void Results::setDeliveryReport(const Replies::StatusReport& report) {
  drMsgRef_ = report.messageReference;
  drMNRecipient_ = report.recipient;
  drRDate_ = report.receivedDate;
  drRTime_ = report.receivedTime;
  drFDate_ = report.dischargeDate;
  drFTime_ = report.dischargeTime;
  setDRStatus(Replies::DeliveryStatusOf(report.status));
}

}  // namespace modemapi
