// Test doubles for the gateway: a scripted modem, an in-memory mail server, and a rig
// that gives each test its own program folder, settings, clock and window state.
#pragma once

#include "mailgateway/Gateway.h"
#include "mailgateway/Log.h"
#include "mailgateway/MailClient.h"
#include "mailgateway/Modem.h"
#include "mailgateway/Passes.h"
#include "mailgateway/Setting.h"
#include "mailgateway/StatusCore.h"
#include "mailgateway/StatusReport.h"
#include "platform/clock/Clock.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace gatewaytest {

using namespace parlix::gateway;

// A modem whose answers the test sets; it records what it was asked to send.
class FakeModem : public GatewayModem {
public:
    struct Sent {
        std::string number, text;
    };
    ModemStatus initResult = ModemStatus::OK;
    bool connected = true;
    bool resetResult = true;
    std::deque<bool> sendResults;  // next results of SendSMS; true when empty
    std::deque<std::array<std::string, 3>> inbox;  // MN, MSG, SCTS
    std::vector<Sent> sent;       // every SendSMS call, also the failed ones
    std::vector<int> initPorts;
    int resets = 0, closes = 0;
    std::function<void()> onSend;  // runs inside each SendSMS (tests press buttons there)

    ModemStatus ModemInit(int port, const std::string&) override {
        initPorts.push_back(port);
        if (initResult == ModemStatus::OK) connected = true;
        return initResult;
    }
    bool ConnectToGSM() override { return connected; }
    bool ReadSMS() override {
        if (inbox.empty()) return false;
        current_ = inbox.front();
        inbox.pop_front();
        return true;
    }
    std::string MN() const override { return current_[0]; }
    std::string MSG() const override { return current_[1]; }
    std::string SCTS() const override { return current_[2]; }
    bool SendSMS(const std::string& number, const std::string& text) override {
        sent.push_back({number, text});
        if (onSend) onSend();
        if (number.empty()) return false;
        if (sendResults.empty()) return true;
        const bool ok = sendResults.front();
        sendResults.pop_front();
        return ok;
    }
    bool ModemReset() override {
        ++resets;
        return resetResult;
    }
    bool ModemClose() override {
        ++closes;
        return true;
    }

private:
    std::array<std::string, 3> current_;
};

// A mailbox and an SMTP server in memory, behind the gateway's mail seam.
class FakeMail : public MailLayer {
public:
    struct Stored {
        std::string uidl;
        FetchedEmail email;
    };
    std::vector<Stored> mailbox;
    std::vector<OutgoingEmail> delivered;
    std::map<std::string, std::vector<std::string>> files;  // list files by path
    bool popDown = false, smtpDown = false, listUnreadable = false, listUnwritable = false;
    std::vector<std::string> vanished;  // listed by UIDL, gone when fetched
    int fetchCalls = 0, saveCalls = 0;
    std::vector<std::string> broken;  // a fetch that asks for one of these breaks off
    std::function<bool(const OutgoingEmail&)> refuse;  // e-mails the SMTP server refuses
    int sendCalls = 0;
    std::size_t largestFetch = 0;   // most identifiers asked for in one fetch
    std::function<void()> onGetUidls;

    void add(const std::string& uidl, FetchedEmail email) { mailbox.push_back({uidl, std::move(email)}); }

    class Client : public MailClient {
    public:
        explicit Client(FakeMail& m) : m_(m) {}
        std::optional<std::vector<std::string>> GetUidls() override {
            if (m_.onGetUidls) m_.onGetUidls();
            if (m_.popDown) return fail("Failed to connect to the POP3 server");
            std::vector<std::string> ids;
            for (const auto& s : m_.mailbox) ids.push_back(s.uidl);
            return ids;
        }
        std::optional<std::vector<FetchedEmail>> FetchMultiple(const std::vector<std::string>& uidls) override {
            ++m_.fetchCalls;
            m_.largestFetch = std::max(m_.largestFetch, uidls.size());
            if (m_.popDown) return fail("Failed to connect to the POP3 server");
            for (const auto& u : uidls)
                if (std::find(m_.broken.begin(), m_.broken.end(), u) != m_.broken.end())
                    return fail("the server closed the connection during the transfer");
            std::vector<FetchedEmail> out;
            for (const auto& u : uidls)
                for (const auto& s : m_.mailbox)
                    if (s.uidl == u && std::find(m_.vanished.begin(), m_.vanished.end(), u) == m_.vanished.end())
                        out.push_back(s.email);
            return out;
        }
        long SendEmail(const OutgoingEmail& email) override {
            ++m_.sendCalls;
            if (m_.refuse && m_.refuse(email)) {
                error_ = "554 Message refused";
                return 0;
            }
            if (m_.smtpDown || SmtpHost.empty()) {
                error_ = "Failed to connect to the SMTP server";
                return 0;
            }
            m_.delivered.push_back(email);
            return 1;
        }
        std::string LastErrorText() const override { return error_; }

