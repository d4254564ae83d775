// The command handler: every line Relaydeck sends, carried out through the client's
// function table, with its reply.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "plugin/client_memory.h"
#include "plugin/escaping.h"
#include "plugin/line_builder.h"
#include "plugin/link_plugin.h"

namespace rdplugin {

namespace {

// A handler id as read from an item; negative numbers are no handler.
uint64 handlerOf(const rdlink::Items& items)
{
    const long long v = items.getInt("scHandler");
    return v > 0 ? static_cast<uint64>(v) : 0;
}

// 8-bit text (ISO 8859-1) to UTF-8; ASCII stays as it is.
std::string latin1ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}


// The first bytes of a text, at most max.
std::string firstBytes(const std::string& text, size_t max)
{
    return text.size() <= max ? text : text.substr(0, max);
}

// Joins escaped entries with "|" as long as the whole value stays within max bytes;
// entries that no longer fit are left out whole.
size_t joinedCount(const std::vector<std::string>& escaped, size_t max)
{
    size_t total = 0, n = 0;
    for (const std::string& e : escaped) {
        const size_t add = e.size() + (n > 0 ? 1 : 0);
        if (total + add > max)
            break;
        total += add;
        ++n;
    }
    return n;
}

std::string join(const std::vector<std::string>& escaped, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count && i < escaped.size(); ++i) {
        if (i)
            out.push_back('|');
        out += escaped[i];
    }
    return out;
}

} // namespace

