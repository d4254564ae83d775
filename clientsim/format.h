// Text form of the arguments of client calls and plugin callbacks, for the trace.
//   texts          "quoted" with \\ \" \r \n \t and \xNN for other control bytes; NULL
//   id lists       [1,2,3] (const anyID* / const uint64*, read up to the 0 entry)
//   text lists     ["a","b"] (const char**, read up to the NULL entry)
//   other pointers <in> (const) or <out>; NULL when null
//   numbers        decimal (floats with %g)
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

namespace clientsim {

inline std::string quoteText(const char* s)
{
    if (!s)
        return "NULL";
    std::string out = "\"";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        switch (*p) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (*p < 0x20 || *p == 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", *p);
                out += buf;
            } else {
                out += static_cast<char>(*p);
            }
        }
    }
    out += '"';
    return out;
}

template <class T>
void formatArg(std::string& out, T v)
{
    if constexpr (std::is_same_v<T, const char*>) {
        out += quoteText(v);
    } else if constexpr (std::is_same_v<T, const std::uint16_t*> || std::is_same_v<T, const std::uint64_t*>) {
        if (!v) {
            out += "NULL";
            return;
        }
        out += '[';
        for (int i = 0; v[i] != 0 && i < 4096; ++i) {
            if (i)
                out += ',';
            out += std::to_string(v[i]);
        }
        out += ']';
    } else if constexpr (std::is_same_v<T, const char**>) {
        if (!v) {
            out += "NULL";
            return;
        }
        out += '[';
        for (int i = 0; v[i] != nullptr && i < 4096; ++i) {
            if (i)
                out += ',';
            out += quoteText(v[i]);
        }
        out += ']';
    } else if constexpr (std::is_pointer_v<T>) {
        if (!v)
            out += "NULL";
        else
            out += std::is_const_v<std::remove_pointer_t<T>> ? "<in>" : "<out>";
    } else if constexpr (std::is_enum_v<T>) {
        out += std::to_string(static_cast<long long>(v));
    } else if constexpr (std::is_floating_point_v<T>) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
        out += buf;
    } else {
        static_assert(std::is_integral_v<T>, "unsupported argument type");
        out += std::to_string(v);
    }
}

template <class... A>
std::string formatArgs(A... a)
{
    std::string out;
    if constexpr (sizeof...(A) > 0) {
        bool first = true;
        auto one = [&](auto v) {
            if (!first)
                out += ", ";
            first = false;
            formatArg(out, v);
        };
        (one(a), ...);
    }
    return out;
}

} // namespace clientsim
