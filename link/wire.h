// The text format of the link between Relaydeck and the TeamSpeak plugin: escaping of
// values, the item reader of the plugin side, line splitting and cutting, and a line
// assembler for the byte stream. Plain C++ (no Qt): the plugin links this too.
#pragma once
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rdlink {

// Replaces blank, "|", CR, LF, TAB, VT, "\", "/", FF, BS, BEL and "=" by their caret
// codes ^s ^p ^r ^n ^t ^v ^b ^c ^f ^d ^a ^g. The caret itself is not escaped.
std::string escape(std::string_view text);
// The reverse: every caret code becomes its character. A text that already held a code
// does not survive a round trip ("50^s" unescapes to "50 ").
std::string unescape(std::string_view text);

// The items of a command line as the plugin reads them: the first 20 whitespace tokens,
// tokens of 3 characters or fewer skipped (they still count), a token without "=" is
// both key and value, a later key wins. Values are kept raw (not unescaped).
class Items {
public:
    static constexpr int kMaxTokens = 20;

    static Items parse(std::string_view paramText);
    // The raw value, or "" when the key is absent. Keys match exactly.
    std::string get(std::string_view key) const;
    bool has(std::string_view key) const;
    // The value read as a number from its start (see readNumber); 0 when absent.
    long long getInt(std::string_view key) const;
    // The value read as a decimal number with a point; 0 when absent or not a number.
    double getFloat(std::string_view key) const;

    size_t size() const { return m_items.size(); }
    // Items in the order their keys first appeared.
    const std::vector<std::pair<std::string, std::string>>& entries() const { return m_items; }

private:
    const std::pair<std::string, std::string>* find(std::string_view key) const;
    std::vector<std::pair<std::string, std::string>> m_items;
};

// Optional blanks, an optional sign, decimal digits up to the first other character;
// no digits give 0. Values beyond the 64-bit range saturate.
long long readNumber(std::string_view value);
// Optional blanks, sign, digits with an optional point and fraction and an optional
// exponent; independent of the C locale. 0 when no number starts the text.
double readFloat(std::string_view value);

// A line's command word (text before the first blank) and its parameter text (the rest,
// without a trailing CR/LF). hasBlank is false when the line holds no blank: such a line
// carries no command for the plugin.
struct SplitLine {
    std::string_view command;
    std::string_view params;
    bool hasBlank = false;
};
SplitLine splitLine(std::string_view line);

// Cuts an escaped value to at most maxBytes without splitting a caret code and without
// splitting a UTF-8 character.
std::string_view cutEscaped(std::string_view escaped, size_t maxBytes);

// Builds lines out of arbitrary byte chunks. CR and LF both end a line, empty lines are
// skipped and an unterminated rest is carried over to the next chunk. With maxLine > 0 a
// line longer than maxLine bytes (line end not counted) is dropped up to its line end;
// onOverlong(size) is told its length and the stream goes on with the next line.
class LineAssembler {
public:
    explicit LineAssembler(size_t maxLine = 0) : m_maxLine(maxLine) {}

    template <class F>
    void feed(std::string_view chunk, F&& onLine)
    {
        feed(chunk, onLine, [](size_t) {});
    }

    template <class F, class G>
    void feed(std::string_view chunk, F&& onLine, G&& onOverlong)
    {
        size_t pos = 0;
        while (pos < chunk.size()) {
            size_t end = chunk.find_first_of("\r\n", pos);
            std::string_view piece =
                chunk.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
            if (m_discarding) {
                m_discarded += piece.size();
            } else if (m_maxLine > 0 && m_pending.size() + piece.size() > m_maxLine) {
                m_discarded = m_pending.size() + piece.size();
                m_pending.clear();
                m_discarding = true;
            } else if (end != std::string_view::npos && m_pending.empty()) {
                // The common case: a whole line inside one chunk, handed out without a copy.
                if (!piece.empty())
                    onLine(piece);
            } else {
                m_pending.append(piece);
            }
            if (end == std::string_view::npos)
                break;
            // A line end: hand out what was gathered, or report the dropped line.
            if (m_discarding) {
                onOverlong(m_discarded);
                m_discarding = false;
                m_discarded = 0;
            } else if (!m_pending.empty()) {
                std::string line;
                line.swap(m_pending);
                onLine(std::string_view(line));
            }
            pos = end + 1;
        }
    }

    // The unterminated rest (e.g. when the connection ends); the assembler starts afresh.
    std::string takePending();
    bool hasPending() const { return !m_pending.empty(); }
    void reset();

private:
    size_t m_maxLine;
    std::string m_pending;
    bool m_discarding = false;
    size_t m_discarded = 0;
};

} // namespace rdlink
