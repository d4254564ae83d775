// The status pages: the JSON, the metrics and the page made from a snapshot, escaped for
// their formats; the three paths on the server beside the unchanged page and picture.
#include "app/config/texts.h"
#include "app/web/screenshotserver.h"
#include "app/web/statuspages.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <httplib.h>

#include <gtest/gtest.h>

namespace {

// A name that breaks every format that does not escape it.
const QString kNasty = QStringLiteral("Relais \"Nord\" <b>&</b> 'x' \\ \n\u2028 \u00e4 \U0001F4FB </script>");

StatusSnapshot sample()
{
    StatusSnapshot s;
    s.link = {true, 26001, 120, 80, 2};
    GatewayStatus a;
    a.gateUID = QStringLiteral("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    a.name = kNasty;
    a.connected = true;
    a.server = QStringLiteral("127.0.0.1:9987");
    a.channel = QStringLiteral("Lobby/<Net>");
    a.radioPtt = true;
    a.squelch = false;
    a.tsTransmit = true;
    a.talkers = 2;
    a.beacon = QStringLiteral("Beacon is OFF");
    a.dtmf = QStringLiteral("#12*");
    a.radioLimit = {true, true, false, 17, 180};
    a.tsLimit = {true, false, true, 40, 60};
    for (int i = 0; i < 20; ++i)
        a.log.append(QStringLiteral("[12:00:%1] > line <%1> \"q\"").arg(i, 2, 10, QLatin1Char('0')));
    a.radioKeyedSeconds = 12.25;
    a.tsKeyedSeconds = 3.5;
    a.reconnects = 1;
    a.dtmfDigits = 9;
    a.errors = 4;
    GatewayStatus b;
    b.gateUID = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
    b.name = QStringLiteral("Relay South");
    s.gateways = {a, b};
    return s;
}

} // namespace

TEST(StatusPages, JsonCarriesEveryFieldAndSurvivesAnyName)
{
    const QByteArray body = statuspages::json(sample());
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &err);
    ASSERT_EQ(err.error, QJsonParseError::NoError) << err.errorString().toStdString() << "\n" << body.toStdString();
    const QJsonObject link = doc.object().value(QStringLiteral("link")).toObject();
    EXPECT_TRUE(link.value(QStringLiteral("connected")).toBool());
    EXPECT_EQ(link.value(QStringLiteral("port")).toInt(), 26001);
    EXPECT_EQ(link.value(QStringLiteral("linesIn")).toInt(), 120);
    EXPECT_EQ(link.value(QStringLiteral("linesOut")).toInt(), 80);
    EXPECT_EQ(link.value(QStringLiteral("reconnects")).toInt(), 2);
    const QJsonArray gws = doc.object().value(QStringLiteral("gateways")).toArray();
    ASSERT_EQ(gws.size(), 2);
    const QJsonObject g = gws[0].toObject();
    EXPECT_EQ(g.value(QStringLiteral("name")).toString(), kNasty);
    EXPECT_EQ(g.value(QStringLiteral("gateUID")).toString(), QStringLiteral("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"));
    EXPECT_TRUE(g.value(QStringLiteral("connected")).toBool());
    EXPECT_EQ(g.value(QStringLiteral("server")).toString(), QStringLiteral("127.0.0.1:9987"));
    EXPECT_EQ(g.value(QStringLiteral("channel")).toString(), QStringLiteral("Lobby/<Net>"));
    EXPECT_TRUE(g.value(QStringLiteral("radioPtt")).toBool());
    EXPECT_FALSE(g.value(QStringLiteral("squelch")).toBool());
    EXPECT_TRUE(g.value(QStringLiteral("tsTransmit")).toBool());
    EXPECT_EQ(g.value(QStringLiteral("talkers")).toInt(), 2);
    EXPECT_EQ(g.value(QStringLiteral("beacon")).toString(), QStringLiteral("Beacon is OFF"));
    EXPECT_EQ(g.value(QStringLiteral("dtmf")).toString(), QStringLiteral("#12*"));
    const QJsonObject limits = g.value(QStringLiteral("limits")).toObject();
    EXPECT_EQ(limits.value(QStringLiteral("radio")).toObject().value(QStringLiteral("value")).toInt(), 17);
    EXPECT_TRUE(limits.value(QStringLiteral("radio")).toObject().value(QStringLiteral("counting")).toBool());
    EXPECT_TRUE(limits.value(QStringLiteral("teamspeak")).toObject().value(QStringLiteral("blocked")).toBool());
    EXPECT_EQ(limits.value(QStringLiteral("teamspeak")).toObject().value(QStringLiteral("max")).toInt(), 60);
    const QJsonArray log = g.value(QStringLiteral("log")).toArray();
    ASSERT_EQ(log.size(), 20);
    EXPECT_EQ(log[19].toString(), QStringLiteral("[12:00:19] > line <19> \"q\""));
    // Nothing of the text can end a script or start markup where the JSON is embedded.
    EXPECT_EQ(body.indexOf('<'), -1);
    EXPECT_EQ(body.indexOf("\xE2\x80\xA8"), -1); // U+2028 escaped too

