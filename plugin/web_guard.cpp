#include "plugin/web_guard.h"

namespace rdplugin {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

bool isWebRequestLine(std::string_view line)
{
    if (startsWithNoCase(line, "host:"))
        return true;
    static constexpr std::string_view kMethods[] = {"GET",    "POST",  "PUT",     "HEAD", "OPTIONS",
                                                    "DELETE", "PATCH", "CONNECT", "TRACE"};
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos)
        return false;
    const std::string_view method = line.substr(0, blank);
    bool known = false;
    for (std::string_view m : kMethods)
        known = known || method == m;
    if (!known)
        return false;
    const std::string_view rest = line.substr(blank + 1);
    const size_t targetEnd = rest.find(' ');
    if (targetEnd == 0 || targetEnd == std::string_view::npos)
        return false;
    return rest.substr(targetEnd + 1).substr(0, 5) == "HTTP/";
}

} // namespace rdplugin
