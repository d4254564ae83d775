// The CM108 backend: report bytes, input decoding, refused pins, finding the card through
// sysfs (a fake tree), and the port driven through a stand-in device that records the
// reports and feeds input reports.
#include "app/serial/cm108.h"
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/serial/serialport.h"
#include "app/serial/unkey.h"
#include "standin.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Report = std::vector<uint8_t>;

cm108::Chip chip(const char* name)
{
    return *cm108::chipByName(name);
}

TEST(Cm108Reports, CarryEveryPinsDataAndDirection)
{
    cm108::Mapping m;
    ASSERT_EQ(cm108::parseMapping({}, chip("CM108"), m), ""); // RTS -> GPIO3 by default
    struct {
        PortOptions options;
        bool rts, dtr, brk;
        std::array<uint8_t, 5> bytes;
    } const cases[] = {
        {{}, true, false, false, {0, 0, 0x04, 0x04, 0}},                 // PTT on
        {{}, false, false, false, {0, 0, 0x00, 0x04, 0}},                // PTT off: still an output
        {{{"dtr", "GPIO4"}}, true, true, false, {0, 0, 0x0C, 0x0C, 0}},  // second output high
        {{{"dtr", "GPIO4"}}, false, true, false, {0, 0, 0x08, 0x0C, 0}}, // RTS released, DTR kept
        {{{"rts", "GPIO1"}, {"break", "GPIO2"}}, false, false, true, {0, 0, 0x02, 0x03, 0}},
        {{{"rts", "none"}}, true, false, false, {0, 0, 0x00, 0x00, 0}}, // nothing mapped
    };
    for (const auto& c : cases) {
        cm108::Mapping map;
        ASSERT_EQ(cm108::parseMapping(c.options, chip("CM108"), map), "");
        EXPECT_EQ(cm108::outputReport(map, chip("CM108"), c.rts, c.dtr, c.brk), c.bytes);
    }
    // The SSS parts count their pins from 0: GPIO1 is bit 1.
    cm108::Mapping sss;
    ASSERT_EQ(cm108::parseMapping({{"rts", "GPIO1"}}, chip("SSS1621"), sss), "");
    EXPECT_EQ(cm108::outputReport(sss, chip("SSS1621"), true, false, false),
              (std::array<uint8_t, 5>{0, 0, 0x02, 0x02, 0}));
}

TEST(Cm108Reports, PinsTheChipLacksAreRefusedByName)
{
    struct {
        const char* chip;
        PortOptions options;
        const char* message; // "" = accepted
    } const cases[] = {
        {"CM108B", {{"rts", "GPIO2"}}, "CM108B has no GPIO2 (its pins: GPIO1, GPIO3, GPIO4)"},
        {"CM108AH", {{"dtr", "GPIO2"}}, "CM108AH has no GPIO2 (its pins: GPIO1, GPIO3, GPIO4)"},
        {"SSS1621", {}, "SSS1621 has no GPIO3 (its pins: GPIO0, GPIO1)"}, // the default PTT pin
        {"CM108", {{"cts", "GPIO5"}}, "CM108 has no GPIO5 (its pins: GPIO1, GPIO2, GPIO3, GPIO4)"},
        {"CM119A", {{"rts", "GPIO8"}, {"cts", "GPIO5"}}, ""},
        {"CM108",
         {{"rts", "VOLDN"}},
         "RTS=VOLDN: an output needs a GPIO pin of the CM108 (GPIO1, GPIO2, GPIO3, GPIO4)"},
        {"CM108", {{"dtr", "GPIO3"}}, "GPIO3 drives two outputs"},
        {"CM108", {{"cts", "GPIO3"}}, "a GPIO pin cannot be an output and an input at once"},
        {"CM108B", {{"cts", "HOOK"}}, "CTS=HOOK: not an input of the CM108B (GPIO1, GPIO3, GPIO4, VOLUP, VOLDN)"},
        {"CM108AH", {{"cts", "HOOK"}}, ""},
    };
    for (const auto& c : cases) {
        cm108::Mapping m;
        EXPECT_EQ(cm108::parseMapping(c.options, chip(c.chip), m), c.message) << c.chip;
    }
}

