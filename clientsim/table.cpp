// The function table handed to the plugin. Every member is a thunk that records the
// call (name and arguments), applies an injected fault if one is pending, and runs the
// implementation over the model; members without an implementation answer
// ERROR_not_implemented (0 for uint64 results, nothing for void ones).

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "clientsim/client.h"
#include "clientsim/exports.h"
#include "clientsim/format.h"
#include "clientsim/invoke.h"
#include "clientsim/table_members.h"

namespace clientsim {

namespace {

std::atomic<Client*> g_active{nullptr};
std::atomic<size_t> g_lateCalls{0};

std::string resultText(unsigned r)
{
    if (r == 0)
        return "0";
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04x", r);
    return buf;
}

template <class Sig>
struct Thunk;

template <class R, class... A>
struct Thunk<R (*)(A...)> {
    template <const char* Name, auto Impl>
    static R call(A... a)
    {
        Client* c = g_active.load();
        TraceEntry e;
        e.kind = TraceEntry::Kind::Call;
        e.name = Name;
        e.args = formatArgs(a...);
        if (!c) {
            ++g_lateCalls;
            std::cerr << "clientsim: call after unload: " << e.text() << std::endl;
            if constexpr (std::is_same_v<R, unsigned int>)
                return ERROR_undefined;
            else if constexpr (!std::is_void_v<R>)
                return R{};
            else
                return;
        }
        Client::DeferScope defer(*c);
        if constexpr (std::is_same_v<R, unsigned int>) {
            if (auto fault = c->takeFault(Name)) {
                e.result = resultText(*fault) + " [injected]";
                c->record(std::move(e));
                return *fault;
            }
        }
        if constexpr (std::is_null_pointer_v<decltype(Impl)>) {
            if constexpr (std::is_same_v<R, unsigned int>) {
                e.result = resultText(ERROR_not_implemented) + " [not implemented]";
                c->record(std::move(e));
                return ERROR_not_implemented;
            } else {
                e.result = "[not implemented]";
                c->record(std::move(e));
                if constexpr (!std::is_void_v<R>)
                    return R{};
            }
        } else if constexpr (std::is_void_v<R>) {
            Impl(*c, a...);
            c->record(std::move(e));
        } else {
            R r = Impl(*c, a...);
            if constexpr (std::is_same_v<R, unsigned int>)
                e.result = resultText(r);
            else
                e.result = std::to_string(r);
            c->record(std::move(e));
            defer.flush();
            return r;
        }
    }
};

// ---- helpers ------------------------------------------------------------------

void copyOut(char* dest, size_t maxLen, const std::string& text)
{
    if (!dest || maxLen == 0)
        return;
    size_t n = std::min(text.size(), maxLen - 1);
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

template <class F>
unsigned withHandler(Client& c, u64 h, F f)
{
    return c.model().with([&](State& s) -> unsigned {
        Handler* hd = s.handler(h);
        if (!hd)
            return ERROR_invalid_server_connection_handler_id;
        return f(s, *hd);
    });
}

// The handler must be fully connected (status 4).
template <class F>
unsigned withConnected(Client& c, u64 h, F f)
{
    return withHandler(c, h, [&](State& s, Handler& hd) -> unsigned {
        Server* srv = s.serverOf(hd);
        if (hd.status != STATUS_CONNECTION_ESTABLISHED || !srv)
            return ERROR_not_connected;
        return f(s, hd, *srv);
    });
}

// A client the handler knows: its own client or one in a channel it sees.
User* visibleUser(State& s, Handler& h, Server& srv, anyid id)
{
    User* u = srv.user(id);
    if (!u)
        return nullptr;
    if (u->handler == h.id)
        return u;
    if (u->gone)
        return u; // still known while its leave is being reported
    if (h.leaving.count(id))
        return u; // likewise while it leaves this handler's view
    return s.seesChannel(h, u->channel) ? u : nullptr;
}

template <class T>
T* allocList(Client& c, const std::vector<T>& items)
{
    T* out = static_cast<T*>(c.allocate((items.size() + 1) * sizeof(T)));
    for (size_t i = 0; i < items.size(); ++i)
        out[i] = items[i];
    out[items.size()] = 0;
    return out;
}

bool parseNumber(const char* text, double& out)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end && *end == '\0';
}

std::string orEmpty(const char* s)
{
    return s ? std::string(s) : std::string();
}

const std::set<int>& settableSelfFlags()
{
    static const std::set<int> flags{prop::Nickname,
                                     prop::InputMuted,
                                     prop::OutputMuted,
                                     7,
                                     8,
                                     9,
                                     prop::InputDeactivated,
                                     12,
                                     13,
                                     prop::MetaData,
                                     prop::Away,
                                     prop::AwayMessage,
                                     41,
                                     prop::Description,
                                     prop::NicknamePhonetic,
                                     prop::ChannelCommander};
    return flags;
}

// ---- library, errors, memory, log --------------------------------------------

unsigned f_getClientLibVersion(Client& c, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v = c.model().with([](State& s) { return s.clientVersion; });
    *result = c.allocateString(v);
    return ERROR_ok;
}

unsigned f_getClientLibVersionNumber(Client& c, uint64* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    *result = c.model().with([](State& s) { return s.clientVersionNumber; });
    return ERROR_ok;
}

unsigned f_spawnNewServerConnectionHandler(Client& c, int, uint64* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    *result = c.model().with([](State& s) { return s.newHandler().id; });
    return ERROR_ok;
}

unsigned f_destroyServerConnectionHandler(Client& c, uint64 h)
{
    return withHandler(c, h, [&](State& s, Handler& hd) -> unsigned {
        if (hd.status != 0)
            return ERROR_currently_not_possible;
        s.handlers.erase(h);
        if (s.current == h)
            s.current = s.handlers.empty() ? 0 : s.handlers.begin()->first;
        return ERROR_ok;
    });
}

unsigned f_getErrorMessage(Client& c, unsigned code, char** error)
{
    if (!error)
        return ERROR_parameter_invalid;
    *error = c.allocateString(errorText(code));
    return ERROR_ok;
}

unsigned f_freeMemory(Client& c, void* pointer)
{
    if (!pointer)
        return ERROR_ok;
    if (c.release(pointer))
        return ERROR_ok;
    c.note("freeMemory of a block the client did not hand out");
    return ERROR_parameter_invalid;
}

unsigned f_logMessage(Client& c, const char* message, int severity, const char* channel, uint64 logId)
{
    c.model().with([&](State& s) { s.log.push_back({orEmpty(message), severity, orEmpty(channel), logId}); });
    return ERROR_ok;
}

// ---- sound devices --------------------------------------------------------------

unsigned f_openPlaybackDevice(Client& c, uint64 h, const char* mode, const char* device)
{
    return withHandler(c, h, [&](State& s, Handler& hd) -> unsigned {
        std::string d = orEmpty(device);
        if (!d.empty() && !s.customDevices.count(d) &&
            std::find(s.playbackDevices.begin(), s.playbackDevices.end(), d) == s.playbackDevices.end())
            return ERROR_parameter_invalid;
        hd.playbackMode = orEmpty(mode);
        hd.playbackDevice = d;
        return ERROR_ok;
    });
}

unsigned f_openCaptureDevice(Client& c, uint64 h, const char* mode, const char* device)
{
    return withHandler(c, h, [&](State& s, Handler& hd) -> unsigned {
        std::string d = orEmpty(device);
        if (!d.empty() && !s.customDevices.count(d) &&
            std::find(s.captureDevices.begin(), s.captureDevices.end(), d) == s.captureDevices.end())
            return ERROR_parameter_invalid;
        hd.captureMode = orEmpty(mode);
        hd.captureDevice = d;
        return ERROR_ok;
    });
}

unsigned f_getCurrentPlaybackDeviceName(Client& c, uint64 h, char** result, int* isDefault)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        *result = c.allocateString(hd.playbackDevice.empty() ? "default" : hd.playbackDevice);
        if (isDefault)
            *isDefault = hd.playbackDevice.empty() ? 1 : 0;
        return ERROR_ok;
    });
}

