// The plugin's settings file gives the port Windows would give for the same bytes.
#include "plugin/ini_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {
std::string utf16le(std::u16string_view text)
{
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}
} // namespace

TEST(PluginSettingsFile, ReadsThePortAsWindowsDoes)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::string port;
    };
    const Case cases[] = {
        {"text after the header", "[LINKSettings] ; note\r\nPORT=26010\r\n", "26010"},
        {"quotes around the value", "[LINKSettings]\r\nPORT=\"26010\"\r\n", "26010"},
        {"CR-only line ends", "[LINKSettings]\rPORT=26010\r", "26010"},
        {"second section of the name is never read", "[LINKSettings]\r\nPORT=26010\r\n[LINKSettings]\r\nPORT=26020\r\n",
         "26010"},
        {"only the first section counts", "[LINKSettings]\r\nX=1\r\n[linksettings]\r\nPORT=26020\r\n", "26001"},
        {"header without ]", "[LINKSettings\r\nPORT=26010\r\n", "26010"},
        {"Notepad Unicode", utf16le(u"[LINKSettings]\r\nPORT=26010\r\n"), "26010"},
    };
    char tmpl[] = "/tmp/rd_plugin_ini_XXXXXX";
    const std::filesystem::path dir = mkdtemp(tmpl);
    const std::string path = (dir / "Relaydeck[LINK].ini").string();
    for (const Case& c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        EXPECT_EQ(rdplugin::iniRead(path, "LINKSettings", "PORT", "26001"), c.port) << c.what;
    }
    std::filesystem::remove_all(dir);
}
