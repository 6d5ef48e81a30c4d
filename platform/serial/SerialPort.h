// Serial port (namespace parlix::serial, target parlix_serial), in place of the
// serial control the modem libraries were written against.
//
// Port, as the control offers it:
//   setCommPort(n) / commPort()     port number, 1-based (refused while open: 8000)
//   setSettings(t) / settings()     "baud,parity,data,stop", e.g. "115200,N,8,1", "9600,N,8,1"
//                                   (parity N/E/O/M/S, data 5-8, stop 1/2; bad text: 380);
//                                   applied at once when the port is open
//   setPortOpen(b) / portOpen()     explicit open and close
//   output(text)                    writes the text unchanged (closed port: 8018)
//   input()                         everything received since the last read, maybe ""
// Errors are SerialError (a std::runtime_error) with the control's error number and
// the device path when one is involved. Opening an open port and closing a closed port
// both raise 8005, as the control does; a missing device raises 8002, a device held by
// another program 8005, a device the user may not open 8002 (message says so).
//
// TermiosPort: POSIX termios, raw mode, no handshaking. Port number N opens the device
// that ports/comN in the program's folder (the folder of /proc/self/exe) points to,
// else /dev/ttyS(N-1). setPortsFolder() overrides that folder (tests link com1 to a pty).
//
// Library code creates ports through makePort(); setPortFactory() replaces what it
// makes (tests hand out FakePort, see FakePort.h in the parlix_serial_fake target).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace parlix::serial {

// Error numbers of the serial control that callers may test.
enum ErrorNumber : int {
    InvalidPropertyValue = 380,
    OperationWhileOpen = 8000,
    InvalidPortNumber = 8002,
    PortAlreadyOpen = 8005,
    PortNotOpen = 8018,
    ReadWriteError = 8020,
};

class SerialError : public std::runtime_error {
public:
    SerialError(int number, const std::string& message, std::string device = {});
    int number() const noexcept { return number_; }
    const std::string& device() const noexcept { return device_; }

private:
    int number_;
    std::string device_;
};

class Port {
public:
    virtual ~Port() = default;

    // Virtual so that a stand-in (FakePort's handle) can forward them.
    virtual int commPort() const { return commPort_; }
    virtual void setCommPort(int n);
    virtual std::string settings() const { return settings_; }
    virtual void setSettings(const std::string& text);

    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    virtual void output(std::string_view text) = 0;
    virtual std::string input() = 0;

protected:
    // Called by setSettings after the text was checked, when the port is open.
    virtual void applySettings() {}

private:
    int commPort_ = 1;
    std::string settings_ = "9600,N,8,1";
};

// Parsed settings text; throws SerialError(380) on bad text.
struct LineSettings {
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
};
LineSettings parseSettings(const std::string& text);

class TermiosPort final : public Port {
public:
    TermiosPort() = default;
    ~TermiosPort() override;
    TermiosPort(const TermiosPort&) = delete;
    TermiosPort& operator=(const TermiosPort&) = delete;

    void setPortOpen(bool open) override;
    bool portOpen() const override { return fd_ >= 0; }
    void output(std::string_view text) override;
    std::string input() override;

    // Device of the open port ("" while closed).
    const std::string& device() const { return device_; }

protected:
    void applySettings() override;

private:
    void open();
    void close() noexcept;

    int fd_ = -1;
    std::string device_;
};

// The folder holding the comN links: <program folder>/ports unless overridden.
std::filesystem::path portsFolder();
// Empty path restores the default.
void setPortsFolder(const std::filesystem::path& folder);
// Device path that port number n opens (the comN link's path when it exists).
std::string devicePath(int commPort);

using PortFactory = std::function<std::unique_ptr<Port>()>;
// nullptr restores the default (TermiosPort).
void setPortFactory(PortFactory factory);
std::unique_ptr<Port> makePort();

}  // namespace parlix::serial
