#include "link/wire.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace rdlink {

namespace {

// The escape table: character and the letter of its caret code.
constexpr struct {
    char ch;
    char code;
} kTable[] = {
    {' ', 's'},  {'|', 'p'}, {'\r', 'r'}, {'\n', 'n'}, {'\t', 't'}, {'\v', 'v'},
    {'\\', 'b'}, {'/', 'c'}, {'\f', 'f'}, {'\b', 'd'}, {'\a', 'a'}, {'=', 'g'},
};

// Lookup tables built once: character -> code letter, code letter -> character.
struct Maps {
    char toCode[256] = {};
    char fromCode[256] = {};
    bool hasFrom[256] = {};
    constexpr Maps()
    {
        for (const auto& e : kTable) {
            toCode[static_cast<unsigned char>(e.ch)] = e.code;
            fromCode[static_cast<unsigned char>(e.code)] = e.ch;
            hasFrom[static_cast<unsigned char>(e.code)] = true;
        }
    }
};
constexpr Maps kMaps;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

// Replacing row by row in table order gives the same result as this single pass: no
// code contains a character of the table, so no row can see the output of another.
std::string escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) {
        char code = kMaps.toCode[static_cast<unsigned char>(c)];
        if (code) {
            out.push_back('^');
            out.push_back(code);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Likewise one pass equals the row-by-row replacement: codes never overlap each other
// and no replaced character is a caret or a code letter.
std::string unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '^' && i + 1 < text.size() && kMaps.hasFrom[static_cast<unsigned char>(text[i + 1])]) {
            out.push_back(kMaps.fromCode[static_cast<unsigned char>(text[i + 1])]);
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

Items Items::parse(std::string_view paramText)
{
    Items items;
    size_t pos = 0;
    for (int token = 0; token < kMaxTokens; ++token) {
        while (pos < paramText.size() && isSpace(paramText[pos]))
            ++pos;
        if (pos >= paramText.size())
            break;
        size_t end = pos;
        while (end < paramText.size() && !isSpace(paramText[end]))
            ++end;
        std::string_view tok = paramText.substr(pos, end - pos);
        pos = end;
        if (tok.size() <= 3)
            continue;
        size_t eq = tok.find('=');
        std::string_view key = eq == std::string_view::npos ? tok : tok.substr(0, eq);
        std::string_view value = eq == std::string_view::npos ? tok : tok.substr(eq + 1);
        bool replaced = false;
        for (auto& [k, v] : items.m_items) {
            if (k == key) {
                v.assign(value);
                replaced = true;
                break;
            }
        }
        if (!replaced)
            items.m_items.emplace_back(std::string(key), std::string(value));
    }
    return items;
}

const std::pair<std::string, std::string>* Items::find(std::string_view key) const
{
    for (const auto& item : m_items)
        if (item.first == key)
            return &item;
    return nullptr;
}

std::string Items::get(std::string_view key) const
{
    const auto* item = find(key);
    return item ? item->second : std::string();
}

bool Items::has(std::string_view key) const
{
    return find(key) != nullptr;
}

long long Items::getInt(std::string_view key) const
{
    const auto* item = find(key);
    return item ? readNumber(item->second) : 0;
}

double Items::getFloat(std::string_view key) const
{
    const auto* item = find(key);
    return item ? readFloat(item->second) : 0.0;
}

long long readNumber(std::string_view value)
{
    size_t i = 0;
    while (i < value.size() && isSpace(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    // Accumulate negatively so LLONG_MIN is reachable; saturate like strtoll.
    long long acc = 0;
    bool overflow = false;
    for (; i < value.size() && isDigit(value[i]); ++i) {
        int d = value[i] - '0';
        if (acc < (LLONG_MIN + d) / 10) {
            overflow = true;
            continue;
        }
        acc = acc * 10 - d;
    }
    if (overflow)
        return negative ? LLONG_MIN : LLONG_MAX;
    if (!negative)
        return acc == LLONG_MIN ? LLONG_MAX : -acc;
    return acc;
}

double readFloat(std::string_view value)
{
    size_t i = 0;
    while (i < value.size() && isSpace(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    size_t start = i;
    size_t digits = 0;
    while (i < value.size() && isDigit(value[i]))
        ++i, ++digits;
    if (i < value.size() && value[i] == '.') {
        ++i;
        while (i < value.size() && isDigit(value[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    size_t end = i;
    // An exponent counts only when digits follow it.
    if (i < value.size() && (value[i] == 'e' || value[i] == 'E')) {
        size_t j = i + 1;
        if (j < value.size() && (value[j] == '+' || value[j] == '-'))
            ++j;
        if (j < value.size() && isDigit(value[j])) {
            while (j < value.size() && isDigit(value[j]))
                ++j;
            end = j;
        }
    }
    double result = 0.0;
    auto [ptr, ec] = std::from_chars(value.data() + start, value.data() + end, result, std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Beyond the range of a double: estimate the decimal magnitude to tell overflow
        // (infinity) from underflow (zero).
        long long magnitude = 0;
        size_t k = start;
        while (k < end && value[k] == '0')
            ++k;
        if (k < end && isDigit(value[k])) {
            while (k < end && isDigit(value[k]))
                ++k, ++magnitude;
        } else if (k < end && value[k] == '.') {
            ++k;
            while (k < end && value[k] == '0')
                ++k, --magnitude;
        }
        size_t e = value.substr(0, end).find_first_of("eE", start);
        if (e != std::string_view::npos)
            magnitude += readNumber(value.substr(e + 1, end - e - 1));
        result = magnitude > 0 ? HUGE_VAL : 0.0;
    } else if (ec != std::errc()) {
        result = 0.0;
    }
    return negative ? -result : result;
}

SplitLine splitLine(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    SplitLine s;
    size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
        s.command = line;
        return s;
    }
    s.command = line.substr(0, blank);
    s.params = line.substr(blank + 1);
    s.hasBlank = true;
    return s;
}

std::string_view cutEscaped(std::string_view escaped, size_t maxBytes)
{
    if (escaped.size() <= maxBytes)
        return escaped;
    size_t n = maxBytes;
    // A caret that would be parted from its code letter goes too (a caret followed by
    // anything else is a literal caret and may stay).
    if (n > 0 && escaped[n - 1] == '^' && kMaps.hasFrom[static_cast<unsigned char>(escaped[n])])
        --n;
    // Do not leave half a UTF-8 character: step back over continuation bytes to the
    // lead byte when the cut falls inside a sequence.
    size_t k = n;
    int back = 0;
    while (k > 0 && back < 3 && (static_cast<unsigned char>(escaped[k]) & 0xC0) == 0x80) {
        --k;
        ++back;
    }
    if (back > 0 && (static_cast<unsigned char>(escaped[k]) & 0xC0) == 0xC0)
        n = k;
    return escaped.substr(0, n);
}

std::string LineAssembler::takePending()
{
    std::string rest;
    rest.swap(m_pending);
    m_discarding = false;
    m_discarded = 0;
    return rest;
}

void LineAssembler::reset()
{
    m_pending.clear();
    m_discarding = false;
    m_discarded = 0;
}

} // namespace rdlink
