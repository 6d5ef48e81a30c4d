#include "mailgateway/Gateway.h"
#include "mailgateway/Log.h"
#include "mailgateway/Passes.h"
#include "platform/files/DurableFile.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace parlix::gateway::SendProgress {

namespace {
// One line per number: place in the list, pieces sent, "1" once reported, the number.
struct Number {
    int pieces = 0;
    bool reported = false;
};
struct Record {
    bool active = false;
    std::string mailbox, uidl;
    std::map<std::pair<std::size_t, std::string>, Number> numbers;
};
Record& Current() {
    static Record record;
    return record;
}

std::string Encode(const Record& r) {
    std::string text = "mailbox\t" + r.mailbox + "\nuidl\t" + r.uidl + "\n";
    for (const auto& [key, n] : r.numbers)
        text += std::to_string(key.first) + "\t" + std::to_string(n.pieces) + "\t" + (n.reported ? "1" : "0") + "\t" +
                key.second + "\n";
    return text;
}

Record Load() {
    Record r;
    std::ifstream in(Path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string a, b, c, d;
        std::getline(fields, a, '\t');
        std::getline(fields, b, '\t');
        if (a == "mailbox") {
            r.mailbox = b;
        } else if (a == "uidl") {
            r.uidl = b;
        } else if (std::getline(fields, c, '\t') && std::getline(fields, d)) {
            const auto index = SettingNumber(a);
            const auto pieces = SettingNumber(b);
            if (index && pieces && *index >= 0 && *pieces >= 0)
                r.numbers[{static_cast<std::size_t>(*index), d}] = {static_cast<int>(*pieces), c == "1"};
        }
    }
    return r;
}

void Save() {
    const Record& r = Current();
    if (files::ReplaceDurably(Path(), Encode(r)) != 0)
        WriteErrorLog("Module.EmailtoSMS.SendSMS() ", 75,
                      "The progress of the e-mail being sent cannot be written to \"" + Path() +
                          "\"; should the program end now, its SMS would go again");
}

// Outside an e-mail's record nothing counts as done.
const Number* Find(std::size_t index, const std::string& number) {
    if (!Current().active) return nullptr;
    const auto& numbers = Current().numbers;
    const auto it = numbers.find({index, number});
    return it == numbers.end() ? nullptr : &it->second;
}
}  // namespace

std::string Path() { return ProgramPath(kFile); }

void Begin(const std::string& mailbox, const std::string& uidl) {
    Record loaded = Load();
    if (loaded.mailbox != mailbox || loaded.uidl != uidl) loaded = Record{};
    loaded.active = true;
    loaded.mailbox = mailbox;
    loaded.uidl = uidl;
    Current() = std::move(loaded);
}

int PiecesSent(std::size_t index, const std::string& number) {
    const Number* n = Find(index, number);
    return n ? n->pieces : 0;
}

bool Reported(std::size_t index, const std::string& number) {
    const Number* n = Find(index, number);
    return n && n->reported;
}

void SetPiecesSent(std::size_t index, const std::string& number, int pieces) {
    if (!Current().active) return;
    Current().numbers[{index, number}].pieces = pieces;
    Save();
}

void SetReported(std::size_t index, const std::string& number) {
    if (!Current().active) return;
    Current().numbers[{index, number}].reported = true;
    Save();
}

void End() {
    Current() = Record{};
    std::error_code ec;
    std::filesystem::remove(Path(), ec);
}

}  // namespace parlix::gateway::SendProgress
