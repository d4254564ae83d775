// The user register of one gateway: an INI file named by the gateway's gateUID followed
// by ".rem" in the configuration folder, one section per TeamSpeak user named by the
// user's unique identifier. It records registration requests ("#REGISTER"), the
// administrator's decision, five command permissions, blocking and the user's voice
// level at the gateway.
//
// Every access opens the file, acts and closes it again; nothing is cached, so a change
// made in the register window counts for the next chat command. Accesses from the link
// handling and from the window are serialised by the per-path lock of IniFile, and every
// read-modify-write below happens under that one lock, so neither side loses a write.
#pragma once
#include <QList>
#include <QString>

class RemoteRegister {
public:
    // Keys of a user's section.
    static constexpr const char* kNick = "NICK";
    static constexpr const char* kReg = "REG";       // the administrator has decided
    static constexpr const char* kIgno = "IGNO";     // the request is ignored
    static constexpr const char* kMove = "move";     // "MOVE" and "BACK"
    static constexpr const char* kMute = "mute";     // "MUTE"
    static constexpr const char* kRest = "rest";     // "REST" and "RUHE"
    static constexpr const char* kAway = "away";     // "AWAY"
    static constexpr const char* kCall = "call";     // "CALL"
    static constexpr const char* kNotp = "NOTP";     // blocked: not relayed to the radio
    static constexpr const char* kVolume = "VOLUME"; // dB, -40 ... 20

    static constexpr int kMinVolume = -40;
    static constexpr int kMaxVolume = 20;

    // The register of the gateway: configFolder (ending with a separator or not) +
    // gateUID + ".rem".
    static QString pathFor(const QString& configFolder, const QString& gateUID);

    explicit RemoteRegister(QString path);
    const QString& path() const { return m_path; }
    bool exists() const;

    // Registered for the key: the file exists, REG is true, IGNO is false and the key
    // is true. Every boolean reads false when missing.
    bool IsRemoteAllowed(const QString& uid, const QString& key) const;
    bool IsRemoteRegistered(const QString& uid) const; // REG
    bool IsRemoteIgnored(const QString& uid) const;    // IGNO

    // What a "#REGISTER" did.
    enum class Request {
        Decided, // activated or ignored already: nothing stored, no answer
        Stored,  // a new request: NICK, REG 0, IGNO 0 written
        Pending, // asked before and still undecided: nothing written, answered again
        Failed,  // the file could not be written, or the uid is empty
    };
    // One registration request, decided and written under one lock. The nickname is kept
    // readable: stored as UTF-8 (plain ASCII names look the same in any encoding).
    Request registerRequest(const QString& uid, const QString& nick);

    // The user's VOLUME (default 0).
    int volume(const QString& uid) const;
    // Stores the new VOLUME and returns the previous one through old, under one lock.
    bool exchangeVolume(const QString& uid, int value, int* old);

    // Single keys, as the register window reads and writes them.
    bool readBool(const QString& uid, const QString& key) const;
    int readInteger(const QString& uid, const QString& key, int fallback) const;
    bool writeBool(const QString& uid, const QString& key, bool value);
    bool writeInteger(const QString& uid, const QString& key, int value);
    // Both keys in one write (the window's decision buttons).
    bool writeDecision(const QString& uid, bool reg, bool igno);

    // Users for the window's tabs, in file order.
    enum class Filter {
        New,     // REG false, IGNO false
        Active,  // REG true, IGNO false
        Ignored, // IGNO true
    };
    struct User {
        QString uid;  // the section name
        QString nick; // readable nickname, "" when missing
    };
    QList<User> users(Filter filter) const;
    // The stored NICK made readable (UTF-8 when it is valid UTF-8, else Latin-1 as is).
    QString nick(const QString& uid) const;

    // Nickname storage form: the UTF-8 bytes, one character per byte, and back.
    static QString encodeNick(const QString& nick);
    static QString decodeNick(const QString& stored);

private:
    QString m_path;
};