void LinkPlugin::ProcessRecvCommand(std::string_view command, std::string_view params)
{
    enum class C {
        Hello,
        WhoAmI,
        Starting,
        Ping,
        GwPing,
        GwPqng,
        GwStart,
        GwConnect,
        GwStop,
        SetPtt,
        SetVox,
        SetNick,
        SetChCom,
        SetAfk,
        SetRuhe,
        SetMute,
        SetInfo,
        MoveToChan,
        BackToChan,
        PokeUser,
        MsgToUser,
        MsgToChan,
        MsgToGates,
        GetChanPerm,
        GetUserPerm,
        MuteClient,
        UnmuteClient,
        SetClientVolume,
        SetVoiceVolume,
        UnmuteAll,
        GetProfiles,
        GetChannels,
        GetChanPath,
        GetSpeaker,
        SetWaveLevel,
        PlayWave,
        GetAppPath,
        ExitClient,
        SendToTs,
        AcStart,
        AcStop
    };
    static const std::unordered_map<std::string_view, C> kCommands = {
        {">HELLO<", C::Hello},
        {"WHOAMI", C::WhoAmI},
        {"STARTING", C::Starting},
        {"PING", C::Ping},
        {"GW_PING", C::GwPing},
        {"GW_PQNG", C::GwPqng},
        {"GW_START", C::GwStart},
        {"GW_CONNECT", C::GwConnect},
        {"GW_STOP", C::GwStop},
        {"SETPTT", C::SetPtt},
        {"SETVOX", C::SetVox},
        {"SETNICK", C::SetNick},
        {"SETCHCOM", C::SetChCom},
        {"SETAFK", C::SetAfk},
        {"SETRUHE", C::SetRuhe},
        {"SETMUTE", C::SetMute},
        {"SETINFO", C::SetInfo},
        {"MOVETOCHAN", C::MoveToChan},
        {"BACKTOCHAN", C::BackToChan},
        {"POKEUSER", C::PokeUser},
        {"MSGTOUSER", C::MsgToUser},
        {"MSGTOCHAN", C::MsgToChan},
        {"MSGTOGATES", C::MsgToGates},
        {"GETCHANPERM", C::GetChanPerm},
        {"GETUSERPERM", C::GetUserPerm},
        {"MUTECLIENT", C::MuteClient},
        {"UNMUTECLIENT", C::UnmuteClient},
        {"SETCLIENTVOLUME", C::SetClientVolume},
        {"SETVOICEVOLUME", C::SetVoiceVolume},
        {"UNMUTEALL", C::UnmuteAll},
        {"GETPROFILES", C::GetProfiles},
        {"GETCHANNELS", C::GetChannels},
        {"GETCHANPATH", C::GetChanPath},
        {"GETSPEAKER", C::GetSpeaker},
        {"SETWAVELEVEL", C::SetWaveLevel},
        {"PLAYWAVE", C::PlayWave},
        {"GETAPPPATH", C::GetAppPath},
        {"EXITCLIENT", C::ExitClient},
        {"SENDTOTS", C::SendToTs},
        {"AC_START", C::AcStart},
        {"AC_STOP", C::AcStop},
    };
    auto it = kCommands.find(command);
    if (it == kCommands.end())
        return;
    const rdlink::Items items = rdlink::Items::parse(params);
    const uint64 h = handlerOf(items);

    switch (it->second) {
    case C::Hello:
    case C::WhoAmI:
        cmdWhoAmI();
        return;
    case C::Starting:
        SendToSocket("STARTING \r");
        return;
    case C::Ping:
        SendToSocket(LineBuilder("PONG ", kReplyLimit).text(params).finish());
        return;
    case C::GwPing:
        if (h > 0)
            SendToSocket(LineBuilder("GW_PONG ", kReplyLimit).text(params).finish());
        return;
    case C::GwPqng:
        cmdGwPqng(items);
        return;
    case C::GwStart:
        SendToSocket(LineBuilder("GW_START", kReplyLimit)
                         .field("gateUID", rawSafe(items.get("gateUID")))
                         .field("scHandler", "0")
                         .finish());
        return;
    case C::GwConnect:
        cmdGwConnect(items);
        return;
    case C::GwStop:
        cmdGwStop(items);
        return;
    case C::GetProfiles:
        cmdGetProfiles();
        return;
    case C::GetAppPath:
        SendToSocket(LineBuilder("APPPATH ", kReplyLimit).field("path", string_escape(appPath())).finish());
        return;
    case C::ExitClient:
        cmdExitClient();
        return;
    case C::AcStart:
        cmdAcStart();
        return;
    case C::AcStop:
        return;
    // Commands for any handler.
    case C::SetInfo:
        cmdSetInfo(h, items);
        return;
    case C::GetChannels:
        cmdGetChannels(h, items);
        return;
    case C::GetSpeaker:
        cmdGetSpeaker(h, items);
        return;
    case C::SendToTs:
        cmdSendToTs(h);
        return;
    default:
        break;
    }

    // The rest only acts on a gateway handler (opened by GW_CONNECT and connected).
    if (!isGatewayHandler(h))
        return;
    switch (it->second) {
    case C::SetPtt:
        cmdSetPtt(h, items);
        return;
    case C::SetVox:
        cmdSetVox(h, items);
        return;
    case C::SetNick:
        cmdSetNick(h, items);
        return;
    case C::SetChCom:
        cmdSetSelfFlag(h, CLIENT_IS_CHANNEL_COMMANDER, items);
        return;
    case C::SetAfk:
        cmdSetSelfFlag(h, CLIENT_AWAY, items);
        return;
    case C::SetRuhe:
        cmdSetSelfFlag(h, CLIENT_INPUT_MUTED, items);
        return;
    case C::SetMute:
        cmdSetSelfFlag(h, CLIENT_OUTPUT_MUTED, items);
        return;
    case C::MoveToChan:
        cmdMoveToChan(h, items);
        return;
    case C::BackToChan:
        cmdBackToChan(h, items);
        return;
    case C::PokeUser:
        cmdMessage("POKEUSER", h, items);
        return;
    case C::MsgToUser:
        cmdMessage("MSGTOUSER", h, items);
        return;
    case C::MsgToChan:
        cmdMessage("MSGTOCHAN", h, items);
        return;
    case C::MsgToGates:
        cmdMsgToGates(h, items);
        return;
    case C::GetChanPerm: {
        const uint64 channel = snapshot(h).ownChannelID;
        ts3().requestChannelPermList(h, channel, returnCode().c_str());
        return;
    }
    case C::GetUserPerm:
        cmdGetUserPerm(h, items);
        return;
    case C::MuteClient:
        cmdMuteClient(h, static_cast<anyID>(items.getInt("userID")), true);
        return;
    case C::UnmuteClient:
        cmdMuteClient(h, static_cast<anyID>(items.getInt("userID")), false);
        return;
    case C::SetClientVolume:
        cmdVolume(h, items, false);
        return;
    case C::SetVoiceVolume:
        cmdVolume(h, items, true);
        return;
    case C::UnmuteAll:
        cmdUnmuteAll(h);
        return;
    case C::GetChanPath:
        cmdGetChanPath(h, items);
        return;
    case C::SetWaveLevel: {
        const std::string level = items.get("level");
        ts3().setPlaybackConfigValue(h, "volume_factor_wave", level.c_str());
        return;
    }
    case C::PlayWave:
        cmdPlayWave(h, items);
        return;
    default:
        return;
    }
}