TEST(Cm108Reports, InputsFromButtonsAndGpioLines)
{
    cm108::Mapping m;
    ASSERT_EQ(cm108::parseMapping({{"dsr", "VOLUP"}, {"ring", "GPIO4"}, {"dcd", "GPIO1"}}, chip("CM108"), m), "");
    struct {
        std::vector<uint8_t> report;
        ModemInputs expected; // cts = VOLDN (default), dsr = VOLUP, ring = GPIO4, dcd = GPIO1
    } const cases[] = {
        {{0x02, 0x00, 0, 0}, {true, false, false, false}},
        {{0x01, 0x00, 0, 0}, {false, true, false, false}},
        {{0x00, 0x08, 0, 0}, {false, false, true, false}},
        {{0x03, 0x09, 0, 0}, {true, true, true, true}},
        // EEPROM data in bytes 1..3: the GPIO levels of the report before stay.
        {{0x80 | 0x02, 0x00, 0x12, 0x34}, {true, false, true, true}},
        {{0x00, 0x00, 0, 0}, {false, false, false, false}},
    };
    cm108::InputState s;
    for (const auto& c : cases) {
        s.apply(c.report.data(), c.report.size());
        EXPECT_EQ(cm108::decodeInputs(m, chip("CM108"), s), c.expected) << int(c.report[0]) << "/" << int(c.report[1]);
    }
}

TEST(Cm108Reports, ChipsByUsbId)
{
    struct {
        uint16_t vid, pid;
        const char* name; // nullptr: not a GPIO chip
    } const cases[] = {{0x0d8c, 0x000c, "CM108"},  {0x0d8c, 0x0012, "CM108B"}, {0x0d8c, 0x013c, "CM108AH"},
                       {0x0d8c, 0x013a, "CM119A"}, {0x0d8c, 0x0014, nullptr},  {0x0c76, 0x160b, "SSS1623"},
                       {0x1209, 0x7388, "AIOC"},   {0x046d, 0x0a44, nullptr}};
    for (const auto& c : cases) {
        const auto ch = cm108::chipForId(c.vid, c.pid);
        EXPECT_EQ(ch.has_value(), c.name != nullptr) << std::hex << c.pid;
        if (ch && c.name) {
            EXPECT_EQ(ch->name, c.name);
        }
    }
}

// A fake sysfs tree with USB sound cards, laid out as the kernel does (device links that
// resolve to the USB device directory).
struct FakeSys {
    QTemporaryDir dir;
    fs::path root() const { return dir.path().toStdString(); }
    static void put(const fs::path& p, const std::string& text)
    {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text << "\n";
    }
    void addCard(const std::string& usb, const char* vid, const char* pid, int hidraw, int card, const std::string& id,
                 bool withInput = true)
    {
        const fs::path dev = root() / "devices/pci0000:00/usb1" / usb;
        put(dev / "idVendor", vid);
        put(dev / "idProduct", pid);
        const fs::path hid =
            dev / (usb + ":1.3") / ("0003:" + std::string(vid) + ":" + pid + ".000" + std::to_string(hidraw));
        put(hid / "uevent", "HID_NAME=C-Media USB Audio Device\nHID_PHYS=usb-0000:00:14.0-" + usb + "/input3");
        const fs::path node = hid / "hidraw" / ("hidraw" + std::to_string(hidraw));
        fs::create_directories(node);
        fs::create_directory_symlink(fs::relative(hid, node), node / "device");
        if (withInput)
            fs::create_directories(hid / "input/input7" / ("event" + std::to_string(hidraw + 10)));
        fs::create_directories(root() / "class/hidraw");
        fs::create_directory_symlink(fs::relative(node, root() / "class/hidraw"),
                                     root() / "class/hidraw" / node.filename());
        if (card < 0)
            return;
        const fs::path iface = dev / (usb + ":1.0");
        const fs::path cardDir = iface / "sound" / ("card" + std::to_string(card));
        put(cardDir / "id", id);
        fs::create_directory_symlink(fs::relative(iface, cardDir), cardDir / "device");
        fs::create_directories(root() / "class/sound");
        fs::create_directory_symlink(fs::relative(cardDir, root() / "class/sound"),
                                     root() / "class/sound" / cardDir.filename());
    }
};