unsigned f_getCurrentPlayBackMode(Client& c, uint64 h, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        *result = c.allocateString(hd.playbackMode);
        return ERROR_ok;
    });
}

unsigned f_getCurrentCaptureDeviceName(Client& c, uint64 h, char** result, int* isDefault)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        *result = c.allocateString(hd.captureDevice.empty() ? "default" : hd.captureDevice);
        if (isDefault)
            *isDefault = hd.captureDevice.empty() ? 1 : 0;
        return ERROR_ok;
    });
}

unsigned f_getCurrentCaptureMode(Client& c, uint64 h, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        *result = c.allocateString(hd.captureMode);
        return ERROR_ok;
    });
}

unsigned f_closePlaybackDevice(Client& c, uint64 h)
{
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        hd.playbackDevice.clear();
        return ERROR_ok;
    });
}

unsigned f_closeCaptureDevice(Client& c, uint64 h)
{
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        hd.captureDevice.clear();
        return ERROR_ok;
    });
}

unsigned playWave(Client& c, uint64 h, const char* path, int loop, uint64* handle)
{
    std::string p = orEmpty(path);
    return withHandler(c, h, [&](State& s, Handler&) -> unsigned {
        if (!isReadableWave(p))
            return ERROR_parameter_invalid;
        WavePlay w;
        w.handler = h;
        w.path = p;
        w.loop = loop != 0;
        if (handle) {
            w.handle = s.nextWaveHandle++;
            *handle = w.handle;
        }
        s.waves.push_back(w);
        return ERROR_ok;
    });
}

unsigned f_playWaveFileHandle(Client& c, uint64 h, const char* path, int loop, uint64* waveHandle)
{
    if (!waveHandle)
        return ERROR_parameter_invalid;
    return playWave(c, h, path, loop, waveHandle);
}

unsigned f_playWaveFile(Client& c, uint64 h, const char* path)
{
    return playWave(c, h, path, 0, nullptr);
}

unsigned f_pauseWaveFileHandle(Client& c, uint64 h, uint64 handle, int pause)
{
    return withHandler(c, h, [&](State& s, Handler&) -> unsigned {
        for (auto& w : s.waves)
            if (w.handle == handle && w.handler == h && !w.closed) {
                w.paused = pause != 0;
                return ERROR_ok;
            }
        return ERROR_parameter_invalid;
    });
}

unsigned f_closeWaveFileHandle(Client& c, uint64 h, uint64 handle)
{
    return withHandler(c, h, [&](State& s, Handler&) -> unsigned {
        for (auto& w : s.waves)
            if (w.handle == handle && w.handler == h && !w.closed) {
                w.closed = true;
                return ERROR_ok;
            }
        return ERROR_parameter_invalid;
    });
}

unsigned f_registerCustomDevice(Client& c, const char* id, const char* name, int capF, int capC, int playF, int playC)
{
    std::string d = orEmpty(id);
    if (d.empty() || capF <= 0 || playF <= 0 || capC <= 0 || playC <= 0)
        return ERROR_parameter_invalid;
    c.model().with([&](State& s) {
        CustomDevice dev;
        dev.id = d;
        dev.displayName = orEmpty(name);
        dev.capFrequency = capF;
        dev.capChannels = capC;
        dev.playFrequency = playF;
        dev.playChannels = playC;
        s.customDevices[d] = dev;
    });
    return ERROR_ok;
}

unsigned f_unregisterCustomDevice(Client& c, const char* id)
{
    return c.model().with(
        [&](State& s) -> unsigned { return s.customDevices.erase(orEmpty(id)) ? ERROR_ok : ERROR_parameter_invalid; });
}

unsigned f_processCustomCaptureData(Client& c, const char* name, const short* buffer, int samples)
{
    if (samples < 0 || (samples > 0 && !buffer))
        return ERROR_parameter_invalid;
    return c.model().with([&](State& s) -> unsigned {
        auto it = s.customDevices.find(orEmpty(name));
        if (it == s.customDevices.end())
            return ERROR_parameter_invalid;
        it->second.samplesCaptured += samples;
        return ERROR_ok;
    });
}

// ---- pre-processor, encoder, playback ---------------------------------------------

bool validPreProcessor(const std::string& ident, const char* value)
{
    static const std::set<std::string> booleans{"denoise", "vad", "agc", "echo_canceling", "echo_reduction"};
    static const std::set<std::string> numbers{"voiceactivation_level", "vad_extrabuffersize", "agc_level",
                                               "agc_max_gain", "echo_reduction_db"};
    std::string v = orEmpty(value);
    if (booleans.count(ident))
        return v == "true" || v == "false";
    double d = 0;
    if (numbers.count(ident))
        return parseNumber(value, d);
    return false;
}

unsigned f_getPreProcessorInfoValueFloat(Client& c, uint64 h, const char* ident, float* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler&) -> unsigned {
        if (orEmpty(ident) != "decibel_last_period")
            return ERROR_parameter_invalid;
        *result = -60.0f;
        return ERROR_ok;
    });
}

unsigned f_getPreProcessorConfigValue(Client& c, uint64 h, const char* ident, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        std::string id = orEmpty(ident);
        static const std::map<std::string, std::string> defaults{
            {"name", "Speex Preprocessor"},   {"denoise", "true"},          {"vad", "true"},
            {"voiceactivation_level", "-50"}, {"vad_extrabuffersize", "0"}, {"agc", "true"},
            {"agc_level", "16000"},           {"agc_max_gain", "30"},       {"echo_canceling", "false"}};
        auto set = hd.preProcessor.find(id);
        if (set != hd.preProcessor.end()) {
            *result = c.allocateString(set->second);
            return ERROR_ok;
        }
        auto def = defaults.find(id);
        if (def == defaults.end())
            return ERROR_parameter_invalid;
        *result = c.allocateString(def->second);
        return ERROR_ok;
    });
}

unsigned f_setPreProcessorConfigValue(Client& c, uint64 h, const char* ident, const char* value)
{
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        std::string id = orEmpty(ident);
        if (!validPreProcessor(id, value))
            return ERROR_parameter_invalid;
        hd.preProcessor[id] = orEmpty(value);
        return ERROR_ok;
    });
}