void LinkPlugin::cmdWhoAmI()
{
    const std::string version = takeText(ts3(), [&](char** s) { return ts3().getClientLibVersion(s); }).value_or("");
    SendToSocket(LineBuilder("WHOAMI", kReplyLimit)
                     .field("libVersion", string_escape(version))
                     .field("ClientType", "TS3")
                     .number("API", clientApi())
                     .field("gateAPI", "1")
                     .field("PORT", rawSafe(linkPort()))
                     .field("ClientPath", string_escape(appPath()))
                     .finish());
}

void LinkPlugin::cmdGwPqng(const rdlink::Items& items)
{
    const uint64 h = handlerOf(items);
    if (h == 0)
        return;
    const int64_t now = GetTimestamp();
    anyID own = 0;
    withEntry(h, [&](TS3StatusData& e) {
        e.lastPingTime = static_cast<int32_t>(now);
        own = e.ownClientID;
    });
    const std::string text = "GATE_PING fromID=" + std::to_string(own) + " timestamp=" + std::to_string(now);
    const std::string id = pluginID();
    ts3().sendPluginCommand(h, id.c_str(), text.c_str(), PluginCommandTarget_SERVER, nullptr, returnCode().c_str());

    int status = 0;
    const bool readable = ts3().getConnectionStatus(h, &status) == ERROR_ok;
    if (readable && status == STATUS_CONNECTION_ESTABLISHED)
        return;
    withEntry(h, [](TS3StatusData& e) {
        e.ownClientID = 0;
        e.ownChannelID = 0;
        e.isConnected = false;
    });
    LineBuilder line("CONNECT", kReplyLimit);
    line.id("scHandler", h).field("status", "0").field("error", "0");
    if (!readable)
        line.field("cmd", "RESET_CONNECTION");
    SendToSocket(line.finish());
}

void LinkPlugin::cmdGwConnect(const rdlink::Items& items)
{
    const std::string type = items.get("type");
    const std::string gateUIDRaw = items.get("gateUID");
    const std::string host = string_unescape(items.get("host"));
    const std::string nick = string_unescape(items.get("nick"));
    const std::string sndIn = string_unescape(items.get("SndIn"));
    const std::string sndOut = string_unescape(items.get("SndOut"));
    const std::string ident = string_unescape(items.get("ident"));
    const std::string channel = latin1ToUtf8(string_unescape(items.get("channel")));
    const std::string servPass = string_unescape(items.get("servPass"));
    const std::string chanPass = string_unescape(items.get("chanPass"));
    const std::string bookUID = string_unescape(items.get("bookUID"));

    // Refresh the server variables of the first free (disconnected) handler.
    if (const auto handlers =
            takeIds<uint64>(ts3(), [&](uint64** list) { return ts3().getServerConnectionHandlerList(list); })) {
        for (uint64 sc : *handlers) {
            int status = -1;
            if (ts3().getConnectionStatus(sc, &status) == ERROR_ok && status == STATUS_DISCONNECTED) {
                ts3().requestServerVariables(sc);
                break;
            }
        }
    }

    uint64 newHandler = 0;
    unsigned int result;
    if (type == "bookmark" && bookUID.size() > 3) {
        result = ts3().guiConnectBookmark(PLUGIN_CONNECT_TAB_NEW_IF_CURRENT_CONNECTED, bookUID.c_str(), &newHandler);
    } else {
        result = ts3().guiConnect(PLUGIN_CONNECT_TAB_NEW_IF_CURRENT_CONNECTED, "GATEWAY-TAB", host.c_str(),
                                  servPass.c_str(), nick.c_str(), channel.c_str(), chanPass.c_str(), sndIn.c_str(),
                                  sndOut.c_str(), "", "", ident.c_str(), "", "Relaydeck", &newHandler);
    }
    auto refuse = [&] {
        SendToSocket(LineBuilder("GW_ERROR", kReplyLimit)
                         .field("gateUID", rawSafe(gateUIDRaw))
                         .field("errorCode", "1")
                         .finish());
    };
    if (result != ERROR_ok) {
        refuse();
        return;
    }
    if (newHandler == 0 || newHandler >= kTableSize) {
        // Without a table entry no event, status line or watchdog would follow this
        // connection: stop it, and Relaydeck tries again.
        logError("GW_CONNECT: server connection handler " + std::to_string(newHandler) +
                     " is beyond the plugin's table; connection stopped",
                 300);
        if (newHandler != 0)
            ts3().stopConnection(newHandler, "*** Relaydeck / QRT ***");
        refuse();
        return;
    }
    // The entry is a gateway from here on. The client may already have reported the
    // connection as established (a fast server answers within guiConnect): then it is
    // announced here, after the reply that tells Relaydeck the handler id.
    const int64_t now = GetTimestamp();
    withEntry(newHandler, [&](TS3StatusData& e) {
        e.isGateway = true;
        e.isConnected = true;
        e.lastPingTime = static_cast<int32_t>(now);
        e.replyPending = true;
        e.announced = false;
    });
    SendToSocket(LineBuilder("GW_CONNECT", kReplyLimit)
                     .field("gateUID", rawSafe(gateUIDRaw))
                     .id("scHandler", newHandler)
                     .finish());
    bool announce = false;
    withEntry(newHandler, [&](TS3StatusData& e) {
        e.replyPending = false;
        if (e.isGateway && e.lastStatus == STATUS_CONNECTION_ESTABLISHED && !e.announced)
            e.announced = announce = true;
    });
    if (announce)
        connectionEstablished(newHandler, 0, true);
}

