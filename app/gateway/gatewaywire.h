// Small helpers for the link values a gateway reads and writes: the caret escape codes,
// decoding names that arrive as UTF-8 bytes, and building the item text of a command.
#pragma once
#include <QString>

#include <initializer_list>
#include <utility>

// Replaces blank, "|", CR, LF, TAB, VT, "\", "/", FF, BS, BEL and "=" by their caret
// codes, in that order.
QString LinkEscape(const QString& text);
// The reverse, in the same order (blank first, "=" last).
QString LinkUnescape(const QString& text);
// A received value shown to the user: unescaped, then its characters taken as bytes and
// decoded as UTF-8 (the plugin sends names as the TeamSpeak client hands them over).
QString LinkText(const QString& escaped);

// "key=value" pairs joined by single blanks, values written as given (escape first
// where a value may hold blanks or other coded characters).
using LinkItem = std::pair<QString, QString>;
QString LinkItems(std::initializer_list<LinkItem> items);
