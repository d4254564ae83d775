#include "clientsim/script.h"

#include "clientsim/format.h"

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <thread>

namespace clientsim {

namespace {

struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

long long number(const std::string& text, const char* what)
{
    if (text.empty())
        throw ScriptError(std::string("missing ") + what);
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 0);
    if (!end || *end != '\0')
        throw ScriptError(std::string("not a number for ") + what + ": " + text);
    return v;
}

bool onOff(const std::string& text)
{
    if (text == "on" || text == "1" || text == "true" || text == "yes")
        return true;
    if (text == "off" || text == "0" || text == "false" || text == "no")
        return false;
    throw ScriptError("expected on or off: " + text);
}

int profileKind(const std::string& text)
{
    static const std::map<std::string, int> kinds{{"capture", PLUGIN_GUI_SOUND_CAPTURE},
                                                  {"playback", PLUGIN_GUI_SOUND_PLAYBACK},
                                                  {"hotkey", PLUGIN_GUI_HOTKEY},
                                                  {"sound", PLUGIN_GUI_SOUNDPACK},
                                                  {"identity", PLUGIN_GUI_IDENTITY}};
    auto it = kinds.find(text);
    if (it == kinds.end())
        throw ScriptError("unknown profile kind: " + text);
    return it->second;
}

int talkStatus(const std::string& text)
{
    if (text == "start")
        return STATUS_TALKING;
    if (text == "stop")
        return STATUS_NOT_TALKING;
    return static_cast<int>(number(text, "talk status"));
}

} // namespace

Script::Script(Client& client, std::function<void(const std::string&)> out) : client_(client), out_(std::move(out)) {}

void Script::say(const std::string& line)
{
    out_(line);
}

void Script::noteOutput(const std::string& line)
{
    std::lock_guard<std::mutex> lock(outputMutex_);
    output_.push_back(line);
}

bool Script::split(const std::string& line, std::vector<Word>& words, std::string& error)
{
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            ++i;
        if (i >= line.size())
            break;
        Word w;
        w.quoted = line[i] == '"';
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n') {
            if (line[i] != '"') {
                w.text += line[i++];
                continue;
            }
            ++i; // opening quote
            bool closed = false;
            while (i < line.size()) {
                char ch = line[i++];
                if (ch == '"') {
                    closed = true;
                    break;
                }
                if (ch == '\\' && i < line.size()) {
                    char e = line[i++];
                    switch (e) {
                    case 'n':
                        w.text += '\n';
                        break;
                    case 'r':
                        w.text += '\r';
                        break;
                    case 't':
                        w.text += '\t';
                        break;
                    default:
                        w.text += e;
                    }
                    continue;
                }
                w.text += ch;
            }
            if (!closed) {
                error = "unterminated quote";
                return false;
            }
        }
        words.push_back(w);
    }
    return true;
}

bool Script::execute(const std::string& rawLine)
{
    lastError_.clear();
    std::string line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#')
        return !quit_;
    std::vector<Word> words;
    std::string error;
    if (!split(line, words, error)) {
        lastError_ = error;
        say("ERROR " + error + ": " + line);
        return !quit_;
    }
    // Named arguments (key=value, unquoted key) and flags are taken out by the command.
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> named;
    std::vector<std::string> flags;
    for (size_t i = 0; i < words.size(); ++i) {
        const Word& w = words[i];
        size_t eq = w.text.find('=');
        if (i > 0 && !w.quoted && eq != std::string::npos && eq > 0) {
            named.emplace_back(w.text.substr(0, eq), w.text.substr(eq + 1));
        } else {
            args.push_back(w.text);
        }
    }
    try {
        run(args, named, flags);
    } catch (const ScriptError& e) {
        lastError_ = e.what();
        say("ERROR " + lastError_ + ": " + line);
    }
    if (sync_ && !quit_ && client_.loaded())
        client_.waitIdle(std::chrono::seconds(10));
    return !quit_;
}

