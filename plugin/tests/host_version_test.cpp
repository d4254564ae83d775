// The plugin interface number a TeamSpeak 3 client version asks for (from the client
// executable's version resource on Windows).
#include <gtest/gtest.h>

#include "plugin/host.h"

namespace {

TEST(HostVersion, ClientVersionsMapToTheirInterfaceNumber)
{
    struct Row {
        int major, minor, api;
    };
    const Row rows[] = {
        {3, 0, 21}, {3, 1, 21}, {3, 2, 21},     // 3.1.x and 3.2.x accept 21
        {3, 3, 23},                             // 3.3 wants exactly 23
        {3, 4, 24}, {3, 5, 24},                 // 3.5 accepts 23-25
        {3, 6, 26}, {3, 7, 26}, {3, 65535, 26}, // 3.6 and later want 26
        {4, 0, 0},  {2, 9, 0},  {0, 0, 0},      // not a TeamSpeak 3 client: unknown
    };
    for (const Row& r : rows)
        EXPECT_EQ(rdplugin::clientApiForVersion(r.major, r.minor), r.api) << r.major << "." << r.minor;
}

#ifndef _WIN32
TEST(HostVersion, LinuxHostsHaveNoVersionResource)
{
    EXPECT_EQ(rdplugin::hostClientApiFromVersionResource(), 0);
}
#endif

} // namespace
