// Small helpers shared across the program: Base64 text, GUIDs, padding, file listing,
// atomic file writes and the settings files (main.cfg and the gateway files).
#pragma once
#include "app/config/settingslist.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

// The text as ISO 8859-1 bytes (other characters become "?") encoded as Base64 without
// line breaks. Empty text gives empty text.
QString Base64Text(const QString& text);
// Base64 decoded and read as UTF-16 little-endian text; "" when the input is not Base64.
QString Base64ToUnicode(const QString& base64);
// A new GUID as 38 characters: braces, groups 8-4-4-4-12, upper-case hex digits.
QString NewGuidText();
// True for text of that exact form.
bool IsGuidText(const QString& text);
// The text prefixed with fill until it is at least length characters long.
QString PadLeft(const QString& text, int length, QChar fill);
// The text as a decimal integer, or -1 when it is not one.
int StrToIntOrMinus1(const QString& text);
// Full paths of the files in dir whose names match the pattern ("*.rdk"; without regard
// to case), sorted by name.
QStringList ListFiles(const QString& dir, const QString& pattern);

// Writes the bytes to a temporary file beside path and renames it over path. On failure
// the previous file stays as it was and false is returned.
bool WriteFileAtomic(const QString& path, const QByteArray& bytes);
// The process-wide lock of one file path: every read-modify-write of that file holds it.
std::unique_lock<std::mutex> LockPath(const QString& path);

// The byte form of a settings file: the list's lines, each ended by CR LF, one byte per
// character (ISO 8859-1, other characters become "?"), encoded as Base64 without line
// breaks.
QByteArray EncodeSettings(const SettingsList& list);
// The stored bytes of a settings file exactly as they were encoded (Base64 decoded, no
// line handling); std::nullopt when the text is not Base64.
std::optional<QByteArray> DecodeSettingsBytes(const QByteArray& fileBytes);
// The reverse of EncodeSettings. Blanks and line breaks in the Base64 text are ignored; std::nullopt when
// the text is not Base64. Lines split at CR, LF or CR LF; empty lines are dropped.
std::optional<SettingsList> DecodeSettings(const QByteArray& fileBytes);

// Reads a settings file. std::nullopt when the file cannot be read or is not Base64.
// An empty file gives an empty list.
std::optional<SettingsList> LoadSettingsFile(const QString& path);
// Writes a settings file atomically; false (old file intact) on failure.
bool SaveSettingsFile(const QString& path, const SettingsList& list);
