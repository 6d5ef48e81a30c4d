#pragma once
// The result properties that class SMS of both libraries carries: the last delivery
// report, the received message's time stamp, centre and sender, the last message
// reference and IDD. Each library adds its own text property and fills these.
//
// DRStatus is held as its decimal text; DRStatus() throws std::runtime_error while
// no report has been read (or set).

#include <string>
#include <utility>

#include "modemapi/Types.h"

namespace modemapi {

namespace Replies {
struct StatusReport;
}

class Results {
public:
  DeliveryStatus DRStatus() const;
  void setDRStatus(DeliveryStatus v);
  const std::string& DRFDate() const { return drFDate_; }
  void setDRFDate(std::string v) { drFDate_ = std::move(v); }
  const std::string& DRFTime() const { return drFTime_; }
  void setDRFTime(std::string v) { drFTime_ = std::move(v); }
  const std::string& DRRDate() const { return drRDate_; }
  void setDRRDate(std::string v) { drRDate_ = std::move(v); }
  const std::string& DRRTime() const { return drRTime_; }
  void setDRRTime(std::string v) { drRTime_ = std::move(v); }
  const std::string& DRMNRecipient() const { return drMNRecipient_; }
  void setDRMNRecipient(std::string v) { drMNRecipient_ = std::move(v); }
  const std::string& DRMsgRef() const { return drMsgRef_; }
  void setDRMsgRef(std::string v) { drMsgRef_ = std::move(v); }
  const std::string& SCTS() const { return scts_; }
  void setSCTS(std::string v) { scts_ = std::move(v); }
  const std::string& MR() const { return mr_; }
  void setMR(std::string v) { mr_ = std::move(v); }
  const std::string& SMSC() const { return smsc_; }
  void setSMSC(std::string v) { smsc_ = std::move(v); }
  const std::string& MN() const { return mn_; }
  void setMN(std::string v) { mn_ = std::move(v); }
  const std::string& IDD() const { return idd_; }
  void setIDD(std::string v) { idd_ = std::move(v); }

protected:
  Results() = default;
  ~Results() = default;
  // Not copyable: an object of either class SMS stands for the thread's port.
  Results(const Results&) = delete;
  Results& operator=(const Results&) = delete;

  // Every DR* property from a report read off the modem.
  void setDeliveryReport(const Replies::StatusReport& report);

private:
  std::string drStatus_;  // decimal text; empty until a report was read
  std::string drFDate_, drFTime_, drRDate_, drRTime_, drMNRecipient_, drMsgRef_;
  std::string scts_, mr_, smsc_, mn_, idd_;
};

}  // namespace modemapi
