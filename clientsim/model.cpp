#include "clientsim/model.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace clientsim {

std::string Channel::name() const
{
    auto it = vars.find(prop::ChannelName);
    return it == vars.end() ? std::string() : it->second;
}

std::string Channel::password() const
{
    auto it = vars.find(prop::ChannelPassword);
    return it == vars.end() ? std::string() : it->second;
}

std::string User::get(int flag) const
{
    auto it = vars.find(flag);
    return it == vars.end() ? std::string() : it->second;
}

long long User::getInt(int flag) const
{
    return std::strtoll(get(flag).c_str(), nullptr, 10);
}

u64 Server::defaultChannel() const
{
    for (u64 id : channelOrder) {
        auto it = channels.find(id);
        if (it != channels.end() && it->second.vars.count(prop::ChannelFlagDefault) &&
            it->second.vars.at(prop::ChannelFlagDefault) == "1")
            return id;
    }
    return channelOrder.empty() ? 0 : channelOrder.front();
}

u64 Server::channelByPath(const std::string& path) const
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string part = path.substr(start, slash - start);
        if (!part.empty())
            parts.push_back(part);
        start = slash + 1;
    }
    if (parts.empty())
        return 0;
    u64 parent = 0;
    for (const auto& part : parts) {
        u64 found = 0;
        for (u64 id : channelOrder) {
            const Channel& ch = channels.at(id);
            if (ch.parent == parent && ch.name() == part) {
                found = id;
                break;
            }
        }
        if (!found)
            return 0;
        parent = found;
    }
    return parent;
}

std::string Server::channelPath(u64 id) const
{
    std::string path;
    for (int guard = 0; id != 0 && guard < 100; ++guard) {
        auto it = channels.find(id);
        if (it == channels.end())
            break;
        path = path.empty() ? it->second.name() : it->second.name() + "/" + path;
        id = it->second.parent;
    }
    return path;
}

anyid Server::freeClientId() const
{
    for (unsigned id = 1; id < 65535; ++id)
        if (!users.count(static_cast<anyid>(id)))
            return static_cast<anyid>(id);
    return 0;
}

const User* Server::user(anyid id) const
{
    auto it = users.find(id);
    return it == users.end() ? nullptr : &it->second;
}

User* Server::user(anyid id)
{
    auto it = users.find(id);
    return it == users.end() ? nullptr : &it->second;
}

Handler* State::handler(u64 id)
{
    auto it = handlers.find(id);
    return it == handlers.end() ? nullptr : &it->second;
}

Server* State::server(const std::string& key)
{
    auto it = servers.find(key);
    return it == servers.end() ? nullptr : &it->second;
}

Server* State::serverOf(const Handler& h)
{
    return h.server.empty() ? nullptr : server(h.server);
}

void splitAddress(const std::string& address, std::string& host, unsigned& port)
{
    host = address;
    port = 9987;
    size_t colon = address.rfind(':');
    if (!address.empty() && address[0] == '[') {
        size_t close = address.find(']');
        if (close != std::string::npos) {
            host = address.substr(1, close - 1);
            if (close + 1 < address.size() && address[close + 1] == ':')
                port = static_cast<unsigned>(std::strtoul(address.c_str() + close + 2, nullptr, 10));
        }
        return;
    }
    if (colon != std::string::npos && address.find(':') == colon) {
        host = address.substr(0, colon);
        port = static_cast<unsigned>(std::strtoul(address.c_str() + colon + 1, nullptr, 10));
    }
}

Server* State::serverByAddress(const std::string& address)
{
    std::string host;
    unsigned port = 9987;
    splitAddress(address, host, port);
    if (port == 0)
        port = 9987;
    for (auto& [key, srv] : servers)
        if (srv.host == host && srv.port == port)
            return &srv;
    return nullptr;
}

User* State::ownUser(const Handler& h)
{
    Server* srv = serverOf(h);
    if (!srv || h.ownId == 0)
        return nullptr;
    return srv->user(h.ownId);
}

u64 State::ownChannel(const Handler& h)
{
    User* u = ownUser(h);
    return u ? u->channel : 0;
}

bool State::seesChannel(const Handler& h, u64 ch)
{
    if (ch == 0)
        return false;
    if (ch == ownChannel(h))
        return true;
    return h.subscribeAll || h.subscribed.count(ch) > 0;
}

Handler& State::newHandler()
{
    u64 id = nextHandlerId;
    if (id == 0 || handlers.count(id)) {
        id = 1;
        while (handlers.count(id))
            ++id;
    }
    nextHandlerId = 0;
    Handler& h = handlers[id];
    h.id = id;
    return h;
}

Model::Model()
{
    // A freshly started client has one empty, disconnected tab.
    Handler& h = state_.newHandler();
    state_.current = h.id;
}

int Model::connectionStatus(u64 handler) const
{
    return with([&](const State& s) {
        auto it = s.handlers.find(handler);
        return it == s.handlers.end() ? -1 : it->second.status;
    });
}

