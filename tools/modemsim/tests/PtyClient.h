// Raw access to the simulator's pty for tests: the far end as a program
// would see it, without any of the project's serial or modem code.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>

class PtyClient {
 public:
  explicit PtyClient(const std::string& path, speed_t speed = B115200) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path);
    setSpeed(speed);
  }
  ~PtyClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  void setSpeed(speed_t speed) {
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, speed);
    ::tcsetattr(fd_, TCSANOW, &t);
  }

  void write(const std::string& s) {
    if (::write(fd_, s.data(), s.size()) != static_cast<ssize_t>(s.size()))
      throw std::runtime_error("short write to pty");
  }

  // Reads until `until` appears in what was read or the time is up; returns
  // everything read (so a test can check that nothing came).
  std::string readUntil(const std::string& until, int ms = 2000) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.find(until) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      if (p.revents & (POLLHUP | POLLERR)) {
        hungUp_ = true;
        break;
      }
      char buf[4096];
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) {
        hungUp_ = true;
        break;
      }
      got.append(buf, static_cast<size_t>(n));
    }
    return got;
  }

  // Command line out, answer up to its final result code.
  std::string at(const std::string& cmd, int ms = 2000) {
    write(cmd + "\r");
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!final(got) && std::chrono::steady_clock::now() < deadline && !hungUp_) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                      .count());
      got += readUntil("\r\n", left > 0 ? left : 1);
    }
    return got;
  }

  // One read as soon as anything arrives (empty after ms without data).
  std::string readSome(int ms = 2000) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return "";
    char buf[4096];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "";
  }

  bool hungUp() const { return hungUp_; }

  static bool final(const std::string& s) {
    for (const char* f : {"\r\nOK\r\n", "\r\nERROR\r\n"})
      if (s.find(f) != std::string::npos) return true;
    for (const char* f : {"+CME ERROR: ", "+CMS ERROR: "}) {
      auto p = s.find(f);
      if (p != std::string::npos && s.find("\r\n", p) != std::string::npos) return true;
    }
    return s.find("\r\n> ") != std::string::npos;
  }

 private:
  int fd_ = -1;
  bool hungUp_ = false;
};
