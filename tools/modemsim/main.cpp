// modemsim: a GSM modem on a pseudo-terminal, for tests and demonstrations.
// See docs/modemsim.md for the options and the control channel.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <iostream>
#include <string>
#include <vector>

#include "tools/modemsim/Control.h"
#include "tools/modemsim/Modem.h"

namespace {

volatile sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }

using Clock = std::chrono::steady_clock;

struct Pending {
  Clock::time_point due;
  std::string bytes;
};

int speedOf(speed_t s) {
  switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
  }
}

void usage() {
  std::cerr << "usage: modemsim [--link PATH] [--control PATH] [--sent-log PATH] [--log PATH]\n"
               "                [--inject NUMBER=TEXT]... [--SETTING=VALUE]...\n"
               "settings: only-baud mute sim pin puk cms515 csq creg refuse delay pieces\n"
               "          piece-gap drop-after report mr echo smsc capacity urc ussd lenient cmee\n"
               "          index-base ok-gap cmgs-delay creg-n cscs\n";
}

class Server {
 public:
  modemsim::Settings settings;
  std::vector<std::string> links;
  std::string controlPath, sentPath, logPath;
  std::vector<std::string> injects;

  int run();

 private:
  void write(const std::string& bytes, int delayMs);
  void drop();
  void flushOut();
  void log(const std::string& dir, const std::string& text);
  void acceptClient();
  bool serveClient(size_t i);
  void cleanup();
  bool makeLink(const std::string& path, std::string& error);
  void removeLinks();

  int master_ = -1, slave_ = -1, listen_ = -1;
  std::string slavePath_;
  FILE* log_ = nullptr;
  FILE* sent_ = nullptr;
  std::deque<Pending> queue_;
  Clock::time_point lastDue_{};
  struct Client {
    int fd;
    std::string in;
  };
  std::vector<Client> clients_;
  std::unique_ptr<modemsim::Modem> modem_;
  bool quit_ = false;
};

void Server::log(const std::string& dir, const std::string& text) {
  if (!log_) return;
  auto now = std::chrono::system_clock::now();
  auto t = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&t, &tm);
  std::fprintf(log_, "%02d:%02d:%02d.%03d %s %s\n", tm.tm_hour, tm.tm_min, tm.tm_sec,
               static_cast<int>(ms), dir.c_str(), text.c_str());
  std::fflush(log_);
}

void Server::write(const std::string& bytes, int delayMs) {
  auto due = std::max(Clock::now() + std::chrono::milliseconds(delayMs), lastDue_);
  size_t piece = settings.pieceSize > 0 ? static_cast<size_t>(settings.pieceSize) : bytes.size();
  for (size_t i = 0; i < bytes.size(); i += piece) {
    if (i) due += std::chrono::milliseconds(settings.pieceGapMs);
    queue_.push_back({due, bytes.substr(i, piece)});
  }
  lastDue_ = due;
  flushOut();
}

void Server::flushOut() {
  while (!queue_.empty() && master_ >= 0 && queue_.front().due <= Clock::now()) {
    auto& p = queue_.front();
    ssize_t n = ::write(master_, p.bytes.data(), p.bytes.size());
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) return;
      queue_.clear();
      return;
    }
    p.bytes.erase(0, static_cast<size_t>(n));
    if (p.bytes.empty()) queue_.pop_front();
  }
}

bool Server::makeLink(const std::string& path, std::string& error) {
  ::unlink(path.c_str());
  if (::symlink(slavePath_.c_str(), path.c_str()) != 0) {
    error = "cannot link " + path + ": " + std::strerror(errno);
    return false;
  }
  links.push_back(path);
  return true;
}

// A link left behind could later lead to another program's pty under the
// same number, so links go with the line.
void Server::removeLinks() {
  for (const auto& l : links) {
    char target[512];
    ssize_t n = ::readlink(l.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_) ::unlink(l.c_str());
  }
  links.clear();
}

void Server::drop() {
  removeLinks();
  queue_.clear();
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
}

void Server::acceptClient() {
  int fd = ::accept(listen_, nullptr, nullptr);
  if (fd < 0) return;
  clients_.push_back({fd, {}});
}

