#include "app/core/appcore.h"

#include "app/config/logging.h"
#include "app/config/texts.h"
#include "app/directory/blockcheck.h"
#include "app/directory/directoryclient.h"
#include "app/serial/comportmanager.h"
#include "app/session/tcplinktransport.h"

#include <QCoreApplication>
#include <QTimer>

namespace {
AppCore* g_errorTarget = nullptr;
constexpr int kTickMs = 1000;
constexpr int kPingMs = 20000;
} // namespace

AppCore* AppCore::errorHookTarget()
{
    return g_errorTarget;
}

AppCore::AppCore(Options options, SessionView& view, QObject* parent)
    : QObject(parent), m_settings(options.clock ? *options.clock : SystemClock::instance())
{
    g_errorTarget = this;
    InitTexte();
    // The plugin session; TS3conDelay 0 connects at the first tick.
    if (options.transport) {
        m_ownedTransport = std::move(options.transport);
    } else {
        auto tcp = std::make_unique<TcpLinkTransport>();
        m_tcp = tcp.get();
        m_ownedTransport = std::move(tcp);
    }
    LinkSession::Deps deps;
    deps.transport = m_ownedTransport.get();
    deps.gateways = this;
    deps.view = &view;
    deps.clock = options.clock;
    deps.settings = &m_settings.list();
    deps.text = [](const QString& id) { return GetText(id); };
    m_session = std::make_unique<LinkSession>(deps);
    if (m_tcp) {
        connect(m_tcp, &TcpLinkTransport::connectionMade, this, [this] { guarded([&] { m_session->onConnected(); }); });
        connect(m_tcp, &TcpLinkTransport::connectFailed, this,
                [this](const QString& reason) { guarded([&] { m_session->onConnectFailed(reason); }); });
        connect(m_tcp, &TcpLinkTransport::blockArrived, this,
                [this](const QByteArray& block) { guarded([&] { m_session->onBlock(block); }); });
        connect(m_tcp, &TcpLinkTransport::connectionEnded, this,
                [this] { guarded([&] { m_session->onDisconnected(); }); });
    }
    // Folders and application settings (the language of main.cfg or firstrun.ini becomes
    // the current one of the text table).
    const QString programDir = QCoreApplication::applicationDirPath();
    m_settings.load(options.home.isEmpty() ? AppPaths::resolve(QCoreApplication::arguments(), programDir)
                                           : AppPaths::forBase(options.home, programDir));
    m_session->setAppLang(AppLang());
    m_comPorts = std::make_unique<ComPortManager>(folders().cfgPath + QStringLiteral("comport.cfg"));
    // Adapters that are pulled out are looked for again once a second.
    m_comPorts->startWatch();
    // The directory client (shared with the gateways) and this installation's block check
    // every 5 s until the service has answered. A core whose ticks are driven by hand
    // (tests) keeps it to itself, so its gateways do not report to the service.
    m_directory = std::make_unique<DirectoryClient>();
    m_directory->setServiceUrl(
        DirectoryClient::configuredUrl(m_settings.value(QLatin1String(DirectoryClient::kSettingKey))));
    if (options.startTimers)
        DirectoryClient::setShared(m_directory.get());
    m_abuseCheck = std::make_unique<BlockCheck>(m_directory.get(), QStringLiteral("APP-BLACKLIST"),
                                                QStringLiteral("appUID"), m_settings.value(QStringLiteral("appUID")));
    m_abuseCheck->onAnswered = [this] { m_checkAppAbuse = true; };
    if (options.startTimers)
        m_abuseCheck->start();

    m_tickTimer = new QTimer(this);
    m_tickTimer->setInterval(kTickMs);
    connect(m_tickTimer, &QTimer::timeout, this, [this] { tick(); });
    m_pingTimer = new QTimer(this);
    m_pingTimer->setInterval(kPingMs);
    connect(m_pingTimer, &QTimer::timeout, this, [this] { pingTick(); });
    if (options.startTimers)
        m_tickTimer->start();
}

