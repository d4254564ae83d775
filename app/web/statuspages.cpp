#include "app/web/statuspages.h"

#include "app/config/texts.h"

#include <functional>

namespace statuspages {

namespace {

QByteArray boolText(bool on)
{
    return on ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
}

QByteArray number(double v)
{
    // Plain decimal, no exponent, no locale.
    return QByteArray::number(v, 'f', 3);
}

QByteArray limitJson(const LimitStatus& l)
{
    return "{\"enabled\":" + boolText(l.enabled) + ",\"counting\":" + boolText(l.counting) +
           ",\"blocked\":" + boolText(l.blocked) + ",\"value\":" + QByteArray::number(l.value) +
           ",\"max\":" + QByteArray::number(l.max) + "}";
}

// The page's own words, in the program's language.
struct Label {
    const char* key;
    const char* id;
};
constexpr Label kLabels[] = {
    {"connected", "X012"},  {"notConnected", "X013"}, {"radioPtt", "X014"},  {"squelch", "X015"},
    {"tsTransmit", "X016"}, {"server", "X017"},       {"channel", "X018"},   {"talkers", "X019"},
    {"beacon", "X020"},     {"dtmf", "X021"},         {"radioSide", "X022"}, {"tsSide", "X023"},
    {"blocked", "X024"},    {"link", "X025"},         {"noAnswer", "X026"},  {"noGateways", "X027"},
};

QString label(const char* key)
{
    for (const Label& l : kLabels)
        if (qstrcmp(l.key, key) == 0)
            return GetExtraText(QLatin1String(l.id));
    return QString();
}

QByteArray lamp(const char* kind, bool on, const char* labelKey)
{
    return QByteArrayLiteral("<span class=\"item\"><span class=\"lamp ") + kind +
           (on ? " on\" data-on=\"1\">" : " off\" data-on=\"0\">") + "</span>" + htmlText(label(labelKey)) + "</span>";
}

QByteArray limitText(const LimitStatus& l)
{
    if (!l.enabled)
        return QByteArrayLiteral("-");
    QByteArray t = QByteArray::number(l.value) + " / " + QByteArray::number(l.max);
    if (l.blocked)
        t += " " + htmlText(label("blocked"));
    return t;
}

QByteArray gatewayHtml(const GatewayStatus& g)
{
    QByteArray h = "<section class=\"gw\" data-uid=\"" + htmlText(g.gateUID) + "\"><h2>" + htmlText(g.name) + "</h2>";
    h += "<div class=\"row\"><span class=\"state " + QByteArray(g.connected ? "up" : "down") + "\">" +
         htmlText(label(g.connected ? "connected" : "notConnected")) + "</span>";
    h += lamp("radio", g.radioPtt, "radioPtt") + lamp("squelch", g.squelch, "squelch") +
         lamp("ts", g.tsTransmit, "tsTransmit");
    h += "</div><table>";
    auto row = [&h](const char* key, const char* cls, const QByteArray& value) {
        h += "<tr><th>" + htmlText(label(key)) + "</th><td class=\"" + cls + "\">" + value + "</td></tr>";
    };
    row("server", "server", htmlText(g.server));
    row("channel", "channel", htmlText(g.channel));
    row("talkers", "talkers", QByteArray::number(g.talkers));
    row("beacon", "beacon", htmlText(g.beacon));
    row("dtmf", "dtmf", htmlText(g.dtmf));
    row("radioSide", "limit-radio", limitText(g.radioLimit));
    row("tsSide", "limit-ts", limitText(g.tsLimit));
    h += "</table><pre class=\"log\">";
    for (const QString& line : g.log)
        h += htmlText(line) + "\n";
    h += "</pre></section>";
    return h;
}

// Prometheus: one family, each gateway one sample.
void family(QByteArray& out, const char* name, const char* type, const char* help, const StatusSnapshot& s,
            const std::function<QByteArray(const GatewayStatus&)>& value)
{
    out += QByteArray("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    for (const GatewayStatus& g : s.gateways)
        out += QByteArray(name) + "{gateway=\"" + labelValue(g.name) + "\",gateUID=\"" + labelValue(g.gateUID) +
               "\"} " + value(g) + "\n";
}

void single(QByteArray& out, const char* name, const char* type, const char* help, const QByteArray& value)
{
    out +=
        QByteArray("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n" + name + " " + value + "\n";
}

const char* const kStyle =
    "body{font-family:Verdana,sans-serif;background:#f4f4f8;color:#202030;margin:16px}"
    "h1{color:#000080;font-size:20px}h2{font-size:16px;margin:0 0 6px 0;color:#000080}"
    ".link,.gw{background:#fff;border:1px solid #b0b0c0;border-radius:8px;padding:10px;margin:0 0 12px 0}"
    ".row{margin:4px 0 8px 0}.item{margin-right:18px;white-space:nowrap}"
    ".state{font-weight:bold;margin-right:18px}.state.up{color:#008000}.state.down{color:#c00000}"
    ".lamp{display:inline-block;width:14px;height:14px;border-radius:7px;border:1px solid #606060;margin-right:5px;"
    "vertical-align:middle}.lamp.off{background:#d0d0d0}.lamp.radio.on{background:#ff2020}"
    ".lamp.squelch.on{background:#20d020}.lamp.ts.on{background:#2080ff}.lamp.plugin.on{background:#20d020}"
    "th{text-align:left;font-weight:normal;color:#606070;padding-right:14px}td{font-family:monospace}"
    ".log{background:#f8f8f8;border:1px solid #e0e0e0;font-size:12px;max-height:16em;overflow:auto;margin:8px 0 0 0;"
    "padding:4px}#stale{color:#c00000;font-weight:bold}";

// Renders the JSON into the same elements as the server's first view; every value goes
// in as text, never as markup.
const char* const kScript = R"JS(
function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}
function lamp(kind, on, label) {
  const item = el('span', 'item');
  const l = el('span', 'lamp ' + kind + (on ? ' on' : ' off'));
  l.dataset.on = on ? '1' : '0';
  item.appendChild(l);
  item.appendChild(document.createTextNode(label));
  return item;
}
function limitText(l) {
  if (!l.enabled) return '-';
  return l.value + ' / ' + l.max + (l.blocked ? ' ' + L.blocked : '');
}
function gateway(g) {
  const s = el('section', 'gw');
  s.dataset.uid = g.gateUID;
  s.appendChild(el('h2', '', g.name));
  const row = el('div', 'row');
  row.appendChild(el('span', 'state ' + (g.connected ? 'up' : 'down'), g.connected ? L.connected : L.notConnected));
  row.appendChild(lamp('radio', g.radioPtt, L.radioPtt));
  row.appendChild(lamp('squelch', g.squelch, L.squelch));
  row.appendChild(lamp('ts', g.tsTransmit, L.tsTransmit));
  s.appendChild(row);
  const t = el('table');
  const add = (key, cls, value) => {
    const tr = el('tr');
    tr.appendChild(el('th', '', L[key]));
    tr.appendChild(el('td', cls, String(value)));
    t.appendChild(tr);
  };
  add('server', 'server', g.server);
  add('channel', 'channel', g.channel);
  add('talkers', 'talkers', g.talkers);
  add('beacon', 'beacon', g.beacon);
  add('dtmf', 'dtmf', g.dtmf);
  add('radioSide', 'limit-radio', limitText(g.limits.radio));
  add('tsSide', 'limit-ts', limitText(g.limits.teamspeak));
  s.appendChild(t);
  s.appendChild(el('pre', 'log', g.log.map(x => x + '\n').join('')));
  return s;
}
function render(st) {
  const link = document.getElementById('link');
  link.replaceChildren(lamp('plugin', st.link.connected, L.link + ' :' + st.link.port));
  const list = document.getElementById('gateways');
  list.replaceChildren(...(st.gateways.length ? st.gateways.map(gateway) : [el('p', '', L.noGateways)]));
}
async function refresh() {
  try {
    const r = await fetch('/api/status', {cache: 'no-store'});
    if (!r.ok) throw new Error(r.status);
    render(await r.json());
    document.getElementById('stale').textContent = '';
  } catch (e) {
    document.getElementById('stale').textContent = L.noAnswer;
  }
}
setInterval(refresh, 1000);
)JS";

} // namespace

QByteArray jsonString(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (u < 0x20 || u == '<' || u == '>' || u == '&' || u == 0x2028 || u == 0x2029)
                out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out.toUtf8();
}

QByteArray htmlText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QStringLiteral("&amp;");
            break;
        case '<':
            out += QStringLiteral("&lt;");
            break;
        case '>':
            out += QStringLiteral("&gt;");
            break;
        case '"':
            out += QStringLiteral("&quot;");
            break;
        case '\'':
            out += QStringLiteral("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out.toUtf8();
}

QByteArray labelValue(const QString& text)
{
    QString out;
    for (QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out.toUtf8();
}

QByteArray json(const StatusSnapshot& s)
{
    QByteArray out =
        "{\"link\":{\"connected\":" + boolText(s.link.connected) + ",\"port\":" + QByteArray::number(s.link.port) +
        ",\"linesIn\":" + QByteArray::number(s.link.linesIn) + ",\"linesOut\":" + QByteArray::number(s.link.linesOut) +
        ",\"reconnects\":" + QByteArray::number(s.link.reconnects) + "},\"gateways\":[";
    bool first = true;
    for (const GatewayStatus& g : s.gateways) {
        if (!first)
            out += ',';
        first = false;
        out += "{\"gateUID\":" + jsonString(g.gateUID) + ",\"name\":" + jsonString(g.name) +
               ",\"connected\":" + boolText(g.connected) + ",\"server\":" + jsonString(g.server) +
               ",\"channel\":" + jsonString(g.channel) + ",\"radioPtt\":" + boolText(g.radioPtt) +
               ",\"squelch\":" + boolText(g.squelch) + ",\"tsTransmit\":" + boolText(g.tsTransmit) +
               ",\"talkers\":" + QByteArray::number(g.talkers) + ",\"beacon\":" + jsonString(g.beacon) +
               ",\"dtmf\":" + jsonString(g.dtmf) + ",\"limits\":{\"radio\":" + limitJson(g.radioLimit) +
               ",\"teamspeak\":" + limitJson(g.tsLimit) + "},\"log\":[";
        for (int i = 0; i < g.log.size(); ++i)
            out += (i ? "," : "") + jsonString(g.log[i]);
        out += "]}";
    }
    out += "]}";
    return out;
}

QByteArray metrics(const StatusSnapshot& s)
{
    QByteArray out;
    single(out, "relaydeck_link_connected", "gauge", "1 while the session with the TeamSpeak plugin is up.",
           s.link.connected ? "1" : "0");
    single(out, "relaydeck_link_lines_received_total", "counter", "Lines received from the plugin.",
           QByteArray::number(s.link.linesIn));
    single(out, "relaydeck_link_lines_sent_total", "counter", "Commands sent to the plugin.",
           QByteArray::number(s.link.linesOut));
    single(out, "relaydeck_link_reconnects_total", "counter",
           "Sessions with the plugin that came up again after the first.", QByteArray::number(s.link.reconnects));
    family(out, "relaydeck_gateway_connected", "gauge", "1 while the gateway's TeamSpeak server connection is up.", s,
           [](const GatewayStatus& g) { return QByteArray(g.connected ? "1" : "0"); });
    family(out, "relaydeck_gateway_radio_keyed", "gauge", "1 while the radio transmitter is keyed.", s,
           [](const GatewayStatus& g) { return QByteArray(g.radioPtt ? "1" : "0"); });
    family(out, "relaydeck_gateway_teamspeak_keyed", "gauge", "1 while the gateway transmits into TeamSpeak.", s,
           [](const GatewayStatus& g) { return QByteArray(g.tsTransmit ? "1" : "0"); });
    family(out, "relaydeck_gateway_squelch_open", "gauge", "1 while the radio's squelch is open.", s,
           [](const GatewayStatus& g) { return QByteArray(g.squelch ? "1" : "0"); });
    family(out, "relaydeck_gateway_radio_keyed_seconds_total", "counter", "Seconds the radio transmitter was keyed.", s,
           [](const GatewayStatus& g) { return number(g.radioKeyedSeconds); });
    family(out, "relaydeck_gateway_teamspeak_keyed_seconds_total", "counter",
           "Seconds the gateway transmitted into TeamSpeak.", s,
           [](const GatewayStatus& g) { return number(g.tsKeyedSeconds); });
    family(out, "relaydeck_gateway_reconnects_total", "counter",
           "Server connections that came up again after the first.", s,
           [](const GatewayStatus& g) { return QByteArray::number(g.reconnects); });
    family(out, "relaydeck_gateway_dtmf_digits_total", "counter", "DTMF digits decoded from the radio.", s,
           [](const GatewayStatus& g) { return QByteArray::number(g.dtmfDigits); });
    family(out, "relaydeck_gateway_errors_total", "counter", "Error events the plugin reported for the gateway.", s,
           [](const GatewayStatus& g) { return QByteArray::number(g.errors); });
    return out;
}

QByteArray html(const StatusSnapshot& s)
{
    QByteArray labels = "{";
    bool first = true;
    for (const Label& l : kLabels) {
        labels += (first ? "" : ",") + QByteArray(l.key) + ":" + jsonString(GetExtraText(QLatin1String(l.id)));
        first = false;
    }
    labels += "}";

    QByteArray h = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Relaydeck / Status</title>"
                   "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\"><style>";
    h += kStyle;
    h += "</style></head><body><h1>Relaydeck / Status</h1><div class=\"link\" id=\"link\">";
    h += QByteArrayLiteral("<span class=\"item\"><span class=\"lamp plugin ") +
         (s.link.connected ? "on\" data-on=\"1\">" : "off\" data-on=\"0\">") + "</span>" + htmlText(label("link")) +
         " :" + QByteArray::number(s.link.port) + "</span>";
    h += "</div><div id=\"stale\"></div><div id=\"gateways\">";
    if (s.gateways.isEmpty())
        h += "<p>" + htmlText(label("noGateways")) + "</p>";
    for (const GatewayStatus& g : s.gateways)
        h += gatewayHtml(g);
    h += "</div><script>const L = " + labels + ";" + kScript + "</script></body></html>";
    return h;
}

} // namespace statuspages
