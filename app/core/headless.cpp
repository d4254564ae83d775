#include "app/core/headless.h"

#include "app/config/gatewayconfig.h"
#include "app/config/texts.h"
#include "app/core/webstatus.h"
#include "app/serial/comportmanager.h"
#include "app/web/webinterface.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kCore = QStringLiteral("relaydeck");
}

HeadlessProgram::HeadlessProgram(AppCore::Options options, QTextStream& out, QObject* parent)
    : QObject(parent), m_out(out)
{
    m_core = std::make_unique<AppCore>(std::move(options), *this);
    // Nobody sits at a headless program: a gateway's "Quit now??" is answered Yes (the
    // close came from the link), any other question No; both are logged.
    m_core->askYesNoHook = [this](const QString& question) {
        const bool yes = question.endsWith(GetText(QStringLiteral("0126")));
        log(kCore, QStringLiteral("question \"%1\" answered %2")
                       .arg(QString(question).replace(QLatin1Char('\r'), QLatin1Char(' ')),
                            yes ? QStringLiteral("Yes") : QStringLiteral("No")));
        return yes;
    };
    m_core->showErrorHook = [this](const QString& text) {
        log(kCore, QStringLiteral("error: ") + QString(text).replace(QLatin1Char('\r'), QLatin1Char(' ')));
    };
    if (!m_core->settings().loadProblem().isEmpty())
        log(kCore, m_core->settings().loadProblem());
    m_autostartTimer.setSingleShot(true);
    m_autostartTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_autostartTimer, &QTimer::timeout, this, [this] { m_core->guarded([this] { autostartNext(); }); });
}

HeadlessProgram::~HeadlessProgram()
{
    stopWeb();
    // The core frees its gateways, whose log lines still reach their files.
    m_core.reset();
    m_logs.clear();
}

void HeadlessProgram::log(const QString& who, const QString& text)
{
    m_out << who << ": " << text << Qt::endl;
}

void HeadlessProgram::start()
{
    log(kCore, QStringLiteral("base folder %1").arg(QDir::toNativeSeparators(m_core->folders().appPath)));
    ComPortManager& ports = m_core->comPorts();
    for (const ComPortManager::StartupEntry& e : ports.startFromConfig()) {
        const QString port = QStringLiteral("COM%1 (%2)").arg(e.ident).arg(ports.deviceForPort(e.ident));
        log(kCore, ports.COMPortIsOpen(e.ident) ? port + QStringLiteral(" open")
                                                : port + QStringLiteral(" could not be opened"));
    }
    startWeb();
    const QString cfg = m_core->folders().cfgPath;
    m_autostart = QDir(cfg).entryList({QStringLiteral("*.rdk")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    m_autostartTimer.start(kGatewayDelayMs);
}

void HeadlessProgram::startWeb()
{
    const SettingsList& settings = m_core->globalConfig();
    if (!WebInterface::enabledIn(settings))
        return;
    // No window: "/" and "/screen.jpg" say so; the status pages read what the feed
    // publishes four times a second.
    auto board = std::make_shared<StatusBoard>();
    auto web = std::make_unique<WebInterface>();
    web->setStatusProvider(board);
    if (!web->startFromSettings(settings)) {
        log(kCore, QStringLiteral("error: the web interface cannot listen on port %1 (is another program using "
                                  "it? HTTP_PORT in main.cfg names the port); the gateways run without it")
                       .arg(WebInterface::portIn(settings)));
        return;
    }
    m_web = std::move(web);
    m_webFeed = std::make_unique<WebStatusFeed>(board, *m_core, m_core->session());
    m_webFeed->start();
    log(kCore, QStringLiteral("web interface on port %1: /status, /api/status, /metrics").arg(m_web->port()));
}

void HeadlessProgram::stopWeb()
{
    if (m_web)
        m_web->stop();
    m_web.reset();
    m_webFeed.reset();
}

int HeadlessProgram::webPort() const
{
    return m_web ? m_web->port() : 0;
}

void HeadlessProgram::autostartNext()
{
    if (m_quitting || m_autostart.isEmpty())
        return;
    const QString path = QDir(m_core->folders().cfgPath).filePath(m_autostart.takeFirst());
    const gatewayconfig::LoadResult r = gatewayconfig::load(path);
    int next = kSkipDelayMs;
    if (!r.ok()) {
        log(kCore, QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), GetText(QStringLiteral("0060"))));
    } else if (r.list.boolValue(QStringLiteral("gateAutorun"))) {
        openGateway(path);
        next = kGatewayDelayMs;
    }
    if (!m_autostart.isEmpty())
        m_autostartTimer.start(next);
}

