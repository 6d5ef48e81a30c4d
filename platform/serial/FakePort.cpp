#include "platform/serial/FakePort.h"

#include "platform/clock/Clock.h"

#include <algorithm>

namespace parlix::serial {

namespace {

// Forwards to the shared FakePort, so every port the library makes reaches one modem.
class Handle final : public Port {
public:
    explicit Handle(std::shared_ptr<FakePort> port) : port_(std::move(port)) {}
    // Like a real port object, one that goes away closes what it opened.
    ~Handle() override
    {
        if (opened_ && port_->portOpen()) {
            try {
                port_->setPortOpen(false);
            } catch (const SerialError&) {
            }
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    int commPort() const override { return port_->commPort(); }
    void setCommPort(int n) override { port_->setCommPort(n); }
    std::string settings() const override { return port_->settings(); }
    void setSettings(const std::string& text) override { port_->setSettings(text); }
    void setPortOpen(bool open) override
    {
        port_->setPortOpen(open);
        opened_ = open;
    }
    bool portOpen() const override { return port_->portOpen(); }
    void output(std::string_view text) override { port_->output(text); }
    std::string input() override { return port_->input(); }

private:
    std::shared_ptr<FakePort> port_;
    bool opened_ = false;
};

}  // namespace

FakePort& FakePort::expect(std::string command, std::vector<Piece> answer)
{
    script_.push_back({std::move(command), std::move(answer)});
    return *this;
}

FakePort& FakePort::expect(std::string command, std::string answer)
{
    std::vector<Piece> pieces;
    if (!answer.empty())
        pieces.push_back({0, std::move(answer)});
    return expect(std::move(command), std::move(pieces));
}

void FakePort::setResponder(Responder r)
{
    responder_ = std::move(r);
}

void FakePort::deliver(std::string text, int delayMs)
{
    schedule({{delayMs, std::move(text)}});
}

void FakePort::setEcho(bool on)
{
    echo_ = on;
}

void FakePort::baudOnly(std::string settings)
{
    baudOnly_ = std::move(settings);
}

void FakePort::failNextOpen(int number)
{
    openError_ = number;
}

void FakePort::failNextClose(int number)
{
    closeError_ = number;
}

void FakePort::setPortOpen(bool open)
{
    if (open && openError_) {
        const int n = *openError_;
        openError_.reset();
        throw SerialError(n, "COM" + std::to_string(commPort()) + ": cannot open the fake port", "fake");
    }
    if (!open && closeError_) {
        const int n = *closeError_;
        closeError_.reset();
        throw SerialError(n, "cannot close the fake port", "fake");
    }
    if (open == open_)
        throw SerialError(PortAlreadyOpen, open ? "Port already open" : "Port already closed", "fake");
    open_ = open;
    arriving_.clear();
    if (open)
        opens_.push_back(settings());
    else
        ++closes_;
}

void FakePort::output(std::string_view text)
{
    if (!open_)
        throw SerialError(PortNotOpen, "Port COM" + std::to_string(commPort()) + " is not open");
    std::string written(text);
    written_.push_back(written);
    if (!baudOnly_.empty() && settings() != baudOnly_)
        return;
    std::vector<Piece> answer;
    if (next_ < script_.size()) {
        if (script_[next_].command != written) {
            unexpected_.push_back(written);
            return;
        }
        answer = script_[next_++].answer;
    } else if (responder_) {
        answer = responder_(written, *this);
    } else {
        unexpected_.push_back(written);
        return;
    }
    if (echo_)
        answer.insert(answer.begin(), Piece{0, written});
    schedule(answer);
}

void FakePort::schedule(const std::vector<Piece>& pieces)
{
    auto due = clock::ticks();
    for (const Piece& p : pieces) {
        due += std::chrono::milliseconds(std::max(p.delayMs, 0));
        arriving_.push_back({due, p.text});
    }
}

std::string FakePort::input()
{
    if (!open_)
        throw SerialError(PortNotOpen, "Port COM" + std::to_string(commPort()) + " is not open");
    const auto now = clock::ticks();
    std::string got;
    // Answers to different writes may overlap in time; hand them out in due order.
    std::stable_sort(arriving_.begin(), arriving_.end(),
                     [](const Arrival& a, const Arrival& b) { return a.due < b.due; });
    auto it = arriving_.begin();
    for (; it != arriving_.end() && it->due <= now; ++it)
        got += it->text;
    arriving_.erase(arriving_.begin(), it);
    return got;
}

std::unique_ptr<Port> FakePort::handle()
{
    return std::make_unique<Handle>(shared_from_this());
}

ScopedFakePort::ScopedFakePort(std::shared_ptr<FakePort> port)
{
    setPortFactory([port]() { return port->handle(); });
}

ScopedFakePort::~ScopedFakePort()
{
    setPortFactory(nullptr);
}

}  // namespace parlix::serial
