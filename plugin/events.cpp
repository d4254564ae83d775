// The client's callbacks: table updates and the event lines for Relaydeck.
#include <cstring>
#include <exception>

#include "plugin/client_memory.h"
#include "plugin/escaping.h"
#include "plugin/line_builder.h"
#include "plugin/link_plugin.h"

namespace rdplugin {

namespace {

std::string str(const char* s)
{
    return s ? std::string(s) : std::string();
}


} // namespace

// ---------------------------------------------------------------------------------
// Connection status

void LinkPlugin::onConnectStatusChange(uint64 h, int newStatus, unsigned int errorNumber)
{
    bool gateway = false, announce = false;
    withEntry(h, [&](TS3StatusData& e) {
        e.speakers = 0;
        e.lastStatus = newStatus;
        if (newStatus == STATUS_DISCONNECTED || newStatus == STATUS_CONNECTION_ESTABLISHED)
            e.micOpenByPtt = false; // gone, or about to start closed
        gateway = e.isGateway;
        // A gateway whose GW_CONNECT reply is still being written is announced by the
        // command right after the reply (it sees lastStatus 4).
        if (newStatus == STATUS_CONNECTION_ESTABLISHED && gateway && !e.replyPending)
            e.announced = announce = true;
    });

    if (newStatus == STATUS_CONNECTION_ESTABLISHED) {
        connectionEstablished(h, errorNumber, announce);
    } else if (newStatus == STATUS_DISCONNECTED) {
        withEntry(h, [](TS3StatusData& e) {
            e.ownClientID = 0;
            e.ownChannelID = 0;
            e.users = 0;
            e.speakers = 0;
            e.pingMisses = 0;
            e.isConnected = false;
        });
        if (gateway) {
            SendToSocket(LineBuilder("CONNECT", kEventLimit, kBlankCr)
                             .id("scHandler", h)
                             .field("status", "0")
                             .number("error", errorNumber)
                             .finish());
        }
    }
}

void LinkPlugin::connectionEstablished(uint64 h, unsigned int errorNumber, bool gateway)
{
    {
        if (gateway) {
            for (const char* ident : {"vad", "denoise", "agc", "echo_canceling", "vad"})
                ts3().setPreProcessorConfigValue(h, ident, "false");
            if (setSelfInt(h, CLIENT_INPUT_DEACTIVATED, 1))
                flush(h);
            ts3().requestChannelUnsubscribeAll(h, returnCode().c_str());
        }
        std::optional<std::string> serverName, channelName, nickname;
        std::optional<anyID> own;
        std::optional<uint64> channel;
        if (gateway)
            serverName =
                takeText(ts3(), [&](char** s) { return ts3().getServerVariableAsString(h, VIRTUALSERVER_NAME, s); });
        anyID id = 0;
        if (ts3().getClientID(h, &id) == ERROR_ok) {
            own = id;
            uint64 ch = 0;
            if (ts3().getChannelOfClient(h, id, &ch) == ERROR_ok)
                channel = ch;
        }
        if (gateway) {
            if (channel)
                channelName = takeText(
                    ts3(), [&](char** s) { return ts3().getChannelVariableAsString(h, *channel, CHANNEL_NAME, s); });
            nickname =
                takeText(ts3(), [&](char** s) { return ts3().getClientSelfVariableAsString(h, CLIENT_NICKNAME, s); });
        }
        withEntry(h, [&](TS3StatusData& e) {
            e.ownClientID = own.value_or(0);
            e.ownChannelID = channel.value_or(0);
            e.users = 0;
            e.speakers = 0;
            e.pingMisses = 0;
            e.isConnected = true;
        });
        if (!gateway)
            return;

        Count count;
        if (channel && countChannel(h, *channel, own.value_or(0), 0, count)) {
            withEntry(h, [&](TS3StatusData& e) {
                e.users = count.users;
                e.speakers = count.speakers;
            });
            unmuteIfQuiet(h, count.ids);
        }

        LineBuilder connect("CONNECT", kEventLimit, kBlankCr);
        connect.id("scHandler", h).field("status", "4").number("error", errorNumber);
        LineBuilder info("SERVERINFO", kEventLimit, kBlankCr);
        if (serverName) {
            connect.field("serverName", string_escape(*serverName));
            info.id("scHandler", h).field("connected", "4").field("serverName", string_escape(*serverName));
        }
        for (LineBuilder* line : {&connect, &info}) {
            if (own)
                line->number("myClID", *own);
            if (channel)
                line->id("myChID", *channel);
            if (channelName)
                line->field("channelName", string_escape(*channelName));
            if (nickname)
                line->field("myNickname", string_escape(*nickname));
        }
        SendToSocket(connect.finish());
        SendToSocket(info.finish());
    }
}

// ---------------------------------------------------------------------------------
// Moves

void LinkPlugin::onClientMove(uint64 h, anyID clientID, uint64 oldChannelID, uint64 newChannelID, int visibility,
                              const char* moveMessage)
{
    moveEvent(h, clientID, oldChannelID, newChannelID, visibility, moveMessage, false, 0, nullptr, nullptr);
}

void LinkPlugin::onClientMoveMoved(uint64 h, anyID clientID, uint64 oldChannelID, uint64 newChannelID, int visibility,
                                   anyID moverID, const char* moverName, const char* moverUniqueIdentifier,
                                   const char* moveMessage)
{
    moveEvent(h, clientID, oldChannelID, newChannelID, visibility, moveMessage, true, moverID, moverName,
              moverUniqueIdentifier);
}

void LinkPlugin::moveEvent(uint64 h, anyID clientID, uint64 oldCh, uint64 newCh, int visibility,
                           const char* moveMessage, bool byOther, anyID moverID, const char* moverName,
                           const char* moverUID)
{
    try {
        const TS3StatusData e = snapshot(h);
        if (!e.isGateway) {
            if (e.ownClientID != 0 && clientID == e.ownClientID)
                withEntry(h, [&](TS3StatusData& x) { x.ownChannelID = newCh; });
            return;
        }
        char display[512] = {};
        if (ts3().getClientDisplayName(h, clientID, display, sizeof display) != ERROR_ok)
            display[0] = '\0';
        display[sizeof display - 1] = '\0';
        const std::string message = str(moveMessage);

        if (clientID == e.ownClientID) {
            withEntry(h, [&](TS3StatusData& x) {
                x.ownChannelID = newCh;
                x.prevChannelID = oldCh;
            });
            Count count;
            if (countChannel(h, newCh, e.ownClientID, 0, count)) {
                withEntry(h, [&](TS3StatusData& x) { x.users = count.users; });
                unmuteIfQuiet(h, count.ids);
            }
            const std::optional<std::string> channelName =
                takeText(ts3(), [&](char** s) { return ts3().getChannelVariableAsString(h, newCh, CHANNEL_NAME, s); });
            LineBuilder line("MOVED", kEventLimit, kBlankCr);
            line.id("scHandler", h)
                .id("fromCH", oldCh)
                .id("toCH", newCh)
                .number("visible", visibility)
                .number("users", snapshot(h).users);
            if (byOther) {
                line.number("moverID", moverID)
                    .field("moverUID", rawSafe(str(moverUID)))
                    .field("moverName", string_escape(str(moverName)));
            } else {
                line.field("moverID", "0").field("moverUID", "0").field("moverName", "0");
            }
            line.field("moveMSG", string_escape(message));
            if (channelName)
                line.field("channelName", string_escape(*channelName));
            SendToSocket(line.finish());
        } else if (newCh == e.ownChannelID) {
            std::optional<int> inputOff, outputOff;
            int v = 0;
            if (ts3().getClientVariableAsInt(h, clientID, CLIENT_INPUT_MUTED, &v) == ERROR_ok)
                inputOff = v;
            if (ts3().getClientVariableAsInt(h, clientID, CLIENT_OUTPUT_MUTED, &v) == ERROR_ok)
                outputOff = v;
            Count count;
            if (countChannel(h, e.ownChannelID, e.ownClientID, 0, count)) {
                withEntry(h, [&](TS3StatusData& x) { x.users = count.users; });
                unmuteIfQuiet(h, count.ids);
            }
            LineBuilder line("USERIN", kEventLimit, kBlankCr);
            line.id("scHandler", h)
                .number("userID", clientID)
                .id("fromCH", oldCh)
                .id("toCH", newCh)
                .number("visible", visibility);
            if (inputOff)
                line.number("inputOFF", *inputOff ? 1 : 0);
            if (outputOff)
                line.number("outputOFF", *outputOff ? 1 : 0);
            line.number("users", snapshot(h).users)
                .field("nickname", string_escape(display))
                .field("moveMSG", string_escape(message));
            SendToSocket(line.finish());
        } else if (oldCh == e.ownChannelID) {
            Count count;
            if (countChannel(h, e.ownChannelID, e.ownClientID, 0, count))
                withEntry(h, [&](TS3StatusData& x) { x.users = count.users; });
            const std::string nickname = newCh == 0 ? message : std::string(display);
            SendToSocket(LineBuilder("USEROUT", kEventLimit, kBlankCr)
                             .id("scHandler", h)
                             .number("userID", clientID)
                             .id("fromCH", oldCh)
                             .id("toCH", newCh)
                             .number("visible", visibility)
                             .number("users", snapshot(h).users)
                             .field("nickname", string_escape(nickname))
                             .field("moveMSG", string_escape(message))
                             .finish());
        }
    } catch (const std::exception& ex) {
        logError(ex.what(), 300);
    }
}

// ---------------------------------------------------------------------------------
// Talk status

void LinkPlugin::onTalkStatusChange(uint64 h, int status, int isReceivedWhisper, anyID clientID)
{
    const TS3StatusData e = snapshot(h);
    if (e.isGateway && !isReceivedWhisper) {
        const std::string uid = takeText(ts3(), [&](char** s) {
                                    return ts3().getClientVariableAsString(h, clientID, CLIENT_UNIQUE_IDENTIFIER, s);
                                }).value_or("");
        if (clientID != e.ownClientID) {
            Count count;
            if (countChannel(h, e.ownChannelID, e.ownClientID, clientID, count)) {
                withEntry(h, [&](TS3StatusData& x) {
                    x.users = count.users;
                    x.speakers = count.speakers + (status == STATUS_TALKING ? 1 : 0);
                    if (x.speakers < 0)
                        x.speakers = 0;
                });
            }
            const TS3StatusData now = snapshot(h);
            SendToSocket(LineBuilder("RXVOICE", kEventLimit, kBlankCr)
                             .id("scHandler", h)
                             .number("speakers", now.speakers)
                             .number("users", now.users)
                             .number("status", status)
                             .field("whisper", "0")
                             .number("clientID", clientID)
                             .field("clientUID", string_escape(uid))
                             .finish());
        } else {
            Count count;
            int users = e.users;
            if (countChannel(h, e.ownChannelID, e.ownClientID, 0, count))
                users = count.users;
            SendToSocket(LineBuilder("TXVOICE", kEventLimit, kBlankCr)
                             .id("scHandler", h)
                             .number("status", status)
                             .number("users", users)
                             .finish());
        }
        return;
    }
    if (isReceivedWhisper && (e.ownClientID == 0 || clientID != e.ownClientID)) {
        const anyID list[2] = {clientID, 0};
        ts3().requestMuteClients(h, list, returnCode().c_str());
    }
}

// ---------------------------------------------------------------------------------
// Text messages and pokes

int LinkPlugin::onTextMessage(uint64 h, anyID targetMode, anyID toID, anyID fromID, const char* fromName,
                              const char* fromUniqueIdentifier, const char* message, int ffIgnored)
{
    const TS3StatusData e = snapshot(h);
    if (!e.isGateway || ffIgnored)
        return 0;
    // Only private messages to the own client are forwarded; a channel or server
    // message whose target id happens to equal the own client id is not one.
    if (targetMode != TextMessageTarget_CLIENT || fromID == e.ownClientID || toID != e.ownClientID)
        return 1;
    const std::string text = str(message);
    const std::string uid = rawSafe(str(fromUniqueIdentifier));
    if (text.size() >= 5 && text[0] == '#') {
        ts3().requestChannelSubscribeAll(h, returnCode().c_str());
        uint64 channel = 0;
        if (ts3().getChannelOfClient(h, fromID, &channel) != ERROR_ok)
            channel = 0;
        ts3().requestChannelUnsubscribeAll(h, returnCode().c_str());

        // "#cmd pp1 pp2 pp3 rest..." - two blanks in a row give an empty word.
        std::string_view body(text);
        body.remove_prefix(1);
        std::string words[5];
        for (int i = 0; i < 4; ++i) {
            size_t blank = body.find(' ');
            if (blank == std::string_view::npos) {
                words[i] = std::string(body);
                body = {};
                break;
            }
            words[i] = std::string(body.substr(0, blank));
            body.remove_prefix(blank + 1);
        }
        words[4] = std::string(body);
        LineBuilder line("REMOTE", kEventLimit, kBlankCr);
        line.id("scHandler", h)
            .number("fromID", fromID)
            .field("fromUID", uid)
            .field("fromNick", string_escape(str(fromName)));
        if (static_cast<int32_t>(static_cast<uint32_t>(channel)) > 0)
            line.id("fromCHAN", channel);
        line.field("cmd", string_escape(words[0]));
        static const char* const kPp[] = {"pp1", "pp2", "pp3", "pp4"};
        for (int i = 0; i < 4; ++i)
            if (!words[i + 1].empty())
                line.field(kPp[i], string_escape(words[i + 1]));
        SendToSocket(line.finish());
    } else {
        SendToSocket(LineBuilder("PRIVMSG", kEventLimit, kBlankCr)
                         .id("scHandler", h)
                         .number("fromID", fromID)
                         .field("fromUID", uid)
                         .field("fromName", string_escape(str(fromName)))
                         .field("message", string_escape(text))
                         .finish());
    }
    return 1;
}

int LinkPlugin::onClientPoke(uint64 h, anyID fromClientID, const char* pokerName, const char* pokerUniqueIdentity,
                             const char* message, int ffIgnored)
{
    if (!isGateway(h) || ffIgnored)
        return 0;
    anyID own = 0;
    if (ts3().getClientID(h, &own) == ERROR_ok && fromClientID != own) {
        SendToSocket(LineBuilder("POKEMSG", kEventLimit, kBlankCr)
                         .id("scHandler", h)
                         .number("fromID", fromClientID)
                         .field("fromUID", rawSafe(str(pokerUniqueIdentity)))
                         .field("fromName", string_escape(str(pokerName)))
                         .field("message", string_escape(str(message)))
                         .finish());
    }
    return 1;
}

void LinkPlugin::onClientSelfVariableUpdate(uint64 h, int flag, const char* oldValue, const char* newValue)
{
    if (!isGateway(h) || flag == CLIENT_FLAG_TALKING)
        return;
    SendToSocket(LineBuilder("SELFVAR", kEventLimit, kBlankCr)
                     .id("scHandler", h)
                     .number("flag", flag)
                     .field("oldValue", string_escape(str(oldValue)))
                     .field("newValue", string_escape(str(newValue)))
                     .finish());
}

// ---------------------------------------------------------------------------------
// Errors

int LinkPlugin::onServerError(uint64 h, const char* errorMessage, unsigned int error, const char* returnCode,
                              const char* extraMessage)
{
    if (!isGateway(h))
        return 0;
    if (error != ERROR_ok && errorMessage) {
        SendToSocket(LineBuilder("ERRORMSG", kEventLimit, kBlankCr)
                         .id("scHandler", h)
                         .number("error", error)
                         .field("errorMSG", string_escape(errorMessage))
                         .field("returnCode", string_escape(str(returnCode)))
                         .field("extraMSG", string_escape(str(extraMessage)))
                         .finish());
    }
    return 1;
}

int LinkPlugin::onServerPermissionError(uint64 h, const char* errorMessage, unsigned int error, const char* returnCode,
                                        unsigned int failedPermissionID)
{
    if (!isGateway(h) || !errorMessage)
        return 0;
    SendToSocket(LineBuilder("PERMERROR", kEventLimit, kBlankCr)
                     .id("scHandler", h)
                     .number("error", error)
                     .field("errorMSG", string_escape(errorMessage))
                     .field("returnCode", string_escape(str(returnCode)))
                     .number("permID", failedPermissionID)
                     .finish());
    return 1;
}

// ---------------------------------------------------------------------------------
// Plugin commands between gateways

void LinkPlugin::onPluginCommand(uint64 h, const char*, const char* pluginCommand)
{
    const TS3StatusData e = snapshot(h);
    if (!e.isGateway)
        return;
    const std::string text = str(pluginCommand);
    const size_t blank = text.find(' ');
    const std::string word = text.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    const rdlink::Items items = rdlink::Items::parse(rest);
    if (items.getInt("fromID") == e.ownClientID)
        return;
    if (word == "GATE_PING" && h < kTableSize) {
        // Relaydeck answers with GATE_PONG (MSGTOGATES); that answer goes to this client only.
        const auto from = static_cast<anyID>(items.getInt("fromID"));
        std::lock_guard<std::mutex> lock(m_tableMutex);
        auto& pings = m_pingsToAnswer[h];
        if (pings.size() >= 64)
            pings.pop_front();
        pings.emplace_back(items.get("timestamp"), from);
    }
    LineBuilder line("PLUGINCMD", kPluginCmdLimit, kBlankCr);
    line.id("scHandler", h).field("cmd", rawSafe(word));
    for (const auto& kv : items.entries())
        line.field(rawSafe(kv.first), rawSafe(kv.second));
    SendToSocket(line.finish());
}

// ---------------------------------------------------------------------------------
// Permission lists

void LinkPlugin::onChannelPermList(uint64 h, uint64 channelID, unsigned int permissionID, int permissionValue,
                                   int permissionNegated, int permissionSkip)
{
    SendToSocket(LineBuilder("CHPERM", kEventLimit, kBlankCr)
                     .id("scHandler", h)
                     .id("chID", channelID)
                     .number("permID", permissionID)
                     .number("permValue", permissionValue)
                     .number("permNega", permissionNegated)
                     .number("permSkip", permissionSkip)
                     .finish());
}

void LinkPlugin::onClientPermList(uint64 h, uint64 clientDatabaseID, unsigned int permissionID, int permissionValue,
                                  int permissionNegated, int permissionSkip)
{
    SendToSocket(LineBuilder("CLIENTPERM", kEventLimit, kBlankCr)
                     .id("scHandler", h)
                     .id("userDBID", clientDatabaseID)
                     .number("permID", permissionID)
                     .number("permValue", permissionValue)
                     .number("permNega", permissionNegated)
                     .number("permSkip", permissionSkip)
                     .finish());
}

void LinkPlugin::onClientDBIDfromUID(uint64 h, const char*, uint64 clientDatabaseID)
{
    ts3().requestClientPermList(h, clientDatabaseID, returnCode().c_str());
}

// ---------------------------------------------------------------------------------
// Menus

void LinkPlugin::onMenuItem(uint64 h, PluginMenuType type, int menuItemID, uint64 selectedItemID)
{
    // Reads one text from the client; the field is left out when it cannot be read.
    auto takeString = [&](auto read, std::optional<std::string>& out) { out = takeText(ts3(), read); };
    if (type == PLUGIN_MENU_TYPE_CHANNEL && menuItemID == kMenuMoveInChannel) {
        anyID own = snapshot(h).ownClientID;
        anyID id = 0;
        if (ts3().getClientID(h, &id) == ERROR_ok)
            own = id;
        std::optional<std::string> uid, nick;
        takeString([&](char** s) { return ts3().getClientSelfVariableAsString(h, CLIENT_UNIQUE_IDENTIFIER, s); }, uid);
        takeString([&](char** s) { return ts3().getClientSelfVariableAsString(h, CLIENT_NICKNAME, s); }, nick);
        LineBuilder line("REMOTE", kEventLimit, kCr);
        line.id("scHandler", h).number("fromID", own);
        if (uid)
            line.field("fromUID", string_escape(*uid));
        if (nick)
            line.field("fromNick", string_escape(*nick));
        line.id("fromCHAN", selectedItemID).field("cmd", "move");
        SendToSocket(line.finish());
    } else if (type == PLUGIN_MENU_TYPE_CLIENT && menuItemID == kMenuRegisterClient) {
        const auto client = static_cast<anyID>(selectedItemID);
        std::optional<std::string> uid, nick;
        takeString([&](char** s) { return ts3().getClientVariableAsString(h, client, CLIENT_UNIQUE_IDENTIFIER, s); },
                   uid);
        takeString([&](char** s) { return ts3().getClientVariableAsString(h, client, CLIENT_NICKNAME, s); }, nick);
        std::optional<uint64> channel;
        uint64 ch = 0;
        if (ts3().getChannelOfClient(h, client, &ch) == ERROR_ok)
            channel = ch;
        LineBuilder line("REMOTE", kEventLimit, kCr);
        line.id("scHandler", h).number("fromID", client);
        if (uid)
            line.field("fromUID", string_escape(*uid));
        if (nick)
            line.field("fromNick", string_escape(*nick));
        if (channel)
            line.id("fromCHAN", *channel);
        line.field("cmd", "register");
        SendToSocket(line.finish());
    }
}

} // namespace rdplugin