void LinkPlugin::cmdGwStop(const rdlink::Items& items)
{
    const uint64 h = handlerOf(items);
    const std::string gateUID = string_unescape(items.get("gateUID"));
    if (h == 0 || gateUID.empty())
        return;
    int status = 0;
    if (ts3().getConnectionStatus(h, &status) != ERROR_ok)
        return;
    // The entry is cleared before the connection is stopped: the client may report the
    // disconnection at once, and a "CONNECT ... status=0" for a gateway that asked to stop
    // would read as a lost connection (and a reconnect) on Relaydeck's side.
    withEntry(h, [](TS3StatusData& e) {
        e.isGateway = false;
        e.isConnected = false;
        e.micOpenByPtt = false;
    });
    if (status > STATUS_DISCONNECTED)
        ts3().stopConnection(h, "*** Relaydeck / QRT ***");
    SendToSocket(
        LineBuilder("GW_STOP", kReplyLimit).field("gateUID", string_escape(gateUID)).field("scHandler", "-1").finish());
}

void LinkPlugin::cmdSetPtt(uint64 h, const rdlink::Items& items)
{
    for (const char* ident : {"vad", "denoise", "agc", "echo_canceling"})
        ts3().setPreProcessorConfigValue(h, ident, "false");
    const int deactivated = items.getInt("status") == 0 ? 1 : 0;
    if (setSelfInt(h, CLIENT_INPUT_DEACTIVATED, deactivated)) {
        withEntry(h, [&](TS3StatusData& e) { e.micOpenByPtt = deactivated == 0; });
        flush(h);
    }
}

void LinkPlugin::cmdSetVox(uint64 h, const rdlink::Items& items)
{
    const long long status = items.getInt("status");
    const std::string level = items.get("level");
    if (status == 0 || (status == 1 && !level.empty()))
        withEntry(h, [](TS3StatusData& e) { e.micOpenByPtt = false; }); // voice activation takes over
    if (status == 0) {
        if (setSelfInt(h, CLIENT_INPUT_DEACTIVATED, 1)) {
            flush(h);
            ts3().setPreProcessorConfigValue(h, "vad", "false");
        }
    } else if (status == 1 && !level.empty()) {
        for (const char* ident : {"denoise", "agc", "echo_canceling"})
            ts3().setPreProcessorConfigValue(h, ident, "false");
        if (setSelfInt(h, CLIENT_INPUT_DEACTIVATED, 0)) {
            if (ts3().setPreProcessorConfigValue(h, "vad", "true") == ERROR_ok)
                ts3().setPreProcessorConfigValue(h, "voiceactivation_level", level.c_str());
            flush(h);
        }
    }
}

void LinkPlugin::cmdSetSelfFlag(uint64 h, size_t flag, const rdlink::Items& items)
{
    if (setSelfInt(h, flag, static_cast<int>(items.getInt("status"))))
        flush(h);
}

void LinkPlugin::cmdSetNick(uint64 h, const rdlink::Items& items)
{
    const std::string nick = firstBytes(string_unescape(items.get("nickname")), 64);
    if (ts3().setClientSelfVariableAsString(h, CLIENT_NICKNAME, nick.c_str()) == ERROR_ok)
        flush(h);
}

