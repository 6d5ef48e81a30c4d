#include "mailgateway/MailClient.h"

namespace parlix::gateway {

namespace {
MailLayer*& Installed() {
    static MailLayer* layer = nullptr;
    return layer;
}
}  // namespace

MailLayer& Mail() { return Installed() ? *Installed() : RealMailLayer(); }

MailLayer* SetMailLayer(MailLayer* layer) {
    MailLayer* previous = Installed();
    Installed() = layer;
    return previous;
}

}  // namespace parlix::gateway