unsigned f_getEncodeConfigValue(Client& c, uint64 h, const char* ident, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler&) -> unsigned {
        static const std::map<std::string, std::string> values{
            {"name", "Opus Voice"}, {"quality", "6"}, {"bitrate", "23500"}};
        auto it = values.find(orEmpty(ident));
        if (it == values.end())
            return ERROR_parameter_invalid;
        *result = c.allocateString(it->second);
        return ERROR_ok;
    });
}

unsigned f_getPlaybackConfigValueAsFloat(Client& c, uint64 h, const char* ident, float* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        std::string id = orEmpty(ident);
        if (id != "volume_modifier" && id != "volume_factor_wave")
            return ERROR_parameter_invalid;
        auto it = hd.playback.find(id);
        *result = it == hd.playback.end() ? (id == "volume_modifier" ? 0.0f : 1.0f)
                                          : static_cast<float>(std::strtod(it->second.c_str(), nullptr));
        return ERROR_ok;
    });
}

unsigned f_setPlaybackConfigValue(Client& c, uint64 h, const char* ident, const char* value)
{
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        std::string id = orEmpty(ident);
        double d = 0;
        if (id != "volume_modifier" && id != "volume_factor_wave")
            return ERROR_parameter_invalid;
        if (!parseNumber(value, d))
            return ERROR_parameter_invalid;
        hd.playback[id] = orEmpty(value);
        return ERROR_ok;
    });
}

unsigned f_setClientVolumeModifier(Client& c, uint64 h, anyID client, float value)
{
    return withConnected(c, h, [&](State&, Handler& hd, Server& srv) -> unsigned {
        if (!srv.user(client) || !std::isfinite(value))
            return ERROR_parameter_invalid;
        hd.volumes[client] = value;
        return ERROR_ok;
    });
}

// ---- connections ------------------------------------------------------------------

unsigned f_startConnection(Client& c, uint64 h, const char* identity, const char* ip, unsigned port,
                           const char* nickname, const char** defaultChannelArray, const char* channelPassword,
                           const char* serverPassword)
{
    unsigned r = withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        if (hd.status != 0)
            return ERROR_currently_not_possible;
        if (orEmpty(ip).empty())
            return ERROR_parameter_invalid;
        hd.identity = orEmpty(identity);
        hd.address = orEmpty(ip) + ":" + std::to_string(port ? port : 9987);
        hd.nickname = orEmpty(nickname);
        hd.channelPath.clear();
        if (defaultChannelArray)
            for (int i = 0; defaultChannelArray[i]; ++i)
                hd.channelPath += (i ? "/" : "") + std::string(defaultChannelArray[i]);
        hd.channelPassword = orEmpty(channelPassword);
        hd.serverPassword = orEmpty(serverPassword);
        return ERROR_ok;
    });
    if (r == ERROR_ok)
        c.startConnectSteps(h);
    return r;
}

unsigned f_stopConnection(Client& c, uint64 h, const char* quitMessage)
{
    unsigned r = withHandler(
        c, h, [&](State&, Handler& hd) -> unsigned { return hd.status == 0 ? ERROR_not_connected : ERROR_ok; });
    if (r == ERROR_ok)
        c.stopConnectionNow(h, ERROR_ok, orEmpty(quitMessage), true);
    return r;
}

unsigned f_requestServerVariables(Client& c, uint64 h)
{
    unsigned r = withHandler(
        c, h, [&](State&, Handler& hd) -> unsigned { return hd.status == 0 ? ERROR_not_connected : ERROR_ok; });
    if (r == ERROR_ok)
        c.post([&c, h] { callPlugin(c, "onServerUpdatedEvent", c.exports().onServerUpdatedEvent, h); });
    return r;
}

unsigned f_getConnectionStatus(Client& c, uint64 h, int* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        *result = hd.status;
        return ERROR_ok;
    });
}

unsigned f_getServerConnectionHandlerList(Client& c, uint64** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::vector<u64> ids = c.model().with([](State& s) {
        std::vector<u64> out;
        for (auto& [id, h] : s.handlers)
            out.push_back(id);
        return out;
    });
    *result = allocList<uint64>(c, ids);
    return ERROR_ok;
}

// ---- server requests ------------------------------------------------------------