TEST(Cm108Sysfs, FindsTheHidrawNodeOfACardByPortPathCardIdOrAuto)
{
    FakeSys sys;
    ASSERT_TRUE(sys.dir.isValid());
    // A webcam's HID node first, then two identical adapters (no serial number) on two
    // ports, the second with a renamed ALSA card, and a chip without GPIO.
    sys.addCard("1-1", "046d", "0a44", 0, 0, "Webcam");
    sys.addCard("1-1.2", "0d8c", "0012", 3, 1, "Device");
    sys.addCard("1-1.4", "0d8c", "0012", 10, 2, "RadioB", false);
    sys.addCard("1-2", "0d8c", "0014", 4, 3, "Headset");
    const std::string root = sys.root().string();

    const auto cards = cm108::findCards(root);
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].hidraw, "hidraw3");
    EXPECT_EQ(cards[1].hidraw, "hidraw10");

    struct {
        const char* target;
        const char* hidraw; // nullptr: not found
    } const cases[] = {{"auto", "hidraw3"},  {"", "hidraw3"},     {"1-1.4", "hidraw10"}, {"RadioB", "hidraw10"},
                       {"1-1.2", "hidraw3"}, {"Webcam", nullptr}, {"1-2", nullptr},      {"9-9", nullptr}};
    for (const auto& c : cases) {
        const auto card = cm108::resolve(c.target, root);
        EXPECT_EQ(card.has_value(), c.hidraw != nullptr) << c.target;
        if (card && c.hidraw) {
            EXPECT_EQ(card->hidraw, c.hidraw) << c.target;
        }
    }
    const auto a = cm108::resolve("1-1.2", root);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->cardId, "Device");
    EXPECT_EQ(a->inputEvent, "event13");
    EXPECT_EQ(a->name, "C-Media USB Audio Device");
    EXPECT_EQ(a->vid, 0x0d8c);
    EXPECT_EQ(cm108::resolve("RadioB", root)->inputEvent, "");
}

// The port on a stand-in device, with the manager as the program uses it.
class Cm108Port : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAppLang("en_US");
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(standin.listen(node));
    }
    void writeCfg(const std::string& extra)
    {
        std::ofstream(cfgPath.toStdString()) << "[COM5]\ndevice=cm108:" << node << "\nident=5\nactiv=1\n" << extra;
    }
    QTemporaryDir dir;
    std::string node = dir.filePath("hidraw-standin").toStdString();
    QString cfgPath = dir.filePath("comport.cfg");
    StandinHid standin;
};

TEST_F(Cm108Port, KeysAndUnkeysWithWholeReportsAndReadsSquelch)
{
    writeCfg("chip=CM108\ndtr=GPIO4\ncts=VOLDN\ndsr=GPIO1\n");
    {
        ComPortManager m(cfgPath);
        m.StarteCOMPort(5);
        ASSERT_TRUE(m.COMPortIsOpen(5)) << m.openProblem(5).toStdString();
        // Opening never keys: the outputs become outputs driven low.
        ASSERT_TRUE(standin.waitForReports(1));
        EXPECT_EQ(standin.reports().front(), (Report{0, 0, 0x00, 0x0C, 0}));
        for (const Report& r : standin.reports())
            EXPECT_EQ(r[2], 0) << "keyed while opening";

        ASSERT_TRUE(standin.waitForReports(4)); // the open's and the manager's three lows
        m.SetCOMStatus("GATE_A", 5, "RTS", true, false);
        m.SetCOMStatus("GATE_B", 5, "DTR", true, false);
        m.SetCOMStatus("GATE_A", 5, "RTS", false, false);
        ASSERT_TRUE(standin.waitForReports(7));
        const size_t n = standin.reports().size();
        EXPECT_EQ(standin.reports()[n - 3], (Report{0, 0, 0x04, 0x0C, 0}));
        EXPECT_EQ(standin.reports()[n - 2], (Report{0, 0, 0x0C, 0x0C, 0}));
        EXPECT_EQ(standin.reports()[n - 1], (Report{0, 0, 0x08, 0x0C, 0}));

        // Squelch on volume-down, a second input on GPIO1.
        standin.feed({0x02, 0x00, 0, 0});
        EXPECT_TRUE(waitUntil([&] { return m.GetCOMStatus(5, "CTS", false); }));
        standin.feed({0x00, 0x01, 0, 0});
        EXPECT_TRUE(waitUntil([&] { return !m.GetCOMStatus(5, "CTS", false) && m.GetCOMStatus(5, "DSR", false); }));
    }
    // Closing (the manager going away) drives every output low before letting go.
    ASSERT_TRUE(standin.waitForDisconnect());
    EXPECT_EQ(standin.reports().back(), (Report{0, 0, 0x00, 0x0C, 0}));
}

