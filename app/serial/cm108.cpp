#include "app/serial/cm108.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace cm108 {

namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

Chip make(const char* name, std::vector<int> gpios, int first = 1)
{
    return Chip{name, std::move(gpios), first};
}

const std::vector<int> k4{1, 2, 3, 4};
const std::vector<int> kNo2{1, 3, 4};
const std::vector<int> k8{1, 2, 3, 4, 5, 6, 7, 8};

std::string readLine(const fs::path& p)
{
    std::ifstream in(p);
    std::string s;
    std::getline(in, s);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    return s;
}

uint16_t readHex(const fs::path& p)
{
    try {
        return static_cast<uint16_t>(std::stoul(readLine(p), nullptr, 16));
    } catch (...) {
        return 0;
    }
}

} // namespace

bool Chip::has(int gpio) const
{
    return std::find(gpios.begin(), gpios.end(), gpio) != gpios.end();
}

std::string Chip::pinList() const
{
    std::string s;
    for (int g : gpios)
        s += (s.empty() ? "GPIO" : ", GPIO") + std::to_string(g);
    return s;
}

std::optional<Chip> chipForId(uint16_t vid, uint16_t pid)
{
    if (vid == 0x0d8c) {
        switch (pid) {
        case 0x0012:
            return make("CM108B", kNo2);
        case 0x0013:
            return make("CM119B", k8);
        case 0x0139:
        case 0x013c:
            return make("CM108AH", kNo2);
        case 0x013a:
            return make("CM119A", k8);
        case 0x000e:
            return make("CM109", k8);
        case 0x0008:
            return make("CM119", k8);
        case 0x0014: // HS-100B and CM6533: no GPIO for a radio
        case 0x0022:
            return std::nullopt;
        default:
            // The strap-selected ids 0x0009..0x000f and boards with their own ids: the
            // four pins every CM108 has (the `chip` key names another chip).
            return make("CM108", k4);
        }
    }
    if (vid == 0x0c76 && pid == 0x1605)
        return make("SSS1621", {0, 1}, 0);
    if (vid == 0x0c76 && (pid == 0x1607 || pid == 0x160b))
        return make("SSS1623", {0, 1}, 0);
    if (vid == 0x1209 && pid == 0x7388)
        return make("AIOC", k4);
    return std::nullopt;
}

std::optional<Chip> chipByName(const std::string& name)
{
    const std::string n = upper(name);
    struct {
        const char* name;
        uint16_t vid, pid;
    } const table[] = {{"CM108", 0x0d8c, 0x000c},  {"CM108AH", 0x0d8c, 0x0139}, {"CM108B", 0x0d8c, 0x0012},
                       {"CM109", 0x0d8c, 0x000e},  {"CM119", 0x0d8c, 0x0008},   {"CM119A", 0x0d8c, 0x013a},
                       {"CM119B", 0x0d8c, 0x0013}, {"SSS1621", 0x0c76, 0x1605}, {"SSS1623", 0x0c76, 0x1607},
                       {"AIOC", 0x1209, 0x7388}};
    for (const auto& e : table)
        if (n == e.name)
            return chipForId(e.vid, e.pid);
    return std::nullopt;
}

namespace {

std::string parsePin(const PortOptions& options, const char* key, const char* fallback, bool output, const Chip& chip,
                     Pin& out)
{
    auto it = options.find(key);
    const std::string v = upper(it == options.end() ? fallback : it->second);
    out = {};
    if (v.empty() || v == "NONE" || v == "-")
        return {};
    const std::string line = upper(key);
    if (v.rfind("GPIO", 0) == 0 && v.size() > 4 && std::all_of(v.begin() + 4, v.end(), ::isdigit)) {
        const int g = std::stoi(v.substr(4));
        if (!chip.has(g))
            return chip.name + " has no GPIO" + std::to_string(g) + " (its pins: " + chip.pinList() + ")";
        out = {Pin::Kind::Gpio, g};
        return {};
    }
    if (!output && (v == "VOLDN" || v == "VOLDOWN"))
        out.kind = Pin::Kind::VolDown;
    else if (!output && v == "VOLUP")
        out.kind = Pin::Kind::VolUp;
    else if (!output && v == "HOOK" && chip.name == "CM108AH")
        out.kind = Pin::Kind::Hook;
    else if (output)
        return line + "=" + v + ": an output needs a GPIO pin of the " + chip.name + " (" + chip.pinList() + ")";
    else
        return line + "=" + v + ": not an input of the " + chip.name + " (" + chip.pinList() + ", VOLUP, VOLDN" +
               (chip.name == "CM108AH" ? ", HOOK)" : ")");
    return {};
}

} // namespace

std::string parseMapping(const PortOptions& options, const Chip& chip, Mapping& m)
{
    struct {
        const char* key;
        const char* fallback;
        bool output;
        Pin* pin;
    } const lines[] = {{"rts", "GPIO3", true, &m.rts},  {"dtr", "", true, &m.dtr},  {"break", "", true, &m.brk},
                       {"cts", "VOLDN", false, &m.cts}, {"dsr", "", false, &m.dsr}, {"ring", "", false, &m.ring},
                       {"dcd", "", false, &m.dcd}};
    // The default PTT pin on a chip without it (the SSS parts have no GPIO3) is refused
    // like a configured one: the operator has to choose.
    for (const auto& l : lines)
        if (std::string err = parsePin(options, l.key, l.fallback, l.output, chip, *l.pin); !err.empty())
            return err;
    // One pin is either an output or an input, and drives one line.
    uint8_t outs = 0, ins = 0;
    for (const auto& l : lines) {
        if (l.pin->kind != Pin::Kind::Gpio)
            continue;
        const uint8_t b = static_cast<uint8_t>(chip.bit(l.pin->gpio));
        if (l.output && (outs & b))
            return "GPIO" + std::to_string(l.pin->gpio) + " drives two outputs";
        (l.output ? outs : ins) |= b;
    }
    if (outs & ins)
        return "a GPIO pin cannot be an output and an input at once";
    return {};
}

