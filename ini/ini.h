// INI files read and written as the Windows profile functions (GetPrivateProfileString,
// WritePrivateProfileString) read and write them. Plain C++ (no Qt): Relaydeck (through
// app/config/inifile.h) and the plugin use this one reader and writer, so both sides
// always agree about a file that an operator edited by hand.
//
// The rules:
// - A file that starts with a UTF-16 byte order mark (FF FE, what Notepad saves as
//   "Unicode", or FE FF) is UTF-16 text and is written back as UTF-16 with its mark.
//   Every other file is 8-bit text, one byte per character (a UTF-8 byte order mark is
//   text like any other). Text is handled as UTF-16 code units; a byte of an 8-bit
//   file is the code unit of the same value, and a unit above 0xFF written into an
//   8-bit file becomes "?".
// - A line ends at CR LF, LF or a lone CR; each line keeps the end it had.
// - Only blanks and tabs are space: names and values lose them at both ends, nothing
//   else (a value may well end in the byte A0 or 85).
// - A line whose first non-blank character is ";" is a comment.
// - A line whose first non-blank character is "[" is a section header: the name runs to
//   the first "]", or to the end of the line when there is none; text after the "]" is
//   ignored. Lines before the first header belong to no section.
// - Every other non-blank line is a key: the name before the first "=", the value after
//   it. A line without "=" is a key without a value: reading it gives "missing", writing
//   the key puts the value into that line.
// - Section and key names match without regard to case (ASCII and Latin-1 letters);
//   the first match wins, so a second section of the same name is never read.
// - A value enclosed in a pair of equal quotes (" or ') loses them on reading.
// - Lists of sections and keys name every header and every key line that has a "=", in
//   file order, also names that repeat (in another case or not) and the empty name of a
//   line that starts with "=".
// - Erasing a section removes its header and its key lines; comments and blank lines stay.
// Numbers are not the business of this reader: callers read the value text.
#pragma once
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rdini {

using Text = std::u16string;
using TextView = std::u16string_view;

enum class Encoding { Bytes, Utf16LE, Utf16BE };

// The content of one INI file. Lines that no change touches stay byte for byte.
class Document {
public:
    static Document parse(std::string_view fileBytes);
    std::string bytes() const;
    Encoding encoding() const { return m_encoding; }

    // The value of the first key of that name in the first section of that name, with
    // quotes removed; nothing when the section or the key is missing or the key has no "=".
    std::optional<Text> value(TextView section, TextView key) const;
    bool hasSection(TextView section) const;

    // Writes into the first matching key line (a bare key line included), else adds the
    // key after the last non-blank line of the section, else adds the section at the end.
    // CR and LF in the names or the value would start new lines: they are stored as blanks.
    void setValue(TextView section, TextView key, TextView value);
    bool removeKey(TextView section, TextView key);
    bool removeSection(TextView section);

    std::vector<Text> sections() const;
    std::vector<Text> keys(TextView section) const;
    std::vector<std::pair<Text, Text>> entries(TextView section) const;

    // Whether a change above altered the content since parse.
    bool modified() const { return m_modified; }

private:
    struct Line {
        Text text; // without its line end
        Text end;  // CR LF, LF, CR, or empty for a last line without an end
    };
    // Line range [header, end) of the first section of that name.
    bool findSection(TextView section, size_t* header, size_t* end) const;
    std::optional<size_t> findKey(size_t header, size_t end, TextView key) const;
    Text newLineEnd() const;

    std::vector<Line> m_lines;
    Encoding m_encoding = Encoding::Bytes;
    std::string m_tail; // an odd last byte of a UTF-16 file, kept as it was
    bool m_modified = false;
};

// Files. Every access opens the file, acts and closes it again; all accesses to one
// path in this process are serialised by a per-path lock.
enum class FileState {
    Read,       // read in full
    Missing,    // no such file: reads as empty, a write creates it
    Unreadable, // exists but could not be read: reads as empty and is never written over
};

struct Loaded {
    Document document;
    FileState state = FileState::Missing;
    std::string error; // what went wrong, for Unreadable
};

Loaded load(const std::filesystem::path& path);
// The file under the path's lock.
Loaded read(const std::filesystem::path& path);

// Replaces the file with the bytes atomically: a temporary file beside it is written in
// full and flushed, then renamed over the old one. On failure the old file stays and no
// temporary is left.
bool writeAtomic(const std::filesystem::path& path, std::string_view bytes, std::string* error = nullptr);

// One read-modify-write under the path's lock; the file is written only when the change
// altered the document. False, with nothing written, when the file exists but cannot be
// read or when it cannot be written; error says why and names the file.
bool edit(const std::filesystem::path& path, const std::function<void(Document&)>& change,
          std::string* error = nullptr);

std::unique_lock<std::mutex> lockPath(const std::filesystem::path& path);

// Helpers for 8-bit callers: a byte string as code units of the same value, and back
// (units above 0xFF become "?").
Text fromLatin1(std::string_view bytes);
std::string toLatin1(TextView text);

} // namespace rdini
