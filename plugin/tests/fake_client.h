// A small in-process stand-in for the TeamSpeak client, for the plugin's unit tests: a
// function table over a model (handlers, channels, clients, profiles, bookmarks) that
// records every call as a text such as "setClientSelfVariableAsInt(3,10,1)".
//
// A return code argument is recorded as "rc" when it is the code created just before and
// not used yet, and as "STALE" otherwise, so tests see that every request got a fresh one.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "plugin/ts3_abi.h"

namespace fake {

struct Client {
    std::string uid;
    std::string nick;
    uint64 channel = 0;
    int talking = 0;
    int inputMuted = 0;
    int outputMuted = 0;
};

struct Channel {
    std::string name;
    uint64 parent = 0;
};

struct Handler {
    int status = STATUS_DISCONNECTED;
    std::string serverName = "Radio Net";
    bool serverNameReadable = true;
    anyID ownClient = 0;
    std::map<anyID, Client> clients;
    std::map<uint64, Channel> channels;
    std::vector<uint64> channelOrder; // getChannelList order; empty = map order
};

struct Bookmark {
    std::string name;
    std::string uuid;
    bool folder = false;
    std::vector<Bookmark> children;
};

class Model {
public:
    std::recursive_mutex mutex;
    std::map<uint64, Handler> handlers;
    std::map<int, std::vector<std::string>> profiles; // kind -> names
    std::map<int, int> profileDefault;
    std::vector<Bookmark> bookmarks;
    bool bookmarksReadable = true;
    std::set<std::string> failing;       // names of functions that return an error
    std::set<std::string> readableWaves; // files playWaveFile accepts
    std::string appPath = "/opt/ts3client/";
    std::string libVersion = "3.1.10 [Build: 1500000000]";
    uint64 nextHandler = 1;
    int returnCodes = 0;
    std::string lastReturnCode;
    bool lastUsed = true;
    long outstanding = 0; // blocks handed out and not yet freed

    std::vector<std::string> calls;
    std::vector<std::string> tab; // printMessageToCurrentTab
    std::vector<std::string> log; // logMessage "level|channel|text"

    void reset();
    void record(std::string call);
    std::string rc(const char* code);
    bool fails(const char* name) { return failing.count(name) > 0; }
    // Calls other than reads, frees, return codes and log lines: what the plugin did.
    std::vector<std::string> actions();
    void clearCalls();

    // Helpers that shape the model.
    Handler& handler(uint64 h) { return handlers[h]; }
    void addChannel(uint64 h, uint64 id, std::string name, uint64 parent = 0);
    void addClient(uint64 h, anyID id, std::string nick, uint64 channel, int talking = 0);
};

Model& model();
TS3Functions table();

} // namespace fake
