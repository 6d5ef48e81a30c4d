#include "platform/serial/SerialPort.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <fcntl.h>

namespace parlix::serial {

namespace fs = std::filesystem;

namespace {

std::mutex configMutex;
fs::path portsFolderOverride;
PortFactory portFactory;

std::string portName(int n)
{
    return "COM" + std::to_string(n);
}

bool parseInt(std::string_view s, int& out)
{
    if (s.empty())
        return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

speed_t speedFor(int baud)
{
    switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

std::string errnoText(int err)
{
    return std::strerror(err);
}

}  // namespace

SerialError::SerialError(int number, const std::string& message, std::string device)
    : std::runtime_error(message), number_(number), device_(std::move(device))
{
}

LineSettings parseSettings(const std::string& text)
{
    const auto bad = [&text]() {
        return SerialError(InvalidPropertyValue,
                           "Invalid serial settings \"" + text + "\" (expected e.g. \"115200,N,8,1\")");
    };
    std::string_view rest(text);
    std::string_view fields[4];
    for (int i = 0; i < 4; ++i) {
        const auto comma = rest.find(',');
        if ((comma == std::string_view::npos) != (i == 3))
            throw bad();
        fields[i] = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    LineSettings s;
    if (!parseInt(fields[0], s.baud) || speedFor(s.baud) == B0)
        throw bad();
    if (fields[1].size() != 1)
        throw bad();
    s.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[1][0])));
    if (std::string_view("NEOMS").find(s.parity) == std::string_view::npos)
        throw bad();
    if (!parseInt(fields[2], s.dataBits) || s.dataBits < 5 || s.dataBits > 8)
        throw bad();
    if (!parseInt(fields[3], s.stopBits) || (s.stopBits != 1 && s.stopBits != 2))
        throw bad();
    return s;
}

void Port::setCommPort(int n)
{
    if (portOpen())
        throw SerialError(OperationWhileOpen, "Cannot change the port number while the port is open");
    if (n < 1 || n > 255)
        throw SerialError(InvalidPortNumber, "Invalid port number " + std::to_string(n));
    commPort_ = n;
}

void Port::setSettings(const std::string& text)
{
    parseSettings(text);
    settings_ = text;
    if (portOpen())
        applySettings();
}

fs::path portsFolder()
{
    {
        std::lock_guard lock(configMutex);
        if (!portsFolderOverride.empty())
            return portsFolderOverride;
    }
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return (ec ? fs::current_path() : exe.parent_path()) / "ports";
}

void setPortsFolder(const fs::path& folder)
{
    std::lock_guard lock(configMutex);
    portsFolderOverride = folder;
}

std::string devicePath(int commPort)
{
    const fs::path link = portsFolder() / ("com" + std::to_string(commPort));
    std::error_code ec;
    // A dangling link still names the device the user meant; opening it reports it.
    if (fs::is_symlink(fs::symlink_status(link, ec)) || fs::exists(link, ec))
        return link.string();
    return "/dev/ttyS" + std::to_string(commPort - 1);
}

void setPortFactory(PortFactory factory)
{
    std::lock_guard lock(configMutex);
    portFactory = std::move(factory);
}

std::unique_ptr<Port> makePort()
{
    PortFactory factory;
    {
        std::lock_guard lock(configMutex);
        factory = portFactory;
    }
    if (factory)
        return factory();
    return std::make_unique<TermiosPort>();
}

TermiosPort::~TermiosPort()
{
    close();
}

void TermiosPort::setPortOpen(bool open)
{
    if (open == portOpen())
        throw SerialError(PortAlreadyOpen,
                          open ? "Port already open" : "Port already closed", device_);
    if (open)
        this->open();
    else
        close();
}

void TermiosPort::open()
{
    const std::string device = devicePath(commPort());
    const std::string name = portName(commPort());
    std::error_code ec;
    std::string shown = device;
    if (fs::is_symlink(fs::symlink_status(device, ec))) {
        const fs::path target = fs::read_symlink(device, ec);
        if (!ec)
            shown = device + " -> " + target.string();
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENXIO || err == ENODEV)
            throw SerialError(InvalidPortNumber, name + ": no serial device at " + shown, device);
        if (err == EACCES || err == EPERM)
            throw SerialError(InvalidPortNumber,
                              name + ": permission denied opening " + shown +
                                  " (is the user in the group dialout?)",
                              device);
        if (err == EBUSY)
            throw SerialError(PortAlreadyOpen, name + ": " + shown + " is in use by another program",
                              device);
        throw SerialError(InvalidPortNumber, name + ": cannot open " + shown + ": " + errnoText(err),
                          device);
    }
    // Keep other programs that respect locks (and later opens) off the modem.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw SerialError(PortAlreadyOpen, name + ": " + shown + " is in use by another program", device);
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        const int err = errno;
        ::close(fd);
        throw SerialError(InvalidPortNumber,
                          name + ": " + shown + " is not a serial device: " + errnoText(err), device);
    }
    fd_ = fd;
    device_ = device;
    try {
        applySettings();
    } catch (...) {
        close();
        throw;
    }
    ::tcflush(fd_, TCIOFLUSH);
}

void TermiosPort::close() noexcept
{
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
    device_.clear();
}

void TermiosPort::applySettings()
{
    const LineSettings s = parseSettings(settings());
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        throw SerialError(ReadWriteError, "Cannot read the line settings of " + device_, device_);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
#ifdef CMSPAR
    tio.c_cflag &= ~CMSPAR;
#endif
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[s.dataBits - 5];
    if (s.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    switch (s.parity) {
    case 'E': tio.c_cflag |= PARENB; break;
    case 'O': tio.c_cflag |= PARENB | PARODD; break;
#ifdef CMSPAR
    case 'M': tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 'S': tio.c_cflag |= PARENB | CMSPAR; break;
#endif
    default: break;
    }
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedFor(s.baud);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        throw SerialError(InvalidPropertyValue,
                          "Cannot apply \"" + settings() + "\" to " + device_ + ": " + errnoText(errno),
                          device_);
}

void TermiosPort::output(std::string_view text)
{
    if (fd_ < 0)
        throw SerialError(PortNotOpen, "Port " + portName(commPort()) + " is not open");
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Output buffer full: wait for room, but never hang on a stalled line.
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 5000) > 0 && !(p.revents & (POLLERR | POLLHUP | POLLNVAL)))
                continue;
        }
        throw SerialError(ReadWriteError, "Cannot write to " + device_, device_);
    }
}

std::string TermiosPort::input()
{
    if (fd_ < 0)
        throw SerialError(PortNotOpen, "Port " + portName(commPort()) + " is not open");
    std::string got;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            got.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing waiting, or the far end hung up (EIO on a pty): nothing received.
        break;
    }
    return got;
}

}  // namespace parlix::serial
