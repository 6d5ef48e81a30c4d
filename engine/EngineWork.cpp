// The work steps that the tick runs: the Outbox dispatcher (SendSMS0) and the read
// and delivery-report steps. They are placeholders that do no work yet; the
// dispatcher and the inbox/report steps belong here.
//
// What they have to work with (members of Engine): DbConnection (EnsureConnected
// before use), Modem() / objSMS, EngineModemID, RoutePrefixes, view.allRoutes()
// (frmModem's "All" box), SentCount / InCount / FailCount with Increment() and
// ShowCounters(), AddStatus() for activity entries, and WriteErrorLog() /
// LogCurrentException() for the error log.
#include "engine/Engine.h"

namespace parlix::engine {

bool Engine::SendSMS0() { return true; }

bool Engine::ReadSMS() { return true; }

void Engine::GetDeliveryStatusReport() {}

}  // namespace parlix::engine