unsigned f_requestClientMove(Client& c, uint64 h, anyID client, uint64 channel, const char* password,
                             const char* returnCode)
{
    std::string key;
    anyid own = 0;
    unsigned serverError = ERROR_ok;
    std::string extra;
    unsigned r = withConnected(c, h, [&](State& s, Handler& hd, Server& srv) -> unsigned {
        key = srv.key;
        own = hd.ownId;
        User* u = visibleUser(s, hd, srv, client);
        auto ch = srv.channels.find(channel);
        if (!u || u->gone)
            serverError = ERROR_client_invalid_id;
        else if (ch == srv.channels.end())
            serverError = ERROR_channel_invalid_id;
        else if (u->channel == channel)
            serverError = ERROR_currently_not_possible, extra = "already member of channel";
        else if (!ch->second.password().empty() && ch->second.password() != orEmpty(password))
            serverError = ERROR_parameter_invalid, extra = "invalid channel password";
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    if (serverError == ERROR_ok)
        c.moveClient(key, client, channel, client == own ? 0 : own, "");
    c.finishRequest(h, orEmpty(returnCode), serverError, extra);
    return ERROR_ok;
}

unsigned f_requestSendPrivateTextMsg(Client& c, uint64 h, const char* message, anyID target, const char* returnCode)
{
    std::string key;
    anyid own = 0;
    unsigned serverError = ERROR_ok;
    unsigned r = withConnected(c, h, [&](State&, Handler& hd, Server& srv) -> unsigned {
        key = srv.key;
        own = hd.ownId;
        User* u = srv.user(target);
        if (!u || u->gone)
            serverError = ERROR_client_invalid_id;
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    if (serverError == ERROR_ok)
        c.deliverText(key, own, TextMessageTarget_CLIENT, target, orEmpty(message), 0);
    c.finishRequest(h, orEmpty(returnCode), serverError);
    return ERROR_ok;
}

unsigned f_requestSendChannelTextMsg(Client& c, uint64 h, const char* message, uint64, const char* returnCode)
{
    std::string key;
    anyid own = 0;
    u64 channel = 0;
    unsigned r = withConnected(c, h, [&](State& s, Handler& hd, Server& srv) -> unsigned {
        key = srv.key;
        own = hd.ownId;
        channel = s.ownChannel(hd);
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    // The server sends a channel message to the sender's own channel.
    c.deliverText(key, own, TextMessageTarget_CHANNEL, channel, orEmpty(message), 0);
    c.finishRequest(h, orEmpty(returnCode), ERROR_ok);
    return ERROR_ok;
}

unsigned f_requestSendServerTextMsg(Client& c, uint64 h, const char* message, const char* returnCode)
{
    std::string key;
    anyid own = 0;
    unsigned r = withConnected(c, h, [&](State&, Handler& hd, Server& srv) -> unsigned {
        key = srv.key;
        own = hd.ownId;
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    c.deliverText(key, own, TextMessageTarget_SERVER, 0, orEmpty(message), 0);
    c.finishRequest(h, orEmpty(returnCode), ERROR_ok);
    return ERROR_ok;
}

unsigned subscribe(Client& c, uint64 h, const uint64* ids, bool all, bool on, const char* returnCode)
{
    std::vector<u64> changed;
    unsigned serverError = ERROR_ok;
    unsigned r = withConnected(c, h, [&](State&, Handler& hd, Server& srv) -> unsigned {
        if (all) {
            hd.subscribeAll = on;
            hd.subscribed.clear();
            changed = srv.channelOrder;
            return ERROR_ok;
        }
        if (!ids)
            return ERROR_parameter_invalid;
        for (int i = 0; ids[i]; ++i) {
            if (!srv.channels.count(ids[i])) {
                serverError = ERROR_channel_invalid_id;
                continue;
            }
            if (on) {
                hd.subscribed.insert(ids[i]);
            } else {
                if (hd.subscribeAll) {
                    hd.subscribeAll = false;
                    hd.subscribed.insert(srv.channelOrder.begin(), srv.channelOrder.end());
                }
                hd.subscribed.erase(ids[i]);
            }
            changed.push_back(ids[i]);
        }
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    const Exports& ex = c.exports();
    c.post([&c, &ex, h, changed, on] {
        for (u64 id : changed) {
            if (on)
                callPlugin(c, "onChannelSubscribeEvent", ex.onChannelSubscribeEvent, h, id);
            else
                callPlugin(c, "onChannelUnsubscribeEvent", ex.onChannelUnsubscribeEvent, h, id);
        }
        if (on)
            callPlugin(c, "onChannelSubscribeFinishedEvent", ex.onChannelSubscribeFinishedEvent, h);
        else
            callPlugin(c, "onChannelUnsubscribeFinishedEvent", ex.onChannelUnsubscribeFinishedEvent, h);
    });
    c.finishRequest(h, orEmpty(returnCode), serverError);
    return ERROR_ok;
}

unsigned f_requestChannelSubscribe(Client& c, uint64 h, const uint64* ids, const char* rc)
{
    return subscribe(c, h, ids, false, true, rc);
}
unsigned f_requestChannelSubscribeAll(Client& c, uint64 h, const char* rc)
{
    return subscribe(c, h, nullptr, true, true, rc);
}
unsigned f_requestChannelUnsubscribe(Client& c, uint64 h, const uint64* ids, const char* rc)
{
    return subscribe(c, h, ids, false, false, rc);
}
unsigned f_requestChannelUnsubscribeAll(Client& c, uint64 h, const char* rc)
{
    return subscribe(c, h, nullptr, true, false, rc);
}

unsigned muteClients(Client& c, uint64 h, const anyID* ids, bool mute, const char* returnCode)
{
    unsigned serverError = ERROR_ok;
    unsigned r = withConnected(c, h, [&](State&, Handler& hd, Server& srv) -> unsigned {
        if (!ids)
            return ERROR_parameter_invalid;
        for (int i = 0; ids[i]; ++i) {
            if (!srv.user(ids[i])) {
                serverError = ERROR_client_invalid_id;
                continue;
            }
            if (mute)
                hd.muted.insert(ids[i]);
            else
                hd.muted.erase(ids[i]);
        }
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    c.finishRequest(h, orEmpty(returnCode), serverError);
    return ERROR_ok;
}

unsigned f_requestMuteClients(Client& c, uint64 h, const anyID* ids, const char* rc)
{
    return muteClients(c, h, ids, true, rc);
}
unsigned f_requestUnmuteClients(Client& c, uint64 h, const anyID* ids, const char* rc)
{
    return muteClients(c, h, ids, false, rc);
}

unsigned f_requestClientPoke(Client& c, uint64 h, anyID client, const char* message, const char* returnCode)
{
    std::string key;
    anyid own = 0;
    unsigned serverError = ERROR_ok;
    unsigned r = withConnected(c, h, [&](State&, Handler& hd, Server& srv) -> unsigned {
        key = srv.key;
        own = hd.ownId;
        User* u = srv.user(client);
        if (!u || u->gone)
            serverError = ERROR_client_invalid_id;
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    if (serverError == ERROR_ok)
        c.userPoke(key, own, client, orEmpty(message));
    c.finishRequest(h, orEmpty(returnCode), serverError);
    return ERROR_ok;
}

unsigned f_requestClientDBIDfromUID(Client& c, uint64 h, const char* uid, const char* returnCode)
{
    u64 dbid = 0;
    bool found = false;
    std::string u = orEmpty(uid);
    unsigned r = withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        for (auto& [id, user] : srv.users)
            if (user.uid() == u) {
                found = true;
                dbid = static_cast<u64>(user.getInt(prop::DatabaseId));
                break;
            }
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    if (found)
        c.post([&c, h, u, dbid] {
            callPlugin(c, "onClientDBIDfromUIDEvent", c.exports().onClientDBIDfromUIDEvent, h, u.c_str(), dbid);
        });
    c.finishRequest(h, orEmpty(returnCode), found ? ERROR_ok : ERROR_database_empty_result);
    return ERROR_ok;
}

unsigned f_requestClientEditDescription(Client& c, uint64 h, anyID client, const char* description,
                                        const char* returnCode)
{
    unsigned serverError = ERROR_ok;
    unsigned r = withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        User* u = srv.user(client);
        if (!u || u->gone)
            serverError = ERROR_client_invalid_id;
        else
            u->vars[prop::Description] = orEmpty(description);
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    c.finishRequest(h, orEmpty(returnCode), serverError);
    return ERROR_ok;
}

unsigned f_requestChannelPermList(Client& c, uint64 h, uint64 channel, const char* returnCode)
{
    std::vector<PermRow> rows;
    unsigned serverError = ERROR_ok;
    unsigned r = withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        if (!srv.channels.count(channel))
            serverError = ERROR_channel_invalid_id;
        else if (srv.channelPerms.count(channel))
            rows = srv.channelPerms[channel];
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    if (serverError == ERROR_ok)
        c.post([&c, h, channel, rows] {
            for (const auto& p : rows)
                callPlugin(c, "onChannelPermListEvent", c.exports().onChannelPermListEvent, h, channel, p.id, p.value,
                           p.negated, p.skip);
            callPlugin(c, "onChannelPermListFinishedEvent", c.exports().onChannelPermListFinishedEvent, h, channel);
        });
    c.finishRequest(h, orEmpty(returnCode), serverError);
    return ERROR_ok;
}

unsigned f_requestClientPermList(Client& c, uint64 h, uint64 dbid, const char* returnCode)
{
    std::vector<PermRow> rows;
    unsigned r = withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        if (srv.clientPerms.count(dbid))
            rows = srv.clientPerms[dbid];
        return ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    c.post([&c, h, dbid, rows] {
        for (const auto& p : rows)
            callPlugin(c, "onClientPermListEvent", c.exports().onClientPermListEvent, h, dbid, p.id, p.value, p.negated,
                       p.skip);
        callPlugin(c, "onClientPermListFinishedEvent", c.exports().onClientPermListFinishedEvent, h, dbid);
    });
    c.finishRequest(h, orEmpty(returnCode), ERROR_ok);
    return ERROR_ok;
}

// ---- own client ---------------------------------------------------------------------

unsigned f_getClientID(Client& c, uint64 h, anyID* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        if (hd.status < STATUS_CONNECTION_ESTABLISHING || hd.ownId == 0)
            return ERROR_not_connected;
        *result = hd.ownId;
        return ERROR_ok;
    });
}

unsigned readSelf(Client& c, uint64 h, size_t flag, std::string& out)
{
    if (flag >= static_cast<size_t>(prop::ClientEnd))
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State& s, Handler& hd) -> unsigned {
        const std::map<int, std::string>& vars = s.ownUser(hd) ? s.ownUser(hd)->vars : hd.self;
        auto it = vars.find(static_cast<int>(flag));
        out = it == vars.end() ? std::string() : it->second;
        return ERROR_ok;
    });
}

unsigned f_getClientSelfVariableAsInt(Client& c, uint64 h, size_t flag, int* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readSelf(c, h, flag, v);
    if (r == ERROR_ok)
        *result = static_cast<int>(std::strtol(v.c_str(), nullptr, 10));
    return r;
}

unsigned f_getClientSelfVariableAsString(Client& c, uint64 h, size_t flag, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readSelf(c, h, flag, v);
    if (r == ERROR_ok)
        *result = c.allocateString(v);
    return r;
}

unsigned setSelf(Client& c, uint64 h, size_t flag, const std::string& value)
{
    if (!settableSelfFlags().count(static_cast<int>(flag)))
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State&, Handler& hd) -> unsigned {
        hd.pending[static_cast<int>(flag)] = value;
        return ERROR_ok;
    });
}

unsigned f_setClientSelfVariableAsInt(Client& c, uint64 h, size_t flag, int value)
{
    return setSelf(c, h, flag, std::to_string(value));
}

unsigned f_setClientSelfVariableAsString(Client& c, uint64 h, size_t flag, const char* value)
{
    if (!value)
        return ERROR_parameter_invalid;
    return setSelf(c, h, flag, value);
}

unsigned f_flushClientSelfUpdates(Client& c, uint64 h, const char* returnCode)
{
    struct Change {
        int flag;
        std::string oldValue, newValue;
    };
    std::vector<Change> changes;
    unsigned r = withConnected(c, h, [&](State& s, Handler& hd, Server&) -> unsigned {
        User* u = s.ownUser(hd);
        if (!u)
            return ERROR_not_connected;
        for (const auto& [flag, value] : hd.pending) {
            std::string old = u->get(flag);
            if (old == value)
                continue;
            u->vars[flag] = value;
            changes.push_back({flag, old, value});
        }
        hd.pending.clear();
        return changes.empty() ? ERROR_ok_no_update : ERROR_ok;
    });
    if (r != ERROR_ok)
        return r;
    c.post([&c, h, changes] {
        for (const auto& ch : changes)
            callPlugin(c, "onClientSelfVariableUpdateEvent", c.exports().onClientSelfVariableUpdateEvent, h, ch.flag,
                       ch.oldValue.c_str(), ch.newValue.c_str());
    });
    c.finishRequest(h, orEmpty(returnCode), ERROR_ok);
    return ERROR_ok;
}

// ---- other clients ------------------------------------------------------------------

unsigned readClient(Client& c, uint64 h, anyID client, size_t flag, std::string& out)
{
    if (flag >= static_cast<size_t>(prop::ClientEnd))
        return ERROR_parameter_invalid;
    return withConnected(c, h, [&](State& s, Handler& hd, Server& srv) -> unsigned {
        User* u = visibleUser(s, hd, srv, client);
        if (!u)
            return ERROR_client_invalid_id;
        if (static_cast<int>(flag) == prop::IsMuted)
            out = hd.muted.count(client) ? "1" : "0";
        else
            out = u->get(static_cast<int>(flag));
        return ERROR_ok;
    });
}

unsigned f_getClientVariableAsInt(Client& c, uint64 h, anyID client, size_t flag, int* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readClient(c, h, client, flag, v);
    if (r == ERROR_ok)
        *result = static_cast<int>(std::strtol(v.c_str(), nullptr, 10));
    return r;
}

unsigned f_getClientVariableAsUInt64(Client& c, uint64 h, anyID client, size_t flag, uint64* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readClient(c, h, client, flag, v);
    if (r == ERROR_ok)
        *result = std::strtoull(v.c_str(), nullptr, 10);
    return r;
}

unsigned f_getClientVariableAsString(Client& c, uint64 h, anyID client, size_t flag, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readClient(c, h, client, flag, v);
    if (r == ERROR_ok)
        *result = c.allocateString(v);
    return r;
}

unsigned f_getClientList(Client& c, uint64 h, anyID** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::vector<anyID> ids;
    unsigned r = withConnected(c, h, [&](State& s, Handler& hd, Server& srv) -> unsigned {
        for (auto& [id, u] : srv.users)
            if (!u.gone && (u.handler == hd.id || s.seesChannel(hd, u.channel)))
                ids.push_back(id);
        return ERROR_ok;
    });
    if (r == ERROR_ok)
        *result = allocList<anyID>(c, ids);
    return r;
}

unsigned f_getChannelOfClient(Client& c, uint64 h, anyID client, uint64* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withConnected(c, h, [&](State& s, Handler& hd, Server& srv) -> unsigned {
        User* u = visibleUser(s, hd, srv, client);
        if (!u || u->gone)
            return ERROR_client_invalid_id;
        *result = u->channel;
        return ERROR_ok;
    });
}

unsigned f_getClientDisplayName(Client& c, uint64 h, anyID client, char* result, size_t maxLen)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withConnected(c, h, [&](State& s, Handler& hd, Server& srv) -> unsigned {
        User* u = visibleUser(s, hd, srv, client);
        if (!u)
            return ERROR_client_invalid_id;
        copyOut(result, maxLen, u->nickname());
        return ERROR_ok;
    });
}

unsigned f_getAvatar(Client& c, uint64 h, anyID client, char* result, size_t maxLen)
{
    return withConnected(c, h, [&](State& s, Handler& hd, Server& srv) -> unsigned {
        if (!visibleUser(s, hd, srv, client))
            return ERROR_client_invalid_id;
        copyOut(result, maxLen, "");
        return ERROR_database_empty_result;
    });
}

// ---- channels -------------------------------------------------------------------------

unsigned readChannel(Client& c, uint64 h, uint64 channel, size_t flag, std::string& out)
{
    if (flag >= static_cast<size_t>(prop::ChannelEnd))
        return ERROR_parameter_invalid;
    return withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        auto it = srv.channels.find(channel);
        if (it == srv.channels.end())
            return ERROR_channel_invalid_id;
        auto v = it->second.vars.find(static_cast<int>(flag));
        out = v == it->second.vars.end() ? std::string() : v->second;
        return ERROR_ok;
    });
}

unsigned f_getChannelVariableAsInt(Client& c, uint64 h, uint64 channel, size_t flag, int* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readChannel(c, h, channel, flag, v);
    if (r == ERROR_ok)
        *result = static_cast<int>(std::strtol(v.c_str(), nullptr, 10));
    return r;
}

unsigned f_getChannelVariableAsUInt64(Client& c, uint64 h, uint64 channel, size_t flag, uint64* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readChannel(c, h, channel, flag, v);
    if (r == ERROR_ok)
        *result = std::strtoull(v.c_str(), nullptr, 10);
    return r;
}

unsigned f_getChannelVariableAsString(Client& c, uint64 h, uint64 channel, size_t flag, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readChannel(c, h, channel, flag, v);
    if (r == ERROR_ok)
        *result = c.allocateString(v);
    return r;
}

unsigned f_getChannelIDFromChannelNames(Client& c, uint64 h, char** names, uint64* result)
{
    if (!names || !result)
        return ERROR_parameter_invalid;
    std::string path;
    for (int i = 0; names[i]; ++i)
        path += (i ? "/" : "") + std::string(names[i]);
    return withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        u64 id = srv.channelByPath(path);
        if (!id)
            return ERROR_channel_invalid_id;
        *result = id;
        return ERROR_ok;
    });
}

unsigned f_getChannelList(Client& c, uint64 h, uint64** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::vector<uint64> ids;
    unsigned r = withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        ids = srv.channelOrder;
        return ERROR_ok;
    });
    if (r == ERROR_ok)
        *result = allocList<uint64>(c, ids);
    return r;
}

unsigned f_getChannelClientList(Client& c, uint64 h, uint64 channel, anyID** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::vector<anyID> ids;
    unsigned r = withConnected(c, h, [&](State& s, Handler& hd, Server& srv) -> unsigned {
        if (!srv.channels.count(channel))
            return ERROR_channel_invalid_id;
        if (!s.seesChannel(hd, channel))
            return ERROR_ok;
        for (auto& [id, u] : srv.users)
            if (!u.gone && u.channel == channel)
                ids.push_back(id);
        return ERROR_ok;
    });
    if (r == ERROR_ok)
        *result = allocList<anyID>(c, ids);
    return r;
}

unsigned f_getParentChannelOfChannel(Client& c, uint64 h, uint64 channel, uint64* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    return withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        auto it = srv.channels.find(channel);
        if (it == srv.channels.end())
            return ERROR_channel_invalid_id;
        *result = it->second.parent;
        return ERROR_ok;
    });
}