    EXPECT_EQ(statuspages::json(StatusSnapshot{}), QByteArray("{\"link\":{\"connected\":false,\"port\":0,\"linesIn\":0,"
                                                              "\"linesOut\":0,\"reconnects\":0},\"gateways\":[]}"));
}

TEST(StatusPages, MetricsAreValidPrometheusTextWithEscapedLabels)
{
    const QString text = QString::fromUtf8(statuspages::metrics(sample()));
    // Every sample line: a relaydeck_ name, optional labels with escaped values, a number.
    static const QRegularExpression sampleLine(
        QStringLiteral("^relaydeck_[a-z_]+(\\{gateway=\"(?:[^\"\\\\\\n]|\\\\[\"\\\\n])*\",gateUID=\"[^\"]*\"\\})? "
                       "[0-9]+(\\.[0-9]+)?$"));
    int samples = 0;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("# HELP relaydeck_")) || line.startsWith(QLatin1String("# TYPE relaydeck_")))
            continue;
        EXPECT_TRUE(sampleLine.match(line).hasMatch()) << line.toStdString();
        ++samples;
    }
    EXPECT_GT(samples, 20);
    const QString nasty = QString::fromUtf8(statuspages::labelValue(kNasty));
    struct Case {
        const char* metric;
        const char* value;
    };
    const Case cases[] = {
        {"relaydeck_gateway_connected", "1"},
        {"relaydeck_gateway_radio_keyed", "1"},
        {"relaydeck_gateway_teamspeak_keyed", "1"},
        {"relaydeck_gateway_radio_keyed_seconds_total", "12.250"},
        {"relaydeck_gateway_teamspeak_keyed_seconds_total", "3.500"},
        {"relaydeck_gateway_reconnects_total", "1"},
        {"relaydeck_gateway_dtmf_digits_total", "9"},
        {"relaydeck_gateway_errors_total", "4"},
    };
    for (const Case& c : cases) {
        const QString line = QString::fromLatin1(c.metric) + QStringLiteral("{gateway=\"") + nasty +
                             QStringLiteral("\",gateUID=\"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}\"} ") +
                             QString::fromLatin1(c.value);
        EXPECT_TRUE(text.contains(line + QLatin1Char('\n'))) << line.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("# TYPE ") + QString::fromLatin1(c.metric))) << c.metric;
    }
    EXPECT_TRUE(text.contains(QStringLiteral("relaydeck_gateway_connected{gateway=\"Relay "
                                             "South\",gateUID=\"{11111111-2222-3333-4444-555555555555}\"} 0\n")));
    for (const char* line : {"relaydeck_link_connected 1\n", "relaydeck_link_lines_received_total 120\n",
                             "relaydeck_link_lines_sent_total 80\n", "relaydeck_link_reconnects_total 2\n"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(line))) << line;
    EXPECT_TRUE(text.contains(QStringLiteral("# TYPE relaydeck_gateway_errors_total counter")));
    EXPECT_EQ(statuspages::labelValue(QStringLiteral("a\"b\\c\nd")), QByteArray("a\\\"b\\\\c\\nd"));
}