    private:
        std::nullopt_t fail(const char* why) {
            error_ = why;
            return std::nullopt;
        }
        FakeMail& m_;
        std::string error_;
    };

    std::unique_ptr<MailClient> NewMailMan() override { return std::make_unique<Client>(*this); }
    bool LoadList(const std::string& path, std::vector<std::string>& items, std::string& error) override {
        if (listUnreadable) {
            error = "not a list";
            return false;
        }
        auto it = files.find(path);
        items = it == files.end() ? std::vector<std::string>{} : it->second;
        return true;
    }
    bool SaveList(const std::string& path, const std::vector<std::string>& items, std::string& error) override {
        ++saveCalls;
        if (listUnwritable) {
            error = "permission denied";
            return false;
        }
        files[path] = items;
        return true;
    }
};

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline int Count(const std::string& haystack, const std::string& needle) {
    int n = 0;
    for (auto at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
    return n;
}

// One program folder, fake modem, fake mail and a window-less Status per test.
class Rig {
public:
    // real: the real clock, modem library and mail layer (integration tests).
    explicit Rig(bool real = false) : folder_(MakeFolder()), form(&view) {
        ProgramFolder = folder_.string();
        if (!real) {
            scoped_.emplace(clock_);
            previousMail_ = SetMailLayer(&mail);
            SetModemFactory([this] {
                auto m = std::make_unique<FakeModem>();
                modem = m.get();
                *modem = modemTemplate;
                return m;
            });
        } else {
            previousMail_ = SetMailLayer(nullptr);
            SetModemFactory({});
        }
        EmailtoSMS::Reset();
        SMStoEmail::Reset();
        StatusReport::Release();
        Setting::Loaded = Settings{};
        auto& e = Setting::Loaded.EMail;
        e.Server = "pop.example.com";
        e.Body = "1";
        e.Limit = "1";
        e.Line1 = "1";
        Setting::Loaded.GSM_Modem.Port = "1";
        auto& m = Setting::Loaded.SMTP;
        m.Server = "smtp.example.com";
        m.UserName = "gateway@example.com";
        m.EmailADD = "office@example.com";
    }
    ~Rig() {
        SetModemFactory({});
        SetMailLayer(previousMail_);
        StatusReport::Release();
        EmailtoSMS::Reset();
        SMStoEmail::Reset();
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // The modem object, made now if the gateway has not made it yet.
    FakeModem& Modem() {
        SMSObject();
        return *modem;
    }
    std::string Log() const { return ReadFile(folder_ / LogFileName(parlix::clock::now())); }
    const std::filesystem::path& folder() const { return folder_; }

    struct View : StatusView {
        std::vector<std::string> shown;
        bool timer = false;
        int closes = 0;
        void ShowLog(const std::string& text) override { shown.push_back(text); }
        void SetTimer(bool enabled, int) override { timer = enabled; }
        void SetControls(bool, bool, bool, bool) override {}
        void SetBusyPointer(bool) override {}
        void CloseNow() override { ++closes; }
    };

    FakeMail mail;
    FakeModem modemTemplate;  // settings copied into the modem when it is made
    FakeModem* modem = nullptr;
    parlix::clock::FakeClock clock_;
    View view;

private:
    static std::filesystem::path MakeFolder() {
        static int n = 0;
        auto dir = std::filesystem::temp_directory_path() /
                   ("parlix-gateway-" + std::to_string(::getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir);
        return dir;
    }
    std::filesystem::path folder_;
    std::optional<parlix::clock::ScopedClock> scoped_;
    MailLayer* previousMail_ = nullptr;

public:
    StatusCore form;
};

}  // namespace gatewaytest