void Script::run(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& named,
                 const std::vector<std::string>&)
{
    const std::string& cmd = args[0];
    auto arg = [&](size_t i, const char* what) -> const std::string& {
        if (i >= args.size())
            throw ScriptError(std::string("missing ") + what);
        return args[i];
    };
    auto opt = [&](const char* key, const std::string& fallback = "") {
        for (const auto& [k, v] : named)
            if (k == key)
                return v;
        return fallback;
    };
    auto has = [&](const char* key) {
        for (const auto& [k, v] : named)
            if (k == key)
                return true;
        for (size_t i = 1; i < args.size(); ++i)
            if (args[i] == key)
                return true;
        return false;
    };
    // Positional text: the remaining words joined by one blank.
    auto rest = [&](size_t from) {
        std::string out;
        for (size_t i = from; i < args.size(); ++i)
            out += (i > from ? " " : "") + args[i];
        return out;
    };
    auto handler = [&](size_t i) { return static_cast<u64>(number(arg(i, "handler"), "handler")); };
    auto id = [&](size_t i, const char* what) { return static_cast<anyid>(number(arg(i, what), what)); };
    auto requireServer = [&](const std::string& key) {
        bool ok = client_.model().with([&](State& s) { return s.server(key) != nullptr; });
        if (!ok)
            throw ScriptError("unknown server: " + key);
    };

    if (cmd == "quit" || cmd == "exit") {
        quit_ = true;
    } else if (cmd == "load") {
        LoadOptions options = loadOptions_;
        std::string path = args.size() > 1 ? args[1] : pluginPath_;
        if (path.empty())
            throw ScriptError("no plugin path");
        std::string reg = opt("register");
        if (reg == "after")
            options.registerBeforeInit = false;
        if (reg == "before")
            options.registerBeforeInit = true;
        if (!opt("id").empty())
            options.pluginId = opt("id");
        if (!client_.load(path, options))
            throw ScriptError(client_.lastError());
        say("INFO loaded " + client_.info().name + " " + client_.info().version + " id=" + client_.info().pluginId);
    } else if (cmd == "unload") {
        if (!client_.loaded())
            throw ScriptError("no plugin loaded");
        client_.unload();
        say("INFO unloaded");
    } else if (cmd == "wait") {
        std::this_thread::sleep_for(std::chrono::milliseconds(number(arg(1, "milliseconds"), "milliseconds")));
    } else if (cmd == "sync") {
        auto ms = std::chrono::milliseconds(args.size() > 1 ? number(args[1], "milliseconds") : 10000);
        if (!client_.waitIdle(ms))
            throw ScriptError("events still pending");
    } else if (cmd == "expect") {
        std::string text = arg(1, "text");
        auto timeout = std::chrono::milliseconds(number(opt("timeout", "5000"), "timeout"));
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(outputMutex_);
                for (size_t i = expectFrom_; i < output_.size(); ++i)
                    if (output_[i].find(text) != std::string::npos) {
                        expectFrom_ = i + 1;
                        return;
                    }
            }
            if (std::chrono::steady_clock::now() >= deadline)
                throw ScriptError("not seen: " + text);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    } else if (cmd == "print") {
        say("INFO " + rest(1));
    } else if (cmd == "option") {
        const std::string& name = arg(1, "option name");
        const std::string& value = arg(2, "option value");
        if (name == "connectdelay")
            client_.setConnectStepDelay(std::chrono::milliseconds(number(value, "milliseconds")));
        else if (name == "echo")
            client_.setEcho(onOff(value));
        else if (name == "statusinconnect")
            client_.setStatusInsideConnect(onOff(value));
        else if (name == "okerrors")
            client_.setOkServerErrors(onOff(value));
        else if (name == "sync")
            sync_ = onOff(value);
        else if (name == "register")
            loadOptions_.registerBeforeInit = value != "after";
        else if (name == "nexthandler")
            client_.model().with([&](State& s) { s.nextHandlerId = static_cast<u64>(number(value, "handler")); });
        else if (name == "apppath" || name == "configpath" || name == "pluginpath" || name == "resourcespath")
            client_.model().with([&](State& s) {
                (name == "apppath"      ? s.appPath
                 : name == "configpath" ? s.configPath
                 : name == "pluginpath" ? s.pluginPath
                                        : s.resourcesPath) = value;
            });
        else
            throw ScriptError("unknown option: " + name);
    } else if (cmd == "fail") {
        client_.failNext(arg(1, "function"), static_cast<unsigned>(number(arg(2, "error code"), "error code")),
                         args.size() > 3 ? static_cast<int>(number(args[3], "count")) : 1);
    } else if (cmd == "server") {
        client_.addServer(arg(1, "server key"), arg(2, "address"), args.size() > 3 ? rest(3) : arg(1, "server key"));
    } else if (cmd == "reachable") {
        requireServer(arg(1, "server key"));
        client_.setServerReachable(args[1], onOff(arg(2, "on/off")));
    } else if (cmd == "channel") {
        requireServer(arg(1, "server key"));
        client_.addChannel(args[1], static_cast<u64>(number(arg(2, "channel id"), "channel id")), arg(3, "name"),
                           static_cast<u64>(number(opt("parent", "0"), "parent")), opt("password"), has("default"));
    } else if (cmd == "perm") {
        const std::string& kind = arg(1, "channel or client");
        requireServer(arg(2, "server key"));
        PermRow row;
        u64 target = static_cast<u64>(number(arg(3, "id"), "id"));
        row.id = static_cast<unsigned>(number(arg(4, "permission id"), "permission id"));
        row.value = static_cast<int>(number(arg(5, "value"), "value"));
        row.negated = static_cast<int>(number(opt("negated", "0"), "negated"));
        row.skip = static_cast<int>(number(opt("skip", "0"), "skip"));
        if (kind == "channel")
            client_.addChannelPermission(args[2], target, row);
        else if (kind == "client")
            client_.addClientPermission(args[2], target, row);
        else
            throw ScriptError("perm channel|client");
    } else if (cmd == "profile") {
        client_.addProfile(profileKind(arg(1, "kind")), arg(2, "name"), has("default"));
    } else if (cmd == "bookmark") {
        Bookmark b;
        b.name = arg(1, "name");
        b.uuid = arg(2, "uuid");
        b.address = arg(3, "address");
        b.nickname = opt("nick");
        b.channel = opt("channel");
        b.serverPassword = opt("pass");
        b.channelPassword = opt("chanpass");
        b.captureProfile = opt("capture");
        b.playbackProfile = opt("playback");
        b.identity = opt("identity");
        client_.addBookmark(opt("folder"), b);
    } else if (cmd == "join") {
        requireServer(arg(1, "server key"));
        UserSpec u;
        u.id = id(2, "client id");
        u.nickname = arg(3, "nickname");
        u.channel = static_cast<u64>(number(opt("channel", "0"), "channel"));
        u.uid = opt("uid");
        u.databaseId = static_cast<u64>(number(opt("dbid", "0"), "dbid"));
        u.inputMuted = has("inmuted");
        u.outputMuted = has("outmuted");
        u.away = has("away");
        if (!client_.userJoin(args[1], u))
            throw ScriptError("cannot join (id taken or no such channel)");
    } else if (cmd == "leave") {
        requireServer(arg(1, "server key"));
        client_.userLeave(args[1], id(2, "client id"), rest(3));
    } else if (cmd == "move") {
        requireServer(arg(1, "server key"));
        client_.userMove(args[1], id(2, "client id"), static_cast<u64>(number(arg(3, "channel"), "channel")),
                         static_cast<anyid>(number(opt("by", "0"), "by")), opt("message"));
    } else if (cmd == "talk") {
        requireServer(arg(1, "server key"));
        client_.userTalk(args[1], id(2, "client id"), talkStatus(arg(3, "start|stop")));
    } else if (cmd == "whisper") {
        requireServer(arg(1, "server key"));
        client_.userWhisper(args[1], id(2, "from"), id(3, "to"), talkStatus(arg(4, "start|stop")));
    } else if (cmd == "msg") {
        requireServer(arg(1, "server key"));
        anyid from = id(2, "from");
        const std::string& mode = arg(3, "private|channel|server");
        int ignored = has("ignored") ? 1 : 0;
        if (mode == "private")
            client_.userText(args[1], from, TextMessageTarget_CLIENT, id(4, "to"), arg(5, "text"), ignored);
        else if (mode == "channel")
            client_.userText(args[1], from, TextMessageTarget_CHANNEL,
                             static_cast<u64>(number(opt("channel", "0"), "channel")), arg(4, "text"), ignored);
        else if (mode == "server")
            client_.userText(args[1], from, TextMessageTarget_SERVER, 0, arg(4, "text"), ignored);
        else
            throw ScriptError("msg mode must be private, channel or server");
    } else if (cmd == "poke") {
        requireServer(arg(1, "server key"));
        client_.userPoke(args[1], id(2, "from"), id(3, "to"), arg(4, "text"), has("ignored") ? 1 : 0);
    } else if (cmd == "plugincmd") {
        requireServer(arg(1, "server key"));
        client_.userPluginCommand(args[1], id(2, "from"), arg(3, "text"), opt("plugin"));
    } else if (cmd == "uservar") {
        requireServer(arg(1, "server key"));
        client_.setUserVariable(args[1], id(2, "client id"), static_cast<int>(number(arg(3, "flag"), "flag")),
                                arg(4, "value"));
    } else if (cmd == "connect") {
        u64 h = client_.connect(arg(1, "address"), opt("nick", "TeamSpeakUser"), opt("channel"), opt("chanpass"),
                                opt("pass"));
        say("INFO handler " + std::to_string(h));
    } else if (cmd == "disconnect") {
        client_.disconnect(handler(1), rest(2));
    } else if (cmd == "drop") {
        client_.dropConnection(handler(1), static_cast<unsigned>(number(opt("error", "1793"), "error")), rest(2));
    } else if (cmd == "tab") {
        client_.setCurrentTab(handler(1));
    } else if (cmd == "selfvar") {
        client_.selfVariableChange(handler(1), static_cast<int>(number(arg(2, "flag"), "flag")), arg(3, "value"));
    } else if (cmd == "servererror") {
        client_.serverError(handler(1), static_cast<unsigned>(number(arg(2, "error"), "error")), arg(3, "message"),
                            opt("rc"), opt("extra"));
    } else if (cmd == "permerror") {
        client_.permissionError(handler(1), static_cast<unsigned>(number(arg(2, "error"), "error")), arg(3, "message"),
                                opt("rc"), static_cast<unsigned>(number(arg(4, "permission id"), "permission id")));
    } else if (cmd == "status") {
        if (!client_.loaded())
            throw ScriptError("no plugin loaded");
        client_.fireConnectStatus(handler(1), static_cast<int>(number(arg(2, "status"), "status")),
                                  static_cast<unsigned>(number(opt("error", "0"), "error")));
    } else if (cmd == "menu") {
        if (!client_.loaded())
            throw ScriptError("no plugin loaded");
        client_.menuItem(handler(1), static_cast<int>(number(arg(2, "menu type"), "menu type")),
                         static_cast<int>(number(arg(3, "menu id"), "menu id")),
                         static_cast<u64>(number(arg(4, "selected id"), "selected id")));
    } else if (cmd == "hotkey") {
        if (!client_.loaded())
            throw ScriptError("no plugin loaded");
        client_.hotkey(arg(1, "keyword"));
    } else if (cmd == "command") {
        if (!client_.loaded())
            throw ScriptError("no plugin loaded");
        int r = client_.processCommand(handler(1), rest(2));
        say("INFO command result " + std::to_string(r));
    } else if (cmd == "infodata") {
        if (!client_.loaded())
            throw ScriptError("no plugin loaded");
        auto data = client_.infoData(handler(1), static_cast<u64>(number(arg(3, "id"), "id")),
                                     static_cast<int>(number(arg(2, "type"), "type")));
        say("INFO infodata " + (data ? quoteText(data->c_str()) : std::string("NULL")));
    } else if (cmd == "configure") {
        if (!client_.loaded())
            throw ScriptError("no plugin loaded");
        client_.configure();
    } else if (cmd == "state") {
        u64 h = handler(1);
        std::string text = client_.model().with([&](State& s) -> std::string {
            Handler* hd = s.handler(h);
            if (!hd)
                return "";
            std::string t = "INFO handler " + std::to_string(h) + " status=" + std::to_string(hd->status) +
                            " server=" + hd->server + " own=" + std::to_string(hd->ownId) +
                            " channel=" + std::to_string(s.ownChannel(*hd));
            for (const auto& [k, v] : hd->preProcessor)
                t += " pre." + k + "=" + v;
            for (const auto& [k, v] : hd->playback)
                t += " play." + k + "=" + v;
            return t;
        });
        if (text.empty())
            throw ScriptError("no such handler");
        say(text);
    } else if (cmd == "tabmessages") {
        for (const auto& m : client_.model().tabMessages())
            say("INFO tab " + quoteText(m.c_str()));
    } else if (cmd == "memory") {
        say("INFO memory outstanding=" + std::to_string(client_.outstandingBlocks()) + " invalidfrees=" +
            std::to_string(client_.invalidFrees()) + " latecalls=" + std::to_string(client_.lateCalls()));
    } else {
        throw ScriptError("unknown command: " + cmd);
    }
}

} // namespace clientsim
