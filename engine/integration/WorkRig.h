// An engine installation with a started engine on the simulated modem, and helpers
// that queue Outbox rows the way the console does and read rows back.
#pragma once

#include "engine/tests/EngineRig.h"
#include "engine/headless/HeadlessView.h"
#include "platform/clock/Clock.h"
#include "platform/db/Recordset.h"
#include "platform/db/Value.h"

#include <chrono>
#include <map>

namespace parlix::engine::testing {

class WorkRig : public EngineRig {
protected:
    HeadlessView view;
    Engine engine{view};

    // Starts the modem with `args` and the engine on it (modem settings as given).
    void startEngine(const std::string& modemSettings = "Direction = 0, DSR = 0", std::vector<std::string> args = {}) {
        setModem(modemSettings);
        startModem(std::move(args));
        engine.cmdInit_Click();
        ASSERT_EQ(engine.EngineState, "Running") << engine.StatusText();
    }

    static std::string at(std::chrono::minutes offset) { return db::formatDateTime(clock::now() + offset); }

    // A row as the composer queues it: "P", type, subject, name, number, text, queue time.
    std::int64_t queue(const std::string& mobile, const std::string& text, int type = 1,
                       const std::string& subject = "081226120000", const std::string& when = at(std::chrono::minutes(-1)),
                       const std::string& status = "P") {
        db.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
                   "VALUES (?, 'Unknown', ?, ?, ?, ?, ?)",
                   {subject, mobile, text, when, status, type});
        return db.lastInsertId();
    }

    std::map<std::string, std::string> row(std::int64_t id) {
        db::Recordset rs(db, "SELECT * FROM Outbox WHERE MsgID = ?", {static_cast<long long>(id)});
        std::map<std::string, std::string> r;
        for (int i = 0; i < rs.fieldCount() && !rs.eof(); ++i)
            r[rs.fieldName(i)] = rs.field(i).isNull() ? "<null>" : rs.field(i).asText();
        return r;
    }

    std::size_t entries(const std::string& message) const {
        std::size_t n = 0;
        const std::string needle = " Status : " + message;
        for (auto p = engine.StatusText().find(needle); p != std::string::npos;
             p = engine.StatusText().find(needle, p + 1))
            ++n;
        return n;
    }
};

}  // namespace parlix::engine::testing
