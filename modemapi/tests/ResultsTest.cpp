// The result properties both classes SMS share.
#include "modemapi/Results.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <type_traits>

#include "modemapi/Replies.h"
#include "modemapi/v5/SMS.h"
#include "modemapi/v6/SMS.h"

using modemapi::DeliveryStatus;

namespace {

struct Results : modemapi::Results {
  using modemapi::Results::setDeliveryReport;
};

// A copy would close the shared port a second time when it ends.
static_assert(!std::is_copy_constructible_v<QuentraSMSAPI6::SMS>);
static_assert(!std::is_copy_assignable_v<QuentraSMSAPI6::SMS>);
static_assert(!std::is_copy_constructible_v<QuentraSMSAPI5::SMS>);
static_assert(!std::is_copy_assignable_v<QuentraSMSAPI5::SMS>);

}  // namespace

TEST(Results, DRStatusThrowsUntilSetThenGivesBackWhatWasSet) {
  Results r;
  EXPECT_THROW(r.DRStatus(), std::runtime_error);
  // Undelivered is 0: held as "0", not taken for "nothing read".
  for (DeliveryStatus s : {DeliveryStatus::Undelivered, DeliveryStatus::Delivered,
                           DeliveryStatus::Unknown, static_cast<DeliveryStatus>(7),
                           static_cast<DeliveryStatus>(-2147483647 - 1)}) {
    r.setDRStatus(s);
    EXPECT_EQ(r.DRStatus(), s);
  }
}

TEST(Results, DeliveryReportFillsEveryReportProperty) {
  Results r;
  r.setMR("5\r\n");
  modemapi::Replies::StatusReport report{"12", "+6012", "07/05/01", "12:34:56",
                                         "07/05/02", "01:02:03", "48"};
  r.setDeliveryReport(report);
  EXPECT_EQ(r.DRStatus(), DeliveryStatus::Undelivered);
  EXPECT_EQ(r.DRMsgRef(), "12");
  EXPECT_EQ(r.DRMNRecipient(), "+6012");
  EXPECT_EQ(r.DRRDate(), "07/05/01");
  EXPECT_EQ(r.DRRTime(), "12:34:56");
  EXPECT_EQ(r.DRFDate(), "07/05/02");
  EXPECT_EQ(r.DRFTime(), "01:02:03");
  EXPECT_EQ(r.MR(), "5\r\n");  // the send's properties stay
  report.status = "0";
  r.setDeliveryReport(report);
  EXPECT_EQ(r.DRStatus(), DeliveryStatus::Delivered);
  report.status = "70";  // validity period expired: a final failure
  r.setDeliveryReport(report);
  EXPECT_EQ(r.DRStatus(), DeliveryStatus::Undelivered);
  report.status = "1";  // forwarded, delivery not confirmed
  r.setDeliveryReport(report);
  EXPECT_EQ(r.DRStatus(), DeliveryStatus::Unknown);
}
