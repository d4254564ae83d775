// Builds one outgoing link line within a byte limit (line end included). A value that
// would overflow the limit is cut at a byte boundary of its escaped text that does not
// split a caret code; fields that no longer fit are left out.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "link/wire.h"

namespace rdplugin {

// Line limits, line end included.
constexpr const char* kCr = "\r";
constexpr const char* kBlankCr = " \r";
constexpr size_t kEventLimit = 1023;
constexpr size_t kPluginCmdLimit = 255;
constexpr size_t kReplyLimit = 4999;

// Numbers the client holds as 64-bit ids go out as the signed 32-bit value of their low
// 32 bits.
inline std::string idText(uint64_t id)
{
    return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(id)));
}

// Raw values (unique identifiers, echoed items) keep "+", "/" and "=" as they are, but
// characters that would end the line or split it into items go out as their caret
// codes, and NUL bytes are dropped.
inline std::string rawSafe(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case ' ':
            out += "^s";
            break;
        case '\r':
            out += "^r";
            break;
        case '\n':
            out += "^n";
            break;
        case '\t':
            out += "^t";
            break;
        case '\v':
            out += "^v";
            break;
        case '\f':
            out += "^f";
            break;
        case '\0':
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

class LineBuilder {
public:
    // word: the command word as written (may carry a trailing blank, e.g. "STATUS ").
    // lineEnd: "\r", or " \r" for the lines that end with a blank.
    LineBuilder(std::string_view word, size_t limit, std::string_view lineEnd = "\r") : m_limit(limit), m_end(lineEnd)
    {
        m_line.reserve(128);
        m_line.append(word.substr(0, room()));
    }

    // " key=value" with the value as given (already escaped, or a raw/numeric value).
    LineBuilder& field(std::string_view key, std::string_view value)
    {
        if (m_full)
            return *this;
        const size_t head = 1 + key.size() + 1;
        const size_t space = room();
        if (space < head) {
            m_full = true;
            return *this;
        }
        std::string_view v = rdlink::cutEscaped(value, space - head);
        if (v.size() < value.size())
            m_full = true;
        m_line.push_back(' ');
        m_line.append(key);
        m_line.push_back('=');
        m_line.append(v);
        return *this;
    }
    LineBuilder& number(std::string_view key, long long value) { return field(key, std::to_string(value)); }
    LineBuilder& id(std::string_view key, uint64_t value) { return field(key, idText(value)); }

    // Appends text as it stands (e.g. echoed parameter text), cut to the room left.
    LineBuilder& text(std::string_view t)
    {
        if (m_full)
            return *this;
        std::string_view v = t.substr(0, room());
        if (v.size() < t.size())
            m_full = true;
        m_line.append(v);
        return *this;
    }

    // The finished line, line end included.
    std::string finish() const { return m_line + m_end; }

    bool truncated() const { return m_full; }

private:
    size_t room() const
    {
        const size_t used = m_line.size() + m_end.size();
        return used >= m_limit ? 0 : m_limit - used;
    }

    size_t m_limit;
    std::string m_end;
    std::string m_line;
    bool m_full = false;
};

} // namespace rdplugin
