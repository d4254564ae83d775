#include "app/ui/startwindow.h"

#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/ui/comchildwindows.h"
#include "app/ui/gatewaylistwindow.h"
#include "app/ui/mainwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
QString arrow(const QString& text)
{
    return QStringLiteral(" -> ") + text;
}
} // namespace

// ------------------------------------------------------------------ StartSequence

StartSequence::StartSequence(QString cfgFolder, ComPortManager* ports, Hooks hooks)
    : m_cfgFolder(std::move(cfgFolder)), m_ports(ports), m_hooks(std::move(hooks))
{
    log(arrow(GetText(QStringLiteral("0402"))), StartLogStyle::Info);
    m_gateFiles = gatewayfiles::fileNames(m_cfgFolder);
}

void StartSequence::log(const QString& text, StartLogStyle style)
{
    if (m_hooks.log)
        m_hooks.log(text, style);
}

void StartSequence::arm(Timer t, int ms)
{
    m_armed = t;
    m_interval = ms;
}

void StartSequence::shown()
{
    if (m_shown)
        return;
    m_shown = true;
    if (m_ports) {
        const QList<ComPortManager::StartupEntry> entries =
            m_ports->startFromConfig([this](const QString& line) { log(line, StartLogStyle::Ok); });
        for (const ComPortManager::StartupEntry& e : entries) {
            // The manager keeps a port that failed to open closed without a word; the
            // operator learns it here instead of from a radio that never keys.
            if (!m_ports->COMPortIsOpen(e.ident)) {
                log(arrow(GetText(QStringLiteral("0129"))) + QStringLiteral("... [ COM") + QString::number(e.ident) +
                        QStringLiteral(" ") + m_ports->deviceForPort(e.ident) + QStringLiteral(" ]"),
                    StartLogStyle::Error);
                // Why, when it is more than a device that is not there (no permission, a
                // refused pin): the fix is in the text.
                if (!m_ports->openFailedMissing(e.ident) && !m_ports->openProblem(e.ident).isEmpty())
                    log(arrow(m_ports->openProblem(e.ident)), StartLogStyle::Error);
            }
            if (e.status && m_hooks.openComStatus)
                m_hooks.openComStatus(e.ident, e.top, e.left);
        }
    }
    arm(Timer::GateStartDelay, kGatewayDelayMs);
}

void StartSequence::timerFired()
{
    switch (m_armed) {
    case Timer::None:
        return;
    case Timer::GateStartDelay: {
        arm(Timer::None, 0);
        if (m_gateFiles.isEmpty()) {
            log(arrow(GetText(QStringLiteral("0405"))), StartLogStyle::Info);
            arm(Timer::Closing, kCloseDelayMs);
            return;
        }
        const int next = checkNextFile();
        m_gateFiles.removeFirst();
        arm(Timer::GateStartDelay, next);
        return;
    }
    case Timer::Closing:
        arm(Timer::None, 0);
        m_closed = true;
        if (m_hooks.close)
            m_hooks.close();
        return;
    }
}

int StartSequence::checkNextFile()
{
    const QString name = m_gateFiles.first();
    const QString path = QDir(m_cfgFolder).filePath(name);
    if (!QFileInfo(path).isFile())
        return kSkipDelayMs; // gone since the list was made
    const std::optional<SettingsList> gw = gatewayfiles::read(path);
    if (!gw) {
        // Unreadable, not Base64 or no gateUID: reported, and the start goes on.
        log(arrow(GetText(QStringLiteral("0060"))) + QStringLiteral(" [ ") + name + QStringLiteral(" ]"),
            StartLogStyle::Error);
        return kSkipDelayMs;
    }
    if (!gw->boolValue(QStringLiteral("gateAutorun")))
        return kSkipDelayMs;
    const QString gateName = gw->value(QStringLiteral("gateName"));
    // A gateway the user opened by hand meanwhile is not opened a second time (two
    // engines would share one identity and one PTT holder).
    if (m_hooks.gatewayIsActive && m_hooks.gatewayIsActive(gw->value(QStringLiteral("gateUID")))) {
        log(arrow(GetText(QStringLiteral("0215"))) + QStringLiteral(" [ ") + gateName + QStringLiteral(" ]"),
            StartLogStyle::Info);
        return kSkipDelayMs;
    }
    log(arrow(GetText(QStringLiteral("0404"))) + QStringLiteral("... [ ") + gateName + QStringLiteral(" ]"),
        StartLogStyle::Ok);
    if (m_hooks.openGateway)
        m_hooks.openGateway(path, gateName);
    return kGatewayDelayMs;
}

