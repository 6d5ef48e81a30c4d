// The gateway's one modem object: class SMS of QuentraSMSAPI5, created on first use
// and kept for the program's life. The passes reach it through this small interface
// so their unit tests can put a scripted modem in its place.
#pragma once

#include "modemapi/Types.h"

#include <functional>
#include <memory>
#include <string>

namespace parlix::gateway {

using ModemStatus = modemapi::ModemStatus;

// The members of class SMS that the gateway uses.
class GatewayModem {
public:
    virtual ~GatewayModem() = default;
    virtual ModemStatus ModemInit(int intPort, const std::string& PIN) = 0;
    virtual bool ConnectToGSM() = 0;
    virtual bool ReadSMS() = 0;
    virtual std::string MN() const = 0;
    virtual std::string MSG() const = 0;
    virtual std::string SCTS() const = 0;
    // An empty number never reaches the library (which would take its ToNumber).
    virtual bool SendSMS(const std::string& strHP, const std::string& strMsg) = 0;
    virtual bool ModemReset() = 0;
    virtual bool ModemClose() = 0;
};

// The modem object, created on first use.
GatewayModem& SMSObject();
// Replaces how the object is made (tests); an empty factory makes QuentraSMSAPI5::SMS
// again. The current object is released either way.
void SetModemFactory(std::function<std::unique_ptr<GatewayModem>()> factory);
// Releases the object (the program's end); the next use makes a new one.
void ReleaseModem();

}  // namespace parlix::gateway
