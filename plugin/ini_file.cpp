#include "plugin/ini_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace rdplugin {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The section name of a "[name]" line, or false when the line is no section header.
bool sectionOf(std::string_view line, std::string_view& name)
{
    line = trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return false;
    name = trim(line.substr(1, line.size() - 2));
    return true;
}

bool keyOf(std::string_view line, std::string_view& key, std::string_view& value)
{
    std::string_view t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = trim(t.substr(0, eq));
    value = trim(t.substr(eq + 1));
    return true;
}

std::vector<std::string> readLines(const std::string& path, bool& exists)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    exists = bool(in);
    std::string line;
    while (in && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace

std::string iniRead(const std::string& path, std::string_view section, std::string_view key,
                    const std::string& fallback)
{
    bool exists = false;
    std::vector<std::string> lines = readLines(path, exists);
    bool inSection = false;
    for (const std::string& line : lines) {
        std::string_view name, k, v;
        if (sectionOf(line, name)) {
            inSection = equalNoCase(name, section);
        } else if (inSection && keyOf(line, k, v) && equalNoCase(k, key)) {
            return std::string(v);
        }
    }
    return fallback;
}

bool iniWrite(const std::string& path, std::string_view section, std::string_view key,
              std::string_view value)
{
    bool exists = false;
    std::vector<std::string> lines = readLines(path, exists);
    const std::string entry = std::string(key) + "=" + std::string(value);
    bool inSection = false, done = false;
    size_t sectionEnd = std::string::npos; // insertion point after the section's last line
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string_view name, k, v;
        if (sectionOf(lines[i], name)) {
            if (inSection)
                break;
            inSection = equalNoCase(name, section);
            if (inSection)
                sectionEnd = i + 1;
        } else if (inSection) {
            if (keyOf(lines[i], k, v) && equalNoCase(k, key)) {
                lines[i] = entry;
                done = true;
            } else if (!trim(lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    if (!done) {
        if (sectionEnd == std::string::npos) {
            if (!lines.empty() && !trim(lines.back()).empty())
                lines.emplace_back();
            lines.push_back("[" + std::string(section) + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + long(sectionEnd), entry);
        }
    }
    std::ostringstream text;
    for (const std::string& l : lines)
        text << l << "\r\n";
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out << text.str();
        out.flush();
        if (!out) {
            std::remove(tmp.c_str());
            return false;
        }
    }
#ifdef _WIN32
    // rename() of the Windows C library refuses an existing target.
    const bool replaced = MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    const bool replaced = std::rename(tmp.c_str(), path.c_str()) == 0;
#endif
    if (!replaced) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace rdplugin
