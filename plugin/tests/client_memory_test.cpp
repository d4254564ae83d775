// Memory the client hands out goes back exactly once, on every path.
#include "plugin/client_memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>

namespace {

std::set<void*> g_live; // blocks handed out and not yet given back
int g_doubleFrees = 0;

void* handOut(size_t n)
{
    void* p = std::calloc(1, n);
    g_live.insert(p);
    return p;
}
char* text(const char* s)
{
    char* p = static_cast<char*>(handOut(std::strlen(s) + 1));
    std::strcpy(p, s);
    return p;
}
unsigned int freeBlock(void* p)
{
    if (!g_live.erase(p))
        ++g_doubleFrees;
    std::free(p);
    return ERROR_ok;
}

TS3Functions client()
{
    TS3Functions f{};
    f.freeMemory = freeBlock;
    return f;
}

struct ClientMemoryTest : ::testing::Test {
    void SetUp() override
    {
        g_live.clear();
        g_doubleFrees = 0;
    }
    void TearDown() override
    {
        EXPECT_TRUE(g_live.empty()) << g_live.size() << " blocks never given back";
        EXPECT_EQ(g_doubleFrees, 0);
    }
};

TEST_F(ClientMemoryTest, TextsListsAndTreesGoBackOnceOnEveryPath)
{
    const TS3Functions f = client();
    // A text; a failing call that still filled the pointer; an early way out of a scope.
    EXPECT_EQ(rdplugin::takeText(f,
                                 [](char** s) {
                                     *s = text("Radio");
                                     return unsigned(ERROR_ok);
                                 }),
              "Radio");
    EXPECT_FALSE(rdplugin::takeText(f, [](char** s) {
        *s = text("half");
        return 1u;
    }));
    for (int round = 0; round < 2; ++round) {
        rdplugin::ClientMemory<anyID> ids(f);
        anyID** out = ids.out();
        *out = static_cast<anyID*>(handOut(3 * sizeof(anyID)));
        (*out)[0] = 7;
        if (round == 0)
            continue;                                             // left early: the list still goes back
        *ids.out() = static_cast<anyID*>(handOut(sizeof(anyID))); // refilled: the first goes back first
        ids.reset();
        EXPECT_FALSE(ids);
    }
    // A list of texts: every text, then the array.
    {
        rdplugin::ClientMemory<char*> profiles(f);
        char** list = static_cast<char**>(handOut(3 * sizeof(char*)));
        list[0] = text("Default");
        list[1] = text("Radio");
        *profiles.out() = list;
    }
    // A bookmark tree: names, uuids and nested folders, depth first.
    {
        auto* inner = static_cast<PluginBookmarkList*>(handOut(sizeof(PluginBookmarkList)));
        inner->itemcount = 1;
        inner->items[0].name = text("Club");
        inner->items[0].uuid = text("{inner}");
        auto* top = static_cast<PluginBookmarkList*>(handOut(sizeof(PluginBookmarkList) + sizeof(PluginBookmarkItem)));
        top->itemcount = 2;
        top->items[0].name = text("Folder");
        top->items[0].isFolder = 1;
        top->items[0].folder = inner;
        top->items[1].name = text("Repeater");
        top->items[1].uuid = text("{outer}");
        rdplugin::ClientMemory<PluginBookmarkList> tree(f);
        *tree.out() = top;
    }
}

} // namespace
