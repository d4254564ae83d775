#include "clientsim/client.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <future>
#include <iostream>
#include <utility>
#include <mutex>
#include <unordered_set>

#include "clientsim/exports.h"
#include "clientsim/format.h"
#include "clientsim/invoke.h"
#include "clientsim/library.h"
#include "clientsim/table_members.h"

namespace clientsim {

std::string TraceEntry::text() const
{
    return name + "(" + args + ")";
}

std::string TraceEntry::line() const
{
    switch (kind) {
    case Kind::Call:
        return "CALL " + text() + (result.empty() ? "" : " = " + result);
    case Kind::Event:
        if (args.empty() && !result.empty() && result.rfind("->", 0) != 0)
            return "RESULT " + name + " = " + result;
        return "EVENT " + text() + (result.empty() ? "" : " " + result);
    case Kind::Note:
        break;
    }
    return "NOTE " + name;
}

struct Client::Internal {
    mutable std::mutex traceMutex;
    mutable std::condition_variable traceCv;
    std::vector<TraceEntry> trace;
    std::function<void(const TraceEntry&)> listener;

    std::mutex faultMutex;
    std::unordered_map<std::string, std::pair<unsigned, int>> faults;

    mutable std::mutex memMutex;
    std::unordered_set<void*> blocks;

