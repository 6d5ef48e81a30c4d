// Real mail servers for tests (target parlix_mail_testing): dovecot as POP3 server and
// aiosmtpd as SMTP server, each on a free loopback port with its own configuration in
// a temporary folder, plain or with implicit TLS under a test CA made with openssl.
//
//   parlix::mail::testing::MailServers servers({.tls = true});
//   servers.pop3().deliver(rfc5322Text);        // into the mailbox's Maildir
//   MailMan m; servers.configure(m);            // hosts, ports, users, SSL, CaFile
//   ... m.GetUidls(), m.SendEmail(...) ...
//   servers.smtp().waitForMessages(1);          // what the SMTP server received
//
// Constructors throw std::runtime_error (with the server's log) when a server does not
// come up. Servers stop and their folders go when the objects end.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace parlix::mail {
class MailMan;
}

namespace parlix::mail::testing {

// A fresh folder under $TMPDIR (or /tmp), removed with its content at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "parlix-mail");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A certificate authority made for one test run, and certificates it signed: one for
// the loopback server (127.0.0.1, localhost) and one for another host name.
class TestCa {
public:
    explicit TestCa(const std::string& folder);
    std::string caFile() const { return folder_ + "/ca.pem"; }
    std::string certFile() const { return folder_ + "/server.pem"; }
    std::string keyFile() const { return folder_ + "/server.key"; }
    std::string otherHostCertFile() const { return folder_ + "/other.pem"; }
    std::string otherHostKeyFile() const { return folder_ + "/other.key"; }

private:
    std::string folder_;
};

struct ServerOptions {
    bool tls = false;                 // implicit TLS with the test CA's certificate
    bool otherHostCertificate = false;  // present the certificate made for another host
    std::string user = "gateway";     // empty (SMTP): no AUTH asked
    std::string password = "secret";
};

// A child process with its log; stopped (SIGTERM, then SIGKILL) at the end.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    // Starts argv with stdout to a pipe (returned, or -1) and stderr to logFile.
    int start(const std::vector<std::string>& argv, const std::string& logFile);
    bool running();
    void stop();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// What both servers share: account, TLS, port, folder, process.
class TestServer {
public:
    long port() const { return port_; }
    bool tls() const { return options_.tls; }
    const std::string& user() const { return options_.user; }
    const std::string& password() const { return options_.password; }
    void stop() { process_.stop(); }

protected:
    TestServer(ServerOptions options, const std::string& prefix) : options_(std::move(options)), folder_(prefix) {}
    ~TestServer() = default;
    ServerOptions options_;
    TempFolder folder_;
    ServerProcess process_;
    long port_ = 0;
};

class Pop3Server : public TestServer {
public:
    // `ca` is needed with tls (MailServers makes one).
    explicit Pop3Server(ServerOptions options = {}, const TestCa* ca = nullptr);
    ~Pop3Server();
    // The mailbox (Maildir with new/, cur/, tmp/).
    std::string maildir() const;
    // Puts a message into the mailbox as newly arrived mail; returns its file.
    std::string deliver(const std::string& rfc5322);
    // dovecot's own log (for failure messages).
    std::string log() const;

private:
    uid_t mailUid_ = 0;
    gid_t mailGid_ = 0;
    int delivered_ = 0;
};

class SmtpServer : public TestServer {
public:
    explicit SmtpServer(ServerOptions options = {}, const TestCa* ca = nullptr);
    ~SmtpServer();
    // Where received messages are written (NNNNNN.eml and NNNNNN.env).
    std::string folder() const;

    struct Received {
        std::string mailFrom;
        std::vector<std::string> rcptTo;
        std::string login;  // the AUTH user that sent it
        std::string data;   // the message bytes
    };
    std::vector<Received> received() const;
    // Waits until at least n messages arrived; false after the timeout.
    bool waitForMessages(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    std::string log() const;
};

// Both servers with the same options, sharing one test CA when they use TLS.
class MailServers {
public:
    explicit MailServers(ServerOptions options = {});
    ~MailServers();
    Pop3Server& pop3() { return *pop3_; }
    SmtpServer& smtp() { return *smtp_; }
    // Empty without TLS.
    std::string caFile() const;
    const TestCa* ca() const { return ca_.get(); }
    // Points a mail object at both servers (host 127.0.0.1, ports, accounts, SSL, CaFile).
    void configure(MailMan& mailman) const;

private:
    TempFolder caFolder_;
    std::unique_ptr<TestCa> ca_;
    std::unique_ptr<Pop3Server> pop3_;
    std::unique_ptr<SmtpServer> smtp_;
};

// A POP3 or SMTP peer on a loopback port that plays along until the mail itself is
// under way and then closes the connection: POP3 in the middle of a RETR reply, SMTP
// in the middle of the DATA it receives. Serves any number of connections.
class CutOffServer {
public:
    enum class Protocol { Pop3, Smtp };
    explicit CutOffServer(Protocol protocol);
    ~CutOffServer();
    long port() const { return port_; }

private:
    void serve(int client);
    Protocol protocol_;
    int listener_ = -1;
    long port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// A loopback port with nothing listening on it (for unreachable-server tests).
long unusedPort();

}  // namespace parlix::mail::testing
