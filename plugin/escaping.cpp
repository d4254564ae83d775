#include "plugin/escaping.h"

#include <boost/algorithm/string/replace.hpp>

namespace rdplugin {

namespace {

struct Row {
    const char* ch;
    const char* code;
};

constexpr Row kRows[] = {
    {" ", "^s"},  {"|", "^p"}, {"\r", "^r"}, {"\n", "^n"}, {"\t", "^t"}, {"\v", "^v"},
    {"\\", "^b"}, {"/", "^c"}, {"\f", "^f"}, {"\b", "^d"}, {"\a", "^a"}, {"=", "^g"},
};

} // namespace

std::string string_escape(std::string_view text)
{
    std::string out(text);
    for (const Row& r : kRows)
        boost::algorithm::replace_all(out, r.ch, r.code);
    return out;
}

std::string string_unescape(std::string_view text)
{
    std::string out(text);
    for (const Row& r : kRows)
        boost::algorithm::replace_all(out, r.code, r.ch);
    return out;
}

} // namespace rdplugin