    mutable std::mutex errorMutex;
    std::string lastError;
};

namespace {

std::mutex g_qtMutex;
std::string g_qtVersion; // empty: the process shows no Qt

// The longest table a generation hands over: the 209 members every plugin knows, then
// the ones later clients appended (22: 210, 24: 226, 26: 230).
constexpr int kWidestTable = 230;
using Slot = unsigned (*)();
struct WideTable {
    TS3Functions base;
    Slot extra[kWidestTable - RD_TS3_FUNCTION_COUNT];
};

template <int I>
unsigned extraSlot()
{
    const std::string text = "unexpected call of table slot " + std::to_string(I);
    std::cerr << "clientsim: " << text << std::endl;
    if (Client* c = activeClient())
        c->note(text);
    return ERROR_not_implemented;
}

template <int... I>
void fillExtraSlotsImpl(WideTable& t, std::integer_sequence<int, I...>)
{
    ((t.extra[I] = &extraSlot<RD_TS3_FUNCTION_COUNT + I>), ...);
}

void fillExtraSlots(WideTable& t)
{
    fillExtraSlotsImpl(t, std::make_integer_sequence<int, kWidestTable - RD_TS3_FUNCTION_COUNT>{});
}

// Calls setFunctionPointers with a by-value table of n members, as a client of that
// generation does (the plugin's own definition may declare fewer).
template <int N>
struct TablePrefix {
    void* slots[N];
};
template <int N>
void handOver(decltype(&::ts3plugin_setFunctionPointers) fn, const WideTable& t)
{
    TablePrefix<N> prefix;
    std::memcpy(static_cast<void*>(&prefix), &t, sizeof prefix);
    // Through void (*)(void): the documented way to say the types differ on purpose.
    reinterpret_cast<void (*)(TablePrefix<N>)>(reinterpret_cast<void (*)(void)>(fn))(prefix);
}

void handOverTable(decltype(&::ts3plugin_setFunctionPointers) fn, const WideTable& t, int size)
{
    switch (size) {
    case 210:
        handOver<210>(fn, t);
        break;
    case 226:
        handOver<226>(fn, t);
        break;
    case 230:
        handOver<230>(fn, t);
        break;
    default:
        fn(t.base);
        break;
    }
}


std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string safe(const char* s)
{
    return s ? std::string(s) : std::string();
}

} // namespace

Client::Client()
    : in_(std::make_unique<Internal>()), exports_(std::make_unique<Exports>()), loop_(std::make_unique<EventLoop>())
{}

Client::~Client()
{
    if (loaded_)
        unload();
    loop_.reset();
    std::lock_guard<std::mutex> lock(in_->memMutex);
    for (void* p : in_->blocks)
        std::free(p);
    in_->blocks.clear();
}

std::string Client::lastError() const
{
    std::lock_guard<std::mutex> lock(in_->errorMutex);
    return in_->lastError;
}

// ---- lifecycle ------------------------------------------------------------------

bool Client::load(const std::string& path, const LoadOptions& options)
{
    auto fail = [&](const std::string& message) {
        {
            std::lock_guard<std::mutex> lock(in_->errorMutex);
            in_->lastError = message;
        }
        note(message);
        return false;
    };
    if (loaded_)
        return fail("a plugin is already loaded");
    Client* other = activeClient();
    if (other && other != this)
        return fail("another client has a plugin loaded");

    std::string loadError;
    void* lib = openLibrary(path, loadError);
    if (!lib)
        return fail("Plugin failed to load: " + loadError);
    Exports ex;
    std::string missing;
#define CLIENTSIM_RESOLVE_REQ(n)                                                                                       \
    ex.n = reinterpret_cast<decltype(ex.n)>(librarySymbol(lib, "ts3plugin_" #n));                                      \
    if (!ex.n)                                                                                                         \
        missing += (missing.empty() ? "" : ", ") + std::string("ts3plugin_" #n);
#define CLIENTSIM_RESOLVE_OPT(n) ex.n = reinterpret_cast<decltype(ex.n)>(librarySymbol(lib, "ts3plugin_" #n));
    CLIENTSIM_REQUIRED_EXPORTS(CLIENTSIM_RESOLVE_REQ)
    CLIENTSIM_OPTIONAL_EXPORTS(CLIENTSIM_RESOLVE_OPT)
#undef CLIENTSIM_RESOLVE_REQ
#undef CLIENTSIM_RESOLVE_OPT
    if (!missing.empty()) {
        closeLibrary(lib);
        return fail("Plugin failed to load: missing entry points: " + missing);
    }

    // Callbacks wait until the plugin is up: what init causes is delivered after it.
    loop_->pause();
    struct Resume {
        EventLoop& loop;
        ~Resume() { loop.resume(); }
    } resume{*loop_};

    PluginInfo info;
    info.path = path;
    info.pluginId = options.pluginId.empty() ? baseName(path) : options.pluginId;
    *exports_ = ex;
    library_ = lib;
    hasPlugin_ = true;
    setActiveClient(this);
    delivering_ = false;

    auto entry = [&](const char* name, const std::string& args, const std::string& result) {
        TraceEntry e;
        e.kind = TraceEntry::Kind::Event;
        e.name = name;
        e.args = args;
        e.result = result;
        record(std::move(e));
    };
    const Generation* gen = options.generation.empty() ? nullptr : findGeneration(options.generation);
    if (!options.generation.empty() && !gen) {
        setActiveClient(nullptr);
        library_ = nullptr;
        hasPlugin_ = false;
        closeLibrary(lib);
        return fail("unknown client generation: " + options.generation);
    }
    const int minApi = gen ? gen->minApi : options.minApiVersion;
    const int maxApi = gen ? gen->maxApi : options.maxApiVersion;
    sixArgPluginCommand_ = gen && gen->sixArgPluginCommand;
    if (gen)
        model_.with([&](State& s) { s.clientVersion = gen->version; });
    {
        std::lock_guard<std::mutex> lock(g_qtMutex);
        g_qtVersion = options.qtVersion == "none"  ? std::string()
                      : !options.qtVersion.empty() ? options.qtVersion
                      : gen                        ? (gen->name == std::string("3.1")   ? "5.6.1"
                                                      : gen->name == std::string("3.6") ? "5.15.2"
                                                                                        : "5.12.3")
                                                   : std::string();
    }
    info.apiVersion = ex.apiVersion();
    entry("apiVersion", "", "-> " + std::to_string(info.apiVersion));
    if (gen) {
        // The real client asks more than once (the plugin list shows refused plugins
        // too); the answer must not change.
        const int again = ex.apiVersion();
        entry("apiVersion", "", "-> " + std::to_string(again));
        if (again != info.apiVersion)
            note("apiVersion changed between two calls");
    }
    info.name = safe(ex.name());
    entry("name", "", "-> " + quoteText(info.name.c_str()));
    if (info.apiVersion < minApi || info.apiVersion > maxApi) {
        std::string message = "Plugin failed to load: Api version is not compatible: " +
                              (gen ? std::to_string(info.apiVersion) : info.name) +
                              " (minimum: " + std::to_string(minApi) + ", current: " + std::to_string(maxApi) + ")";
        setActiveClient(nullptr);
        library_ = nullptr;
        hasPlugin_ = false;
        closeLibrary(lib);
        return fail(message);
    }
    info.version = safe(ex.version());
    entry("version", "", "-> " + quoteText(info.version.c_str()));
    info.author = safe(ex.author());
    entry("author", "", "-> " + quoteText(info.author.c_str()));
    info.description = safe(ex.description());
    entry("description", "", "-> " + quoteText(info.description.c_str()));
    info_ = info;
    if (options.skipInit) {
        setActiveClient(nullptr);
        library_ = nullptr;
        hasPlugin_ = false;
        closeLibrary(lib);
        note("identity read, plugin unloaded without init");
        return true;
    }

    // The table by value, as long as the generation's own (newer clients append members;
    // the extra slots log a call, which no plugin built for 21 may make).
    WideTable table;
    table.base = makeFunctionTable();
    fillExtraSlots(table);
    const int tableSize = gen ? gen->tableSize : RD_TS3_FUNCTION_COUNT;
    entry("setFunctionPointers", "<table of " + std::to_string(tableSize) + " functions>", "");
    handOverTable(ex.setFunctionPointers, table, tableSize);
    // Whatever the plugin kept must be a copy: scribble over our temporary.
    std::memset(static_cast<void*>(&table), 0, sizeof table);

    std::string idCopy = info_.pluginId;
    auto registerId = [&] {
        if (ex.registerPluginID) {
            entry("registerPluginID", quoteText(idCopy.c_str()), "");
            std::vector<char> buf(idCopy.begin(), idCopy.end());
            buf.push_back('\0');
            ex.registerPluginID(buf.data());
            // The id text is only valid during the call.
            std::fill(buf.begin(), buf.end(), 'X');
        }
    };
    if (options.registerBeforeInit)
        registerId();
    entry("init", "", "");
    info_.initResult = ex.init();
    entry("init", "", "-> " + std::to_string(info_.initResult));
    if (info_.initResult != 0) {
        setActiveClient(nullptr);
        library_ = nullptr;
        hasPlugin_ = false;
        closeLibrary(lib);
        return fail(info_.initResult == -2
                        ? "plugin init failed silently (-2)"
                        : "Plugin failed to load: init returned " + std::to_string(info_.initResult));
    }
    if (!options.registerBeforeInit)
        registerId();

    if (ex.offersConfigure)
        info_.offersConfigure = ex.offersConfigure();
    if (ex.requestAutoload)
        info_.requestAutoload = ex.requestAutoload();
    if (ex.commandKeyword)
        info_.commandKeyword = safe(ex.commandKeyword());
    if (ex.infoTitle)
        info_.infoTitle = safe(ex.infoTitle());
    entry("identity", "",
          "-> offersConfigure=" + std::to_string(info_.offersConfigure) + " requestAutoload=" +
              std::to_string(info_.requestAutoload) + " commandKeyword=" + quoteText(info_.commandKeyword.c_str()) +
              " infoTitle=" + quoteText(info_.infoTitle.c_str()));

    auto pluginFree = [&](void* p) {
        if (!p)
            return;
        if (ex.freeMemory)
            ex.freeMemory(p);
        else
            note("plugin exports no ts3plugin_freeMemory: block leaked");
    };
    if (ex.initMenus) {
        PluginMenuItem** items = nullptr;
        char* icon = nullptr;
        ex.initMenus(&items, &icon);
        std::string listed;
        if (items) {
            for (int i = 0; items[i]; ++i) {
                PluginInfo::Menu m;
                m.type = static_cast<int>(items[i]->type);
                m.id = items[i]->id;
                m.text = std::string(items[i]->text, strnlen(items[i]->text, PLUGIN_MENU_BUFSZ));
                m.icon = std::string(items[i]->icon, strnlen(items[i]->icon, PLUGIN_MENU_BUFSZ));
                listed += (listed.empty() ? "" : ", ") + std::to_string(m.type) + "/" + std::to_string(m.id) + " " +
                          quoteText(m.text.c_str()) + " " + quoteText(m.icon.c_str());
                info_.menus.push_back(m);
                pluginFree(items[i]);
            }
            pluginFree(items);
        }
        if (icon) {
            info_.menuIcon = std::string(icon, strnlen(icon, PLUGIN_MENU_BUFSZ));
            pluginFree(icon);
        }
        entry("initMenus", "", "-> [" + listed + "] icon=" + quoteText(info_.menuIcon.c_str()));
        model_.with([&](State& s) {
            for (const auto& m : info_.menus)
                s.menuEnabled[m.id] = true;
        });
    }
    if (ex.initHotkeys) {
        PluginHotkey** keys = nullptr;
        ex.initHotkeys(&keys);
        std::string listed;
        if (keys) {
            for (int i = 0; keys[i]; ++i) {
                std::string kw(keys[i]->keyword, strnlen(keys[i]->keyword, PLUGIN_HOTKEY_BUFSZ));
                std::string desc(keys[i]->description, strnlen(keys[i]->description, PLUGIN_HOTKEY_BUFSZ));
                info_.hotkeys.emplace_back(kw, desc);
                listed += (listed.empty() ? "" : ", ") + quoteText(kw.c_str()) + " " + quoteText(desc.c_str());
                pluginFree(keys[i]);
            }
            pluginFree(keys);
        }
        entry("initHotkeys", "", "-> [" + listed + "]");
    }
    loaded_ = true;
    delivering_ = true;
    return true;
}

void Client::unload()
{
    if (!loaded_)
        return;
    loop_->waitIdle(std::chrono::seconds(10));
    // No callback may run while the plugin shuts down; what its shutdown causes is
    // applied to the model but not delivered any more.
    loop_->pause();
    TraceEntry e;
    e.kind = TraceEntry::Kind::Event;
    e.name = "shutdown";
    record(e);
    exports_->shutdown();
    delivering_ = false;
    loaded_ = false;
    setActiveClient(nullptr);
    loop_->resume();
    loop_->waitIdle(std::chrono::seconds(10));
    setActiveClient(nullptr);
    hasPlugin_ = false;
    closeLibrary(library_);
    library_ = nullptr;
    *exports_ = Exports{};
    note("plugin unloaded");
}

// ---- trace ----------------------------------------------------------------------

void Client::record(TraceEntry entry)
{
    std::lock_guard<std::mutex> lock(in_->traceMutex);
    in_->trace.push_back(std::move(entry));
    if (in_->listener)
        in_->listener(in_->trace.back());
    in_->traceCv.notify_all();
}

void Client::note(const std::string& text)
{
    TraceEntry e;
    e.kind = TraceEntry::Kind::Note;
    e.name = text;
    record(std::move(e));
}

std::vector<TraceEntry> Client::trace() const
{
    std::lock_guard<std::mutex> lock(in_->traceMutex);
    return in_->trace;
}

std::vector<TraceEntry> Client::calls() const
{
    std::vector<TraceEntry> out;
    for (auto& e : trace())
        if (e.kind == TraceEntry::Kind::Call)
            out.push_back(e);
    return out;
}

std::vector<TraceEntry> Client::events() const
{
    std::vector<TraceEntry> out;
    for (auto& e : trace())
        if (e.kind == TraceEntry::Kind::Event)
            out.push_back(e);
    return out;
}

std::vector<std::string> Client::callTexts() const
{
    std::vector<std::string> out;
    for (auto& e : calls())
        out.push_back(e.text());
    return out;
}

std::vector<std::string> Client::callNames() const
{
    std::vector<std::string> out;
    for (auto& e : calls())
        out.push_back(e.name);
    return out;
}

std::vector<TraceEntry> Client::callsNamed(const std::string& name) const
{
    std::vector<TraceEntry> out;
    for (auto& e : calls())
        if (e.name == name)
            out.push_back(e);
    return out;
}

size_t Client::traceSize() const
{
    std::lock_guard<std::mutex> lock(in_->traceMutex);
    return in_->trace.size();
}

void Client::clearTrace()
{
    std::lock_guard<std::mutex> lock(in_->traceMutex);
    in_->trace.clear();
}

void Client::setListener(std::function<void(const TraceEntry&)> listener)
{
    std::lock_guard<std::mutex> lock(in_->traceMutex);
    in_->listener = std::move(listener);
}

bool Client::waitForTrace(const std::function<bool(const TraceEntry&)>& pred, std::chrono::milliseconds timeout,
                          size_t from) const
{
    std::unique_lock<std::mutex> lock(in_->traceMutex);
    size_t next = from;
    return in_->traceCv.wait_for(lock, timeout, [&] {
        for (; next < in_->trace.size(); ++next)
            if (pred(in_->trace[next]))
                return true;
        return false;
    });
}

bool Client::waitIdle(std::chrono::milliseconds timeout)
{
    return loop_->waitIdle(timeout);
}

namespace {
thread_local std::vector<std::pair<std::function<void()>, std::chrono::milliseconds>>* g_deferred = nullptr;
}

void Client::post(std::function<void()> job, std::chrono::milliseconds delay)
{
    if (g_deferred) {
        g_deferred->emplace_back(std::move(job), delay);
        return;
    }
    loop_->post(std::move(job), delay);
}

Client::DeferScope::DeferScope(Client& client) : client_(client), previous_(g_deferred)
{
    g_deferred = &jobs_;
}

Client::DeferScope::~DeferScope()
{
    flush();
}

void Client::DeferScope::flush()
{
    if (flushed_)
        return;
    flushed_ = true;
    g_deferred = static_cast<decltype(g_deferred)>(previous_);
    for (auto& [job, delay] : jobs_)
        client_.post(std::move(job), delay);
    jobs_.clear();
}

void Client::runOnLoop(const std::function<void()>& job)
{
    if (loop_->onLoopThread()) {
        job();
        return;
    }
    std::promise<void> done;
    auto fut = done.get_future();
    loop_->post([&] {
        job();
        done.set_value();
    });
    fut.wait();
}

// ---- faults and memory -----------------------------------------------------------

void Client::failNext(const std::string& function, unsigned code, int count)
{
    std::lock_guard<std::mutex> lock(in_->faultMutex);
    if (count <= 0)
        in_->faults.erase(function);
    else
        in_->faults[function] = {code, count};
}

std::optional<unsigned> Client::takeFault(const char* function)
{
    std::lock_guard<std::mutex> lock(in_->faultMutex);
    auto it = in_->faults.find(function);
    if (it == in_->faults.end())
        return std::nullopt;
    unsigned code = it->second.first;
    if (--it->second.second <= 0)
        in_->faults.erase(it);
    return code;
}

void* Client::allocate(size_t size)
{
    void* p = std::calloc(1, size ? size : 1);
    std::lock_guard<std::mutex> lock(in_->memMutex);
    in_->blocks.insert(p);
    return p;
}

char* Client::allocateString(const std::string& text)
{
    char* p = static_cast<char*>(allocate(text.size() + 1));
    std::memcpy(p, text.c_str(), text.size() + 1);
    return p;
}

bool Client::release(void* block)
{
    {
        std::lock_guard<std::mutex> lock(in_->memMutex);
        auto it = in_->blocks.find(block);
        if (it == in_->blocks.end()) {
            ++invalidFrees_;
            return false;
        }
        in_->blocks.erase(it);
    }
    std::free(block);
    return true;
}

size_t Client::lateCalls() const
{
    return lateCallCount();
}

size_t Client::outstandingBlocks() const
{
    std::lock_guard<std::mutex> lock(in_->memMutex);
    return in_->blocks.size();
}

// ---- the simulated world -------------------------------------------------------------

void Client::addServer(const std::string& key, const std::string& address, const std::string& name)
{
    model_.with([&](State& s) {
        Server& srv = s.servers[key];
        srv.key = key;
        splitAddress(address, srv.host, srv.port);
        if (srv.port == 0)
            srv.port = 9987;
        srv.vars[prop::ServerName] = name;
        srv.vars[prop::ServerUid] = "srv-" + key + "=";
        srv.vars[prop::ServerPlatform] = "Linux";
        srv.vars[prop::ServerVersion] = "3.13.7 [Build: 1655727713]";
        srv.vars[prop::ServerMaxClients] = "32";
        srv.vars[prop::ServerWelcome] = "Welcome to " + name;
    });
}

void Client::setServerReachable(const std::string& key, bool reachable)
{
    model_.with([&](State& s) {
        if (Server* srv = s.server(key))
            srv->reachable = reachable;
    });
}

void Client::addChannel(const std::string& key, u64 id, const std::string& name, u64 parent,
                        const std::string& password, bool isDefault)
{
    std::vector<u64> viewers;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        if (!srv || id == 0)
            return;
        Channel& ch = srv->channels[id];
        if (std::find(srv->channelOrder.begin(), srv->channelOrder.end(), id) == srv->channelOrder.end())
            srv->channelOrder.push_back(id);
        ch.id = id;
        ch.parent = parent;
        ch.vars[prop::ChannelName] = name;
        ch.vars[prop::ChannelPassword] = password;
        ch.vars[prop::ChannelFlagPassword] = password.empty() ? "0" : "1";
        ch.vars[prop::ChannelFlagDefault] = isDefault ? "1" : "0";
        if (isDefault)
            for (auto& [oid, other] : srv->channels)
                if (oid != id)
                    other.vars[prop::ChannelFlagDefault] = "0";
        for (auto& [hid, h] : s.handlers)
            if (h.status == 4 && h.server == key)
                viewers.push_back(hid);
    });
    for (u64 h : viewers)
        post([this, h, id, parent] {
            callPlugin(*this, "onNewChannelEvent", exports_->onNewChannelEvent, h, id, parent);
        });
}

void Client::addChannelPermission(const std::string& key, u64 channel, PermRow row)
{
    model_.with([&](State& s) {
        if (Server* srv = s.server(key))
            srv->channelPerms[channel].push_back(row);
    });
}

void Client::addClientPermission(const std::string& key, u64 databaseId, PermRow row)
{
    model_.with([&](State& s) {
        if (Server* srv = s.server(key))
            srv->clientPerms[databaseId].push_back(row);
    });
}

anyid Client::userJoin(const std::string& key, const UserSpec& spec)
{
    std::vector<u64> viewers;
    anyid id = 0;
    u64 channel = 0;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        if (!srv)
            return;
        id = spec.id ? spec.id : srv->freeClientId();
        if (srv->users.count(id) && !srv->users[id].gone) {
            id = 0;
            return;
        }
        channel = spec.channel ? spec.channel : srv->defaultChannel();
        if (!srv->channels.count(channel)) {
            id = 0;
            return;
        }
        User u;
        u.id = id;
        u.channel = channel;
        u.vars[prop::UniqueIdentifier] = spec.uid.empty() ? "user" + std::to_string(id) + "uid=" : spec.uid;
        u.vars[prop::Nickname] = spec.nickname;
        u.vars[prop::DatabaseId] = std::to_string(spec.databaseId ? spec.databaseId : 100 + id);
        u.vars[prop::InputMuted] = spec.inputMuted ? "1" : "0";
        u.vars[prop::OutputMuted] = spec.outputMuted ? "1" : "0";
        u.vars[prop::Away] = spec.away ? "1" : "0";
        u.vars[prop::FlagTalking] = "0";
        u.vars[prop::InputDeactivated] = "0";
        u.vars[prop::Type] = "0";
        srv->users[id] = u;
        for (auto& [hid, h] : s.handlers)
            if (h.status == 4 && h.server == key && s.seesChannel(h, channel))
                viewers.push_back(hid);
    });
    for (u64 h : viewers)
        post([this, h, id, channel] {
            callPlugin(*this, "onClientMoveEvent", exports_->onClientMoveEvent, h, id, u64(0), channel,
                       int(ENTER_VISIBILITY), "");
        });
    return id;
}