TEST(StatusPages, PageShowsTheStateWithEveryValueEscaped)
{
    SetAppLang(QStringLiteral("en_US"));
    const QString page = QString::fromUtf8(statuspages::html(sample()));
    SetAppLang(QStringLiteral("de_DE"));
    EXPECT_FALSE(page.contains(kNasty));
    EXPECT_FALSE(page.contains(QStringLiteral("<b>&</b>")));
    EXPECT_TRUE(page.contains(QStringLiteral("<h2>Relais &quot;Nord&quot; &lt;b&gt;&amp;&lt;/b&gt; &#39;x&#39; \\")));
    // Only our own script: the name's "</script>" is text.
    EXPECT_EQ(page.count(QStringLiteral("</script>")), 1);
    EXPECT_EQ(page.count(QStringLiteral("<script>")), 1);
    EXPECT_TRUE(page.contains(QStringLiteral("<span class=\"state up\">connected</span>")));
    EXPECT_TRUE(page.contains(QStringLiteral("<span class=\"state down\">not connected</span>")));
    EXPECT_TRUE(page.contains(QStringLiteral("class=\"lamp radio on\" data-on=\"1\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("class=\"lamp radio off\" data-on=\"0\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("Lobby/&lt;Net&gt;")));
    EXPECT_TRUE(page.contains(QStringLiteral("line &lt;19&gt; &quot;q&quot;")));
    EXPECT_TRUE(page.contains(QStringLiteral("fetch('/api/status'")));
    EXPECT_TRUE(page.contains(QStringLiteral("setInterval(refresh, 1000)")));
    EXPECT_FALSE(page.contains(QStringLiteral("http://")) ||
                 page.contains(QStringLiteral("https://"))); // nothing from the network
    // The German words in a German program.
    const QString german = QString::fromUtf8(statuspages::html(sample()));
    EXPECT_TRUE(german.contains(QStringLiteral("<span class=\"state up\">verbunden</span>")));
    EXPECT_TRUE(german.contains(QStringLiteral("Rauschsperre offen")));
}

namespace {
class FixedStatus : public StatusProvider {
public:
    StatusSnapshot statusSnapshot() const override { return sample(); }
};
} // namespace

TEST(StatusPages, ServedBesideTheUnchangedPageAndPicture)
{
    ScreenshotServer server(
        [] {
            QImage img(40, 30, QImage::Format_RGB32);
            img.fill(Qt::white);
            return img;
        },
        QStringLiteral("Relaydeck 4.0.2"));
    server.setStatusProvider(std::make_shared<FixedStatus>());
    ASSERT_TRUE(server.start(0, nullptr, QStringLiteral("127.0.0.1")));
    httplib::Client cli("127.0.0.1", server.port());
    cli.set_read_timeout(5);
    struct Case {
        const char* path;
        const char* type;
    };
    const Case cases[] = {
        {"/status", "text/html; charset=utf-8"},
        {"/status?x=1", "text/html; charset=utf-8"},
        {"/api/status", "application/json; charset=utf-8"},
        {"/metrics", "text/plain; version=0.0.4; charset=utf-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto res = cli.Get(c.path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), c.type);
        EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store");
        EXPECT_EQ(res->get_header_value("Server"), "Relaydeck 4.0.2");
    }
    EXPECT_EQ(cli.Get("/api/status")->body, statuspages::json(sample()).toStdString());
    for (const char* path : {"/", "/status.html", "/api", "/metrics/x"}) {
        auto res = cli.Get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/HTML") << path;
        EXPECT_EQ(res->body, ScreenshotServer::page().toStdString()) << path;
    }
    auto picture = cli.Get("/screen.jpg");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->get_header_value("Content-Type"), "image/jpeg");
    // Read-only, and another site's name reads nothing.
    auto post = cli.Post("/api/status", "{}", "application/json");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 404);
    server.setLogSink([](const QString&) {});
    server.start(server.port(), nullptr, QStringLiteral("127.0.0.1"));
    httplib::Client again("127.0.0.1", server.port());
    for (const char* path : {"/api/status", "/metrics", "/status"}) {
        auto res = again.Get(path, httplib::Headers{{"Host", "rebind.attacker.example"}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 403) << path;
        EXPECT_EQ(res->body.find("Relay South"), std::string::npos);
    }
    server.stop();

    // Without a provider the paths are ordinary page paths, as before.
    ScreenshotServer plain([] { return QImage(); }, QStringLiteral("Relaydeck 4.0.2"));
    ASSERT_TRUE(plain.start(0, nullptr, QStringLiteral("127.0.0.1")));
    httplib::Client p("127.0.0.1", plain.port());
    EXPECT_EQ(p.Get("/status")->body, ScreenshotServer::page().toStdString());
}
