// The gateway window as a view over its engine.
#include "app/gateway/tests/gatewayfixture.h"

#include "app/ui/gatewaywindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

namespace {
QApplication& app()
{
    static int argc = 1;
    static char name[] = "rd_gateway_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* a = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!a)
        a = new QApplication(argc, argv);
    return *a;
}
} // namespace

class WindowTest : public GatewayTest {
public:
    void SetUp() override
    {
        app();
        GatewayTest::SetUp();
    }
    void openWindow()
    {
        host->openPorts.insert(1);
        ASSERT_TRUE(SaveSettingsFile(gatewayFile(), settings));
        auto e = std::make_unique<ProbeEngine>(link, *host, clock);
        probe = e.get();
        window = std::make_unique<GatewayWindow>(std::move(e));
        SettingsList params;
        params.setValue(QStringLiteral("CFG_FILE"), gatewayFile());
        ASSERT_TRUE(window->engine().StarteForm(params));
        window->show();
    }
    void connectWindow()
    {
        auto& e = window->engine();
        e.ParseIncomingTS3Data(QStringLiteral("GW_CONNECT"),
                               items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=3"}));
        e.ParseIncomingTS3Data(QStringLiteral("SERVERINFO"),
                               items({"scHandler=3", "connected=4", "serverName=DARC^sVoice", "channelName=Lobby",
                                      "myNickname=Relais^sNord^s(DB0XYZ)"}));
        e.ParseIncomingTS3Data(QStringLiteral("CONNECT"), items({"scHandler=3", "status=4"}));
        e.ParseIncomingTS3Data(QStringLiteral("MOVED"), items({"scHandler=3", "channelName=Relais^s70cm"}));
        e.ParseIncomingTS3Data(QStringLiteral("GW_PONG"), items({"scHandler=3", "timestamp=1699999999958"}));
    }
    QStringList labels() const
    {
        QStringList out;
        for (QLabel* l : window->findChildren<QLabel*>())
            out << l->text();
        return out;
    }
    void save(const QString& name)
    {
        const QString path = QStringLiteral("/tmp/") + name;
        EXPECT_TRUE(window->grab().save(path));
    }

    ProbeEngine* probe = nullptr;
    std::unique_ptr<GatewayWindow> window;
};

TEST_F(WindowTest, ShowsTheElementsOfADisconnectedGateway)
{
    openWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Relais Nord"));
    QStringList groups;
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        groups << g->title();
    EXPECT_EQ(groups, (QStringList{QStringLiteral(" Teamspeak Status "), QStringLiteral(" COM-Port Status "),
                                   QStringLiteral(" Connect - Info "), QStringLiteral(" Speaking Time Limit "),
                                   QStringLiteral(" Functions ")}));
    const QStringList l = labels();
    for (const char* text : {"Not connected", "-offline-", "Output RX", "Output TX", "Input", "No Server", "No Channel",
                             "--", "Teamspeak", "HF", "[x] Beacon is OFF", "DTMF is off"})
        EXPECT_TRUE(l.contains(QLatin1String(text))) << text;
    const auto buttons = window->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 9);
    int enabled = 0;
    for (QToolButton* b : buttons)
        enabled += b->isEnabled();
    EXPECT_EQ(enabled, 2); // settings and remote permissions only

    // The connection lamp blinks while not connected.
    QList<GwColor> blink;
    for (int i = 0; i < 4; ++i) {
        window->engine().blinkTick();
        blink << window->engine().display().connLamp.color;
    }
    EXPECT_EQ(blink, (QList<GwColor>{GwColor::LightBlue, GwColor::Blue, GwColor::LightBlue, GwColor::Blue}));
    EXPECT_TRUE(window->logHtml().contains(QStringLiteral("Loading: ")));
    save(QStringLiteral("gateway-disconnected.png"));
}

TEST_F(WindowTest, ConnectedGatewayEnablesItsButtonsAndKeysByHandOnTheLamp)
{
    openWindow();
    connectWindow();
    const QStringList l = labels();
    EXPECT_TRUE(l.contains(QStringLiteral("Connected [3]")));
    EXPECT_TRUE(l.contains(QStringLiteral("Relais 70cm")));
    EXPECT_TRUE(l.contains(QStringLiteral("DARC Voice")));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Relais Nord (DB0XYZ)"));
    EXPECT_TRUE(l.contains(QStringLiteral("Ping: 42 ms")));
    EXPECT_TRUE(window->logHtml().contains(QStringLiteral("MOVED: Relais 70cm")));
    link.take();

    // Away was never reported: the press asks for it.
    window->findChildren<QToolButton*>()[1]->click();
    EXPECT_EQ(link.take(), QStringList{QStringLiteral("SETAFK scHandler=3 status=1")});

    // Holding the mouse on the radio PTT lamp keys the radio; releasing unkeys it.
    GatewayLamp* lamp = window->pttLamp();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(8, 8), lamp->mapToGlobal(QPointF(8, 8)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(lamp, &press);
    window->engine().relayTick();
    EXPECT_TRUE(host->level(1, QStringLiteral("RTS")));
    EXPECT_EQ(lamp->color(), GwColor::Red);
    save(QStringLiteral("gateway-connected.png"));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(8, 8), lamp->mapToGlobal(QPointF(8, 8)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(lamp, &release);
    window->engine().relayTick();
    EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));
    EXPECT_EQ(lamp->color(), GwColor::DarkRed);

    // The save-start-channel question; No sends nothing.
    host->answerYes = false;
    window->findChildren<QToolButton*>()[7]->click();
    EXPECT_EQ(host->questions.last(), QStringLiteral("Save as Default-Channel??"));
    host->answerYes = true;
    window->findChildren<QToolButton*>()[7]->click();
    EXPECT_EQ(link.take().last(), QStringLiteral("GETCHANPATH scHandler=3 channel=0 save=1"));
}

TEST_F(WindowTest, ClosingTheWindowGoesThroughTheQuestion)
{
    openWindow();
    link.take();
    host->answerYes = false;
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(link.take().isEmpty());
    host->answerYes = true;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(
        link.take().count(QStringLiteral("GW_STOP gateUID=") + QLatin1String(kUid) + QStringLiteral(" scHandler=0")),
        2);
}

TEST_F(WindowTest, FactoryRefusesAnUnusableFile)
{
    SettingsList params;
    params.setValue(QStringLiteral("CFG_FILE"), dir.path() + QStringLiteral("/missing.rdk"));
    EXPECT_EQ(CreateGatewayWindow(link, *host, params), nullptr);
    EXPECT_EQ(host->errors, QStringList{QStringLiteral("Failde to load the config file")});
    ASSERT_TRUE(SaveSettingsFile(gatewayFile(), settings));
    params.setValue(QStringLiteral("CFG_FILE"), gatewayFile());
    std::unique_ptr<GatewayWindow> w(CreateGatewayWindow(link, *host, params));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(link.take(), QStringList{QStringLiteral("GW_START gateUID=") + QLatin1String(kUid)});
    EXPECT_EQ(w->gatewayEndpoint()->gateUID(), QLatin1String(kUid));
}