anyid Client::userJoin(const std::string& key, anyid id, const std::string& nickname, u64 channel)
{
    UserSpec spec;
    spec.id = id;
    spec.nickname = nickname;
    spec.channel = channel;
    return userJoin(key, spec);
}

void Client::userLeave(const std::string& key, anyid id, const std::string& message)
{
    std::vector<u64> viewers;
    u64 old = 0;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        User* u = srv ? srv->user(id) : nullptr;
        if (!u || u->gone || u->handler)
            return;
        old = u->channel;
        for (auto& [hid, h] : s.handlers)
            if (h.status == 4 && h.server == key && s.seesChannel(h, old))
                viewers.push_back(hid);
        u->gone = true;
        u->channel = 0;
    });
    if (!old)
        return;
    for (u64 h : viewers)
        post([this, h, id, old, message] {
            callPlugin(*this, "onClientMoveEvent", exports_->onClientMoveEvent, h, id, old, u64(0),
                       int(LEAVE_VISIBILITY), message.c_str());
        });
    post([this, key, id] {
        model_.with([&](State& s) {
            Server* srv = s.server(key);
            if (srv && srv->users.count(id) && srv->users[id].gone)
                srv->users.erase(id);
        });
    });
}

void Client::moveClient(const std::string& key, anyid id, u64 channel, anyid by, const std::string& message)
{
    struct Delivery {
        u64 h;
        int visibility;
    };
    std::vector<Delivery> out;
    u64 old = 0;
    std::string byName, byUid;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        User* u = srv ? srv->user(id) : nullptr;
        if (!u || u->gone || !srv->channels.count(channel) || u->channel == channel)
            return;
        old = u->channel;
        if (by && by != id) {
            if (User* m = srv->user(by)) {
                byName = m->nickname();
                byUid = m->uid();
            }
        }
        std::map<u64, bool> sawOld;
        for (auto& [hid, h] : s.handlers)
            if (h.status == 4 && h.server == key)
                sawOld[hid] = h.ownId == id || s.seesChannel(h, old);
        u->channel = channel;
        for (auto& [hid, before] : sawOld) {
            Handler& h = s.handlers[hid];
            bool after = h.ownId == id || s.seesChannel(h, channel);
            if (before && after)
                out.push_back({hid, RETAIN_VISIBILITY});
            else if (after)
                out.push_back({hid, ENTER_VISIBILITY});
            else if (before) {
                out.push_back({hid, LEAVE_VISIBILITY});
                h.leaving.insert(id); // readable until its move callback has run (as in the real client)
            }
        }
    });
    if (!old)
        return;
    auto left = [this, id](const Delivery& d) {
        if (d.visibility != LEAVE_VISIBILITY)
            return;
        model_.with([&](State& s) {
            if (Handler* h = s.handler(d.h))
                h->leaving.erase(id);
        });
    };
    for (const auto& d : out) {
        if (!by || by == id) {
            post([this, d, id, old, channel, message, left] {
                callPlugin(*this, "onClientMoveEvent", exports_->onClientMoveEvent, d.h, id, old, channel, d.visibility,
                           message.c_str());
                left(d);
            });
        } else {
            post([this, d, id, old, channel, by, byName, byUid, message, left] {
                callPlugin(*this, "onClientMoveMovedEvent", exports_->onClientMoveMovedEvent, d.h, id, old, channel,
                           d.visibility, by, byName.c_str(), byUid.c_str(), message.c_str());
                left(d);
            });
        }
    }
}