unsigned f_getChannelConnectInfo(Client& c, uint64 h, uint64 channel, char* path, char* password, size_t maxLen)
{
    return withConnected(c, h, [&](State&, Handler&, Server& srv) -> unsigned {
        auto it = srv.channels.find(channel);
        if (it == srv.channels.end())
            return ERROR_channel_invalid_id;
        copyOut(path, maxLen, srv.channelPath(channel));
        copyOut(password, maxLen, it->second.password());
        return ERROR_ok;
    });
}

// ---- server -------------------------------------------------------------------------

unsigned readServer(Client& c, uint64 h, size_t flag, std::string& out)
{
    if (flag >= static_cast<size_t>(prop::ServerEnd))
        return ERROR_parameter_invalid;
    return withHandler(c, h, [&](State& s, Handler& hd) -> unsigned {
        Server* srv = s.serverOf(hd);
        if (hd.status < STATUS_CONNECTED || !srv)
            return ERROR_not_connected;
        int f = static_cast<int>(flag);
        if (f == prop::ServerClientsOnline) {
            size_t n = 0;
            for (auto& [id, u] : srv->users)
                n += u.gone ? 0 : 1;
            out = std::to_string(n);
        } else if (f == prop::ServerChannelsOnline) {
            out = std::to_string(srv->channels.size());
        } else {
            auto it = srv->vars.find(f);
            out = it == srv->vars.end() ? std::string() : it->second;
        }
        return ERROR_ok;
    });
}

