#include "platform/mail/testing/MailServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/mail/Mail.h"

namespace fs = std::filesystem;

namespace parlix::mail::testing {

namespace {

using namespace std::chrono_literals;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string findProgram(const std::string& name, std::initializer_list<const char*> extra) {
    std::vector<std::string> dirs;
    if (const char* path = std::getenv("PATH")) {
        std::stringstream ss(path);
        std::string d;
        while (std::getline(ss, d, ':'))
            if (!d.empty()) dirs.push_back(d);
    }
    for (const char* d : extra) dirs.emplace_back(d);
    for (const auto& d : dirs)
        if (::access((d + "/" + name).c_str(), X_OK) == 0) return d + "/" + name;
    throw std::runtime_error(name + " is not installed (scripts/install-deps.sh installs it)");
}

// Starts argv in its own process group (so that stopping it reaches the children it
// starts), gone with the test program should that die first. Its stdout goes to the
// returned pipe, its stderr to logFile.
pid_t spawn(const std::vector<std::string>& argv, const std::string& logFile, int& stdoutPipe) {
    int pipefd[2];
    if (::pipe2(pipefd, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(pipefd[1], 1);
        if (log >= 0) ::dup2(log, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    ::close(pipefd[1]);
    if (log >= 0) ::close(log);
    stdoutPipe = pipefd[0];
    return pid;
}

// Runs a command to its end; its output goes to logFile.
void runCommand(const std::vector<std::string>& argv, const std::string& logFile) {
    int out = -1;
    pid_t pid = spawn(argv, logFile, out);
    ::close(out);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(argv[0] + " failed: " + readFile(logFile));
}

bool canConnect(long port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

int listenLoopback(long& port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = 0;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, 8) != 0) {
        ::close(s);
        throw std::runtime_error("cannot listen on a loopback port");
    }
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return s;
}

}  // namespace

long unusedPort() {
    long port = 0;
    ::close(listenLoopback(port));
    return port;
}

// ---- TempFolder ----

TempFolder::TempFolder(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

// ---- TestCa ----

TestCa::TestCa(const std::string& folder) : folder_(folder) {
    std::string openssl = findProgram("openssl", {"/usr/bin"});
    std::string log = folder_ + "/openssl.log";
    auto ec = std::vector<std::string>{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    auto cmd = [&](std::vector<std::string> args) {
        args.insert(args.begin(), openssl);
        runCommand(args, log);
    };
    std::vector<std::string> ca = {"req", "-x509"};
    ca.insert(ca.end(), ec.begin(), ec.end());
    ca.insert(ca.end(), {"-keyout", folder_ + "/ca.key", "-out", caFile(), "-days", "2", "-subj",
                         "/CN=Parlix Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                         "keyUsage=critical,keyCertSign,cRLSign"});
    cmd(ca);
    auto issue = [&](const std::string& name, const std::string& cn, const std::string& san) {
        std::vector<std::string> req = {"req"};
        req.insert(req.end(), ec.begin(), ec.end());
        req.insert(req.end(), {"-keyout", folder_ + "/" + name + ".key", "-out", folder_ + "/" + name + ".csr",
                               "-subj", "/CN=" + cn});
        cmd(req);
        writeFile(folder_ + "/" + name + ".ext", "subjectAltName=" + san +
                                                     "\nbasicConstraints=CA:FALSE\n"
                                                     "keyUsage=digitalSignature,keyEncipherment\n"
                                                     "extendedKeyUsage=serverAuth\n");
        cmd({"x509", "-req", "-in", folder_ + "/" + name + ".csr", "-CA", caFile(), "-CAkey", folder_ + "/ca.key",
             "-CAcreateserial", "-out", folder_ + "/" + name + ".pem", "-days", "2", "-extfile",
             folder_ + "/" + name + ".ext"});
    };
    issue("server", "localhost", "IP:127.0.0.1,DNS:localhost");
    issue("other", "other.example", "DNS:other.example");
    // Servers that drop privileges must still read their key.
    for (const char* f : {"/ca.pem", "/server.pem", "/server.key", "/other.pem", "/other.key"})
        ::chmod((folder_ + f).c_str(), 0644);
    ::chmod(folder_.c_str(), 0755);
}

// ---- ServerProcess ----

int ServerProcess::start(const std::vector<std::string>& argv, const std::string& logFile) {
    stop();
    int out = -1;
    pid_ = spawn(argv, logFile, out);
    return out;
}

bool ServerProcess::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

void ServerProcess::stop() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    for (int i = 0; i < 250; ++i) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            ::kill(-pid_, SIGKILL);  // any child the server left behind
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

ServerProcess::~ServerProcess() { stop(); }

// ---- Pop3Server ----

Pop3Server::Pop3Server(ServerOptions options, const TestCa* ca) : TestServer(std::move(options), "parlix-pop3") {
    if (options_.tls && !ca) throw std::runtime_error("a POP3 server with TLS needs a test CA");
    std::string dovecot = findProgram("dovecot", {"/usr/sbin", "/sbin"});
    const std::string& dir = folder_.path();
    mailUid_ = ::getuid();
    mailGid_ = ::getgid();
    std::string internalUser, internalGroup, loginUser;
    if (::geteuid() == 0) {
        // dovecot refuses to run its login and mail processes as root: use its own users.
        passwd* internal = ::getpwnam("dovecot");
        passwd* login = ::getpwnam("dovenull");
        if (!internal || !login) throw std::runtime_error("the users dovecot and dovenull are missing");
        mailUid_ = internal->pw_uid;
        mailGid_ = internal->pw_gid;
        internalUser = internalGroup = "dovecot";
        loginUser = "dovenull";
        ::chmod(dir.c_str(), 0755);
    } else {
        // Without root, every dovecot process runs as the test's own user and group.
        passwd* me = ::getpwuid(::getuid());
        group* mine = ::getgrgid(::getgid());
        if (!me || !mine) throw std::runtime_error("the current user or group has no name");
        internalUser = loginUser = me->pw_name;
        internalGroup = mine->gr_name;
    }
    for (const char* sub : {"/run", "/state", "/home", "/Maildir", "/Maildir/new", "/Maildir/cur", "/Maildir/tmp"})
        fs::create_directories(dir + sub);
    for (const char* sub : {"/home", "/Maildir", "/Maildir/new", "/Maildir/cur", "/Maildir/tmp"})
        if (::chown((dir + sub).c_str(), mailUid_, mailGid_) != 0 && ::geteuid() == 0)
            throw std::runtime_error("cannot hand the mailbox to the mail user");
    writeFile(dir + "/passwd", options_.user + ":{PLAIN}" + options_.password + "::::::\n");

    std::string cert = options_.otherHostCertificate ? (ca ? ca->otherHostCertFile() : "") : (ca ? ca->certFile() : "");
    std::string key = options_.otherHostCertificate ? (ca ? ca->otherHostKeyFile() : "") : (ca ? ca->keyFile() : "");
    std::string lastLog;
    for (int attempt = 0; attempt < 4; ++attempt) {
        port_ = unusedPort();
        std::ostringstream conf;
        conf << "protocols = pop3\n"
             << "listen = 127.0.0.1\n"
             << "base_dir = " << dir << "/run\n"
             << "state_dir = " << dir << "/state\n"
             << "instance_name = parlix-test-" << port_ << "\n"
             << "log_path = " << dir << "/dovecot.log\n"
             << "default_internal_user = " << internalUser << "\n"
             << "default_internal_group = " << internalGroup << "\n"
             << "default_login_user = " << loginUser << "\n"
             << "first_valid_uid = 0\nfirst_valid_gid = 0\n"
             << "disable_plaintext_auth = no\n"
             << "auth_mechanisms = plain login\n"
             << "auth_failure_delay = 0\n"
             << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " << dir << "/passwd\n}\n"
             << "userdb {\n  driver = static\n  args = uid=" << mailUid_ << " gid=" << mailGid_ << " home=" << dir
             << "/home\n}\n"
             << "mail_location = maildir:" << dir << "/Maildir\n"
             << "pop3_uidl_format = %08Xu%08Xv\n";
        if (options_.tls)
            conf << "ssl = yes\nssl_cert = <" << cert << "\nssl_key = <" << key << "\n";
        else
            conf << "ssl = no\n";
        conf << "service pop3-login {\n  chroot =\n"
             << "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " << (options_.tls ? 0 : port_) << "\n  }\n"
             << "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " << (options_.tls ? port_ : 0)
             << "\n    ssl = yes\n  }\n}\n"
             << "service imap-login {\n  chroot =\n}\n"
             << "service anvil {\n  chroot =\n}\n";
        writeFile(dir + "/dovecot.conf", conf.str());
        int out = process_.start({dovecot, "-F", "-c", dir + "/dovecot.conf"}, dir + "/dovecot.err");
        if (out >= 0) ::close(out);
        auto deadline = std::chrono::steady_clock::now() + 15s;
        while (std::chrono::steady_clock::now() < deadline && process_.running() && !canConnect(port_))
            std::this_thread::sleep_for(20ms);
        if (process_.running() && canConnect(port_)) return;
        process_.stop();
        lastLog = log();
    }
    throw std::runtime_error("dovecot did not start: " + lastLog);
}

Pop3Server::~Pop3Server() { stop(); }

std::string Pop3Server::maildir() const { return folder_.path() + "/Maildir"; }

std::string Pop3Server::log() const {
    return readFile(folder_.path() + "/dovecot.err") + readFile(folder_.path() + "/dovecot.log");
}

std::string Pop3Server::deliver(const std::string& rfc5322) {
    std::string name = std::to_string(::time(nullptr)) + ".P" + std::to_string(::getpid()) + "Q" +
                       std::to_string(++delivered_) + ".parlix-test";
    std::string tmp = maildir() + "/tmp/" + name;
    std::string final = maildir() + "/new/" + name;
    writeFile(tmp, rfc5322);
    if (::chown(tmp.c_str(), mailUid_, mailGid_) != 0 && ::geteuid() == 0)
        throw std::runtime_error("cannot hand " + tmp + " to the mail user");
    if (::rename(tmp.c_str(), final.c_str()) != 0) throw std::runtime_error("cannot deliver " + final);
    return final;
}

// ---- SmtpServer ----

SmtpServer::SmtpServer(ServerOptions options, const TestCa* ca) : TestServer(std::move(options), "parlix-smtp") {
    if (options_.tls && !ca) throw std::runtime_error("an SMTP server with TLS needs a test CA");
    const std::string python = "/usr/bin/python3";  // Debian's python, where python3-aiosmtpd lives
    if (::access(python.c_str(), X_OK) != 0) throw std::runtime_error(python + " is not installed");
    fs::create_directories(folder());
    std::vector<std::string> argv = {python, PARLIX_SMTP_SERVER_SCRIPT, "--folder", folder()};
    if (!options_.user.empty()) argv.insert(argv.end(), {"--user", options_.user, "--password", options_.password});
    if (options_.tls) {
        argv.insert(argv.end(), {"--cert", options_.otherHostCertificate ? ca->otherHostCertFile() : ca->certFile(),
                                 "--key", options_.otherHostCertificate ? ca->otherHostKeyFile() : ca->keyFile()});
    }
    int out = process_.start(argv, folder_.path() + "/smtp.log");
    std::string said;
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline && said.find('\n') == std::string::npos) {
        pollfd p{out, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[256];
            ssize_t n = ::read(out, buf, sizeof buf);
            if (n <= 0) break;
            said.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(out);
    if (said.rfind("READY ", 0) == 0) {
        port_ = std::atol(said.c_str() + 6);
        if (port_ > 0) return;
    }
    process_.stop();
    throw std::runtime_error("the SMTP test server did not start: " + said + log());
}

SmtpServer::~SmtpServer() { stop(); }

std::string SmtpServer::folder() const { return folder_.path() + "/received"; }

std::string SmtpServer::log() const { return readFile(folder_.path() + "/smtp.log"); }

std::vector<SmtpServer::Received> SmtpServer::received() const {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(folder()))
        if (e.path().extension() == ".eml") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    std::vector<Received> all;
    for (const auto& f : files) {
        Received r;
        r.data = readFile(f);
        std::istringstream env(readFile(f.substr(0, f.size() - 4) + ".env"));
        std::string line;
        while (std::getline(env, line)) {
            if (line.rfind("from ", 0) == 0) r.mailFrom = line.substr(5);
            if (line.rfind("login ", 0) == 0) r.login = line.substr(6);
            if (line.rfind("rcpt ", 0) == 0) r.rcptTo.push_back(line.substr(5));
        }
        all.push_back(std::move(r));
    }
    return all;
}

bool SmtpServer::waitForMessages(size_t n, std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        size_t count = 0;
        for (const auto& e : fs::directory_iterator(folder()))
            if (e.path().extension() == ".eml") ++count;
        if (count >= n) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

// ---- MailServers ----

MailServers::MailServers(ServerOptions options) : caFolder_("parlix-ca") {
    if (options.tls) ca_ = std::make_unique<TestCa>(caFolder_.path());
    pop3_ = std::make_unique<Pop3Server>(options, ca_.get());
    smtp_ = std::make_unique<SmtpServer>(options, ca_.get());
}

MailServers::~MailServers() = default;

std::string MailServers::caFile() const { return ca_ ? ca_->caFile() : std::string(); }

void MailServers::configure(MailMan& m) const {
    m.PopHost = "127.0.0.1";
    m.PopPort = pop3_->port();
    m.PopUsername = pop3_->user();
    m.PopPassword = pop3_->password();
    m.PopSsl = pop3_->tls() ? 1 : 0;
    m.SmtpHost = "127.0.0.1";
    m.SmtpPort = smtp_->port();
    m.SmtpUsername = smtp_->user();
    m.SmtpPassword = smtp_->password();
    m.SmtpSsl = smtp_->tls() ? 1 : 0;
    m.CaFile = caFile();
}

// ---- CutOffServer ----

CutOffServer::CutOffServer(Protocol protocol) : protocol_(protocol) {
    listener_ = listenLoopback(port_);
    thread_ = std::thread([this] {
        while (!stopping_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            serve(client);
            ::close(client);
        }
    });
}

CutOffServer::~CutOffServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
}

void CutOffServer::serve(int client) {
    auto send = [&](const std::string& text) { return ::send(client, text.data(), text.size(), MSG_NOSIGNAL) >= 0; };
    std::string pending;
    auto readLine = [&](std::string& line) {
        for (;;) {
            if (auto nl = pending.find('\n'); nl != std::string::npos) {
                line = pending.substr(0, nl);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                pending.erase(0, nl + 1);
                return true;
            }
            pollfd p{client, POLLIN, 0};
            if (stopping_ || ::poll(&p, 1, 5000) <= 0) return false;
            char buf[4096];
            ssize_t n = ::recv(client, buf, sizeof buf, 0);
            if (n <= 0) return false;
            pending.append(buf, static_cast<size_t>(n));
        }
    };
    auto upper = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return s;
    };
    std::string line;
    if (protocol_ == Protocol::Pop3) {
        send("+OK cut-off test server ready\r\n");
        while (readLine(line)) {
            std::string cmd = upper(line.substr(0, line.find(' ')));
            if (cmd == "CAPA") {
                send("+OK\r\nUSER\r\nUIDL\r\n.\r\n");
            } else if (cmd == "USER" || cmd == "PASS" || cmd == "NOOP") {
                send("+OK\r\n");
            } else if (cmd == "UIDL") {
                send("+OK\r\n1 cut-1\r\n2 cut-2\r\n.\r\n");
            } else if (cmd == "RETR") {
                send("+OK 4000 octets\r\nFrom: sender@example.com\r\nSubject: cut off\r\n\r\n");
                send("The first lines of a mail whose server goes away\r\nbefore the mail");
                return;  // closed in the middle of the reply
            } else if (cmd == "QUIT") {
                send("+OK bye\r\n");
                return;
            } else {
                send("-ERR unknown\r\n");
            }
        }
    } else {
        send("220 cut-off test server ready\r\n");
        while (readLine(line)) {
            std::string cmd = upper(line.substr(0, line.find(' ')));
            if (cmd == "EHLO" || cmd == "HELO") {
                send("250-cutoff\r\n250 AUTH PLAIN LOGIN\r\n");
            } else if (cmd == "AUTH") {
                if (upper(line) == "AUTH PLAIN") {
                    send("334 \r\n");
                    if (!readLine(line)) return;
                }
                send("235 accepted\r\n");
            } else if (cmd == "MAIL" || cmd == "RCPT" || cmd == "RSET" || cmd == "NOOP") {
                send("250 ok\r\n");
            } else if (cmd == "DATA") {
                send("354 go ahead\r\n");
                readLine(line);  // the first line of the mail, then away
                return;
            } else if (cmd == "QUIT") {
                send("221 bye\r\n");
                return;
            } else {
                send("500 unknown\r\n");
            }
        }
    }
}

}  // namespace parlix::mail::testing
