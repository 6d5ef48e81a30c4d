#include "tools/modemsim/SimModem.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tools/modemsim/Control.h"
#include "tools/modemsim/Sms.h"

namespace fs = std::filesystem;

namespace modemsim {

namespace {

// Just enough JSON for the sent log: flat objects, one nested object.
struct Json {
  enum Type { Null, Bool, Number, String, Object } type = Null;
  bool b = false;
  double num = 0;
  std::string str;
  std::map<std::string, Json> obj;

  int integer(const std::string& k) const {
    auto it = obj.find(k);
    return it == obj.end() ? 0 : static_cast<int>(it->second.num);
  }
  std::string text(const std::string& k) const {
    auto it = obj.find(k);
    return it == obj.end() ? "" : it->second.str;
  }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : s_(s) {}
  Json parse() {
    Json v = value();
    ws();
    if (p_ != s_.size()) throw std::runtime_error("trailing characters in sent log line");
    return v;
  }

 private:
  void ws() {
    while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
  }
  char peek() {
    ws();
    if (p_ >= s_.size()) throw std::runtime_error("sent log line ends early");
    return s_[p_];
  }
  void expect(char c) {
    if (peek() != c) throw std::runtime_error(std::string("sent log line: expected ") + c);
    ++p_;
  }
  Json value() {
    char c = peek();
    Json v;
    if (c == '{') {
      v.type = Json::Object;
      ++p_;
      if (peek() == '}') return ++p_, v;
      for (;;) {
        std::string k = string();
        expect(':');
        v.obj[k] = value();
        if (peek() == ',') {
          ++p_;
          continue;
        }
        expect('}');
        return v;
      }
    }
    if (c == '"') {
      v.type = Json::String;
      v.str = string();
      return v;
    }
    if (s_.compare(p_, 4, "true") == 0) return p_ += 4, v.type = Json::Bool, v.b = true, v;
    if (s_.compare(p_, 5, "false") == 0) return p_ += 5, v.type = Json::Bool, v;
    if (s_.compare(p_, 4, "null") == 0) return p_ += 4, v;
    size_t end = p_;
    while (end < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[end])) || s_[end] == '-' ||
                               s_[end] == '.' || s_[end] == 'e' || s_[end] == 'E' || s_[end] == '+'))
      ++end;
    if (end == p_) throw std::runtime_error("sent log line: bad value");
    v.type = Json::Number;
    v.num = std::stod(s_.substr(p_, end - p_));
    p_ = end;
    return v;
  }
  std::string string() {
    expect('"');
    std::string out;
    while (p_ < s_.size() && s_[p_] != '"') {
      char c = s_[p_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (p_ >= s_.size()) break;
      char e = s_[p_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          if (p_ + 4 > s_.size()) throw std::runtime_error("sent log line: bad escape");
          char32_t cp = static_cast<char32_t>(std::stoul(s_.substr(p_, 4), nullptr, 16));
          p_ += 4;
          out += toUtf8(cp);
          break;
        }
        default: out += e;
      }
    }
    expect('"');
    return out;
  }
  const std::string& s_;
  size_t p_ = 0;
};

SentMessage fromJson(const Json& j) {
  SentMessage m;
  m.n = j.integer("n");
  m.mode = j.text("mode");
  m.number = j.text("number");
  m.toa = j.integer("toa");
  m.text = j.text("text");
  m.coding = j.text("coding");
  m.dcs = j.integer("dcs");
  m.length = j.integer("length");
  auto udh = j.obj.find("udh");
  if (udh != j.obj.end() && udh->second.type == Json::Object) {
    m.hasUdh = true;
    m.ref = udh->second.integer("ref");
    m.total = udh->second.integer("total");
    m.seq = udh->second.integer("seq");
  }
  auto rep = j.obj.find("report");
  m.report = rep != j.obj.end() && rep->second.b;
  m.mr = j.integer("mr");
  m.pdu = j.text("pdu");
  return m;
}

std::string checked(const std::string& reply, const std::string& what) {
  if (reply.rfind("OK", 0) != 0) throw std::runtime_error("modemsim " + what + ": " + reply);
  return reply.size() > 3 ? reply.substr(3) : "";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

std::vector<SentMessage> readSentLog(const std::string& path) {
  std::vector<SentMessage> out;
  std::istringstream in(readFile(path));
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) out.push_back(fromJson(JsonParser(line).parse()));
  return out;
}

std::vector<JoinedMessage> reassemble(const std::vector<SentMessage>& sent) {
  std::vector<JoinedMessage> out;
  struct Group {
    size_t slot;
    int total;
    std::map<int, std::string> parts;
    int units = 0;
  };
  std::map<std::tuple<std::string, int, int>, Group> groups;
  for (const auto& m : sent) {
    if (!m.hasUdh || m.total <= 1) {
      out.push_back({m.number, m.text, 1, true});
      continue;
    }
    auto key = std::make_tuple(m.number, m.ref, m.total);
    auto it = groups.find(key);
    if (it == groups.end()) {
      it = groups.emplace(key, Group{out.size(), m.total, {}, 0}).first;
      out.push_back({m.number, "", 0, false});
    }
    ++it->second.units;
    it->second.parts[m.seq] += m.text;
  }
  for (auto& [key, g] : groups) {
    auto& msg = out[g.slot];
    msg.parts = g.units;
    bool complete = g.units == g.total && static_cast<int>(g.parts.size()) == g.total;
    for (int s = 1; s <= g.total && complete; ++s) complete = g.parts.count(s) > 0;
    msg.complete = complete;
    for (auto& [seq, text] : g.parts) msg.text += text;
  }
  return out;
}