unsigned f_getServerVariableAsInt(Client& c, uint64 h, size_t flag, int* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readServer(c, h, flag, v);
    if (r == ERROR_ok)
        *result = static_cast<int>(std::strtol(v.c_str(), nullptr, 10));
    return r;
}

unsigned f_getServerVariableAsUInt64(Client& c, uint64 h, size_t flag, uint64* result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readServer(c, h, flag, v);
    if (r == ERROR_ok)
        *result = std::strtoull(v.c_str(), nullptr, 10);
    return r;
}

unsigned f_getServerVariableAsString(Client& c, uint64 h, size_t flag, char** result)
{
    if (!result)
        return ERROR_parameter_invalid;
    std::string v;
    unsigned r = readServer(c, h, flag, v);
    if (r == ERROR_ok)
        *result = c.allocateString(v);
    return r;
}

unsigned f_getServerConnectInfo(Client& c, uint64 h, char* host, unsigned short* port, char* password, size_t maxLen)
{
    return withHandler(c, h, [&](State& s, Handler& hd) -> unsigned {
        Server* srv = s.serverOf(hd);
        if (hd.status < STATUS_CONNECTED || !srv)
            return ERROR_not_connected;
        copyOut(host, maxLen, srv->host);
        if (port)
            *port = static_cast<unsigned short>(srv->port);
        copyOut(password, maxLen, hd.serverPassword);
        return ERROR_ok;
    });
}

uint64 f_getServerVersion(Client& c, uint64 h)
{
    std::string v;
    if (readServer(c, h, prop::ServerVersion, v) != ERROR_ok)
        return 0;
    size_t b = v.find("Build: ");
    return b == std::string::npos ? 0 : std::strtoull(v.c_str() + b + 7, nullptr, 10);
}

// ---- client GUI functions ----------------------------------------------------------------

void f_getAppPath(Client& c, char* path, size_t maxLen)
{
    copyOut(path, maxLen, c.model().with([](State& s) { return s.appPath; }));
}
void f_getResourcesPath(Client& c, char* path, size_t maxLen)
{
    copyOut(path, maxLen, c.model().with([](State& s) { return s.resourcesPath; }));
}
void f_getConfigPath(Client& c, char* path, size_t maxLen)
{
    copyOut(path, maxLen, c.model().with([](State& s) { return s.configPath; }));
}
void f_getPluginPath(Client& c, char* path, size_t maxLen, const char*)
{
    copyOut(path, maxLen, c.model().with([](State& s) { return s.pluginPath; }));
}

uint64 f_getCurrentServerConnectionHandlerID(Client& c)
{
    return c.model().with([](State& s) { return s.current; });
}

void f_printMessage(Client& c, uint64, const char* message, int)
{
    c.model().with([&](State& s) { s.tabMessages.push_back(orEmpty(message)); });
}

void f_printMessageToCurrentTab(Client& c, const char* message)
{
    c.model().with([&](State& s) { s.tabMessages.push_back(orEmpty(message)); });
}

void f_sendPluginCommand(Client& c, uint64 h, const char* pluginID, const char* command, int targetMode,
                         const anyID* targetIDs, const char* returnCode)
{
    std::string key;
    anyid own = 0;
    unsigned r = withConnected(c, h, [&](State&, Handler& hd, Server& srv) -> unsigned {
        key = srv.key;
        own = hd.ownId;
        return ERROR_ok;
    });
    if (r != ERROR_ok) {
        c.note("sendPluginCommand on handler " + std::to_string(h) + " not sent: " + errorText(r));
        return;
    }
    std::string text = orEmpty(command);
    if (text.size() > TS3_MAX_SIZE_PLUGIN_COMMAND) {
        c.note("sendPluginCommand: command longer than the limit, not sent");
        c.finishRequest(h, orEmpty(returnCode), ERROR_parameter_invalid);
        return;
    }
    std::vector<anyid> targets;
    if (targetIDs)
        for (int i = 0; targetIDs[i]; ++i)
            targets.push_back(targetIDs[i]);
    c.deliverPluginCommand(key, own, targetMode, targets, orEmpty(pluginID), text);
    c.finishRequest(h, orEmpty(returnCode), ERROR_ok);
}

