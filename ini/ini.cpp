#include "ini/ini.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rdini {

namespace {

constexpr char16_t kCR = u'\r';
constexpr char16_t kLF = u'\n';

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

TextView trim(TextView s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char16_t fold(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return char16_t(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) // Latin-1 capitals
        return char16_t(c + 32);
    return c;
}

bool sameName(TextView a, TextView b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

// What one line is, and its parts (views into the line's text).
struct Parsed {
    enum Kind { Blank, Comment, Section, Key } kind = Blank;
    TextView name;
    TextView value;
    bool hasValue = false; // a key line with "="
};

Parsed classify(TextView line)
{
    Parsed p;
    const TextView t = trim(line);
    if (t.empty())
        return p;
    if (t.front() == u';') {
        p.kind = Parsed::Comment;
        return p;
    }
    if (t.front() == u'[') {
        p.kind = Parsed::Section;
        const TextView inner = t.substr(1);
        p.name = trim(inner.substr(0, inner.find(u']')));
        return p;
    }
    p.kind = Parsed::Key;
    const size_t eq = t.find(u'=');
    if (eq == TextView::npos) {
        p.name = t;
        return p;
    }
    p.name = trim(t.substr(0, eq));
    p.value = trim(t.substr(eq + 1));
    p.hasValue = true;
    return p;
}

TextView unquoted(TextView v)
{
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

Text oneLine(TextView s)
{
    Text out(s);
    for (char16_t& c : out)
        if (c == kCR || c == kLF)
            c = u' ';
    return out;
}

} // namespace

Text fromLatin1(std::string_view bytes)
{
    Text out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back(char16_t(static_cast<unsigned char>(c)));
    return out;
}

std::string toLatin1(TextView text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text)
        out.push_back(c > 0xFF ? '?' : char(c));
    return out;
}

// ---------------------------------------------------------------------------------------

Document Document::parse(std::string_view bytes)
{
    Document doc;
    Text text;
    const auto u8 = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && ((u8(0) == 0xFF && u8(1) == 0xFE) || (u8(0) == 0xFE && u8(1) == 0xFF))) {
        const bool little = u8(0) == 0xFF;
        doc.m_encoding = little ? Encoding::Utf16LE : Encoding::Utf16BE;
        const size_t units = (bytes.size() - 2) / 2;
        text.reserve(units);
        for (size_t i = 0; i < units; ++i) {
            const unsigned a = u8(2 + 2 * i), b = u8(3 + 2 * i);
            text.push_back(char16_t(little ? (a | b << 8) : (a << 8 | b)));
        }
        if ((bytes.size() - 2) % 2)
            doc.m_tail = std::string(bytes.substr(bytes.size() - 1));
    } else {
        text = fromLatin1(bytes);
    }

    size_t start = 0;
    while (start < text.size()) {
        size_t i = start;
        while (i < text.size() && text[i] != kCR && text[i] != kLF)
            ++i;
        Line line{text.substr(start, i - start), Text()};
        if (i < text.size()) {
            const size_t endLen = (text[i] == kCR && i + 1 < text.size() && text[i + 1] == kLF) ? 2 : 1;
            line.end = text.substr(i, endLen);
            i += endLen;
        }
        doc.m_lines.push_back(std::move(line));
        start = i;
    }
    return doc;
}

std::string Document::bytes() const
{
    Text text;
    for (const Line& l : m_lines) {
        text += l.text;
        text += l.end;
    }
    if (m_encoding == Encoding::Bytes)
        return toLatin1(text);
    const bool little = m_encoding == Encoding::Utf16LE;
    std::string out;
    out.reserve(2 + 2 * text.size() + m_tail.size());
    out += little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t c : text) {
        const char lo = char(c & 0xFF), hi = char(c >> 8);
        out.push_back(little ? lo : hi);
        out.push_back(little ? hi : lo);
    }
    out += m_tail;
    return out;
}

Text Document::newLineEnd() const
{
    return u"\r\n";
}

bool Document::findSection(TextView section, size_t* header, size_t* end) const
{
    const TextView wanted = trim(section);
    bool found = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Parsed p = classify(m_lines[i].text);
        if (p.kind != Parsed::Section)
            continue;
        if (found) {
            *end = i;
            return true;
        }
        if (sameName(p.name, wanted)) {
            *header = i;
            found = true;
        }
    }
    if (found)
        *end = m_lines.size();
    return found;
}