void LinkPlugin::cmdSetInfo(uint64 h, const rdlink::Items& items)
{
    const std::string text = firstBytes(string_unescape(items.get("text")), 255);
    if (ts3().setClientSelfVariableAsString(h, CLIENT_META_DATA, text.c_str()) != ERROR_ok)
        return;
    if (ts3().flushClientSelfUpdates(h, returnCode().c_str()) != ERROR_ok)
        return;
    const anyID own = snapshot(h).ownClientID;
    if (ts3().requestClientEditDescription(h, own, text.c_str(), returnCode().c_str()) != ERROR_ok)
        return;
    ts3().flushClientSelfUpdates(h, returnCode().c_str());
}

void LinkPlugin::cmdMoveToChan(uint64 h, const rdlink::Items& items)
{
    const uint64 target = static_cast<uint64>(items.getInt("chanID"));
    const std::string password = items.get("chanPWD");
    bool same = false;
    anyID own = 0;
    withEntry(h, [&](TS3StatusData& e) {
        same = e.ownChannelID == target;
        if (!same)
            e.prevChannelID = e.ownChannelID;
        own = e.ownClientID;
    });
    if (same) {
        SendToSocket(LineBuilder("GW_ERROR", kReplyLimit).id("scHandler", h).field("errorCode", "101").finish());
        return;
    }
    ts3().requestClientMove(h, own, target, password.c_str(), returnCode().c_str());
}

void LinkPlugin::cmdBackToChan(uint64 h, const rdlink::Items& items)
{
    const std::string password = items.get("chanPWD");
    const TS3StatusData e = snapshot(h);
    if (e.prevChannelID > 0 && e.prevChannelID != e.ownChannelID) {
        ts3().requestClientMove(h, e.ownClientID, e.prevChannelID, password.c_str(), returnCode().c_str());
        return;
    }
    SendToSocket(LineBuilder("GW_ERROR", kReplyLimit).id("scHandler", h).field("errorCode", "102").finish());
}

void LinkPlugin::cmdMessage(const std::string& command, uint64 h, const rdlink::Items& items)
{
    const std::string message = string_unescape(items.get("message"));
    if (message.size() <= 10)
        return;
    const auto user = static_cast<anyID>(items.getInt("userID"));
    if (command == "POKEUSER") {
        ts3().requestClientPoke(h, user, message.c_str(), returnCode().c_str());
    } else if (command == "MSGTOUSER") {
        ts3().requestSendPrivateTextMsg(h, message.c_str(), user, returnCode().c_str());
    } else {
        const uint64 channel = snapshot(h).ownChannelID;
        ts3().requestSendChannelTextMsg(h, message.c_str(), channel, returnCode().c_str());
    }
}

