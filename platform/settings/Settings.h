// Settings files in the style of the private-profile calls: "[Section]" headers and
// "key=value" lines, read and written by name without regard to case.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace parlix::settings {

// The programs read through a 750-character buffer; one place of it holds the
// terminator, so a value is cut to 749 characters.
inline constexpr std::size_t kBufferSize = 750;
inline constexpr std::size_t kMaxValueLength = kBufferSize - 1;

class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Value of `key` in `section` of the file, or `def` when the file, the section or the
// key is missing. Surrounding blanks and one pair of enclosing quotes are removed.
std::string readKey(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& def = "");

// Sets `key` in `section` of the file, creating the file and the section when missing.
// Every other line is kept as it stands. Throws SettingsError when the file cannot be
// written or a name or value would break the file's layout (line breaks, "=" in a key,
// "]" in a section).
void writeKey(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value);

// The file that a name refers to: the name itself when it exists, else a file in the
// same folder whose name differs only in case ("Setting.INI" and "Setting.ini" are one
// file), else the name unchanged.
std::string resolvePath(const std::string& file);

// The same operations on a file's text, for the file functions above and for tests.
std::string lookup(std::string_view content, std::string_view section, std::string_view key,
                   const std::string& def = "");
std::string update(std::string_view content, std::string_view section, std::string_view key,
                   std::string_view value);

}  // namespace parlix::settings
