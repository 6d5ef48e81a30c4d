// The work steps of the tick: the Outbox dispatcher (SendSMS0 and its passes
// SendSMSAll / SendSMSSel), the read step ReadSMS and the report step
// GetDeliveryStatusReport. The control loop (Engine, EngineControl.cpp) owns one
// EngineWork and calls its steps; a step never calls the control loop back: it works
// on the connection and routes the control lends it and reports through WorkSink.
#pragma once

#include "modemapi/v6/SMS.h"
#include "platform/db/Connection.h"

#include <array>
#include <string>
#include <vector>

namespace parlix::engine {

// Slots 0..5: "012", "016", "019", "013", "017", "014" when routed, else empty; slot 6 stays empty.
using RoutePrefixList = std::array<std::string, 7>;

// What the work steps tell the control loop, and the modem they borrow from it.
class WorkSink {
public:
    enum class Count { Sent, In, Failed };

    // Puts an entry on top of the activity box.
    virtual void AddStatus(const std::string& message, const std::vector<std::string>& details = {},
                           bool extraBreak = false) = 0;
    // One more message sent, received or given up; ShowCounters shows the counters.
    virtual void Counted(Count which) = 0;
    virtual void ShowCounters() = 0;
    // A step failed on the database, not on the modem: what to show, in one line.
    virtual void DatabaseFailed(const std::string& line) = 0;
    // The modem object, created on first use.
    virtual QuentraSMSAPI6::SMS& Modem() = 0;

protected:
    ~WorkSink() = default;
};

class EngineWork {
public:
    EngineWork(db::Connection& connection, const RoutePrefixList& routePrefixes, WorkSink& sink)
        : state_(connection, routePrefixes, sink) {}

    // SendSMS0 and ReadSMS return false only when an error ended them, which makes the
    // tick reconnect the modem. SendSMS0 runs one pass over every due row (SendSMSAll)
    // or over the rows of the routed prefixes (SendSMSSel).
    bool SendSMS0(bool allRoutes);
    bool SendSMSAll();
    bool SendSMSSel();
    bool ReadSMS();
    void GetDeliveryStatusReport();
    // Applies the delivery reports kept on disk (taken from the modem, not yet in the
    // Outbox); false when the database refused one. The report step does this first;
    // a tick without a report step does it on its own.
    bool ApplyHeldReports();
    // Claims of this engine that an ended run or a failed step left behind are put back
    // in the queue by the next send or read step.
    bool ClaimsToRecover() const { return state_.ClaimsToRecover; }

    // What the steps work with (the helpers in EngineWork.cpp take it).
    struct State {
        State(db::Connection& connection, const RoutePrefixList& routePrefixes, WorkSink& sink)
            : DbConnection(connection), RoutePrefixes(routePrefixes), Sink(sink) {}
        db::Connection& DbConnection;
        const RoutePrefixList& RoutePrefixes;
        WorkSink& Sink;
        bool ClaimsToRecover = true;
    };

private:
    State state_;
};

}  // namespace parlix::engine