void LinkPlugin::cmdMsgToGates(uint64 h, const rdlink::Items& items)
{
    const std::string cmd = items.get("cmd");
    if (cmd.size() <= 3)
        return;
    std::vector<std::pair<std::string, std::string>> rest;
    for (const auto& kv : items.entries())
        if (kv.first != "cmd" && kv.first != "scHandler")
            rest.push_back(kv);
    std::sort(rest.begin(), rest.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text = cmd + " fromID=" + std::to_string(snapshot(h).ownClientID);
    for (const auto& kv : rest)
        text += " " + kv.first + "=" + kv.second;
    // The answer to a GATE_PING goes to the pinging client alone (every gateway pings all
    // the others, so answering to all would grow with the cube of their number); any
    // other message, or an answer to a ping this plugin did not forward, goes to all.
    anyID pinger = 0;
    if (cmd == "GATE_PONG" && h < kTableSize) {
        const std::string stamp = items.get("timestamp");
        std::lock_guard<std::mutex> lock(m_tableMutex);
        auto& pings = m_pingsToAnswer[h];
        for (auto it = pings.begin(); it != pings.end(); ++it)
            if (it->first == stamp) {
                pinger = it->second;
                pings.erase(it);
                break;
            }
    }
    const std::string id = pluginID();
    if (pinger != 0) {
        const anyID targets[2] = {pinger, 0};
        ts3().sendPluginCommand(h, id.c_str(), text.c_str(), PluginCommandTarget_CLIENT, targets, returnCode().c_str());
    } else {
        ts3().sendPluginCommand(h, id.c_str(), text.c_str(), PluginCommandTarget_SERVER, nullptr, returnCode().c_str());
    }
}

void LinkPlugin::cmdGetUserPerm(uint64 h, const rdlink::Items& items)
{
    const auto user = static_cast<anyID>(items.getInt("userID"));
    const auto uid = takeText(
        ts3(), [&](char** s) { return ts3().getClientVariableAsString(h, user, CLIENT_UNIQUE_IDENTIFIER, s); });
    if (!uid)
        return;
    ts3().requestClientDBIDfromUID(h, uid->c_str(), returnCode().c_str());
}

void LinkPlugin::cmdMuteClient(uint64 h, anyID id, bool mute)
{
    const anyID list[2] = {id, 0};
    if (mute)
        ts3().requestMuteClients(h, list, returnCode().c_str());
    else
        ts3().requestUnmuteClients(h, list, returnCode().c_str());
}

void LinkPlugin::cmdVolume(uint64 h, const rdlink::Items& items, bool voice)
{
    const auto user = static_cast<anyID>(items.getInt("userID"));
    if (items.getInt("block") == 1) {
        cmdMuteClient(h, user, true);
        return;
    }
    const float level = static_cast<float>(items.getFloat("level"));
    if (ts3().setClientVolumeModifier(h, user, level) != ERROR_ok)
        return;
    if (voice) {
        const std::string general = items.get("general");
        ts3().setPlaybackConfigValue(h, "volume_modifier", general.c_str());
    }
}

void LinkPlugin::cmdUnmuteAll(uint64 h)
{
    const uint64 channel = snapshot(h).ownChannelID;
    auto ids = takeIds<anyID>(ts3(), [&](anyID** list) { return ts3().getChannelClientList(h, channel, list); });
    if (!ids)
        return;
    ids->push_back(0);
    ts3().requestUnmuteClients(h, ids->data(), returnCode().c_str());
}

void LinkPlugin::cmdGetProfiles()
{
    for (PluginGuiProfile kind : {PLUGIN_GUI_SOUND_CAPTURE, PLUGIN_GUI_SOUND_PLAYBACK, PLUGIN_GUI_IDENTITY}) {
        int defaultIndex = 0;
        std::vector<std::string> escaped;
        {
            ClientMemory<char*> names(ts3());
            if (ts3().getProfileList(kind, &defaultIndex, names.out()) != ERROR_ok)
                continue;
            for (char** p = names.get(); p && *p; ++p)
                escaped.push_back(string_escape(*p));
        }
        SendToSocket(LineBuilder("PROFILES", kReplyLimit)
                         .number("type", int(kind))
                         .number("default", defaultIndex)
                         .field("items", join(escaped, joinedCount(escaped, 1023)))
                         .finish());
    }

    std::vector<std::string> names, uids;
    int count = 0;
    {
        ClientMemory<PluginBookmarkList> list(ts3()); // the whole tree goes back
        if (ts3().getBookmarkList(list.out()) != ERROR_ok || !list)
            return;
        count = list.get()->itemcount;
        for (int i = 0; i < count; ++i) {
            const PluginBookmarkItem& item = list.get()->items[i];
            if (item.isFolder)
                continue;
            names.push_back(string_escape(item.name ? item.name : ""));
            uids.push_back(string_escape(item.uuid ? item.uuid : ""));
        }
    }
    if (count < 1)
        return;
    // Names and uids stay paired: both lists keep the same number of entries.
    const size_t n = std::min(joinedCount(names, 1023), joinedCount(uids, 1023));
    SendToSocket(LineBuilder("PROFILES", kReplyLimit)
                     .field("type", "10")
                     .number("count", count)
                     .field("items", join(names, n))
                     .field("uids", join(uids, n))
                     .finish());
}

void LinkPlugin::cmdGetChannels(uint64 h, const rdlink::Items& items)
{
    const std::string type = items.get("type");
    if (type == "info") {
        const uint64 channel = static_cast<uint64>(items.getInt("chID"));
        const auto name =
            takeText(ts3(), [&](char** s) { return ts3().getChannelVariableAsString(h, channel, CHANNEL_NAME, s); });
        if (!name)
            return;
        const std::string escaped = string_escape(*name);
        SendToSocket(LineBuilder("CHANNELS", kReplyLimit)
                         .id("scHandler", h)
                         .field("type", "info")
                         .id("chID", channel)
                         .field("chName", escaped)
                         .finish());
    } else if (type == "ids") {
        std::string ids;
        {
            ClientMemory<uint64> list(ts3());
            if (ts3().getChannelList(h, list.out()) != ERROR_ok || !list)
                return;
            int n = 0;
            for (uint64* p = list.get(); *p && n < 151; ++p, ++n) {
                if (n)
                    ids.push_back('|');
                ids += idText(*p);
            }
        }
        SendToSocket(
            LineBuilder("CHANNELS", kReplyLimit).id("scHandler", h).field("type", "ids").field("ids", ids).finish());
    }
}

void LinkPlugin::cmdGetChanPath(uint64 h, const rdlink::Items& items)
{
    const long long requested = items.getInt("channel");
    const uint64 start = requested > 0 ? static_cast<uint64>(requested) : snapshot(h).ownChannelID;
    auto nameOf = [&](uint64 channel, std::string& out) {
        const auto name =
            takeText(ts3(), [&](char** s) { return ts3().getChannelVariableAsString(h, channel, CHANNEL_NAME, s); });
        if (name)
            out = *name;
        return name.has_value();
    };
    std::vector<std::string> names(1);
    if (!nameOf(start, names[0])) {
        SendToSocket(LineBuilder("ERROR", kReplyLimit).id("scHandler", h).id("error", start).finish());
        return;
    }
    uint64 channel = start;
    for (int step = 0; step < 18; ++step) {
        uint64 parent = 0;
        if (ts3().getParentChannelOfChannel(h, channel, &parent) != ERROR_ok || parent == 0)
            break;
        std::string name;
        if (!nameOf(parent, name))
            break;
        names.push_back(name);
        channel = parent;
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (it->empty())
            continue;
        if (!path.empty())
            path.push_back('/');
        path += *it;
    }
    SendToSocket(LineBuilder("CHANNELPATH", kReplyLimit)
                     .id("scHandler", h)
                     .field("path", string_escape(path))
                     .id("channelID", start)
                     .field("save", rawSafe(items.get("save")))
                     .finish());
}

void LinkPlugin::cmdGetSpeaker(uint64 h, const rdlink::Items& items)
{
    const TS3StatusData e = snapshot(h);
    Count count;
    if (!countChannel(h, e.ownChannelID, e.ownClientID, 0, count))
        count = Count{};
    SendToSocket(LineBuilder("SPEAKERS", kReplyLimit, kBlankCr)
                     .field("scHandler", rawSafe(items.get("scHandler")))
                     .number("speakers", count.speakers)
                     .number("users", count.users)
                     .number("status", count.speakers > 0 ? 1 : 0)
                     .finish());
}

void LinkPlugin::cmdPlayWave(uint64 h, const rdlink::Items& items)
{
    const std::string level = items.get("level");
    const std::string file = string_unescape(items.get("file"));
    const std::string handler = rawSafe(items.get("scHandler"));
    ts3().setPlaybackConfigValue(h, "volume_factor_wave", level.c_str());
    if (ts3().playWaveFile(h, file.c_str()) == ERROR_ok) {
        SendToSocket(LineBuilder("WAVEPLAYER", kReplyLimit)
                         .field("scHandler", handler)
                         .field("status", "1")
                         .field("len", rawSafe(items.get("len")))
                         .field("error", "0")
                         .finish());
    } else {
        SendToSocket(LineBuilder("WAVEPLAYER", kReplyLimit)
                         .field("scHandler", handler)
                         .field("status", "0")
                         .field("len", "0")
                         .field("error", "100")
                         .finish());
    }
}

void LinkPlugin::cmdExitClient()
{
    stopAllConnections("*** QRT ***");
    m_opt.sleepMs(2000);
    SendToSocket("QUIT errorID=0 \r");
    m_opt.sleepMs(2000); // the writer sends what the socket did not take at once
    m_opt.exitProcess(0);
}

void LinkPlugin::cmdSendToTs(uint64 h)
{
    if (ts3().registerCustomDevice("TEST111", "RelaydeckDevice", 44100, 1, 44100, 1) != ERROR_ok)
        return;
    if (ts3().openCaptureDevice(h, "", "TEST111") != ERROR_ok)
        return;
    ts3().processCustomCaptureData("TEST111", nullptr, 0);
}

void LinkPlugin::cmdAcStart()
{
    ts3().startConnection(1, "", "test.relaydeck.invalid", 0, "TEST", nullptr, "", "");
}

} // namespace rdplugin