void Client::userMove(const std::string& key, anyid id, u64 channel, anyid by, const std::string& message)
{
    moveClient(key, id, channel, by, message);
}

void Client::userTalk(const std::string& key, anyid id, int status)
{
    std::vector<u64> viewers;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        User* u = srv ? srv->user(id) : nullptr;
        if (!u || u->gone)
            return;
        u->vars[prop::FlagTalking] = status == 1 ? "1" : "0";
        for (auto& [hid, h] : s.handlers)
            if (h.status == 4 && h.server == key && s.ownChannel(h) == u->channel)
                viewers.push_back(hid);
    });
    for (u64 h : viewers)
        post([this, h, id, status] {
            callPlugin(*this, "onTalkStatusChangeEvent", exports_->onTalkStatusChangeEvent, h, status, 0, id);
        });
}

void Client::userWhisper(const std::string& key, anyid from, anyid to, int status)
{
    u64 target = 0;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        User* t = srv ? srv->user(to) : nullptr;
        if (t && t->handler && s.handlers.count(t->handler) && s.handlers[t->handler].status == 4)
            target = t->handler;
    });
    if (target)
        post([this, target, from, status] {
            callPlugin(*this, "onTalkStatusChangeEvent", exports_->onTalkStatusChangeEvent, target, status, 1, from);
        });
}

