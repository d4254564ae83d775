// GPIO pins of CM108-family USB sound chips (C-Media CM108/CM119 and relatives, the
// SSS1621/1623 clones, cables that emulate a CM108), as radio interfaces use them: PTT
// on a GPIO output, squelch on a GPIO input or on the volume-down button line.
//
// The chip is driven through its hidraw node: every write is the 4-byte output report
// (mode, GPIO data, GPIO direction, 0) behind the report number 0, and it always carries
// every pin's data and direction (the registers have no per-pin mask). Input reports are
// 4 bytes: button bits in byte 0, GPIO input levels in byte 1 when byte 0's top bits are
// 00.
//
// Device texts: "cm108:auto" (the first such card), "cm108:1-1.2" (the USB port path),
// "cm108:RadioA" (an ALSA card id) or "cm108:/dev/radio/RadioA-gpio" (a node, e.g. a udev
// link). The hidraw node is looked up through sysfs at every open, never stored.
#pragma once

#include "app/serial/serialbackend.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cm108 {

struct Chip {
    std::string name;       // "CM108B"
    std::vector<int> gpios; // pin numbers as the data sheet names them
    int firstGpio = 1;      // C-Media counts from 1 (GPIO1 = bit 0), SSS from 0
    int bit(int gpio) const { return 1 << (gpio - firstGpio); }
    bool has(int gpio) const;
    std::string pinList() const; // "GPIO1, GPIO3, GPIO4"
};

// The chip for a USB id, or nullopt for ids that are not GPIO sound chips.
std::optional<Chip> chipForId(uint16_t vid, uint16_t pid);
// A chip named by the `chip` key ("CM119A", case-insensitive), or nullopt.
std::optional<Chip> chipByName(const std::string& name);

// Where a port line goes on the chip.
struct Pin {
    enum class Kind { None, Gpio, VolUp, VolDown, Hook };
    Kind kind = Kind::None;
    int gpio = 0;
};

// The mapping of a port's lines (keys rts, dtr, break, cts, dsr, ring, dcd of its
// comport.cfg section: "GPIO3", "VOLDN", "VOLUP", "HOOK" or "none"). Defaults: RTS ->
// GPIO3 (what most interfaces key PTT with), CTS -> VOLDN (their usual squelch input).
struct Mapping {
    Pin rts, dtr, brk;
    Pin cts, dsr, ring, dcd;
};
// Fills the mapping from the options and checks it against the chip. Returns an empty
// text or why it is refused ("CM108B has no GPIO2 (its pins: GPIO1, GPIO3, GPIO4)").
std::string parseMapping(const PortOptions& options, const Chip& chip, Mapping& out);

// The 5 bytes written to the hidraw node for the output levels (report number 0, then
// mode 0, data, direction, 0). Every mapped output is an output pin; the others stay inputs.
std::array<uint8_t, 5> outputReport(const Mapping& m, const Chip& chip, bool rts, bool dtr, bool brk);

// Input state from the last input report; the GPIO byte is used only when the report
// carries GPIO levels (byte 0 top bits 00), else the previous GPIO levels stay.
struct InputState {
    uint8_t buttons = 0;
    uint8_t gpios = 0;
    void apply(const uint8_t* report, size_t len);
};
ModemInputs decodeInputs(const Mapping& m, const Chip& chip, const InputState& s);

// --- finding the card -----------------------------------------------------------------

struct Card {
    std::string usbPath;    // "1-1.2"
    std::string hidraw;     // "hidraw2"
    std::string cardId;     // ALSA card id ("Device", "RadioA"), "" without a sound card
    std::string name;       // HID_NAME ("C-Media Electronics Inc. USB PnP Sound Device")
    std::string inputEvent; // "event5": the card's volume-key input device, "" if none
    uint16_t vid = 0, pid = 0;
};
// Every hidraw node of a known GPIO sound chip, in hidraw order, read from sysRoot
// ("/sys"; tests pass a fake tree).
std::vector<Card> findCards(const std::string& sysRoot = "/sys");
// The card a device text's target ("auto", a USB port path or an ALSA card id) names.
std::optional<Card> resolve(const std::string& target, const std::string& sysRoot = "/sys");
// The card behind a hidraw node name ("hidraw2").
std::optional<Card> cardOfHidraw(const std::string& hidraw, const std::string& sysRoot = "/sys");

// The udev rule file that gives the audio group the hidraw nodes and keeps the cards'
// volume keys away from the desktop.
inline constexpr const char* kUdevRule = "70-relaydeck-radio.rules";
// Whether that rule is installed (rules folders below root: /etc, /usr/lib, /lib).
bool udevRuleInstalled(const std::string& root = "/");

// --- the port -------------------------------------------------------------------------

// Opens an input device node (/dev/input/eventN) and grabs it (EVIOCGRAB), so its key
// events reach no other reader while the returned descriptor stays open; -1 with errno
// set when the node cannot be opened or grabbed.
int grabInputDevice(const std::string& node);

// What the backend finds on the machine: the sysfs tree the cards are looked up in, the
// root of the udev rules folders, and how the card's input device is grabbed (tests
// fake all three).
struct Host {
    std::string sysRoot = "/sys";
    std::string rulesRoot = "/";
    std::function<int(const std::string& node)> grabInput = grabInputDevice;
};

} // namespace cm108

// The backend of "cm108:" device texts (serial_cm108.cpp).
std::unique_ptr<SerialBackend> makeCm108Backend(cm108::Host host);
std::unique_ptr<SerialBackend> makeCm108Backend();