AppCore::~AppCore()
{
    m_gateways.clear();
    if (g_errorTarget == this)
        g_errorTarget = nullptr;
    if (DirectoryClient::shared() == m_directory.get())
        DirectoryClient::setShared(nullptr);
    // The transport's socket reports its end when it is destroyed, after the session: by
    // then nothing of the transport may reach the session any more.
    if (m_tcp)
        QObject::disconnect(m_tcp, nullptr, this, nullptr);
    m_tickTimer->stop();
    m_pingTimer->stop();
    m_abuseCheck->stop();
    m_session->stop();
    m_session->setMonitor(nullptr);
    // The block check uses the directory client; both go before the settings.
    m_abuseCheck.reset();
    m_directory.reset();
}

// ------------------------------------------------------------------ ticks and errors

void AppCore::tick()
{
    guarded([this] {
        m_session->secondTick();
        emit ticked();
    });
}

void AppCore::pingTick()
{
    guarded([this] { m_session->pingTick(); });
}

void AppCore::setPingTimerEnabled(bool on)
{
    if (on && !m_pingTimer->isActive() && m_tickTimer->isActive())
        m_pingTimer->start();
    else if (!on)
        m_pingTimer->stop();
}

bool AppCore::ticking() const
{
    return m_tickTimer->isActive();
}

void AppCore::applicationError(const QString& message)
{
    qCWarning(lcCore) << "error:" << message;
    m_session->applicationError(message);
}

void AppCore::guarded(const std::function<void()>& fn) noexcept
{
    try {
        fn();
    } catch (const std::exception& e) {
        try {
            applicationError(QString::fromUtf8(e.what()));
        } catch (...) {
        }
    } catch (...) {
        try {
            applicationError(GetExtraText(QStringLiteral("X030")));
        } catch (...) {
        }
    }
}

// ------------------------------------------------------------------ quitting

void AppCore::beginQuit()
{
    m_closing = true;
    m_tickTimer->stop();
    m_pingTimer->stop();
    m_abuseCheck->stop();
    m_session->stop();
    if (m_settings.boolValue(QStringLiteral("LINK_EXIT")))
        m_session->SendToTS3(QStringLiteral("EXITCLIENT"), QString());
}

void AppCore::endQuit(const std::optional<QRect>& normalGeometry)
{
    m_session->setMonitor(nullptr);
    m_session->close();
    saveSettings(normalGeometry);
    m_comPorts->StoppeCOMPorts();
}

bool AppCore::saveSettings(const std::optional<QRect>& normalGeometry)
{
    return m_settings.save(normalGeometry);
}

// ------------------------------------------------------------------ gateways

QList<GatewayEndpoint*> AppCore::gatewaysInWindowOrder() const
{
    if (gatewayOrder)
        return gatewayOrder();
    QList<GatewayEndpoint*> out;
    for (const auto& g : m_gateways)
        out.append(&g->engine());
    return out;
}

GatewayRunner& AppCore::createGateway()
{
    m_gateways.push_back(std::make_unique<GatewayRunner>(std::make_unique<GatewayEngine>(*m_session, *this)));
    return *m_gateways.back();
}

void AppCore::releaseGateway(GatewayRunner* runner)
{
    for (auto it = m_gateways.begin(); it != m_gateways.end(); ++it)
        if (it->get() == runner) {
            // Out of the list first: while it is torn down it is no longer an open gateway.
            std::unique_ptr<GatewayRunner> gone = std::move(*it);
            m_gateways.erase(it);
            return;
        }
}

QList<GatewayRunner*> AppCore::gateways() const
{
    QList<GatewayRunner*> out;
    for (const auto& g : m_gateways)
        out.append(g.get());
    return out;
}

bool AppCore::COMPortIsOpen(int port)
{
    return m_comPorts->COMPortIsOpen(port);
}
void AppCore::SetCOMStatus(const QString& holder, int port, const QString& pin, bool on, bool invert)
{
    m_comPorts->SetCOMStatus(holder, port, pin, on, invert);
}
bool AppCore::GetCOMStatus(int port, const QString& pin, bool invert)
{
    return m_comPorts->GetCOMStatus(port, pin, invert);
}
QString AppCore::COMPortLostDevice(int port)
{
    return m_comPorts->lostDevice(port);
}
QString AppCore::appLang() const
{
    return AppLang();
}

bool AppCore::askYesNo(const QString& question)
{
    return askYesNoHook ? askYesNoHook(question) : false;
}

void AppCore::showError(const QString& text)
{
    if (showErrorHook)
        showErrorHook(text);
    else
        applicationError(text);
}
