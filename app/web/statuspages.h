// The status pages of the web interface, made from a snapshot: "/api/status" (JSON),
// "/metrics" (Prometheus text format) and "/status" (an HTML page that asks the JSON
// once a second with a plain fetch and shows it; the first view is rendered here, so the
// page shows the state also without JavaScript). Every value from the program is escaped
// for its format: a gateway name with quotes, "<" or line breaks breaks nothing.
#pragma once
#include "app/web/statusprovider.h"

#include <QByteArray>
#include <QString>

namespace statuspages {

QByteArray json(const StatusSnapshot& s);
QByteArray metrics(const StatusSnapshot& s);
QByteArray html(const StatusSnapshot& s);

// A JSON string literal, quotes included; "<", ">", "&" and U+2028/U+2029 as \u escapes
// as well, so the text is safe inside a page too.
QByteArray jsonString(const QString& text);
// Text for HTML element content and attribute values.
QByteArray htmlText(const QString& text);
// A Prometheus label value (without the quotes): backslash, quote and line feed escaped.
QByteArray labelValue(const QString& text);

} // namespace statuspages