void Client::deliverText(const std::string& key, anyid from, int mode, u64 target, const std::string& text,
                         int ffIgnored)
{
    struct Delivery {
        u64 h;
        anyid to;
    };
    std::vector<Delivery> out;
    std::string fromName, fromUid;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        User* f = srv ? srv->user(from) : nullptr;
        if (!f)
            return;
        fromName = f->nickname();
        fromUid = f->uid();
        u64 sender = f->handler;
        for (auto& [hid, h] : s.handlers) {
            if (h.status != 4 || h.server != key)
                continue;
            if (hid == sender && !echo_)
                continue;
            if (mode == TextMessageTarget_CLIENT) {
                if (h.ownId == target || hid == sender)
                    out.push_back({hid, static_cast<anyid>(target)});
            } else if (mode == TextMessageTarget_CHANNEL) {
                u64 ch = target ? target : f->channel;
                if (s.ownChannel(h) == ch)
                    out.push_back({hid, 0});
            } else {
                out.push_back({hid, 0});
            }
        }
    });
    for (const auto& d : out)
        post([this, d, mode, from, fromName, fromUid, text, ffIgnored] {
            int r = callPlugin(*this, "onTextMessageEvent", exports_->onTextMessageEvent, d.h, static_cast<anyid>(mode),
                               d.to, from, fromName.c_str(), fromUid.c_str(), text.c_str(), ffIgnored);
            if (r == 0 && !ffIgnored)
                model_.with([&](State& s) {
                    s.shown.push_back("chat h=" + std::to_string(d.h) + " mode=" + std::to_string(mode) +
                                      " from=" + fromName + ": " + text);
                });
        });
}

void Client::userText(const std::string& key, anyid from, int mode, u64 target, const std::string& text, int ffIgnored)
{
    deliverText(key, from, mode, target, text, ffIgnored);
}

void Client::userPoke(const std::string& key, anyid from, anyid to, const std::string& text, int ffIgnored)
{
    u64 target = 0;
    std::string name, uid;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        User* f = srv ? srv->user(from) : nullptr;
        User* t = srv ? srv->user(to) : nullptr;
        if (!f || !t || !t->handler)
            return;
        name = f->nickname();
        uid = f->uid();
        if (s.handlers.count(t->handler) && s.handlers[t->handler].status == 4)
            target = t->handler;
    });
    if (!target)
        return;
    post([this, target, from, name, uid, text, ffIgnored] {
        int r = callPlugin(*this, "onClientPokeEvent", exports_->onClientPokeEvent, target, from, name.c_str(),
                           uid.c_str(), text.c_str(), ffIgnored);
        if (r == 0 && !ffIgnored)
            model_.with([&](State& s) {
                s.shown.push_back("poke h=" + std::to_string(target) + " from=" + name + ": " + text);
            });
    });
}

