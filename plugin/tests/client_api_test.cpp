// The interface number the plugin reports: each source in its order.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "plugin/client_api.h"

namespace {

int g_resource = 0;
const char* g_qt = nullptr;
int resource()
{
    return g_resource;
}
const char* qt()
{
    return g_qt;
}

TEST(ClientApi, KeyThenVersionResourceThenHostQtThen21)
{
    struct Row {
        const char* name;
        const char* key; // nullptr: no settings file
        int resource;
        const char* qt;
        int number;
        std::string ignored;
    };
    const Row rows[] = {
        {"nothing says anything", nullptr, 0, nullptr, 21, ""},
        {"key wins over everything", "24", 26, "5.15.2", 24, ""},
        {"key at the edges", "26", 0, nullptr, 26, ""},
        {"key out of range is ignored", "27", 0, "5.15.2", 26, "27"},
        {"key that is no number is ignored", "2x", 0, nullptr, 21, "2x"},
        {"version resource before Qt", nullptr, 23, "5.15.2", 23, ""},
        {"Qt 5.6 (3.1)", nullptr, 0, "5.6.1", 21, ""},
        {"Qt 5.11", nullptr, 0, "5.11.3", 21, ""},
        {"Qt 5.12", nullptr, 0, "5.12.3", 26, ""},
        {"Qt 5.15 (3.6)", nullptr, 0, "5.15.8", 26, ""},
        {"Qt text that is no version", nullptr, 0, "unknown", 21, ""},
    };
    const auto path = std::filesystem::temp_directory_path() / ("rd_client_api_" + std::to_string(::getpid()) + ".ini");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::filesystem::remove(path);
        if (r.key)
            std::ofstream(path) << "[LINKSettings]\r\nPORT=26001\r\nClientAPI=" << r.key << "\r\n";
        g_resource = r.resource;
        g_qt = r.qt;
        const rdplugin::ClientApiChoice c = rdplugin::chooseClientApi(path.string(), resource, qt);
        EXPECT_EQ(c.number, r.number);
        EXPECT_EQ(c.ignoredKey, r.ignored);
    }
    std::filesystem::remove(path);
}

} // namespace