TEST_F(Cm108Port, RefusedPinStaysClosedWithTheReason)
{
    writeCfg("chip=CM108B\nrts=GPIO2\n");
    ComPortManager m(cfgPath);
    m.StarteCOMPort(5);
    EXPECT_FALSE(m.COMPortIsOpen(5));
    EXPECT_FALSE(m.openFailedMissing(5));
    EXPECT_EQ(m.openProblem(5).toStdString(), "CM108B has no GPIO2 (its pins: GPIO1, GPIO3, GPIO4)");
    EXPECT_TRUE(standin.reports().empty()) << "a refused port must not write the chip";
}

TEST_F(Cm108Port, UnpluggedCardIsLostAndReopensWhenItReturns)
{
    writeCfg("chip=CM108\n");
    ComPortManager m(cfgPath);
    QStringList events;
    m.setListener([&](int, ComPortManager::PortEvent, const QString& t) { events << t; });
    m.StarteCOMPort(5);
    ASSERT_TRUE(m.COMPortIsOpen(5));
    m.SetCOMStatus("GATE_A", 5, "RTS", true, false);
    ASSERT_TRUE(standin.waitForReports(5));
    ASSERT_EQ(standin.reports().back(), (Report{0, 0, 0x04, 0x04, 0}));

    standin.unplug();
    ASSERT_TRUE(waitUntil([&] { return m.COMPortIsLost(5); }));
    EXPECT_FALSE(m.COMPortIsOpen(5));
    EXPECT_FALSE(m.GetCOMStatus(5, "RTS", false));
    m.tick();
    m.tick(); // still gone: nothing happens
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0], "COM5 lost: cm108:" + QString::fromStdString(node));

    standin.clear();
    ASSERT_TRUE(standin.listen(node));
    m.tick();
    ASSERT_TRUE(m.COMPortIsOpen(5));
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[1], "COM5 reopened: cm108:" + QString::fromStdString(node));
    // The holder still wants PTT: the new device is keyed again with a whole report
    // (after the open's low one and the writes of the other two lines).
    ASSERT_TRUE(standin.waitForReports(4));
    EXPECT_EQ(standin.reports().front(), (Report{0, 0, 0x00, 0x04, 0}));
    EXPECT_EQ(standin.reports().back(), (Report{0, 0, 0x04, 0x04, 0}));
}