void Client::deliverPluginCommand(const std::string& key, anyid from, int targetMode, std::vector<anyid> targets,
                                  const std::string& pluginName, const std::string& text)
{
    std::vector<u64> out;
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        if (!srv)
            return;
        User* f = srv->user(from);
        u64 sender = f ? f->handler : 0;
        u64 senderChannel = f ? f->channel : 0;
        for (auto& [hid, h] : s.handlers) {
            if (h.status != 4 || h.server != key)
                continue;
            if (hid == sender && !echo_)
                continue;
            bool take = false;
            switch (targetMode) {
            case PluginCommandTarget_SERVER:
                take = true;
                break;
            case PluginCommandTarget_CURRENT_CHANNEL:
            case PluginCommandTarget_CURRENT_CHANNEL_SUBSCRIBED_CLIENTS:
                take = s.ownChannel(h) == senderChannel;
                break;
            case PluginCommandTarget_CLIENT:
                take = std::find(targets.begin(), targets.end(), h.ownId) != targets.end();
                break;
            default:
                break;
            }
            if (take)
                out.push_back(hid);
        }
    });
    for (u64 h : out)
        post([this, h, pluginName, text, from] { callPluginCommand(h, pluginName, text, from); });
}

void Client::callPluginCommand(u64 handler, const std::string& pluginName, const std::string& text, anyid from)
{
    if (!sixArgPluginCommand_) {
        callPlugin(*this, "onPluginCommandEvent", exports_->onPluginCommandEvent, handler, pluginName.c_str(),
                   text.c_str());
        return;
    }
    std::string name, uid;
    model_.with([&](State& s) {
        Handler* h = s.handler(handler);
        Server* srv = h ? s.serverOf(*h) : nullptr;
        if (User* u = srv ? srv->user(from) : nullptr) {
            name = u->vars[prop::Nickname];
            uid = u->vars[prop::UniqueIdentifier];
        }
    });
    using SixArgs = void (*)(uint64, const char*, const char*, anyID, const char*, const char*);
    callPlugin(*this, "onPluginCommandEvent",
               reinterpret_cast<SixArgs>(reinterpret_cast<void (*)(void)>(exports_->onPluginCommandEvent)), handler,
               pluginName.c_str(), text.c_str(), anyID(from), name.c_str(), uid.c_str());
}

void Client::userPluginCommand(const std::string& key, anyid from, const std::string& text,
                               const std::string& pluginName)
{
    deliverPluginCommand(key, from, PluginCommandTarget_SERVER, {}, pluginName.empty() ? info_.pluginId : pluginName,
                         text);
}

void Client::setUserVariable(const std::string& key, anyid id, int flag, const std::string& value)
{
    model_.with([&](State& s) {
        Server* srv = s.server(key);
        if (User* u = srv ? srv->user(id) : nullptr)
            u->vars[flag] = value;
    });
}

u64 Client::connect(const std::string& address, const std::string& nickname, const std::string& channelPath,
                    const std::string& channelPassword, const std::string& serverPassword)
{
    u64 id = model_.with([&](State& s) {
        Handler* h = s.handler(s.current);
        if (!h || h->status != 0)
            h = &s.newHandler();
        h->address = address;
        h->nickname = nickname;
        h->channelPath = channelPath;
        h->channelPassword = channelPassword;
        h->serverPassword = serverPassword;
        s.current = h->id;
        return h->id;
    });
    startConnectSteps(id);
    return id;
}

void Client::startGuiConnectSteps(u64 handler)
{
    if (!statusInsideConnect_) {
        startConnectSteps(handler);
        return;
    }
    // Post the steps at once, without delay and past the caller's deferral, and wait
    // until the event thread has delivered them.
    auto* held = g_deferred;
    g_deferred = nullptr;
    startConnectSteps(handler, 0);
    g_deferred = held;
    runOnLoop([] {});
}

void Client::startConnectSteps(u64 handler, int stepMs)
{
    // The tab counts as connecting from now on (so the next connect takes another tab);
    // the callbacks follow from the event thread.
    unsigned gen = model_.with([&](State& s) {
        Handler* h = s.handler(handler);
        if (!h)
            return 0u;
        h->status = STATUS_CONNECTING;
        return ++h->generation;
    });
    if (!gen)
        return;
    auto step = std::chrono::milliseconds(stepMs >= 0 ? stepMs : connectStepMs_.load());
    auto statusStep = [this, handler, gen](int status) {
        return [this, handler, gen, status] {
            bool ok = model_.with([&](State& s) {
                Handler* h = s.handler(handler);
                if (!h || h->generation != gen)
                    return false;
                h->status = status;
                return true;
            });
            if (ok)
                callPlugin(*this, "onConnectStatusChangeEvent", exports_->onConnectStatusChangeEvent, handler, status,
                           0u);
        };
    };
    post(statusStep(STATUS_CONNECTING), step);
    // Reach the server: unknown or unreachable servers end the attempt.
    post(
        [this, handler, gen] {
            bool failed = false, ok = false;
            model_.with([&](State& s) {
                Handler* h = s.handler(handler);
                if (!h || h->generation != gen)
                    return;
                Server* srv = s.serverByAddress(h->address);
                if (!srv || !srv->reachable) {
                    failed = true;
                    h->status = 0;
                    ++h->generation;
                    return;
                }
                h->server = srv->key;
                h->status = STATUS_CONNECTED;
                ok = true;
            });
            if (failed)
                callPlugin(*this, "onConnectStatusChangeEvent", exports_->onConnectStatusChangeEvent, handler,
                           int(STATUS_DISCONNECTED), unsigned(ERROR_connection_lost));
            if (ok)
                callPlugin(*this, "onConnectStatusChangeEvent", exports_->onConnectStatusChangeEvent, handler,
                           int(STATUS_CONNECTED), 0u);
        },
        step * 2);
    // Join: the own client appears in the requested (or default) channel.
    post(
        [this, handler, gen] {
            bool ok = model_.with([&](State& s) {
                Handler* h = s.handler(handler);
                if (!h || h->generation != gen)
                    return false;
                Server* srv = s.serverOf(*h);
                if (!srv)
                    return false;
                if (srv->channels.empty()) {
                    Channel& ch = srv->channels[1];
                    ch.id = 1;
                    ch.vars[prop::ChannelName] = "Default Channel";
                    ch.vars[prop::ChannelFlagDefault] = "1";
                    srv->channelOrder.push_back(1);
                }
                u64 channel = h->channelPath.empty() ? 0 : srv->channelByPath(h->channelPath);
                if (channel && srv->channels[channel].password() != "" &&
                    srv->channels[channel].password() != h->channelPassword)
                    channel = 0;
                if (!channel)
                    channel = srv->defaultChannel();
                User u;
                u.id = srv->freeClientId();
                u.channel = channel;
                u.handler = handler;
                u.vars = h->self;
                u.vars[prop::UniqueIdentifier] =
                    h->identity.empty() ? "own" + std::to_string(handler) + "uid=" : h->identity + "-uid=";
                u.vars[prop::Nickname] = h->nickname.empty() ? "TeamSpeakUser" : h->nickname;
                u.vars[prop::DatabaseId] = std::to_string(1000 + u.id);
                for (int flag : {prop::FlagTalking, prop::InputMuted, prop::OutputMuted, prop::InputDeactivated,
                                 prop::Away, prop::ChannelCommander})
                    if (!u.vars.count(flag))
                        u.vars[flag] = "0";
                h->ownId = u.id;
                h->subscribeAll = true;
                h->subscribed.clear();
                h->muted.clear();
                h->status = STATUS_CONNECTION_ESTABLISHING;
                srv->users[u.id] = u;
                return true;
            });
            if (ok)
                callPlugin(*this, "onConnectStatusChangeEvent", exports_->onConnectStatusChangeEvent, handler,
                           int(STATUS_CONNECTION_ESTABLISHING), 0u);
        },
        step * 3);
    post(
        [this, handler, gen] {
            std::vector<u64> viewers;
            anyid own = 0;
            u64 channel = 0;
            bool ok = model_.with([&](State& s) {
                Handler* h = s.handler(handler);
                if (!h || h->generation != gen || h->status != STATUS_CONNECTION_ESTABLISHING)
                    return false;
                h->status = STATUS_CONNECTION_ESTABLISHED;
                own = h->ownId;
                channel = s.ownChannel(*h);
                for (auto& [hid, other] : s.handlers)
                    if (hid != handler && other.status == 4 && other.server == h->server &&
                        s.seesChannel(other, channel))
                        viewers.push_back(hid);
                return true;
            });
            if (!ok)
                return;
            callPlugin(*this, "onConnectStatusChangeEvent", exports_->onConnectStatusChangeEvent, handler,
                       int(STATUS_CONNECTION_ESTABLISHED), 0u);
            for (u64 v : viewers)
                callPlugin(*this, "onClientMoveEvent", exports_->onClientMoveEvent, v, own, u64(0), channel,
                           int(ENTER_VISIBILITY), "");
        },
        step * 4);
}