anyid Model::ownClientId(u64 handler) const
{
    return with([&](const State& s) -> anyid {
        auto it = s.handlers.find(handler);
        return it == s.handlers.end() ? 0 : it->second.ownId;
    });
}

u64 Model::ownChannel(u64 handler) const
{
    return const_cast<Model*>(this)->with([&](State& s) -> u64 {
        Handler* h = s.handler(handler);
        return h ? s.ownChannel(*h) : 0;
    });
}

std::optional<std::string> Model::selfVariable(u64 handler, int flag) const
{
    return const_cast<Model*>(this)->with([&](State& s) -> std::optional<std::string> {
        Handler* h = s.handler(handler);
        if (!h)
            return std::nullopt;
        if (User* u = s.ownUser(*h)) {
            auto it = u->vars.find(flag);
            if (it != u->vars.end())
                return it->second;
            return std::nullopt;
        }
        auto it = h->self.find(flag);
        if (it != h->self.end())
            return it->second;
        return std::nullopt;
    });
}

std::optional<std::string> Model::preProcessor(u64 handler, const std::string& ident) const
{
    return with([&](const State& s) -> std::optional<std::string> {
        auto it = s.handlers.find(handler);
        if (it == s.handlers.end())
            return std::nullopt;
        auto v = it->second.preProcessor.find(ident);
        if (v == it->second.preProcessor.end())
            return std::nullopt;
        return v->second;
    });
}

std::optional<std::string> Model::playbackConfig(u64 handler, const std::string& ident) const
{
    return with([&](const State& s) -> std::optional<std::string> {
        auto it = s.handlers.find(handler);
        if (it == s.handlers.end())
            return std::nullopt;
        auto v = it->second.playback.find(ident);
        if (v == it->second.playback.end())
            return std::nullopt;
        return v->second;
    });
}

std::optional<float> Model::volumeModifier(u64 handler, anyid client) const
{
    return with([&](const State& s) -> std::optional<float> {
        auto it = s.handlers.find(handler);
        if (it == s.handlers.end())
            return std::nullopt;
        auto v = it->second.volumes.find(client);
        if (v == it->second.volumes.end())
            return std::nullopt;
        return v->second;
    });
}

bool Model::isMuted(u64 handler, anyid client) const
{
    return with([&](const State& s) {
        auto it = s.handlers.find(handler);
        return it != s.handlers.end() && it->second.muted.count(client) > 0;
    });
}

std::vector<u64> Model::handlerIds() const
{
    return with([&](const State& s) {
        std::vector<u64> ids;
        for (const auto& [id, h] : s.handlers)
            ids.push_back(id);
        return ids;
    });
}

std::vector<LogLine> Model::log() const
{
    return with([&](const State& s) { return s.log; });
}

std::vector<std::string> Model::tabMessages() const
{
    return with([&](const State& s) { return s.tabMessages; });
}

std::vector<std::string> Model::shown() const
{
    return with([&](const State& s) { return s.shown; });
}

std::vector<WavePlay> Model::waves() const
{
    return with([&](const State& s) { return s.waves; });
}

std::optional<u64> Model::userChannel(const std::string& server, anyid client) const
{
    return with([&](const State& s) -> std::optional<u64> {
        auto it = s.servers.find(server);
        if (it == s.servers.end())
            return std::nullopt;
        const User* u = it->second.user(client);
        if (!u || u->gone)
            return std::nullopt;
        return u->channel;
    });
}

std::optional<std::string> Model::userVariable(const std::string& server, anyid client, int flag) const
{
    return with([&](const State& s) -> std::optional<std::string> {
        auto it = s.servers.find(server);
        if (it == s.servers.end())
            return std::nullopt;
        const User* u = it->second.user(client);
        if (!u)
            return std::nullopt;
        auto v = u->vars.find(flag);
        if (v == u->vars.end())
            return std::nullopt;
        return v->second;
    });
}

u64 Model::currentHandler() const
{
    return with([&](const State& s) { return s.current; });
}

std::string errorText(unsigned code)
{
    switch (code) {
    case 0x0000:
        return "ok";
    case 0x0001:
        return "undefined error";
    case 0x0002:
        return "not implemented";
    case 0x0100:
        return "command not found";
    case 0x0200:
        return "invalid clientID";
    case 0x0300:
        return "invalid channelID";
    case 0x0400:
        return "invalid serverID";
    case 0x0501:
        return "database empty result set";
    case 0x0602:
        return "invalid parameter";
    case 0x0701:
        return "connection lost";
    case 0x0702:
        return "not connected";
    case 0x0704:
        return "currently not possible";
    case 0x0707:
        return "invalid serverconnectionhandlerID";
    case 0x0a0c:
        return "insufficient client permissions";
    default:
        return "error " + std::to_string(code);
    }
}

bool isReadableWave(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    char head[16] = {};
    in.read(head, sizeof head);
    if (in.gcount() < 16)
        return false;
    return std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0 &&
           std::memcmp(head + 12, "fmt ", 4) == 0;
}

} // namespace clientsim