void f_createReturnCode(Client& c, const char* pluginID, char* returnCode, size_t maxLen)
{
    std::string rc = c.model().with([&](State& s) {
        s.lastReturnCode = "PR:" + orEmpty(pluginID) + ":" + std::to_string(++s.returnCodeCounter);
        return s.lastReturnCode;
    });
    copyOut(returnCode, maxLen, rc);
}

void f_setPluginMenuEnabled(Client& c, const char*, int menuId, int enabled)
{
    c.model().with([&](State& s) { s.menuEnabled[menuId] = enabled != 0; });
}

unsigned f_getProfileList(Client& c, int kind, int* defaultIdx, char*** result)
{
    if (!result || !defaultIdx)
        return ERROR_parameter_invalid;
    if (kind < 0 || kind > 4)
        return ERROR_parameter_invalid;
    std::vector<std::string> names;
    int def = 0;
    c.model().with([&](State& s) {
        names = s.profiles[kind];
        def = s.profileDefault.count(kind) ? s.profileDefault[kind] : 0;
    });
    if (names.empty())
        names.push_back("Default");
    char** list = static_cast<char**>(c.allocate((names.size() + 1) * sizeof(char*)));
    for (size_t i = 0; i < names.size(); ++i)
        list[i] = c.allocateString(names[i]);
    list[names.size()] = nullptr;
    *result = list;
    *defaultIdx = def;
    return ERROR_ok;
}

PluginBookmarkList* buildBookmarks(Client& c, const std::vector<Bookmark>& items)
{
    size_t size = offsetof(PluginBookmarkList, items) + std::max<size_t>(items.size(), 1) * sizeof(PluginBookmarkItem);
    auto* list = static_cast<PluginBookmarkList*>(c.allocate(size));
    list->itemcount = static_cast<int>(items.size());
    PluginBookmarkItem* out = list->items;
    for (size_t i = 0; i < items.size(); ++i) {
        out[i].name = c.allocateString(items[i].name);
        out[i].isFolder = items[i].folder ? 1 : 0;
        if (items[i].folder)
            out[i].folder = buildBookmarks(c, items[i].children);
        else
            out[i].uuid = c.allocateString(items[i].uuid);
    }
    return list;
}

unsigned f_getBookmarkList(Client& c, PluginBookmarkList** list)
{
    if (!list)
        return ERROR_parameter_invalid;
    std::vector<Bookmark> items = c.model().with([](State& s) { return s.bookmarks; });
    *list = buildBookmarks(c, items);
    return ERROR_ok;
}

const Bookmark* findBookmark(const std::vector<Bookmark>& items, const std::string& uuid)
{
    for (const auto& b : items) {
        if (b.folder) {
            if (const Bookmark* f = findBookmark(b.children, uuid))
                return f;
        } else if (b.uuid == uuid) {
            return &b;
        }
    }
    return nullptr;
}

// Picks the tab for a GUI connect; stops what runs there when the tab is reused.
u64 tabFor(Client& c, int connectTab)
{
    u64 reused = 0;
    u64 id = c.model().with([&](State& s) {
        Handler* cur = s.handler(s.current);
        Handler* h = nullptr;
        if (connectTab == PLUGIN_CONNECT_TAB_CURRENT && cur) {
            h = cur;
            if (cur->status != 0)
                reused = cur->id;
        } else if (connectTab == PLUGIN_CONNECT_TAB_NEW_IF_CURRENT_CONNECTED && cur && cur->status == 0) {
            h = cur;
        } else {
            h = &s.newHandler();
        }
        s.current = h->id;
        return h->id;
    });
    if (reused)
        c.stopConnectionNow(reused, ERROR_ok, "", true);
    return id;
}

unsigned f_guiConnect(Client& c, int connectTab, const char* label, const char* address, const char* serverPassword,
                      const char* nickname, const char* channel, const char* channelPassword,
                      const char* captureProfile, const char* playbackProfile, const char* hotkeyProfile,
                      const char* soundProfile, const char* identity, const char*, const char* phonetic,
                      uint64* handler)
{
    if (!handler || orEmpty(address).empty() || connectTab < 0 || connectTab > 2)
        return ERROR_parameter_invalid;
    u64 h = tabFor(c, connectTab);
    c.model().with([&](State& s) {
        Handler& hd = *s.handler(h);
        hd.label = orEmpty(label);
        hd.address = orEmpty(address);
        hd.serverPassword = orEmpty(serverPassword);
        hd.nickname = orEmpty(nickname);
        hd.channelPath = orEmpty(channel);
        hd.channelPassword = orEmpty(channelPassword);
        hd.captureProfile = orEmpty(captureProfile);
        hd.playbackProfile = orEmpty(playbackProfile);
        hd.hotkeyProfile = orEmpty(hotkeyProfile);
        hd.soundProfile = orEmpty(soundProfile);
        hd.identity = orEmpty(identity);
        hd.phonetic = orEmpty(phonetic);
        if (!hd.phonetic.empty())
            hd.self[prop::NicknamePhonetic] = hd.phonetic;
    });
    *handler = h;
    c.startGuiConnectSteps(h);
    return ERROR_ok;
}

unsigned f_guiConnectBookmark(Client& c, int connectTab, const char* uuid, uint64* handler)
{
    if (!handler || connectTab < 0 || connectTab > 2)
        return ERROR_parameter_invalid;
    std::optional<Bookmark> found = c.model().with([&](State& s) -> std::optional<Bookmark> {
        const Bookmark* b = findBookmark(s.bookmarks, orEmpty(uuid));
        if (!b)
            return std::nullopt;
        return *b;
    });
    if (!found)
        return ERROR_parameter_invalid;
    u64 h = tabFor(c, connectTab);
    c.model().with([&](State& s) {
        Handler& hd = *s.handler(h);
        hd.label = found->name;
        hd.address = found->address;
        hd.serverPassword = found->serverPassword;
        hd.nickname = found->nickname;
        hd.channelPath = found->channel;
        hd.channelPassword = found->channelPassword;
        hd.captureProfile = found->captureProfile;
        hd.playbackProfile = found->playbackProfile;
        hd.identity = found->identity;
    });
    *handler = h;
    c.startGuiConnectSteps(h);
    return ERROR_ok;
}

unsigned f_createBookmark(Client& c, const char* uuid, const char* label, const char* address,
                          const char* serverPassword, const char* nickname, const char* channel,
                          const char* channelPassword, const char* captureProfile, const char* playbackProfile,
                          const char*, const char*, const char* identity, const char*, const char*)
{
    if (orEmpty(uuid).empty() || orEmpty(address).empty())
        return ERROR_parameter_invalid;
    Bookmark b;
    b.uuid = orEmpty(uuid);
    b.name = orEmpty(label);
    b.address = orEmpty(address);
    b.serverPassword = orEmpty(serverPassword);
    b.nickname = orEmpty(nickname);
    b.channel = orEmpty(channel);
    b.channelPassword = orEmpty(channelPassword);
    b.captureProfile = orEmpty(captureProfile);
    b.playbackProfile = orEmpty(playbackProfile);
    b.identity = orEmpty(identity);
    c.model().with([&](State& s) { s.bookmarks.push_back(b); });
    return ERROR_ok;
}