void Client::stopConnectionNow(u64 handler, unsigned error, const std::string& message, bool)
{
    std::vector<u64> viewers;
    anyid own = 0;
    u64 channel = 0;
    std::string key;
    bool changed = model_.with([&](State& s) {
        Handler* h = s.handler(handler);
        if (!h || h->status == 0)
            return false;
        ++h->generation;
        key = h->server;
        if (User* u = s.ownUser(*h)) {
            own = u->id;
            channel = u->channel;
            for (auto& [hid, other] : s.handlers)
                if (hid != handler && other.status == 4 && other.server == key && s.seesChannel(other, channel))
                    viewers.push_back(hid);
            u->gone = true;
            u->channel = 0;
        }
        for (const auto& [flag, value] : h->pending)
            h->self[flag] = value;
        h->pending.clear();
        h->status = 0;
        h->ownId = 0;
        h->server.clear();
        return true;
    });
    if (!changed)
        return;
    post([this, handler, error] {
        callPlugin(*this, "onConnectStatusChangeEvent", exports_->onConnectStatusChangeEvent, handler,
                   int(STATUS_DISCONNECTED), error);
    });
    for (u64 v : viewers)
        post([this, v, own, channel, message] {
            callPlugin(*this, "onClientMoveEvent", exports_->onClientMoveEvent, v, own, channel, u64(0),
                       int(LEAVE_VISIBILITY), message.c_str());
        });
    if (own)
        post([this, key, own] {
            model_.with([&](State& s) {
                Server* srv = s.server(key);
                if (srv && srv->users.count(own) && srv->users[own].gone)
                    srv->users.erase(own);
            });
        });
}

void Client::dropConnection(u64 handler, unsigned error, const std::string& message)
{
    stopConnectionNow(handler, error, message, false);
}

void Client::disconnect(u64 handler, const std::string& message)
{
    stopConnectionNow(handler, ERROR_ok, message, true);
}

void Client::setCurrentTab(u64 handler)
{
    bool ok = model_.with([&](State& s) {
        if (!s.handler(handler))
            return false;
        s.current = handler;
        return true;
    });
    if (ok)
        post([this, handler] {
            callPlugin(*this, "currentServerConnectionChanged", exports_->currentServerConnectionChanged, handler);
        });
}

void Client::selfVariableChange(u64 handler, int flag, const std::string& value)
{
    std::string old;
    bool ok = model_.with([&](State& s) {
        Handler* h = s.handler(handler);
        if (!h)
            return false;
        if (User* u = s.ownUser(*h)) {
            old = u->get(flag);
            u->vars[flag] = value;
        } else {
            old = h->self[flag];
            h->self[flag] = value;
        }
        return true;
    });
    if (ok)
        post([this, handler, flag, old, value] {
            callPlugin(*this, "onClientSelfVariableUpdateEvent", exports_->onClientSelfVariableUpdateEvent, handler,
                       flag, old.c_str(), value.c_str());
        });
}

void Client::finishRequest(u64 handler, const std::string& returnCode, unsigned error, const std::string& extra)
{
    if (error == 0 && (returnCode.empty() || !okServerErrors_))
        return;
    std::string message = errorText(error);
    post([this, handler, message, error, returnCode, extra] {
        int r = callPlugin(*this, "onServerErrorEvent", exports_->onServerErrorEvent, handler, message.c_str(), error,
                           returnCode.c_str(), extra.c_str());
        if (r == 0 && error != 0)
            model_.with([&](State& s) { s.shown.push_back("error h=" + std::to_string(handler) + ": " + message); });
    });
}

void Client::serverError(u64 handler, unsigned error, const std::string& message, const std::string& returnCode,
                         const std::string& extra)
{
    post([this, handler, message, error, returnCode, extra] {
        int r = callPlugin(*this, "onServerErrorEvent", exports_->onServerErrorEvent, handler, message.c_str(), error,
                           returnCode.c_str(), extra.c_str());
        if (r == 0 && error != 0)
            model_.with([&](State& s) { s.shown.push_back("error h=" + std::to_string(handler) + ": " + message); });
    });
}

void Client::permissionError(u64 handler, unsigned error, const std::string& message, const std::string& returnCode,
                             unsigned permissionId)
{
    post([this, handler, message, error, returnCode, permissionId] {
        callPlugin(*this, "onServerPermissionErrorEvent", exports_->onServerPermissionErrorEvent, handler,
                   message.c_str(), error, returnCode.c_str(), permissionId);
    });
}

