// Gateway files: one settings list per gateway, stored as config/<gateUID>.rdk (Base64 of
// its CR LF lines in ISO 8859-1), the table of every key with its default, completing a
// list with the defaults, loading with its failure cases and saving.
#pragma once
#include "app/config/clock.h"
#include "app/config/settingslist.h"

#include <QPair>
#include <QString>

#include <functional>
#include <optional>

namespace gatewayconfig {

// Every key a gateway knows, in the order its default is added, with the constant
// default ("" = none, the key stays absent). The computed defaults (gateUID, gateName,
// activTime, REM-TRX-KEY, REM-SENDER-PWD, REM-ADMIN-PWD) appear with an empty text here
// and are produced by completeWithDefaults.
const QList<QPair<QString, QString>>& keyTable();
bool isComputedKey(const QString& key);

// The server host a new gateway starts with.
inline constexpr const char* kDefaultHost = "localhost";

// Random numbers of the computed defaults: a function (low, high) giving an integer in
// [low, high). The default draws from the system's random generator.
using RandomFn = std::function<int(int low, int high)>;

// For every key of the table, in order, that the list lacks: store its default (constant
// or computed). Existing entries are never changed; an empty default adds nothing.
void completeWithDefaults(SettingsList& list, const Clock& clock = SystemClock::instance(),
                          const RandomFn& random = {});

// Numeric settings with the values that can ever make sense; anything else (not a
// number, a negative delay, a limit of 0 seconds) would key the radio for good, mute a
// direction for good or flood the link.
struct KeyRange {
    QString key;
    int low;
    int high;
};
const QList<KeyRange>& rangeTable();

// One setting replaced by its default.
struct Replaced {
    QString key;
    QString value;    // as it was
    QString fallback; // the default now stored
};
// Replaces every value of the range table that is not an integer within its range by the
// key's default; returns what was replaced, in table order.
QList<Replaced> replaceOutOfRange(SettingsList& list);

// A new gateway: a completed list with a fresh gateUID.
SettingsList newGateway(const Clock& clock = SystemClock::instance(), const RandomFn& random = {});

enum class LoadError {
    None,
    NoFileName,      // the load parameters carry no CFG_FILE
    FileMissing,     // the file does not exist
    Unreadable,      // cannot be read or is not Base64
    MissingIdentity, // gateUID or gateName is absent after decoding (also: empty file)
};
struct LoadResult {
    SettingsList list; // completed with the defaults when error == None
    LoadError error = LoadError::None;
    bool ok() const { return error == LoadError::None; }
};

// Reads a gateway file and completes it with the defaults. Any failure is reported to
// the user with text 0060 (loadErrorText()) and the gateway window closes.
LoadResult load(const QString& path, const Clock& clock = SystemClock::instance());
// The same with the window's load parameters (key CFG_FILE).
LoadResult loadFromParams(const SettingsList& params, const Clock& clock = SystemClock::instance());
QString loadErrorText();

// Stamps the list for saving: activTime := now, windowTPos/windowLPos := the window's
// top and left.
void stampForSave(SettingsList& list, int windowTop, int windowLeft, const Clock& clock = SystemClock::instance());
// Writes the list to the file atomically; false (the previous file intact) on failure.
bool save(const QString& path, const SettingsList& list);

} // namespace gatewayconfig
