// A tiny INI file reader and writer for the plugin's settings file (no Qt here).
#pragma once
#include <string>
#include <string_view>

namespace rdplugin {

// Reads one value: section and key match without regard to case, the value is the text
// after the first "=" with surrounding blanks removed. Returns fallback when the file,
// the section or the key is missing.
std::string iniRead(const std::string& path, std::string_view section, std::string_view key,
                    const std::string& fallback);

// Stores one value, keeping every other line of the file. The file is written to a
// temporary file first and then renamed over the old one. Returns false on failure.
bool iniWrite(const std::string& path, std::string_view section, std::string_view key,
              std::string_view value);

} // namespace rdplugin