// ------------------------------------------------------------------ StartWindow

StartWindow::StartWindow(MainWindow& main, QWidget* parent) : QWidget(parent), m_main(main)
{
    setWindowTitle(GetText(QStringLiteral("0401")));
    m_log = new QTextEdit(this);
    m_log->setReadOnly(true);
    m_log->setFocusPolicy(Qt::NoFocus);
    m_log->setTextInteractionFlags(Qt::NoTextInteraction);
    m_log->setStyleSheet(QStringLiteral("QTextEdit { background: #ffffff; font-family: monospace; }"));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(4, 4, 4, 4);
    lay->addWidget(m_log);
    setFixedSize(440, 220);

    m_timer.setSingleShot(true);
    // A coarse timer may fire 5 % early: gateways would start 1.9 s apart, not 2 s.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { fireTimer(); });

    StartSequence::Hooks hooks;
    hooks.log = [this](const QString& text, StartLogStyle style) { appendLog(text, style); };
    hooks.openComStatus = [this](int port, int top, int left) { OpenComStatusWindow(m_main, port, top, left); };
    hooks.gatewayIsActive = [this](const QString& uid) { return GatewayActions(m_main).isActive(uid); };
    hooks.openGateway = [this](const QString& path, const QString& gateName) {
        return GatewayActions(m_main).open(path, gateName) != nullptr;
    };
    hooks.close = [this] { closeSelf(); };
    m_seq = std::make_unique<StartSequence>(m_main.configFolder(), &m_main.comPorts(), std::move(hooks));
}

StartWindow::~StartWindow() = default;

void StartWindow::appendLog(const QString& text, StartLogStyle style)
{
    const char* css = style == StartLogStyle::Info ? "color:#808080;font-style:italic"
                      : style == StartLogStyle::Ok ? "color:#008000"
                                                   : "color:#c00000;font-weight:bold";
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
    m_log->append(QStringLiteral("<span style=\"%1\">%2</span>").arg(QLatin1String(css), html));
}

QString StartWindow::logText() const
{
    return m_log->toPlainText().replace(QChar(0x00a0), QLatin1Char(' '));
}

void StartWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Once the frame exists: no close button, placed at 10/10; then the start runs from
    // the event loop, so the main window is fully up before ports and gateways open.
    QTimer::singleShot(0, this, [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
            sub->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
            sub->move(10, 10);
            sub->show();
        }
        m_main.guarded([this] { m_seq->shown(); });
        syncTimer();
    });
}

void StartWindow::fireTimer()
{
    m_timer.stop();
    m_main.guarded([this] { m_seq->timerFired(); });
    syncTimer();
}

void StartWindow::syncTimer()
{
    if (m_seq->armed() == StartSequence::Timer::None)
        m_timer.stop();
    else
        m_timer.start(m_seq->intervalMs());
}

void StartWindow::closeSelf()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void RegisterStartAndListWindows(MainWindow& main)
{
    main.setChildFactory(ChildKind::StartWindow, [](MainWindow& m, const QString&, const SettingsList&) -> QWidget* {
        return new StartWindow(m);
    });
    main.setChildFactory(ChildKind::GatewayList, [](MainWindow& m, const QString&, const SettingsList&) -> QWidget* {
        return new GatewayListWindow(m);
    });
    RegisterComWindows(main);
}