// A program that keyed a CM108 line and died by SIGKILL leaves the chip keyed; the
// service's `relaydeck-cli unkey` sends the idle report within a second.
TEST_F(Cm108Port, KillNineThenUnkeyWithinASecond)
{
    const std::string cli = std::string(RD_BINARY_DIR) + "/bin/relaydeck-cli";
    ASSERT_TRUE(fs::exists(cli)) << cli;
    fs::create_directories(dir.filePath("config").toStdString());
    cfgPath = dir.filePath("config/comport.cfg");
    writeCfg("chip=CM108\n");
    const std::string home = dir.path().toStdString();

    const pid_t keyer = fork();
    if (keyer == 0) {
        execl(cli.c_str(), cli.c_str(), "key", "COM5", "RTS", "60", "--home", home.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(keyer, 0);
    ASSERT_TRUE(waitUntil(
        [&] {
            return !standin.reports().empty() && standin.reports().back() == Report{0, 0, 4, 4, 0};
        },
        10000));
    kill(keyer, SIGKILL);
    int status = 0;
    waitpid(keyer, &status, 0);
    const auto died = std::chrono::steady_clock::now();
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(standin.waitForDisconnect());
    EXPECT_EQ(standin.reports().back(), (Report{0, 0, 4, 4, 0})) << "the killed program unkeyed by itself?";

    const pid_t unkey = fork();
    if (unkey == 0) {
        execl(cli.c_str(), cli.c_str(), "unkey", "--home", home.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(unkey, 0);
    ASSERT_TRUE(waitUntil([&] { return standin.reports().back() == Report{0, 0, 0, 4, 0}; }, 5000));
    const auto unkeyed = std::chrono::steady_clock::now();
    waitpid(unkey, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(unkeyed - died).count(), 1000);
}

// SIGTERM (how the service stops it) ends the keying program through its ordinary way
// out, which unkeys by itself.
TEST_F(Cm108Port, TerminatedKeyerUnkeysOnItsWayOut)
{
    const std::string cli = std::string(RD_BINARY_DIR) + "/bin/relaydeck-cli";
    ASSERT_TRUE(fs::exists(cli)) << cli;
    fs::create_directories(dir.filePath("config").toStdString());
    cfgPath = dir.filePath("config/comport.cfg");
    writeCfg("chip=CM108\n");
    const std::string home = dir.path().toStdString();
    const pid_t keyer = fork();
    if (keyer == 0) {
        execl(cli.c_str(), cli.c_str(), "key", "COM5", "RTS", "60", "--home", home.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(keyer, 0);
    ASSERT_TRUE(waitUntil(
        [&] {
            return !standin.reports().empty() && standin.reports().back() == Report{0, 0, 4, 4, 0};
        },
        10000));
    kill(keyer, SIGTERM);
    int status = 0;
    waitpid(keyer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(standin.waitForDisconnect());
    EXPECT_EQ(standin.reports().back(), (Report{0, 0, 0, 4, 0}));
}

// The card's volume-key input device is grabbed while its port is open, so a squelch on
// volume-down does not turn the desktop's volume down. The card is a fake sysfs tree whose
// hidraw node is the stand-in (a socket named like the node); no evdev node can be made
// here, so the grab is injected: each grant is a pipe whose far end the test watches, and
// its hang-up shows the grab let go.
struct FakeGrab {
    struct State {
        std::mutex mutex;
        bool allow = true;
        std::vector<std::string> asked;
        std::vector<int> watched; // read ends, one per grant
    };
    std::shared_ptr<State> state = std::make_shared<State>();
    ~FakeGrab()
    {
        for (int fd : state->watched)
            ::close(fd);
    }
    std::function<int(const std::string&)> grabber() const
    {
        return [s = state](const std::string& node) {
            std::lock_guard lk(s->mutex);
            s->asked.push_back(node);
            int p[2];
            if (!s->allow || ::pipe2(p, O_CLOEXEC) != 0) {
                errno = EPERM;
                return -1;
            }
            s->watched.push_back(p[0]);
            return p[1];
        };
    }
    std::vector<std::string> asked() const
    {
        std::lock_guard lk(state->mutex);
        return state->asked;
    }
    // Whether the i-th grant is still held by the backend.
    bool held(size_t i) const
    {
        std::lock_guard lk(state->mutex);
        pollfd p{state->watched.at(i), POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }
};

class Cm108Grab : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAppLang("en_US");
        ASSERT_TRUE(dir.isValid() && rules.isValid());
        ASSERT_TRUE(standin.listen(node));
        std::ofstream(cfg.toStdString()) << "[COM5]\ndevice=cm108:" << node << "\nident=5\nactiv=1\n";
    }
    ComPortManager::BackendFactory factory(const FakeSys& sys) const
    {
        cm108::Host host{sys.root().string(), rules.path().toStdString(), grab.grabber()};
        return [host](const QString&) { return makeCm108Backend(host); };
    }
    QTemporaryDir dir, rules;
    std::string node = dir.filePath("hidraw3").toStdString();
    QString cfg = dir.filePath("comport.cfg");
    StandinHid standin;
    FakeGrab grab;
};

TEST_F(Cm108Grab, CardsInputDeviceIsHeldWhileThePortIsOpen)
{
    FakeSys sys;
    sys.addCard("1-1.2", "0d8c", "0012", 3, 1, "Device"); // hidraw3, its input device event13
    ComPortManager m(cfg, factory(sys));
    m.StarteCOMPort(5);
    ASSERT_TRUE(m.COMPortIsOpen(5)) << m.openProblem(5).toStdString();
    ASSERT_EQ(grab.asked(), std::vector<std::string>{"/dev/input/event13"});
    EXPECT_TRUE(grab.held(0));
    EXPECT_EQ(m.openProblem(5), "");
    // The chip is the card's (a CM108B by its USB id), PTT on its GPIO3.
    m.SetCOMStatus("GATE_A", 5, "RTS", true, false);
    ASSERT_TRUE(waitUntil([&] {
        return !standin.reports().empty() && standin.reports().back() == Report{0, 0, 4, 4, 0};
    }));

    // Pulled out: the grab goes with the card; back again: grabbed again.
    standin.unplug();
    ASSERT_TRUE(waitUntil([&] { return m.COMPortIsLost(5); }));
    m.tick();
    EXPECT_FALSE(grab.held(0));
    ASSERT_TRUE(standin.listen(node));
    m.tick();
    ASSERT_TRUE(m.COMPortIsOpen(5));
    ASSERT_EQ(grab.asked().size(), 2u);
    EXPECT_TRUE(grab.held(1));

    m.StoppeCOMPort(5);
    EXPECT_FALSE(grab.held(1)) << "the desktop gets its volume keys back when the port closes";
}

TEST_F(Cm108Grab, RefusedGrabIsExplainedUnlessTheRuleHidesTheKeys)
{
    const std::string notice = "the volume keys of this card reach the desktop (a squelch on VOLDN turns the volume "
                               "down): install the udev rule 70-relaydeck-radio.rules";
    struct {
        const char* what;
        bool withInput, allow;
        const char* ruleDir; // nullptr: no rule installed
        std::string problem;
        size_t asked;
    } const cases[] = {
        {"grabbed", true, true, nullptr, "", 1},
        {"refused, no rule", true, false, nullptr, notice, 1},
        {"refused, rule in /etc", true, false, "etc/udev/rules.d", "", 1},
        {"refused, rule of the package", true, false, "usr/lib/udev/rules.d", "", 1},
        {"no input device", false, true, nullptr, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSys sys;
        sys.addCard("1-1.2", "0d8c", "0012", 3, 1, "Device", c.withInput);
        fs::remove_all(rules.path().toStdString() + "/etc");
        fs::remove_all(rules.path().toStdString() + "/usr");
        if (c.ruleDir)
            FakeSys::put(fs::path(rules.path().toStdString()) / c.ruleDir / cm108::kUdevRule, "");
        {
            std::lock_guard lk(grab.state->mutex);
            grab.state->allow = c.allow;
            grab.state->asked.clear();
        }
        ComPortManager m(cfg, factory(sys));
        m.StarteCOMPort(5);
        // The PTT works either way; only the remark differs.
        EXPECT_TRUE(m.COMPortIsOpen(5));
        EXPECT_EQ(m.openProblem(5).toStdString(), c.problem);
        EXPECT_EQ(grab.asked().size(), c.asked);
    }
}

TEST(Cm108GrabNode, NodesThatAreNoInputDeviceAreNotGrabbedAndNotKept)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("event5").toStdString();
    std::ofstream(file) << "not a device\n";
    const auto fds = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    const auto before = fds();
    for (const std::string& node : {file, dir.filePath("event6").toStdString(), std::string("/dev/null")}) {
        errno = 0;
        EXPECT_EQ(cm108::grabInputDevice(node), -1) << node;
        EXPECT_NE(errno, 0) << node;
    }
    EXPECT_EQ(fds(), before) << "a failed grab leaked its descriptor";
}

TEST(Cm108Unkey, ConfiguredPortsOnAMachineWithoutThem)
{
    SetAppLang("en_US");
    QTemporaryDir dir;
    const QString cfg = dir.filePath("comport.cfg");
    std::ofstream(cfg.toStdString()) << "[COM3]\nident=3\nactiv=1\n"
                                     << "[COM5]\ndevice=cm108:1-9.9\nident=5\nactiv=1\n"
                                     << "[COM6]\ndevice=gpio:relaydeck-no-chip\nrts=17\nident=6\nactiv=1\n";
    const auto results = unkeyConfiguredLines(cfg);
    ASSERT_EQ(results.size(), 2u); // the serial port needs no unkeying
    for (const auto& r : results) {
        EXPECT_FALSE(r.ok) << r.device;
        EXPECT_TRUE(r.missing) << r.device << ": " << r.message;
    }
    ComPortManager m(cfg);
    m.StarteCOMPort(5);
    EXPECT_FALSE(m.COMPortIsOpen(5));
    EXPECT_TRUE(m.openFailedMissing(5));
    EXPECT_EQ(m.openProblem(5).toStdString(), "no CM108 sound card at 1-9.9");
}

} // namespace