void Client::addProfile(int kind, const std::string& name, bool isDefault)
{
    model_.with([&](State& s) {
        auto& list = s.profiles[kind];
        list.push_back(name);
        if (isDefault || list.size() == 1)
            s.profileDefault[kind] = static_cast<int>(list.size() - 1);
    });
}

void Client::addBookmark(const std::string& folderPath, const Bookmark& bookmark)
{
    model_.with([&](State& s) {
        std::vector<Bookmark>* level = &s.bookmarks;
        size_t start = 0;
        while (start < folderPath.size()) {
            size_t slash = folderPath.find('/', start);
            if (slash == std::string::npos)
                slash = folderPath.size();
            std::string part = folderPath.substr(start, slash - start);
            start = slash + 1;
            if (part.empty())
                continue;
            auto it = std::find_if(level->begin(), level->end(),
                                   [&](const Bookmark& b) { return b.folder && b.name == part; });
            if (it == level->end()) {
                Bookmark f;
                f.folder = true;
                f.name = part;
                level->push_back(f);
                it = level->end() - 1;
            }
            level = &it->children;
        }
        level->push_back(bookmark);
    });
}

// ---- GUI actions and raw callbacks ------------------------------------------------

void Client::menuItem(u64 handler, int type, int menuId, u64 selected)
{
    runOnLoop([&] {
        callPlugin(*this, "onMenuItemEvent", exports_->onMenuItemEvent, handler, static_cast<PluginMenuType>(type),
                   menuId, selected);
    });
}

void Client::hotkey(const std::string& keyword)
{
    runOnLoop([&] { callPlugin(*this, "onHotkeyEvent", exports_->onHotkeyEvent, keyword.c_str()); });
}

int Client::processCommand(u64 handler, const std::string& text)
{
    int r = -1;
    runOnLoop([&] {
        if (exports_->processCommand)
            r = callPlugin(*this, "processCommand", exports_->processCommand, handler, text.c_str());
    });
    return r;
}

std::optional<std::string> Client::infoData(u64 handler, u64 id, int type)
{
    std::optional<std::string> out;
    runOnLoop([&] {
        if (!exports_->infoData || !delivering_)
            return;
        char* data = nullptr;
        callPlugin(*this, "infoData", exports_->infoData, handler, id, static_cast<PluginItemType>(type), &data);
        if (data) {
            out = std::string(data);
            if (exports_->freeMemory)
                exports_->freeMemory(data);
        }
    });
    return out;
}

void Client::configure()
{
    runOnLoop([&] {
        callPlugin(*this, "configure", exports_->configure, static_cast<void*>(nullptr), static_cast<void*>(nullptr));
    });
}

void Client::fireConnectStatus(u64 handler, int status, unsigned error)
{
    runOnLoop([&] {
        callPlugin(*this, "onConnectStatusChangeEvent", exports_->onConnectStatusChangeEvent, handler, status, error);
    });
}

void Client::fireClientMove(u64 handler, anyid client, u64 from, u64 to, int visibility, const std::string& message)
{
    runOnLoop([&] {
        callPlugin(*this, "onClientMoveEvent", exports_->onClientMoveEvent, handler, client, from, to, visibility,
                   message.c_str());
    });
}

void Client::fireTalkStatus(u64 handler, int status, int whisper, anyid client)
{
    runOnLoop([&] {
        callPlugin(*this, "onTalkStatusChangeEvent", exports_->onTalkStatusChangeEvent, handler, status, whisper,
                   client);
    });
}

int Client::fireTextMessage(u64 handler, int mode, anyid to, anyid from, const std::string& fromName,
                            const std::string& fromUid, const std::string& message, int ffIgnored)
{
    int r = 0;
    runOnLoop([&] {
        r = callPlugin(*this, "onTextMessageEvent", exports_->onTextMessageEvent, handler, static_cast<anyid>(mode), to,
                       from, fromName.c_str(), fromUid.c_str(), message.c_str(), ffIgnored);
    });
    return r;
}

int Client::firePoke(u64 handler, anyid from, const std::string& name, const std::string& uid,
                     const std::string& message, int ffIgnored)
{
    int r = 0;
    runOnLoop([&] {
        r = callPlugin(*this, "onClientPokeEvent", exports_->onClientPokeEvent, handler, from, name.c_str(),
                       uid.c_str(), message.c_str(), ffIgnored);
    });
    return r;
}

void Client::fireSelfVariable(u64 handler, int flag, const std::string& oldValue, const std::string& newValue)
{
    runOnLoop([&] {
        callPlugin(*this, "onClientSelfVariableUpdateEvent", exports_->onClientSelfVariableUpdateEvent, handler, flag,
                   oldValue.c_str(), newValue.c_str());
    });
}

int Client::fireServerError(u64 handler, const std::string& message, unsigned error, const std::string& returnCode,
                            const std::string& extra)
{
    int r = 0;
    runOnLoop([&] {
        r = callPlugin(*this, "onServerErrorEvent", exports_->onServerErrorEvent, handler, message.c_str(), error,
                       returnCode.c_str(), extra.c_str());
    });
    return r;
}

void Client::firePluginCommand(u64 handler, const std::string& pluginName, const std::string& command)
{
    runOnLoop([&] { callPluginCommand(handler, pluginName, command, 0); });
}

const Generation* findGeneration(const std::string& name)
{
    static const Generation kGenerations[] = {
        {"3.1", 21, 22, 209, "3.1.10 [Build: 1528536950]", false},
        {"3.3", 23, 23, 210, "3.3.2 [Build: 1573561219]", true},
        {"3.5", 23, 25, 226, "3.5.6 [Build: 1606312422]", true},
        {"3.6", 26, 26, 230, "3.6.2 [Build: 1695203293]", true},
    };
    for (const Generation& g : kGenerations)
        if (name == g.name)
            return &g;
    return nullptr;
}

} // namespace clientsim

#ifndef _WIN32
// Qt programs export qVersion unmangled; plugins may ask the host process for it. The
// answer is the loaded generation's Qt, or none (a null text).
extern "C" __attribute__((visibility("default"))) const char* qVersion()
{
    static thread_local std::string copy;
    std::lock_guard<std::mutex> lock(clientsim::g_qtMutex);
    if (clientsim::g_qtVersion.empty())
        return nullptr;
    copy = clientsim::g_qtVersion;
    return copy.c_str();
}
#endif
