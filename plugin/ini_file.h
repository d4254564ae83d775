// The plugin's settings file, read and written with the INI reader of ini/ini.h that
// Relaydeck uses too (no Qt here), so both read the same port from the same file.
#pragma once
#include <string>
#include <string_view>

namespace rdplugin {

// Reads one value as the Windows profile functions do: section and key match without
// regard to case, the first section and key of that name count, the value loses blanks
// and tabs at its ends and a pair of quotes around it. Returns fallback when the file,
// the section or the key is missing. Texts are 8-bit, one byte per character.
std::string iniRead(const std::string& path, std::string_view section, std::string_view key,
                    const std::string& fallback);

// Stores one value, keeping every other line of the file and its encoding. The file is
// written to a temporary file first and then renamed over the old one. Returns false on
// failure, also when the file exists but cannot be read (it is not written over then).
bool iniWrite(const std::string& path, std::string_view section, std::string_view key, std::string_view value);

} // namespace rdplugin