bool Server::serveClient(size_t i) {
  char buf[4096];
  ssize_t n = ::read(clients_[i].fd, buf, sizeof buf);
  if (n <= 0) return false;
  clients_[i].in.append(buf, static_cast<size_t>(n));
  size_t nl;
  while ((nl = clients_[i].in.find('\n')) != std::string::npos) {
    std::string line = clients_[i].in.substr(0, nl);
    clients_[i].in.erase(0, nl + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    log("##", line);
    modemsim::ControlResult r;
    if (line.rfind("link ", 0) == 0) {
      std::string error;
      if (master_ < 0) r.reply = "ERROR the line is down";
      else r.reply = makeLink(line.substr(5), error) ? "OK" : "ERROR " + error;
    } else {
      r = modemsim::control(line, settings, *modem_);
    }
    if (r.drop && master_ >= 0) {
      log("--", "line dropped by control");
      drop();
    }
    if (r.quit) quit_ = true;
    std::string reply = r.reply + "\n";
    if (::send(clients_[i].fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) return false;
  }
  return true;
}

void Server::cleanup() {
  for (auto& c : clients_) ::close(c.fd);
  if (listen_ >= 0) {
    ::close(listen_);
    ::unlink(controlPath.c_str());
  }
  drop();
  if (log_) std::fclose(log_);
  if (sent_) std::fclose(sent_);
}

int Server::run() {
  if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
    std::cerr << "modemsim: openpty failed: " << std::strerror(errno) << "\n";
    return 1;
  }
  slavePath_ = ::ttyname(slave_);
  // Raw at 115200 until the other side configures the line: no line
  // discipline echo of our own answers.
  termios t{};
  ::tcgetattr(slave_, &t);
  ::cfmakeraw(&t);
  ::cfsetspeed(&t, B115200);
  ::tcsetattr(slave_, TCSANOW, &t);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

  if (!logPath.empty() && !(log_ = std::fopen(logPath.c_str(), "a"))) {
    std::cerr << "modemsim: cannot open log " << logPath << ": " << std::strerror(errno) << "\n";
    return 1;
  }
  if (!sentPath.empty() && !(sent_ = std::fopen(sentPath.c_str(), "a"))) {
    std::cerr << "modemsim: cannot open sent log " << sentPath << ": " << std::strerror(errno) << "\n";
    return 1;
  }
  for (auto wanted = std::move(links); const auto& l : wanted) {
    std::string error;
    if (!makeLink(l, error)) {
      std::cerr << "modemsim: " << error << "\n";
      removeLinks();
      return 1;
    }
  }
  if (!controlPath.empty()) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (controlPath.size() >= sizeof addr.sun_path) {
      std::cerr << "modemsim: control path too long: " << controlPath << "\n";
      return 1;
    }
    std::strcpy(addr.sun_path, controlPath.c_str());
    ::unlink(controlPath.c_str());
    listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 8) != 0) {
      std::cerr << "modemsim: cannot listen on " << controlPath << ": " << std::strerror(errno) << "\n";
      return 1;
    }
  }

  modemsim::Io io;
  io.write = [this](const std::string& b, int d) { write(b, d); };
  io.drop = [this] { drop(); };
  io.baud = [this]() {
    termios tt{};
    if (slave_ < 0 || ::tcgetattr(slave_, &tt) != 0) return 0;
    return speedOf(::cfgetospeed(&tt));
  };
  io.log = [this](const std::string& d, const std::string& x) { log(d, x); };
  io.sent = [this](const std::string& line) {
    if (!sent_) return;
    std::fprintf(sent_, "%s\n", line.c_str());
    std::fflush(sent_);
  };
  modem_ = std::make_unique<modemsim::Modem>(settings, io);
  log("--", "serving " + slavePath_);
  for (const auto& inj : injects) {
    auto r = modemsim::control("inject " + inj, settings, *modem_);
    if (r.reply.rfind("OK", 0) != 0) {
      std::cerr << "modemsim: --inject " << inj << ": " << r.reply << "\n";
      return 1;
    }
  }

  std::cout << slavePath_ << std::endl;

  while (!gStop && !quit_) {
    std::vector<pollfd> fds;
    if (master_ >= 0) {
      short ev = POLLIN;
      if (!queue_.empty() && queue_.front().due <= Clock::now()) ev |= POLLOUT;
      fds.push_back({master_, ev, 0});
    }
    size_t firstClient = fds.size();
    if (listen_ >= 0) fds.push_back({listen_, POLLIN, 0});
    size_t clientBase = fds.size();
    for (auto& c : clients_) fds.push_back({c.fd, POLLIN, 0});
    // Wait for the next piece's time; one that is due waits on POLLOUT.
    int timeout = -1;
    if (!queue_.empty() && master_ >= 0 && queue_.front().due > Clock::now()) {
      auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(queue_.front().due - Clock::now());
      timeout = static_cast<int>(wait.count() + 1);
    }
    int n = ::poll(fds.data(), fds.size(), timeout);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (master_ >= 0 && firstClient > 0 && (fds[0].revents & POLLIN)) {
      char buf[4096];
      ssize_t r = ::read(master_, buf, sizeof buf);
      if (r > 0) modem_->receive(std::string_view(buf, static_cast<size_t>(r)));
    }
    flushOut();
    if (listen_ >= 0 && (fds[firstClient].revents & POLLIN)) acceptClient();
    for (size_t i = clients_.size(); i-- > 0;) {
      if (clientBase + i >= fds.size() || !(fds[clientBase + i].revents & (POLLIN | POLLHUP))) continue;
      if (!serveClient(i)) {
        ::close(clients_[i].fd);
        clients_.erase(clients_.begin() + static_cast<long>(i));
      }
    }
  }
  log("--", "stopped");
  cleanup();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  struct sigaction sa{};
  sa.sa_handler = onSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Server server;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      usage();
      return 0;
    }
    if (arg.rfind("--", 0) != 0) {
      usage();
      return 2;
    }
    std::string key = arg.substr(2), value;
    if (auto eq = key.find('='); eq != std::string::npos) {
      value = key.substr(eq + 1);
      key = key.substr(0, eq);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      std::cerr << "modemsim: " << arg << " needs a value\n";
      return 2;
    }
    if (key == "link") server.links.push_back(value);
    else if (key == "control") server.controlPath = value;
    else if (key == "sent-log") server.sentPath = value;
    else if (key == "log") server.logPath = value;
    else if (key == "inject") {
      auto eq = value.find('=');
      if (eq == std::string::npos) {
        std::cerr << "modemsim: --inject takes NUMBER=TEXT\n";
        return 2;
      }
      server.injects.push_back("number=" + value.substr(0, eq) + " text=" + value.substr(eq + 1));
    } else {
      std::string error;
      if (!modemsim::applySetting(server.settings, key, value, error)) {
        std::cerr << "modemsim: " << error << "\n";
        return 2;
      }
    }
  }
  return server.run();
}