std::array<uint8_t, 5> outputReport(const Mapping& m, const Chip& chip, bool rts, bool dtr, bool brk)
{
    uint8_t data = 0, dir = 0;
    const std::pair<const Pin*, bool> outs[] = {{&m.rts, rts}, {&m.dtr, dtr}, {&m.brk, brk}};
    for (const auto& [pin, on] : outs) {
        if (pin->kind != Pin::Kind::Gpio)
            continue;
        const uint8_t b = static_cast<uint8_t>(chip.bit(pin->gpio));
        dir |= b;
        if (on)
            data |= b;
    }
    // Report number 0, mode byte 0 (GPIO mode; its top bit would address the EEPROM).
    return {0x00, 0x00, data, dir, 0x00};
}

void InputState::apply(const uint8_t* report, size_t len)
{
    if (len < 1)
        return;
    buttons = report[0];
    if (len >= 2 && (report[0] & 0xC0) == 0)
        gpios = report[1];
}

ModemInputs decodeInputs(const Mapping& m, const Chip& chip, const InputState& s)
{
    auto level = [&](const Pin& p) {
        switch (p.kind) {
        case Pin::Kind::Gpio:
            return (s.gpios & chip.bit(p.gpio)) != 0;
        case Pin::Kind::VolUp:
            return (s.buttons & 0x01) != 0;
        case Pin::Kind::VolDown:
            return (s.buttons & 0x02) != 0;
        case Pin::Kind::Hook:
            return (s.buttons & 0x10) != 0;
        case Pin::Kind::None:
            break;
        }
        return false;
    };
    ModemInputs in;
    in.cts = level(m.cts);
    in.dsr = level(m.dsr);
    in.ring = level(m.ring);
    in.dcd = level(m.dcd);
    return in;
}

// ---------------------------------------------------------------------------------------

namespace {

// The USB device directory above a sysfs device link, or "" when there is none.
fs::path usbDeviceOf(const fs::path& link, int up)
{
    std::error_code ec;
    fs::path p = fs::canonical(link, ec);
    if (ec)
        return {};
    for (int i = 0; i < up; ++i)
        p = p.parent_path();
    return fs::exists(p / "idVendor", ec) ? p : fs::path();
}

std::string hidName(const fs::path& hidDevice)
{
    std::ifstream in(hidDevice / "uevent");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("HID_NAME=", 0) == 0)
            return line.substr(9);
    return {};
}

std::string inputEventOf(const fs::path& hidDevice)
{
    std::error_code ec;
    for (const auto& input : fs::directory_iterator(hidDevice / "input", ec))
        for (const auto& node : fs::directory_iterator(input.path(), ec))
            if (node.path().filename().string().rfind("event", 0) == 0)
                return node.path().filename().string();
    return {};
}

std::optional<Card> cardAt(const fs::path& sys, const std::string& hidraw)
{
    const fs::path node = sys / "class/hidraw" / hidraw;
    const fs::path usb = usbDeviceOf(node / "device", 2);
    if (usb.empty())
        return std::nullopt;
    Card c;
    c.vid = readHex(usb / "idVendor");
    c.pid = readHex(usb / "idProduct");
    if (!chipForId(c.vid, c.pid))
        return std::nullopt;
    c.usbPath = usb.filename().string();
    c.hidraw = hidraw;
    std::error_code ec;
    const fs::path hid = fs::canonical(node / "device", ec);
    if (!ec) {
        c.name = hidName(hid);
        c.inputEvent = inputEventOf(hid);
    }
    for (const auto& card : fs::directory_iterator(sys / "class/sound", ec)) {
        const std::string n = card.path().filename().string();
        if (n.rfind("card", 0) != 0)
            continue;
        if (usbDeviceOf(card.path() / "device", 1) == usb) {
            c.cardId = readLine(card.path() / "id");
            break;
        }
    }
    return c;
}

} // namespace

std::vector<Card> findCards(const std::string& sysRoot)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fs::path(sysRoot) / "class/hidraw", ec))
        names.push_back(e.path().filename().string());
    // hidraw2 before hidraw10.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    std::vector<Card> cards;
    for (const std::string& n : names)
        if (auto c = cardAt(sysRoot, n))
            cards.push_back(*c);
    return cards;
}

std::optional<Card> resolve(const std::string& target, const std::string& sysRoot)
{
    const std::vector<Card> cards = findCards(sysRoot);
    if (target.empty() || upper(target) == "AUTO")
        return cards.empty() ? std::nullopt : std::optional<Card>(cards.front());
    for (const Card& c : cards)
        if (c.usbPath == target)
            return c;
    for (const Card& c : cards)
        if (!c.cardId.empty() && c.cardId == target)
            return c;
    return std::nullopt;
}

std::optional<Card> cardOfHidraw(const std::string& hidraw, const std::string& sysRoot)
{
    return cardAt(sysRoot, hidraw);
}

bool udevRuleInstalled(const std::string& root)
{
    std::error_code ec;
    for (const char* dir : {"etc/udev/rules.d", "usr/lib/udev/rules.d", "lib/udev/rules.d"})
        if (fs::exists(fs::path(root) / dir / kUdevRule, ec))
            return true;
    return false;
}

} // namespace cm108