std::optional<size_t> Document::findKey(size_t header, size_t end, TextView key) const
{
    const TextView wanted = trim(key);
    for (size_t i = header + 1; i < end; ++i) {
        const Parsed p = classify(m_lines[i].text);
        if (p.kind == Parsed::Key && sameName(p.name, wanted))
            return i;
    }
    return std::nullopt;
}

std::optional<Text> Document::value(TextView section, TextView key) const
{
    size_t h = 0, e = 0;
    if (!findSection(section, &h, &e))
        return std::nullopt;
    const std::optional<size_t> k = findKey(h, e, key);
    if (!k)
        return std::nullopt;
    const Parsed p = classify(m_lines[*k].text);
    if (!p.hasValue)
        return std::nullopt;
    return Text(unquoted(p.value));
}

bool Document::hasSection(TextView section) const
{
    size_t h = 0, e = 0;
    return findSection(section, &h, &e);
}

void Document::setValue(TextView section, TextView key, TextView value)
{
    const Text keyName = oneLine(trim(key));
    const Text tail = u"=" + oneLine(value);
    size_t h = 0, e = 0;
    if (!findSection(section, &h, &e)) {
        if (!m_lines.empty() && m_lines.back().end.empty())
            m_lines.back().end = newLineEnd();
        m_lines.push_back({u"[" + oneLine(trim(section)) + u"]", newLineEnd()});
        m_lines.push_back({keyName + tail, newLineEnd()});
        m_modified = true;
        return;
    }
    if (const std::optional<size_t> k = findKey(h, e, keyName)) {
        // The key keeps the spelling the file gives it; only the value changes.
        Text replaced = Text(classify(m_lines[*k].text).name) + tail;
        if (replaced != m_lines[*k].text) {
            m_lines[*k].text = std::move(replaced);
            m_modified = true;
        }
        return;
    }
    // After the last non-blank line of the section, so blank separators stay between sections.
    size_t at = e;
    while (at > h + 1 && trim(m_lines[at - 1].text).empty())
        --at;
    if (m_lines[at - 1].end.empty())
        m_lines[at - 1].end = newLineEnd();
    m_lines.insert(m_lines.begin() + std::ptrdiff_t(at), Line{keyName + tail, newLineEnd()});
    m_modified = true;
}

bool Document::removeKey(TextView section, TextView key)
{
    size_t h = 0, e = 0;
    if (!findSection(section, &h, &e))
        return false;
    const std::optional<size_t> k = findKey(h, e, key);
    if (!k)
        return false;
    m_lines.erase(m_lines.begin() + std::ptrdiff_t(*k));
    m_modified = true;
    return true;
}

bool Document::removeSection(TextView section)
{
    size_t h = 0, e = 0;
    if (!findSection(section, &h, &e))
        return false;
    std::vector<Line> kept;
    kept.reserve(m_lines.size());
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const bool inSection = i >= h && i < e;
        if (inSection && (i == h || classify(m_lines[i].text).kind == Parsed::Key))
            continue;
        kept.push_back(std::move(m_lines[i]));
    }
    m_lines = std::move(kept);
    m_modified = true;
    return true;
}

std::vector<Text> Document::sections() const
{
    std::vector<Text> out;
    for (const Line& l : m_lines) {
        const Parsed p = classify(l.text);
        if (p.kind == Parsed::Section)
            out.emplace_back(p.name);
    }
    return out;
}

std::vector<std::pair<Text, Text>> Document::entries(TextView section) const
{
    std::vector<std::pair<Text, Text>> out;
    size_t h = 0, e = 0;
    if (!findSection(section, &h, &e))
        return out;
    for (size_t i = h + 1; i < e; ++i) {
        const Parsed p = classify(m_lines[i].text);
        if (p.kind == Parsed::Key && p.hasValue)
            out.emplace_back(Text(p.name), Text(unquoted(p.value)));
    }
    return out;
}

std::vector<Text> Document::keys(TextView section) const
{
    std::vector<Text> out;
    for (auto& [name, value] : entries(section))
        out.push_back(std::move(name));
    return out;
}

// ---------------------------------------------------------------------------------------

namespace {

std::string describe(const std::filesystem::path& path, const std::string& what, int err)
{
    return what + " " + path.string() + ": " + std::strerror(err);
}

#ifdef _WIN32
FILE* openForReading(const std::filesystem::path& path)
{
    return _wfopen(path.c_str(), L"rb");
}
#else
FILE* openForReading(const std::filesystem::path& path)
{
    return std::fopen(path.c_str(), "rb");
}
#endif

} // namespace

