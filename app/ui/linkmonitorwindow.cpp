#include "app/ui/linkmonitorwindow.h"

#include "app/directory/directoryclient.h"

#include "app/ui/mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

LinkMonitorWindow::LinkMonitorWindow(MainWindow& main, QWidget* parent) : QWidget(parent), m_main(main)
{
    setWindowTitle(QStringLiteral("DEBUG"));
    LinkSession& s = m_main.session();
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    m_traffic = new QPlainTextEdit(this);
    m_traffic->setReadOnly(true);
    m_traffic->setFont(mono);
    m_traffic->setMaximumBlockCount(5000);
    m_traffic->setLineWrapMode(QPlainTextEdit::NoWrap);

    m_profiles = new QPlainTextEdit(this);
    m_profiles->setReadOnly(true);
    m_profiles->setMaximumWidth(220);
    QStringList profileText = s.TS3_PROF_CAPTURE();
    profileText << QStringLiteral("--------");
    profileText += s.TS3_PROF_PLAYBAK();
    profileText << QStringLiteral("--------");
    profileText += s.TS3_PROF_IDENTIS();
    m_profiles->setPlainText(profileText.join(QLatin1Char('\n')));

    m_gateways = new QComboBox(this);
    refreshGateways();

    m_pause = new QCheckBox(QStringLiteral("Pause"), this);
    m_send = new QCheckBox(QStringLiteral("Senden"), this);
    m_receive = new QCheckBox(QStringLiteral("Empfangen"), this);
    m_pause->setChecked(s.DebugPause);
    m_send->setChecked(s.ShowSend);
    m_receive->setChecked(s.ShowEmpf);
    connect(m_pause, &QCheckBox::toggled, this, [this](bool on) { m_main.session().DebugPause = on; });
    connect(m_send, &QCheckBox::toggled, this, [this](bool on) { m_main.session().ShowSend = on; });
    connect(m_receive, &QCheckBox::toggled, this, [this](bool on) { m_main.session().ShowEmpf = on; });

    auto* buttons = new QGridLayout;
    const struct {
        const char* caption;
        const char* command;
        const char* items;
    } tests[] = {
        {"ON", "SETPTT", "status=1"},      {"OFF", "SETPTT", "status=0"},   {"Channels", "GETCHANNELS", "type=ids"},
        {"Bookmarks", "GETBOOKMARKS", ""}, {"ChanPerm", "GETCHANPERM", ""}, {"ClientPerm", "GETUSERPERM", "userID=4"},
    };
    int i = 0;
    for (const auto& t : tests) {
        auto* b = new QPushButton(QString::fromLatin1(t.caption), this);
        const QString command = QString::fromLatin1(t.command), items = QString::fromLatin1(t.items);
        connect(b, &QPushButton::clicked, this,
                [this, command, items] { m_main.guarded([&] { sendTest(command, items); }); });
        buttons->addWidget(b, i / 2, i % 2);
        ++i;
    }
    // Sends the directory request for the plugin list (the answer is not used); the button
    // stays off until the answer or the failure is there.
    m_exitClient = new QPushButton(QStringLiteral("EXIT-Client"), this);
    buttons->addWidget(m_exitClient, i / 2, 0, 1, 2);
    connect(m_exitClient, &QPushButton::clicked, this, [this] { sendPluginListRequest(); });

    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel(QStringLiteral("Gateway"), this));
    side->addWidget(m_gateways);
    side->addLayout(buttons);
    side->addWidget(m_pause);
    side->addWidget(m_send);
    side->addWidget(m_receive);
    side->addWidget(m_profiles, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_traffic, 1);
    layout->addLayout(side);
    resize(820, 420);

    s.setMonitor(this);
}

LinkMonitorWindow::~LinkMonitorWindow()
{
    if (m_main.session().monitor() == this)
        m_main.session().setMonitor(nullptr);
}

void LinkMonitorWindow::refreshGateways()
{
    m_gateways->clear();
    for (GatewayEndpoint* gw : m_main.gatewaysInWindowOrder())
        m_gateways->addItem(gw->windowTitle(), gw->gateUID());
    if (m_gateways->count() > 0)
        m_gateways->setCurrentIndex(0);
}

void LinkMonitorWindow::clearTraffic()
{
    m_traffic->clear();
}

void LinkMonitorWindow::appendTraffic(const QString& line)
{
    m_traffic->appendPlainText(line);
}

QStringList LinkMonitorWindow::trafficLines() const
{
    return m_traffic->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList LinkMonitorWindow::profileLines() const
{
    return m_profiles->toPlainText().split(QLatin1Char('\n'));
}

void LinkMonitorWindow::sendTest(const QString& command, const QString& items)
{
    const int handler = m_main.session().GetscHandlerFromGateway(m_gateways->currentData().toString());
    if (handler <= 0)
        return;
    QString params = QStringLiteral("scHandler=") + QString::number(handler);
    if (!items.isEmpty())
        params += QLatin1Char(' ') + items;
    m_main.session().SendToTS3(command, params);
}

void LinkMonitorWindow::sendPluginListRequest()
{
    DirectoryClient* d = DirectoryClient::shared();
    if (!d || !m_exitClient->isEnabled())
        return;
    m_exitClient->setEnabled(false);
    d->SendeZuWavenestAsync(QStringLiteral("index.php"),
                            DirectoryClient::actionParams(QStringLiteral("TS3-PLUGIN-LISTE")), this,
                            [this](bool) { m_exitClient->setEnabled(true); });
}
