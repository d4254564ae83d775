// Memory the client hands the plugin (a text, a list of ids, a profile list, a bookmark
// tree) belongs to the client and goes back through its freeMemory exactly once.
// ClientMemory holds one such block and gives it back when it goes out of scope, so an
// early return or an exception cannot leak it and no path frees it twice:
//
//   ClientMemory<anyID> list(ts3());
//   if (ts3().getChannelClientList(h, ch, list.out()) != ERROR_ok || !list)
//       return;
//   for (anyID* p = list.get(); *p; ++p) ...
//
// A list of texts (char*) gives back every text and then the array; a bookmark tree
// every name, uuid and nested list, depth first, each list after its items. Where the
// block must go back before the plugin's next client call, reset() gives it back early.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plugin/ts3_abi.h"

namespace rdplugin {

namespace detail {
using FreeFn = unsigned int (*)(void*);

template <class T>
struct ClientRelease {
    static void release(FreeFn free, T* block) { free(block); }
};
template <>
struct ClientRelease<char*> {
    static void release(FreeFn free, char** texts)
    {
        for (char** p = texts; *p; ++p)
            free(*p);
        free(texts);
    }
};
template <>
struct ClientRelease<PluginBookmarkList> {
    static void release(FreeFn free, PluginBookmarkList* list)
    {
        for (int i = 0; i < list->itemcount; ++i) {
            PluginBookmarkItem& item = list->items[i];
            if (item.isFolder) {
                if (item.folder)
                    release(free, item.folder);
            } else if (item.uuid) {
                free(item.uuid);
            }
            if (item.name)
                free(item.name);
        }
        free(list);
    }
};
} // namespace detail

template <class T>
class ClientMemory {
public:
    explicit ClientMemory(const TS3Functions& client) : m_free(client.freeMemory) {}
    ~ClientMemory() { reset(); }
    ClientMemory(const ClientMemory&) = delete;
    ClientMemory& operator=(const ClientMemory&) = delete;

    // The address a client function fills; a block held before is given back first.
    T** out()
    {
        reset();
        return &m_block;
    }
    T* get() const { return m_block; }
    explicit operator bool() const { return m_block != nullptr; }
    // Gives the block back now (nothing when there is none).
    void reset()
    {
        if (m_block && m_free)
            detail::ClientRelease<T>::release(m_free, m_block);
        m_block = nullptr;
    }

private:
    detail::FreeFn m_free = nullptr;
    T* m_block = nullptr;
};

// The text a client function fills through read(char**), given back at once; nothing
// when the call fails or gives no text.
template <class Read>
std::optional<std::string> takeText(const TS3Functions& client, Read&& read)
{
    ClientMemory<char> text(client);
    if (read(text.out()) != ERROR_ok || !text)
        return std::nullopt;
    return std::string(text.get());
}

// The ids of a zero-terminated list a client function fills through read(Id**), given
// back at once; nothing when the call fails or gives no list.
template <class Id, class Read>
std::optional<std::vector<Id>> takeIds(const TS3Functions& client, Read&& read)
{
    ClientMemory<Id> list(client);
    if (read(list.out()) != ERROR_ok || !list)
        return std::nullopt;
    std::vector<Id> ids;
    for (const Id* p = list.get(); *p; ++p)
        ids.push_back(*p);
    return ids;
}

} // namespace rdplugin
