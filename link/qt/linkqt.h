// The link's wire format for Relaydeck's Qt code: the caret escaping of link/wire.h on
// QString, the reading of names that arrive as UTF-8 bytes, and the one builder of a
// command's item text. Everything in the program that escapes, unescapes or joins link
// items goes through here; the escape table itself lives only in link/wire.cpp.
#pragma once
#include <QString>

#include <initializer_list>
#include <utility>

// Replaces blank, "|", CR, LF, TAB, VT, "\", "/", FF, BS, BEL and "=" by their caret
// codes ^s ^p ^r ^n ^t ^v ^b ^c ^f ^d ^a ^g. Every other character stays as it is.
QString LinkEscape(const QString& text);
// The reverse: every caret code becomes its character.
QString LinkUnescape(const QString& escaped);
// A received value shown to the user: unescaped, then its characters taken as bytes and
// decoded as UTF-8 (the plugin sends names as the TeamSpeak client hands them over). A
// text that is not UTF-8, or holds characters that cannot have come as single bytes,
// stays as it was unescaped.
QString LinkText(const QString& escaped);

// The item text of one command: "key=value" pairs joined by single blanks, values written
// as given (escape first where a value may hold blanks or other coded characters).
using LinkItem = std::pair<QString, QString>;
QString LinkItems(std::initializer_list<LinkItem> items);