// Names as static storage for the thunk templates.
namespace names {
#define CLIENTSIM_NAME(i, n) inline constexpr char n[] = #n;
CLIENTSIM_TABLE_MEMBERS(CLIENTSIM_NAME)
#undef CLIENTSIM_NAME
} // namespace names

// The table's layout must agree with the member list: each name at its index.
#define CLIENTSIM_OFFSET_CHECK(i, n)                                                                                   \
    static_assert(offsetof(TS3Functions, n) == (i) * sizeof(void (*)(void)), "member " #n " out of place");
CLIENTSIM_TABLE_MEMBERS(CLIENTSIM_OFFSET_CHECK)
#undef CLIENTSIM_OFFSET_CHECK

#define CLIENTSIM_IMPLEMENTED(X)                                                                                       \
    X(getClientLibVersion)                                                                                             \
    X(getClientLibVersionNumber)                                                                                       \
    X(spawnNewServerConnectionHandler)                                                                                 \
    X(destroyServerConnectionHandler)                                                                                  \
    X(getErrorMessage)                                                                                                 \
    X(freeMemory)                                                                                                      \
    X(logMessage)                                                                                                      \
    X(openPlaybackDevice)                                                                                              \
    X(openCaptureDevice)                                                                                               \
    X(getCurrentPlaybackDeviceName)                                                                                    \
    X(getCurrentPlayBackMode)                                                                                          \
    X(getCurrentCaptureDeviceName)                                                                                     \
    X(getCurrentCaptureMode)                                                                                           \
    X(closePlaybackDevice)                                                                                             \
    X(closeCaptureDevice)                                                                                              \
    X(playWaveFileHandle)                                                                                              \
    X(pauseWaveFileHandle)                                                                                             \
    X(closeWaveFileHandle)                                                                                             \
    X(playWaveFile)                                                                                                    \
    X(registerCustomDevice)                                                                                            \
    X(unregisterCustomDevice)                                                                                          \
    X(processCustomCaptureData)                                                                                        \
    X(getPreProcessorInfoValueFloat)                                                                                   \
    X(getPreProcessorConfigValue)                                                                                      \
    X(setPreProcessorConfigValue)                                                                                      \
    X(getEncodeConfigValue)                                                                                            \
    X(getPlaybackConfigValueAsFloat)                                                                                   \
    X(setPlaybackConfigValue)                                                                                          \
    X(setClientVolumeModifier)                                                                                         \
    X(startConnection)                                                                                                 \
    X(stopConnection)                                                                                                  \
    X(requestClientMove)                                                                                               \
    X(requestSendPrivateTextMsg)                                                                                       \
    X(requestSendChannelTextMsg)                                                                                       \
    X(requestSendServerTextMsg)                                                                                        \
    X(requestChannelSubscribe)                                                                                         \
    X(requestChannelSubscribeAll)                                                                                      \
    X(requestChannelUnsubscribe)                                                                                       \
    X(requestChannelUnsubscribeAll)                                                                                    \
    X(requestMuteClients)                                                                                              \
    X(requestUnmuteClients)                                                                                            \
    X(requestClientPoke)                                                                                               \
    X(getClientID)                                                                                                     \
    X(getClientSelfVariableAsInt)                                                                                      \
    X(getClientSelfVariableAsString)                                                                                   \
    X(setClientSelfVariableAsInt)                                                                                      \
    X(setClientSelfVariableAsString)                                                                                   \
    X(flushClientSelfUpdates)                                                                                          \
    X(getClientVariableAsInt)                                                                                          \
    X(getClientVariableAsUInt64)                                                                                       \
    X(getClientVariableAsString)                                                                                       \
    X(getClientList)                                                                                                   \
    X(getChannelOfClient)                                                                                              \
    X(getChannelVariableAsInt)                                                                                         \
    X(getChannelVariableAsUInt64)                                                                                      \
    X(getChannelVariableAsString)                                                                                      \
    X(getChannelIDFromChannelNames)                                                                                    \
    X(getChannelList)                                                                                                  \
    X(getChannelClientList)                                                                                            \
    X(getParentChannelOfChannel)                                                                                       \
    X(getServerConnectionHandlerList)                                                                                  \
    X(getServerVariableAsInt)                                                                                          \
    X(getServerVariableAsUInt64)                                                                                       \
    X(getServerVariableAsString)                                                                                       \
    X(requestServerVariables)                                                                                          \
    X(getConnectionStatus)                                                                                             \
    X(requestClientDBIDfromUID)                                                                                        \
    X(requestClientEditDescription)                                                                                    \
    X(requestChannelPermList)                                                                                          \
    X(requestClientPermList)                                                                                           \
    X(getAppPath)                                                                                                      \
    X(getResourcesPath)                                                                                                \
    X(getConfigPath)                                                                                                   \
    X(getPluginPath)                                                                                                   \
    X(getCurrentServerConnectionHandlerID)                                                                             \
    X(printMessage)                                                                                                    \
    X(printMessageToCurrentTab)                                                                                        \
    X(sendPluginCommand)                                                                                               \
    X(getServerConnectInfo)                                                                                            \
    X(getChannelConnectInfo)                                                                                           \
    X(createReturnCode)                                                                                                \
    X(getServerVersion)                                                                                                \
    X(getAvatar)                                                                                                       \
    X(setPluginMenuEnabled)                                                                                            \
    X(getClientDisplayName)                                                                                            \
    X(getBookmarkList)                                                                                                 \
    X(getProfileList)                                                                                                  \
    X(guiConnect)                                                                                                      \
    X(guiConnectBookmark)                                                                                              \
    X(createBookmark)

} // namespace

TS3Functions makeFunctionTable()
{
    TS3Functions t;
    std::memset(static_cast<void*>(&t), 0, sizeof t);
#define CLIENTSIM_ASSIGN_MISSING(i, n) t.n = &Thunk<decltype(t.n)>::template call<names::n, nullptr>;
    CLIENTSIM_TABLE_MEMBERS(CLIENTSIM_ASSIGN_MISSING)
#undef CLIENTSIM_ASSIGN_MISSING
#define CLIENTSIM_ASSIGN_IMPL(n) t.n = &Thunk<decltype(t.n)>::template call<names::n, &f_##n>;
    CLIENTSIM_IMPLEMENTED(CLIENTSIM_ASSIGN_IMPL)
#undef CLIENTSIM_ASSIGN_IMPL
    return t;
}

void setActiveClient(Client* client)
{
    g_active.store(client);
}

Client* activeClient()
{
    return g_active.load();
}

size_t lateCallCount()
{
    return g_lateCalls.load();
}

const std::vector<std::string>& functionNames()
{
    static const std::vector<std::string> list{
#define CLIENTSIM_LIST_NAME(i, n) #n,
        CLIENTSIM_TABLE_MEMBERS(CLIENTSIM_LIST_NAME)
#undef CLIENTSIM_LIST_NAME
    };
    return list;
}

} // namespace clientsim