bool HeadlessProgram::openGateway(const QString& path)
{
    GatewayRunner& runner = m_core->createGateway();
    // The lines of the opening are held until the gateway's name is known (a file that
    // cannot be used: they carry the file's name); every line goes to the gateway's own log
    // file as well.
    QStringList opening;
    runner.onLogLine = [&opening](const GwLogLine& line) { opening.append(line.text); };
    SettingsList params;
    params.setValue(QStringLiteral("CFG_FILE"), QFileInfo(path).absoluteFilePath());
    if (!runner.engine().StarteForm(params)) {
        m_core->releaseGateway(&runner);
        for (const QString& line : opening)
            log(QFileInfo(path).fileName(), line);
        return false;
    }
    const QString gateName = runner.engine().DATARRAY.value(QStringLiteral("gateName"));
    auto file = std::make_unique<RotatingLog>(m_core->folders().appPath + QStringLiteral("logs/") +
                                              RotatingLog::fileNameFor(gateName) + QStringLiteral(".log"));
    RotatingLog* fileLog = file.get();
    m_logs[&runner] = std::move(file);
    runner.onLogLine = [this, gateName, fileLog](const GwLogLine& line) {
        log(gateName, line.text);
        if (!fileLog->append(line.text))
            log(kCore, QStringLiteral("cannot write %1").arg(QDir::toNativeSeparators(fileLog->path())));
    };
    for (const QString& line : opening)
        runner.onLogLine(GwLogLine{line});
    // A gateway that ends on its own (closed over the link) is freed from the main loop.
    GatewayRunner* raw = &runner;
    runner.onClosed = [this, raw] {
        QTimer::singleShot(0, this, [this, raw] {
            m_core->releaseGateway(raw);
            m_logs.erase(raw);
        });
    };
    runner.startTimers();
    log(gateName, QStringLiteral("gateway open"));
    return true;
}

void HeadlessProgram::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    m_autostartTimer.stop();
    log(kCore, QStringLiteral("quitting"));
    // The server's threads end before the engines go.
    stopWeb();
    m_core->beginQuit();
    // Every gateway in order: GW_STOP, its file saved, its outputs released. An error in
    // one does not keep the others from ending.
    for (GatewayRunner* g : m_core->gateways())
        m_core->guarded([&] {
            g->engine().StoppeGateway();
            g->engine().BeendeForm(0);
            g->stopTimers();
        });
    m_core->endQuit();
    for (GatewayRunner* g : m_core->gateways())
        m_core->releaseGateway(g);
    m_logs.clear();
    log(kCore, QStringLiteral("stopped"));
    emit finished();
}

// ------------------------------------------------------------------ SessionView

void HeadlessProgram::setLinkStatus(const QString& text)
{
    // The reconnect countdown changes every second; the journal gets the states only.
    const QString state = text.contains(QLatin1String(" [")) ? text.left(text.indexOf(QLatin1String(" ["))) : text;
    if (state == m_lastLinkStatus)
        return;
    m_lastLinkStatus = state;
    log(QStringLiteral("link"), state);
}

void HeadlessProgram::setErrorStatus(const QString& text)
{
    if (text == m_lastError || text == GetText(QStringLiteral("0018")))
        return;
    m_lastError = text;
    log(kCore, text);
}

void HeadlessProgram::setPingTimerEnabled(bool on)
{
    m_core->setPingTimerEnabled(on);
}

void HeadlessProgram::showBalloon(const QString& title, const QString& text)
{
    log(QStringLiteral("link"),
        title + QStringLiteral(": ") + QString(text).replace(QLatin1Char('\r'), QStringLiteral(", ")));
}

void HeadlessProgram::showMessage(MessageKind kind, const QString& text)
{
    log(kCore, (kind == MessageKind::Error ? QStringLiteral("error: ") : QString()) +
                   QString(text)
                       .replace(QStringLiteral("\r\r"), QStringLiteral(" "))
                       .replace(QLatin1Char('\r'), QLatin1Char(' ')));
}
