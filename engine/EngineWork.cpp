// The work steps of the tick: the Outbox dispatcher (SendSMS0 and its passes
// SendSMSAll / SendSMSSel), the read step ReadSMS and the report step
// GetDeliveryStatusReport. Every value reaches the database as a bound parameter.
// The steps report to the control loop only through WorkSink (EngineWork.h).
//
// Claims: a pass marks the row it works on with Lock and this engine's number. A
// claim that an error or an ended program leaves behind is put back in the queue
// (logged), by the failing pass itself or by this engine's next send or read step;
// another engine never takes over a row that carries a live claim.
#include "engine/CheckDuplicate.h"
#include "engine/ConnectDB.h"
#include "engine/DateTime.h"
#include "engine/EG.h"
#include "engine/EngineGlobals.h"
#include "engine/EngineText.h"
#include "engine/EngineWork.h"
#include "engine/ErrorLog.h"
#include "engine/InboxSpool.h"
#include "engine/WorkRules.h"
#include "database/Schema.h"
#include "platform/clock/Clock.h"
#include "platform/db/Recordset.h"
#include "platform/text/Text.h"

#include <stdexcept>
#include <utility>
#include <vector>

namespace parlix::engine {
namespace {

std::string Id() { return std::to_string(EngineModemID); }

using State = EngineWork::State;
using Count = WorkSink::Count;

// Inside a catch block of a step: tells the control loop what a database failure says.
void KeepDatabaseFailure(WorkSink& sink) {
    try {
        throw;
    } catch (const db::DbError& failure) {
        sink.DatabaseFailed(DatabaseProblem(failure));
    } catch (...) {
    }
}

// Restarts of one pass after a colliding claim or a vanished row. A pass looks at no
// more than eight rows; past that the pass ends normally and the next tick goes on.
constexpr int kMaxRestarts = 8;

using Fields = std::vector<std::pair<std::string, db::Value>>;

class ModemUnreachable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The row that a pass holds and, once the outcome is known, its final write.
struct Claim {
    std::int64_t id = 0;
    std::string mobile;
    bool held = false;
    Fields outcome;
};

std::string PutBackText(std::int64_t id, const std::string& mobile) {
    return "Unfinished send put back in the queue:-\r\nMsgID:" + std::to_string(id) + "\r\nMobile Number:" + mobile;
}

// Releases the claims this engine still holds from an ended run or a failed step.
void RecoverClaims(State& e) {
    if (!e.ClaimsToRecover) return;
    const std::string label = "frmSMSEngine-RecoverClaims Modem: " + Id();
    try {
        EnsureConnected(e.DbConnection);
        const auto rows = e.DbConnection.query(
            "SELECT MsgID, Mobile FROM Outbox WHERE SentStatus IN ('P','R') AND Lock <> 0 AND ModemID = ?",
            {EngineModemID});
        for (const auto& row : rows) {
            const std::int64_t id = row[0].asInt();
            if (e.DbConnection.execute("UPDATE Outbox SET Lock = 0 WHERE MsgID = ? AND Lock <> 0 AND ModemID = ?",
                                       {static_cast<long long>(id), EngineModemID}) == 1)
                WriteErrorLog(label, 0, PutBackText(id, row[1].asText()));
        }
        e.ClaimsToRecover = false;
    } catch (...) {
        LogCurrentException(label);
    }
}

// Writes a claimed row's outcome (with Lock cleared and this engine's number) while
// the claim is still this engine's; the rows changed (0 when the claim was lost).
std::int64_t WriteOutcome(State& e, const Claim& claim) {
    std::string set;
    db::Params params;
    for (const auto& [name, value] : claim.outcome) {
        set += (set.empty() ? "" : ", ") + db::quoteIdentifier(name) + " = ?";
        params.push_back(value);
    }
    if (set.empty()) set = "Lock = 0";
    params.emplace_back(static_cast<long long>(claim.id));
    params.emplace_back(EngineModemID);
    return e.DbConnection.execute("UPDATE Outbox SET " + set + " WHERE MsgID = ? AND Lock <> 0 AND ModemID = ?",
                                  params);
}

// After an error in a pass that held a row: a known outcome is written straight into
// the row; an unknown one (the message may or may not have gone) puts the row back in
// the queue, a rare repeat rather than a message that never goes. When that fails as
// well, the next step's recovery does it.
void Settle(State& e, const Claim& claim, const std::string& label) {
    if (!claim.held) return;
    try {
        const auto changed = WriteOutcome(e, claim);
        if (claim.outcome.empty() && changed == 1) WriteErrorLog(label, 0, PutBackText(claim.id, claim.mobile));
    } catch (...) {
        e.ClaimsToRecover = true;
    }
}

// The final write of a claimed row: the outcome, Lock cleared, this engine's number.
void Finish(State& e, Claim& claim, Fields fields, const std::string& label) {
    fields.emplace_back("Lock", false);
    fields.emplace_back("ModemID", EngineModemID);
    claim.outcome = std::move(fields);
    if (WriteOutcome(e, claim) != 1)
        WriteErrorLog(label, db::RowConflictError::kGone,
                      "The row of a message this engine held was taken away:-\r\nMsgID:" + std::to_string(claim.id));
    claim.held = false;
}

bool PassOnce(State& e, bool routed, Claim& claim, const std::string& label) {
    EnsureConnected(e.DbConnection);
    db::Params params;
    const std::string moment = db::formatDateTime(clock::now());
    const std::string sql = DueRowsSql(e.RoutePrefixes, routed, moment, params);
    db::Recordset rs(e.DbConnection, sql, params, {db::Cursor::Live, db::Lock::Optimistic, 8});
    if (rs.eof()) return true;
    while (!rs.eof() && rs.boolean("Lock")) rs.moveNext();
    if (rs.eof()) return true;

    const std::int64_t id = rs.integer("MsgID");
    // Blanks and "-" never reach the modem, whoever wrote the row.
    const std::string mobile = text::cleanNumber(rs.text("Mobile"));
    const std::string message = rs.text("Message");
    // A row without a type is sent as text rather than stopping every pass.
    const auto type = static_cast<std::int16_t>(rs.isNull("MsgType") ? 1 : rs.integer("MsgType"));
    rs.close();

    // The claim, saved before anything is sent; it also decides whether the row
    // duplicates a message sent, given up or held by any engine.
    std::string previous;  // "P" or "R" as claimed: another engine may have tried it since
    switch (ClaimRow(e.DbConnection, id, moment, previous)) {
    case ClaimResult::Lost: {
        const auto still = e.DbConnection.scalar("SELECT 1 FROM Outbox WHERE MsgID = ?", {static_cast<long long>(id)});
        throw db::RowConflictError(!still);
    }
    case ClaimResult::Duplicate:
        e.Sink.AddStatus("Duplicate message not send!", {"To : " + mobile, "Message : " + message});
        e.Sink.ShowCounters();
        return true;
    case ClaimResult::Claimed: break;
    }
    claim.held = true;
    claim.id = id;
    claim.mobile = mobile;

    // A row that cannot become a message is no modem failure, and trying it again
    // would change nothing: it fails for good, and the rows behind it go out.
    if (const std::string why = CannotBeSent(mobile, message); !why.empty()) {
        e.Sink.AddStatus("Send fail!", {"Send to : " + mobile, "Message : " + message});
        WriteErrorLog(label, 0,
                      "Message cannot be sent:-\r\nMsgID:" + std::to_string(id) + "\r\nMobile Number:" + mobile +
                          "\r\nReason:" + why);
        e.Sink.Counted(Count::Failed);
        Finish(e, claim, {{"SentStatus", "F"}}, label);
        ReportSendResult(mobile, "F", 0);
        e.Sink.ShowCounters();
        return true;
    }

    e.Sink.AddStatus("Sending. Please wait...");
    auto& modem = e.Sink.Modem();
    bool sent = false;
    switch (KindOf(type, message)) {
    case SendKind::Unicode: sent = modem.SendSMSU(mobile, message); break;
    case SendKind::Long: sent = modem.SendLMSText(mobile, message, ConcatReference()); break;
    case SendKind::Single: sent = modem.SendSMST(mobile, message); break;
    }
    if (!sent) {
        e.Sink.AddStatus("Send fail!", {"Send to : " + mobile, "Message : " + message});
        // A refusal comes from a modem that answers and is on its network; a send that
        // never reached one is a failed step: the row goes back to the queue untouched.
        if (!modem.ConnectToGSM()) throw ModemUnreachable("the modem did not answer or lost its network during a send");
        const bool second = previous == "R";
        if (second) e.Sink.Counted(Count::Failed);
        Finish(e, claim, {{"SentStatus", second ? "F" : "R"}}, label);
        ReportSendResult(mobile, "F", 0);
    } else {
        const auto sentAt = clock::now();
        e.Sink.AddStatus("Send success!", {"Send to : " + mobile, "Message : " + message});
        e.Sink.Counted(Count::Sent);
        const std::int64_t reference = ReferenceValue(modem.MR());
        Finish(e, claim,
               {{"MsgRef", static_cast<long long>(reference)},
                {"DateTimeSent", db::formatDateTime(sentAt)},
                {"SentStatus", "S"}},
               label);
        ReportSendResult(mobile, "S", static_cast<std::int16_t>(reference));
    }
    e.Sink.ShowCounters();
    return true;
}

bool RunPass(State& e, bool routed) {
    const std::string label =
        std::string(routed ? "frmSMSEngine-SendSMSSel Modem: " : "frmSMSEngine-SendSMSAll Modem: ") + Id();
    for (int restarts = 0;; ++restarts) {
        Claim claim;
        try {
            return PassOnce(e, routed, claim, label);
        } catch (const db::RowConflictError& conflict) {
            Settle(e, claim, label);
            if (conflict.number() == db::RowConflictError::kChanged)
                e.Sink.AddStatus("Current record is processed by another SMS Engine. Moving to next record.", {}, true);
            else
                WriteErrorLog(label, conflict.number(), conflict.what());
        } catch (...) {
            LogCurrentException(label);
            KeepDatabaseFailure(e.Sink);
            Settle(e, claim, label);
            return false;
        }
        if (restarts == kMaxRestarts) return true;
    }
}

// Name of the sender: the first contact whose number ends in the same seven
// characters (or in the whole number when it is shorter), else "Unknown".
std::string SenderName(db::Connection& db, const std::string& mobile) {
    if (mobile.empty()) return "Unknown";
    const std::string ending = LastChars(mobile, 7);
    const std::size_t length = TextLength(ending);
    const auto name = length == 7 ? db.scalar(schema::kNameBySuffixSql, {ending})
                                  : db.scalar("SELECT Name FROM AddressBook WHERE substr(Mobile, ?) = ?",
                                              {-static_cast<long long>(length), ending});
    return name ? name->asText() : "Unknown";
}

void StoreInbox(State& e, const HeldMessage& m) {
    EnsureConnected(e.DbConnection);
    const std::string name = SenderName(e.DbConnection, m.mobile);
    // A time stamp the decoder could not read must not keep the message out of the
    // Inbox: it gets the time at which it is stored.
    const auto when = TimeStampToDb(m.timeStamp);
    e.DbConnection.execute(
        "INSERT INTO Inbox (Name, Mobile, DateTime, Message, ModemID, Status, StatusID) VALUES (?, ?, ?, ?, ?, ?, ?)",
        {name, m.mobile, when ? *when : db::formatDateTime(clock::now()), m.text, EngineModemID, "New", 0});
}

// Runs `work`; an error is logged under `label` and answers false.
template <class Work>
bool Logged(const std::string& label, Work work) {
    try {
        work();
        return true;
    } catch (...) {
        LogCurrentException(label);
        return false;
    }
}

// Stores the records held from earlier ticks, oldest first, each taken off the file
// once stored; false when the database refused one (it and those behind it stay).
template <class Record, class Store>
bool StoreHeld(const Spool<Record>& spool, const std::string& label, Store store) {
    return spool.Empty() || Logged(label, [&] {
               auto held = spool.Load();
               while (!held.empty()) {
                   store(held.front());
                   held.erase(held.begin());
                   spool.Save(held);
               }
               spool.Save(held);
           });
}

// Keeps a record that the modem no longer has; false when the file could not take it.
template <class Record>
bool Keep(const Spool<Record>& spool, const Record& r, const std::string& label) {
    return Logged(label, [&] {
        auto held = spool.Load();
        held.push_back(r);
        spool.Save(held);
    });
}

// Takes a stored record off the file again.
template <class Record>
void Forget(const Spool<Record>& spool, const Record& r, const std::string& label) {
    Logged(label, [&] {
        auto held = spool.Load();
        for (auto it = held.end(); it != held.begin();) {
            if (*--it == r) {
                held.erase(it);
                break;
            }
        }
        spool.Save(held);
    });
}

// The report's reference as the number it stands for; a reference that is no number
// is looked up as it stands and matches no row.
db::Value ReferenceParam(const std::string& reference) {
    const auto first = reference.find_first_not_of(" \t\r\n");
    const auto last = reference.find_last_not_of(" \t\r\n");
    if (first == std::string::npos) return db::Value(reference);
    const std::string digits = reference.substr(first, last - first + 1);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return db::Value(reference);
    return db::Value(static_cast<long long>(ReferenceValue(digits)));
}

// Records a report in the engine's own sent row that it speaks of. A report that
// matches no open row is logged; one held on disk that the row already carries (the
// engine ended between the write and taking it off the file) changes nothing.
void ApplyReport(State& e, const HeldReport& r, bool held) {
    EnsureConnected(e.DbConnection);
    const db::Params match{ReferenceParam(r.reference), EngineModemID, LastChars(r.recipient, 10)};
    db::Recordset rs(e.DbConnection, schema::kReportMatchSql, match, {db::Cursor::Live, db::Lock::Optimistic, 1});
    if (!rs.eof()) {
        rs.setField("DeliveryStatus", r.code);
        if (r.code == "D") {
            // A delivered report whose time cannot be read still counts as delivered.
            const auto moment = ReportMoment(r.reportTime);
            rs.setField("DateTimeDeliver", moment ? db::Value(db::formatDateTime(*moment)) : db::Value());
        }
        rs.update();
        return;
    }
    rs.close();
    if (held && e.DbConnection.scalar(schema::kReportAppliedSql, match)) return;
    WriteErrorLog("frmSMSEngine-GetDeliveryStatusReport Modem: " + Id(), 0,
                  "Unable to update record with this report:-\r\nMessage Reference:" + r.reference +
                      "\r\nMobile Number:" + r.recipient + "\r\nDelivery Status:" + r.code + ".");
}

}  // namespace

bool EngineWork::SendSMS0(bool allRoutes) {
    try {
        RecoverClaims(state_);
        return allRoutes ? SendSMSAll() : SendSMSSel();
    } catch (...) {
        LogCurrentException("frmSMSEngine-SendSMS0 Modem: " + Id());
        KeepDatabaseFailure(state_.Sink);
        return false;
    }
}

bool EngineWork::SendSMSAll() { return RunPass(state_, false); }

bool EngineWork::SendSMSSel() { return RunPass(state_, true); }

bool EngineWork::ReadSMS() {
    const std::string label = "frmSMSEngine-ReadSMS Modem: " + Id();
    WorkSink& sink = state_.Sink;
    try {
        RecoverClaims(state_);
        const InboxSpool spool(EnginePath(kInboxPendingName));
        // While the database refuses earlier messages, new ones stay in the modem.
        if (!StoreHeld(spool, label, [this](const HeldMessage& m) { StoreInbox(state_, m); })) return true;

        auto& modem = sink.Modem();
        if (!modem.ReadSMS()) return true;
        const HeldMessage m{modem.MN(), modem.SCTS(), modem.Msg()};
        sink.AddStatus("New incoming SMS",
                       {"Date & Time : " + m.timeStamp, "From : " + m.mobile, "Message : " + m.text});
        sink.Counted(Count::In);
        sink.ShowCounters();

        // The modem no longer has it: kept on disk until the Inbox has it.
        const bool kept = Keep(spool, m, label);
        StoreInbox(state_, m);
        if (kept) Forget(spool, m, label);
        return true;
    } catch (...) {
        LogCurrentException(label);
        KeepDatabaseFailure(sink);
        return false;
    }
}

bool EngineWork::ApplyHeldReports() {
    const ReportSpool spool(EnginePath(kReportPendingName));
    return StoreHeld(spool, "frmSMSEngine-GetDeliveryStatusReport Modem: " + Id(),
                     [this](const HeldReport& r) { ApplyReport(state_, r, true); });
}

void EngineWork::GetDeliveryStatusReport() {
    const std::string label = "frmSMSEngine-GetDeliveryStatusReport Modem: " + Id();
    WorkSink& sink = state_.Sink;
    try {
        // While the database refuses earlier reports, new ones stay in the modem.
        if (!ApplyHeldReports()) return;
        auto& modem = sink.Modem();
        if (!modem.GetDeliveryReport()) return;
        HeldReport report{modem.DRMsgRef(), modem.DRMNRecipient(), modem.DRFDate() + " " + modem.DRFTime(), ""};
        const std::string& reference = report.reference;
        const std::string& recipient = report.recipient;
        switch (modem.DRStatus()) {
        case QuentraSMSAPI6::DeliveryStatus::Delivered: {
            const std::string shown = FormatReportDateTime(report.reportTime);
            sink.AddStatus("Delivery Status Report",
                           {"Message Reference no.: " + reference,
                            "The message was successfully delivered to: " + recipient,
                            "Message delivered on: " + (shown.empty() ? report.reportTime : shown)});
            report.code = "D";
            break;
        }
        case QuentraSMSAPI6::DeliveryStatus::Undelivered:
            sink.AddStatus("Delivery Status Report",
                           {"Message Reference no.: " + reference,
                            "The message was NOT successfully delivered to: " + recipient});
            report.code = "F";
            break;
        case QuentraSMSAPI6::DeliveryStatus::Unknown:
            sink.AddStatus("Delivery Status Report",
                           {"Message Reference no.: " + reference, "The message has an unknown delivery status!"});
            report.code = "U";
            break;
        }

        // The modem no longer has it: kept on disk until the Outbox has it.
        const ReportSpool spool(EnginePath(kReportPendingName));
        const bool kept = Keep(spool, report, label);
        ApplyReport(state_, report, false);
        if (kept) Forget(spool, report, label);
    } catch (...) {
        LogCurrentException(label);
    }
}

}  // namespace parlix::engine