Loaded load(const std::filesystem::path& path)
{
    Loaded out;
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (st.type() == std::filesystem::file_type::not_found) {
        out.state = FileState::Missing;
        return out;
    }
    out.state = FileState::Unreadable;
    if (ec) {
        out.error = "cannot read " + path.string() + ": " + ec.message();
        return out;
    }
    if (st.type() == std::filesystem::file_type::directory) {
        out.error = describe(path, "cannot read", EISDIR);
        return out;
    }
    FILE* f = openForReading(path);
    if (!f) {
        out.error = describe(path, "cannot open", errno);
        return out;
    }
    std::string bytes;
    char buf[8192];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (failed) {
        out.error = describe(path, "cannot read", err);
        return out;
    }
    out.document = Document::parse(bytes);
    out.state = FileState::Read;
    return out;
}

Loaded read(const std::filesystem::path& path)
{
    auto lock = lockPath(path);
    return load(path);
}

namespace {

std::filesystem::path temporaryBeside(const std::filesystem::path& path)
{
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(pid) + "-" + std::to_string(counter++);
    return tmp;
}

#ifdef _WIN32
bool writeNew(const std::filesystem::path& tmp, std::string_view bytes, const std::filesystem::path&, int* err)
{
    const int fd = _wopen(tmp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const int w = _write(fd, bytes.data() + done, unsigned(std::min<size_t>(bytes.size() - done, 1u << 20)));
        if (w <= 0) {
            *err = errno;
            ok = false;
        } else {
            done += size_t(w);
        }
    }
    if (ok && _commit(fd) != 0) {
        *err = errno;
        ok = false;
    }
    if (_close(fd) != 0 && ok) {
        *err = errno;
        ok = false;
    }
    return ok;
}

bool replaceFile(const std::filesystem::path& tmp, const std::filesystem::path& path, int* err)
{
    if (MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *err = EACCES;
    return false;
}
#else
bool writeNew(const std::filesystem::path& tmp, std::string_view bytes, const std::filesystem::path& path, int* err)
{
    // The new file gets the permissions of the one it replaces.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0666;
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            *err = w < 0 ? errno : ENOSPC;
            ok = false;
        } else {
            done += size_t(w);
        }
    }
    if (ok && ::fsync(fd) != 0) {
        *err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *err = errno;
        ok = false;
    }
    return ok;
}

bool replaceFile(const std::filesystem::path& tmp, const std::filesystem::path& path, int* err)
{
    if (::rename(tmp.c_str(), path.c_str()) == 0)
        return true;
    *err = errno;
    return false;
}
#endif

} // namespace

bool writeAtomic(const std::filesystem::path& path, std::string_view bytes, std::string* error)
{
    const std::filesystem::path tmp = temporaryBeside(path);
    int err = 0;
    if (!writeNew(tmp, bytes, path, &err) || !replaceFile(tmp, path, &err)) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        if (error)
            *error = describe(path, "cannot write", err);
        return false;
    }
    return true;
}

bool edit(const std::filesystem::path& path, const std::function<void(Document&)>& change, std::string* error)
{
    auto lock = lockPath(path);
    Loaded file = load(path);
    if (file.state == FileState::Unreadable) {
        // Whatever the file holds would be lost: leave it alone.
        if (error)
            *error = file.error;
        return false;
    }
    change(file.document);
    if (!file.document.modified())
        return true;
    return writeAtomic(path, file.document.bytes(), error);
}

std::unique_lock<std::mutex> lockPath(const std::filesystem::path& path)
{
    static std::mutex registryMutex;
    static std::map<std::filesystem::path, std::unique_ptr<std::mutex>> locks;
    std::error_code ec;
    std::filesystem::path key = std::filesystem::absolute(path, ec);
    if (ec)
        key = path;
    key = key.lexically_normal();
    std::mutex* m = nullptr;
    {
        std::lock_guard<std::mutex> g(registryMutex);
        auto& slot = locks[key];
        if (!slot)
            slot = std::make_unique<std::mutex>();
        m = slot.get(); // entries are never removed, so the mutex outlives this call
    }
    return std::unique_lock<std::mutex>(*m);
}

} // namespace rdini
