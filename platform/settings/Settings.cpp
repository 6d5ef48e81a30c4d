#include "platform/settings/Settings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace parlix::settings {
namespace {

struct Line {
    std::string_view text;  // without its line end
    std::string_view end;   // "\r\n", "\n", "\r" or "" on the last line
};

std::vector<Line> splitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t eol = content.find_first_of("\r\n", pos);
        if (eol == std::string_view::npos) {
            lines.push_back({content.substr(pos), {}});
            break;
        }
        std::size_t endLen = (content[eol] == '\r' && eol + 1 < content.size() && content[eol + 1] == '\n') ? 2 : 1;
        lines.push_back({content.substr(pos, eol - pos), content.substr(eol, endLen)});
        pos = eol + endLen;
    }
    return lines;
}

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Section name of a "[name]" line; nothing for any other line.
bool sectionName(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    std::size_t close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = trim(line.substr(1, close - 1));
    return true;
}

// Key and value of a "key=value" line; comments and lines without "=" have none.
bool keyValue(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') return false;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return true;
}

// Index range [begin, end) of the lines inside the first section of that name, begin
// pointing at the header; begin == lines.size() when there is none.
std::pair<std::size_t, std::size_t> findSection(const std::vector<Line>& lines, std::string_view section) {
    std::size_t begin = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (!sectionName(lines[i].text, name)) continue;
        if (begin != lines.size()) return {begin, i};
        if (sameName(name, trim(section))) begin = i;
    }
    return {begin, lines.size()};
}

std::size_t findKey(const std::vector<Line>& lines, std::pair<std::size_t, std::size_t> range, std::string_view key) {
    for (std::size_t i = range.first + 1; i < range.second; ++i) {
        std::string_view k, v;
        if (keyValue(lines[i].text, k, v) && sameName(k, trim(key))) return i;
    }
    return lines.size();
}

void checkName(std::string_view name, const char* what, std::string_view forbidden) {
    if (trim(name).empty()) throw SettingsError(std::string("settings: empty ") + what + " name");
    if (name.find_first_of(forbidden) != std::string_view::npos)
        throw SettingsError(std::string("settings: ") + what + " name \"" + std::string(name) +
                            "\" holds a character that a settings file cannot keep");
}

std::string readFile(const std::string& path, bool& found) {
    std::ifstream in(path, std::ios::binary);
    found = static_cast<bool>(in);
    if (!found) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string lookup(std::string_view content, std::string_view section, std::string_view key, const std::string& def) {
    if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
    auto lines = splitLines(content);
    auto range = findSection(lines, section);
    if (range.first == lines.size()) return def.substr(0, std::min(def.size(), kMaxValueLength));
    std::size_t at = findKey(lines, range, key);
    if (at == lines.size()) return def.substr(0, std::min(def.size(), kMaxValueLength));
    std::string_view k, value;
    keyValue(lines[at].text, k, value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, std::min(value.size(), kMaxValueLength)));
}

std::string update(std::string_view content, std::string_view section, std::string_view key, std::string_view value) {
    checkName(section, "section", "]\r\n");
    checkName(key, "key", "=[\r\n");
    if (trim(key).front() == ';') throw SettingsError("settings: a key name may not begin with \";\"");
    if (value.find_first_of("\r\n") != std::string_view::npos)
        throw SettingsError("settings: a value may not hold a line break");

    std::string out;
    if (content.starts_with("\xEF\xBB\xBF")) {
        out = content.substr(0, 3);
        content.remove_prefix(3);
    }
    auto lines = splitLines(content);
    // New lines take the file's own line end; a new file gets CR LF like its readers expect.
    std::string eol = "\r\n";
    for (const auto& l : lines)
        if (!l.end.empty()) { eol = std::string(l.end); break; }
    const std::string entry = std::string(trim(key)) + "=" + std::string(value);

    out.reserve(content.size() + entry.size() + section.size() + 8);
    auto emit = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            out += lines[i].text;
            out += lines[i].end;
        }
    };
    auto range = findSection(lines, section);
    if (range.first == lines.size()) {
        emit(0, lines.size());
        if (!lines.empty() && lines.back().end.empty()) out += eol;
        out += "[" + std::string(trim(section)) + "]" + eol + entry + eol;
        return out;
    }
    std::size_t at = findKey(lines, range, key);
    if (at != lines.size()) {
        emit(0, at);
        out += entry;
        out += lines[at].end.empty() ? std::string_view(eol) : lines[at].end;
        emit(at + 1, lines.size());
        return out;
    }
    // Append behind the section's last non-blank line, so blank separators stay below it.
    std::size_t insertAt = range.first + 1;
    for (std::size_t i = range.first + 1; i < range.second; ++i)
        if (!trim(lines[i].text).empty()) insertAt = i + 1;
    emit(0, insertAt);
    if (lines[insertAt - 1].end.empty()) out += eol;
    out += entry + eol;
    emit(insertAt, lines.size());
    return out;
}

std::string resolvePath(const std::string& file) {
    std::error_code ec;
    fs::path path(file);
    if (fs::exists(path, ec)) return file;
    fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string wanted = path.filename().string();
    std::string best;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // Of several variants take the first by name, so every caller agrees on one.
        if (sameName(name, wanted) && (best.empty() || name < best)) best = name;
    }
    if (best.empty()) return file;
    return (path.has_parent_path() ? (path.parent_path() / best) : fs::path(best)).string();
}

std::string readKey(const std::string& file, const std::string& section, const std::string& key, const std::string& def) {
    bool found = false;
    std::string content = readFile(resolvePath(file), found);
    if (!found) return def.substr(0, std::min(def.size(), kMaxValueLength));
    return lookup(content, section, key, def);
}

void writeKey(const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
    const std::string path = resolvePath(file);
    bool found = false;
    std::string content = readFile(path, found);
    std::string text = update(content, section, key, value);
    // Write beside the file and rename over it, so a failed write never leaves half a file.
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw SettingsError("settings: cannot write \"" + path + "\"");
        out << text;
        out.flush();
        if (!out) {
            std::error_code ec;
            fs::remove(temp, ec);
            throw SettingsError("settings: cannot write \"" + path + "\"");
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw SettingsError("settings: cannot replace \"" + path + "\": " + ec.message());
    }
}

}  // namespace parlix::settings