std::string SimModem::binaryPath() {
  if (const char* env = std::getenv("MODEMSIM_BINARY"); env && *env) return env;
#ifdef MODEMSIM_BINARY_PATH
  return MODEMSIM_BINARY_PATH;
#else
  return "modemsim";
#endif
}

SimModem::SimModem(std::vector<std::string> args) {
  // Unix socket paths are short, so stay in /tmp whatever TMPDIR says.
  char tmpl[] = "/tmp/modemsim-XXXXXX";
  if (!::mkdtemp(tmpl)) throw std::runtime_error("modemsim: cannot make a work folder");
  dir_ = tmpl;
  control_ = dir_ + "/control.sock";
  std::vector<std::string> argv = {binaryPath(),  "--control", control_, "--sent-log",
                                   dir_ + "/sent.jsonl", "--log", dir_ + "/dialogue.log"};
  argv.insert(argv.end(), args.begin(), args.end());

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("modemsim: pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("modemsim: fork failed");
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    int err = ::open((dir_ + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) ::dup2(err, 2);
    std::vector<char*> cargs;
    for (auto& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    ::execv(cargs[0], cargs.data());
    std::fprintf(stderr, "cannot run %s: %s\n", cargs[0], std::strerror(errno));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    char buf[256];
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  ::close(out[0]);
  if (line.find('\n') == std::string::npos) {
    std::string why = readFile(dir_ + "/stderr.txt");
    kill9();
    throw std::runtime_error("modemsim did not start (" + binaryPath() + "): " + why);
  }
  pty_ = line.substr(0, line.find('\n'));
}

SimModem::~SimModem() {
  try {
    stop();
  } catch (...) {
  }
  if (!std::getenv("MODEMSIM_KEEP")) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
}

std::string SimModem::linkPort(const std::string& folder, int n) {
  fs::path ports = fs::path(folder) / "ports";
  fs::create_directories(ports);
  fs::path link = fs::absolute(ports / ("com" + std::to_string(n)));
  checked(control("link " + link.string()), "link");
  links_.push_back(link.string());
  return link.string();
}

std::string SimModem::control(const std::string& line) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("modemsim: socket failed");
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, control_.c_str(), sizeof addr.sun_path - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    throw std::runtime_error("modemsim: control channel not reachable: " + control_);
  }
  std::string msg = line + "\n";
  ::send(fd, msg.data(), msg.size(), MSG_NOSIGNAL);
  std::string reply;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (reply.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buf[1024];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    reply.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  if (reply.find('\n') == std::string::npos)
    throw std::runtime_error("modemsim: no answer to control line: " + line);
  return reply.substr(0, reply.find('\n'));
}

void SimModem::set(const std::string& keyValues) { checked(control("set " + keyValues), "set"); }

int SimModem::inject(const std::string& number, const std::string& text, const std::string& extra) {
  std::string line = "inject number=" + number + (extra.empty() ? "" : " " + extra) + " text=" + escape(text);
  return std::stoi(checked(control(line), "inject"));
}

int SimModem::injectPdu(const std::string& hex, bool read) {
  return std::stoi(checked(control("inject-pdu " + std::string(read ? "read=1 " : "") + hex), "inject-pdu"));
}

int SimModem::count(const std::string& store) { return std::stoi(checked(control("count " + store), "count")); }

void SimModem::setUssd(const std::string& code, const std::string& reply) {
  checked(control("ussd " + code + " " + escape(reply)), "ussd");
}

void SimModem::drop() { checked(control("drop"), "drop"); }

void SimModem::leaveOnLine(const std::string& bytes) {
  const int fd = ::open(pty_.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) throw std::runtime_error("modemsim: cannot open " + pty_ + ": " + std::strerror(errno));
  const bool whole = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the modem take it in
  ::close(fd);
  if (!whole) throw std::runtime_error("modemsim: short write to " + pty_);
}

std::vector<SentMessage> SimModem::sent() const { return readSentLog(dir_ + "/sent.jsonl"); }

std::string SimModem::dialogue() const { return readFile(dir_ + "/dialogue.log"); }

bool SimModem::running() {
  if (pid_ <= 0) return false;
  int status;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void SimModem::stop() {
  if (!running()) return;
  try {
    control("quit");
  } catch (...) {
    ::kill(pid_, SIGTERM);
  }
  for (int i = 0; i < 200 && running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (running()) kill9();
}

void SimModem::kill9() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  // The simulator had no chance to remove its links.
  for (const auto& l : links_) {
    std::error_code ec;
    if (fs::read_symlink(l, ec) == pty_) fs::remove(l, ec);
  }
}

}  // namespace modemsim
