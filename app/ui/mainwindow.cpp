#include "app/ui/mainwindow.h"

#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/ui/artwork.h"
#include "app/ui/gatewaylistwindow.h"
#include "app/ui/linkmonitorwindow.h"
#include "app/ui/supportformwindow.h"
#include "app/core/webstatus.h"
#include "app/ui/windowlistwindow.h"
#include "app/web/webwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <pwd.h>
#include <unistd.h>

namespace {

QString menuText(const char* id)
{
    return QLatin1Char('&') + GetText(QString::fromLatin1(id));
}

QString loggedInUser()
{
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString forDisplay(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

const char* kLinkStyle =
    "QLabel { padding: 2px 10px; border: 1px solid #808080; font-weight: bold; background: %1; color: %2; }";
} // namespace

MainWindow::MainWindow(Options options, QWidget* parent) : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    // 1-2. Session and monitor state come with the core below; the status bar panels.
    m_mdi = new LogoMdiArea(this);
    m_mdi->setBackground(QColor(0x4a, 0x55, 0x66));
    setCentralWidget(m_mdi);
    buildStatusBar();
    // 3-7, 13. The application-wide error hook, text table, lists, the plugin session (TS3conDelay 0 connects at the first
    // tick), folders and application settings, the directory block check: the core.
    m_core = std::make_unique<AppCore>(std::move(options), *this);
    m_core->gatewayOrder = [this] { return gatewaysInWindowOrder(); };
    m_core->askYesNoHook = [this](const QString& question) { return askYesNo(question); };
    m_core->showErrorHook = [this](const QString& text) { showError(text); };
    connect(m_core.get(), &AppCore::ticked, this, [this] {
        m_panels[2]->setText(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' '));
    });
    // 8. Tray icon.
    setWindowIcon(AppIcon());
    buildTrayIcon();
    // 9. Window state.
    applyWindowState();
    // 10-11. Caption, menus, toolbar and the first status texts.
    setWindowTitle(GetGeneralText(QStringLiteral("NAME")) + QLatin1Char(' ') + GetGeneralText(QStringLiteral("VERS")) +
                   QStringLiteral(" [") + loggedInUser() + QLatin1Char(']'));
    buildMenus();
    buildToolBar();
    setLinkPanel(GetText(QStringLiteral("0007")), LinkColour::Red);
    m_panels[0]->setText(GetText(QStringLiteral("0017")));
    m_panels[1]->setText(GetText(QStringLiteral("0018")));
    m_panels[2]->setText(QStringLiteral("-"));
    m_panels[3]->setText(QStringLiteral("--"));
    // An unreadable main.cfg (kept as main.cfg.bak) or a folder that could not be made.
    if (!m_core->settings().loadProblem().isEmpty())
        applicationError(m_core->settings().loadProblem());
    // 12. Web interface (screenshot server) when HTTP_ACTIVE; a busy port goes to the
    // error panel.
    // The status pages read what a feed publishes four times a second.
    QString webError;
    auto statusBoard = std::make_shared<StatusBoard>();
    m_web = StartWebInterface(this, globalConfig(), &webError, statusBoard);
    if (!m_web && !webError.isEmpty())
        applicationError(webError);
    if (m_web)
        (new WebStatusFeed(statusBoard, *this, session(), m_web))->start();

    setChildFactory(ChildKind::LinkMonitor, [](MainWindow& main, const QString&, const SettingsList&) -> QWidget* {
        return new LinkMonitorWindow(main);
    });
    setChildFactory(ChildKind::WindowList, [](MainWindow& main, const QString&, const SettingsList&) -> QWidget* {
        return new WindowListWindow(main);
    });
    RegisterSupportForm(*this);
    m_creating = false;
}

MainWindow::~MainWindow()
{
    // Teardown runs in the order of what calls what: nothing may outlive what it calls.
    // The screenshot server goes first: its threads must not capture a window being torn down.
    delete m_web.data();
    // Child windows next, while the core still exists: gateway windows still talk to the
    // session while closing and the link monitor unhooks itself from it. They close without
    // asking, as during quitting. A window closed earlier with its deletion still pending is
    // no longer in the area's list but still a child: every sub-window is deleted here.
    m_closeQueryExecuting = true;
    m_core->setClosing(true);
    m_mdi->closeAllSubWindows();
    while (QMdiSubWindow* sub = m_mdi->findChild<QMdiSubWindow*>())
        delete sub;
    // Then the core (session, transport, directory client, settings), before the window's
    // own widgets, which no longer call it.
    m_core->gatewayOrder = nullptr;
    m_core.reset();
}

// ------------------------------------------------------------------ frame parts

void MainWindow::buildStatusBar()
{
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_panels[i]->setContentsMargins(4, 0, 4, 0);
    }
    m_panels[0]->setMinimumWidth(260);
    m_panels[2]->setMinimumWidth(80);
    m_panels[3]->setMinimumWidth(70);
    // Panel 1 takes the width the others leave.
    statusBar()->addWidget(m_panels[0]);
    statusBar()->addWidget(m_panels[1], 1);
    statusBar()->addWidget(m_panels[2]);
    statusBar()->addWidget(m_panels[3]);
}

void MainWindow::buildMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(menuText("0009"));
    QAction* open =
        file->addAction(style()->standardIcon(QStyle::SP_DialogOpenButton), QStringLiteral("&Open gateway file..."));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, [this] { guarded([this] { openGatewayFileDialog(); }); });
    file->addSeparator();
    QAction* exit = file->addAction(menuText("0013"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* gw = bar->addMenu(menuText("0010"));
    connect(gw->addAction(menuText("0014")), &QAction::triggered, this,
            [this] { guarded([this] { GatewayActions(*this).createNew(); }); });
    connect(gw->addAction(menuText("0201")), &QAction::triggered, this, [this] {
        OpenNewChildWindow(ChildKind::GatewayList, GetText(QStringLiteral("0201")), SettingsList(), true);
    });
    // Below the separator: one submenu per stored gateway, read again each time it opens.
    gw->addSeparator();
    connect(gw, &QMenu::aboutToShow, this, [this, gw] { guarded([&] { RebuildGatewayMenu(gw, *this); }); });

    QMenu* setup = bar->addMenu(menuText("0011"));
    connect(setup->addAction(menuText("0015")), &QAction::triggered, this,
            [this] { OpenNewChildWindow(ChildKind::AppSetup, GetText(QStringLiteral("0015")), SettingsList(), true); });
    connect(setup->addAction(menuText("0451")), &QAction::triggered, this, [this] {
        OpenNewChildWindow(ChildKind::RogerBeepEditor, GetText(QStringLiteral("0451")), SettingsList(), true);
    });
    connect(setup->addAction(menuText("0301")), &QAction::triggered, this, [this] {
        OpenNewChildWindow(ChildKind::ComPortEditor, GetText(QStringLiteral("0301")), SettingsList(), true);
    });

    m_windowMenu = bar->addMenu(menuText("0022"));
    connect(m_windowMenu, &QMenu::aboutToShow, this, [this] { rebuildWindowMenu(); });
    rebuildWindowMenu();

    QMenu* help = bar->addMenu(menuText("0012"));
    connect(help->addAction(menuText("1150")), &QAction::triggered, this, [this] {
        OpenNewChildWindow(ChildKind::SupportForm, GetText(QStringLiteral("1150")), SettingsList(), true);
    });
    connect(help->addAction(menuText("0016")), &QAction::triggered, this, [this] { showAbout(); });

    // The developer entry is an item of the menu bar itself (no submenu).
    QAction* dev = bar->addAction(QStringLiteral("&Debug"));
    dev->setObjectName(QStringLiteral("developerEntry"));
    connect(dev, &QAction::triggered, this, [this] { guarded([this] { openDeveloperEntry(); }); });
}

QString MainWindow::developerAccessCode()
{
    static constexpr char kCode[] = "Rx7#tQ2m-Lk9@Vz4!Wd8$Hn";
    static_assert(sizeof(kCode) - 1 == 23, "the access code has 23 characters");
    return QString::fromLatin1(kCode);
}

void MainWindow::openDeveloperEntry()
{
    const QString code = developerAccessCode();
    if (globalConfig().value(QStringLiteral("devPW")) != code) {
        const QString caption = QStringLiteral("Enter Developer-Password");
        const QString prompt = QStringLiteral("Please enter the Developer-Password!!");
        std::optional<QString> entry;
        if (askAccessCode) {
            entry = askAccessCode(caption, prompt);
        } else {
            bool ok = false;
            const QString text = QInputDialog::getText(this, caption, prompt, QLineEdit::Password, QString(), &ok);
            if (ok)
                entry = text;
        }
        if (!entry)
            return; // Cancel
        if (entry->size() <= 5 || *entry != code) {
            showMessage(MessageKind::Error, GetText(QStringLiteral("0705")));
            return;
        }
        globalConfig().setValue(QStringLiteral("devPW"), *entry);
    }
    OpenNewChildWindow(ChildKind::LinkMonitor, QStringLiteral("DEBUG"), SettingsList(), true);
}

void MainWindow::rebuildWindowMenu()
{
    m_windowMenu->clear();
    connect(m_windowMenu->addAction(menuText("0023")), &QAction::triggered, this, [this] {
        OpenNewChildWindow(ChildKind::WindowList, GetText(QStringLiteral("0501")), SettingsList(), true);
    });
    m_windowMenu->addSeparator();
    for (QWidget* child : childWindows()) {
        QPointer<QWidget> target(child);
        connect(m_windowMenu->addAction(child->windowTitle()), &QAction::triggered, this, [this, target] {
            if (!target)
                return; // closed since the menu was built
            if (QMdiSubWindow* sub = subWindowOf(target)) {
                sub->showNormal();
                m_mdi->setActiveSubWindow(sub);
            }
        });
    }
}

void MainWindow::buildToolBar()
{
    QToolBar* tb = addToolBar(QStringLiteral("Main"));
    tb->setObjectName(QStringLiteral("mainToolBar"));
    tb->setMovable(false);
    tb->setIconSize(QSize(32, 32));
    tb->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const struct {
        ToolIcon icon;
        const char* hint;
        ChildKind kind;
        const char* caption;
    } buttons[] = {
        {ToolIcon::ComPorts, "0301", ChildKind::ComPortEditor, "0301"},
        {ToolIcon::GatewayList, "0201", ChildKind::GatewayList, "0201"},
        {ToolIcon::Settings, "0015", ChildKind::AppSetup, "0015"},
        {ToolIcon::RogerBeep, "0451", ChildKind::RogerBeepEditor, "0451"},
    };
    for (const auto& b : buttons) {
        if (b.kind == ChildKind::RogerBeepEditor)
            tb->addSeparator();
        QAction* a = tb->addAction(ToolBarIcon(b.icon), GetText(QString::fromLatin1(b.hint)));
        const ChildKind kind = b.kind;
        const QString caption = GetText(QString::fromLatin1(b.caption));
        connect(a, &QAction::triggered, this,
                [this, kind, caption] { OpenNewChildWindow(kind, caption, SettingsList(), true); });
    }
    // The spacer keeps the link state panel at the right end whatever the width.
    auto* spacer = new QWidget(tb);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tb->addWidget(spacer);
    m_linkPanel = new QLabel(tb);
    m_linkPanel->setAlignment(Qt::AlignCenter);
    m_linkPanel->setMinimumWidth(220);
    tb->addWidget(m_linkPanel);
}

void MainWindow::buildTrayIcon()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(AppIcon(), this);
    m_tray->setToolTip(GetGeneralText(QStringLiteral("NAME")));
    m_tray->show();
}

void MainWindow::applyWindowState()
{
    const SettingsList& cfg = globalConfig();
    const int top = cfg.intValue(QStringLiteral("winTOP"), 10);
    const int left = cfg.intValue(QStringLiteral("winLEFT"), 10);
    const int width = cfg.intValue(QStringLiteral("winWIDTH"), 800);
    const int height = cfg.intValue(QStringLiteral("winHEIGHT"), 600);
    resize(width, height);
    move(left, top);
    if (cfg.boolValue(QStringLiteral("appMAXWin")))
        setWindowState(Qt::WindowMaximized);
    else if (cfg.boolValue(QStringLiteral("appMINWin")))
        setWindowState(Qt::WindowMinimized);
}

void MainWindow::storeNormalGeometry()
{
    if (m_creating || (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        return;
    SettingsList& cfg = globalConfig();
    cfg.setInt(QStringLiteral("winTOP"), y());
    cfg.setInt(QStringLiteral("winLEFT"), x());
    cfg.setInt(QStringLiteral("winWIDTH"), width());
    cfg.setInt(QStringLiteral("winHEIGHT"), height());
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    storeNormalGeometry();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    storeNormalGeometry();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    OpenNewChildWindow(ChildKind::StartWindow, GetText(QStringLiteral("0401")), SettingsList(), true);
}

void MainWindow::showAbout()
{
    QMessageBox box(this);
    box.setWindowTitle(GetText(QStringLiteral("0036")));
    box.setIconPixmap(AppIcon().pixmap(64, 64));
    box.setText(QStringLiteral("<b>%1</b><br>Vers.: %2")
                    .arg(GetGeneralText(QStringLiteral("NAME")).toHtmlEscaped(),
                         GetGeneralText(QStringLiteral("VERS")).toHtmlEscaped()));
    box.setInformativeText(QStringLiteral("Built with Qt %1, PortAudio, libsndfile, libjpeg-turbo and cpp-httplib. "
                                          "Thanks to every radio operator who tested the gateways on the air.")
                               .arg(QString::fromLatin1(qVersion())));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

// ------------------------------------------------------------------ child windows

void MainWindow::setChildFactory(ChildKind kind, ChildFactory factory)
{
    m_factories.insert(int(kind), std::move(factory));
}

QList<QWidget*> MainWindow::childWindows() const
{
    QList<QWidget*> out;
    const QList<QMdiSubWindow*> subs = m_mdi->subWindowList(QMdiArea::StackingOrder);
    for (auto it = subs.rbegin(); it != subs.rend(); ++it)
        if ((*it)->widget())
            out.append((*it)->widget());
    return out;
}

QMdiSubWindow* MainWindow::subWindowOf(QWidget* child) const
{
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (sub->widget() == child)
            return sub;
    return nullptr;
}

QWidget* MainWindow::OpenNewChildWindow(ChildKind kind, const QString& caption, const SettingsList& params,
                                        bool oneOnly)
{
    if (oneOnly) {
        for (QWidget* child : childWindows()) {
            auto* cw = dynamic_cast<ChildWindow*>(child);
            if (cw && cw->childKind() == kind) {
                if (QMdiSubWindow* sub = subWindowOf(child)) {
                    sub->show();
                    sub->showNormal();
                    m_mdi->setActiveSubWindow(sub);
                }
                return child;
            }
        }
    }
    const auto factory = m_factories.constFind(int(kind));
    if (factory == m_factories.constEnd())
        return nullptr;
    QWidget* widget = nullptr;
    guarded([&] { widget = (*factory)(*this, caption, params); });
    if (!widget)
        return nullptr;
    QMdiSubWindow* sub = m_mdi->addSubWindow(widget);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    if (!caption.isEmpty())
        widget->setWindowTitle(caption);
    sub->setWindowIcon(ChildIcon(kind));
    sub->show();
    m_mdi->setActiveSubWindow(sub);
    return widget;
}

QWidget* MainWindow::openGatewayFile(const QString& path)
{
    SettingsList params;
    params.setValue(QStringLiteral("CFG_FILE"), QFileInfo(path).absoluteFilePath());
    // The gateway window takes its caption from the gateway file.
    return OpenNewChildWindow(ChildKind::Gateway, QString(), params, false);
}

void MainWindow::openGatewayFileDialog()
{
    const QString path =
        QFileDialog::getOpenFileName(this, GetExtraText(QStringLiteral("X028")), folders().cfgPath,
                                     GetExtraText(QStringLiteral("X029")) + QStringLiteral(" (*.rdk)"));
    if (!path.isEmpty() && !openGatewayFile(path) && !m_factories.contains(int(ChildKind::Gateway)))
        setErrorStatus(QStringLiteral("Gateway windows are not available in this build"));
}

QList<GatewayEndpoint*> MainWindow::gatewaysInWindowOrder() const
{
    QList<GatewayEndpoint*> out;
    for (QWidget* child : childWindows())
        if (auto* cw = dynamic_cast<ChildWindow*>(child))
            if (GatewayEndpoint* gw = cw->gatewayEndpoint())
                out.append(gw);
    return out;
}

// ------------------------------------------------------------------ ticks and errors

void MainWindow::tick()
{
    m_core->tick();
}

void MainWindow::pingTimerTimer()
{
    m_core->pingTick();
}

void MainWindow::applicationError(const QString& message)
{
    m_core->applicationError(message);
}

void MainWindow::guarded(const std::function<void()>& fn) noexcept
{
    m_core->guarded(fn);
}

// ------------------------------------------------------------------ SessionView

void MainWindow::setLinkPanel(const QString& text, LinkColour colour)
{
    m_linkPanel->setText(text);
    const char* bg = colour == LinkColour::Green ? "#2e9e44" : colour == LinkColour::Red ? "#d03030" : "#ffffff";
    const char* fg = colour == LinkColour::White ? "#d03030" : "#ffffff";
    m_linkPanel->setStyleSheet(QString::fromLatin1(kLinkStyle).arg(QLatin1String(bg), QLatin1String(fg)));
}

void MainWindow::setLinkStatus(const QString& text)
{
    m_panels[0]->setText(text);
}
void MainWindow::setErrorStatus(const QString& text)
{
    m_panels[1]->setText(text);
}
void MainWindow::setPingStatus(const QString& text)
{
    m_panels[3]->setText(text);
}

void MainWindow::setPingTimerEnabled(bool on)
{
    m_core->setPingTimerEnabled(on);
}

void MainWindow::showBalloon(const QString& title, const QString& text)
{
    m_lastBalloon = title + QLatin1Char('\n') + forDisplay(text);
    if (m_tray && m_tray->isVisible())
        m_tray->showMessage(title, forDisplay(text), QSystemTrayIcon::Information, 5000);
}

void MainWindow::showMessage(MessageKind kind, const QString& text)
{
    auto* box = new QMessageBox(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
                                GetGeneralText(QStringLiteral("NAME")), forDisplay(text),
                                kind == MessageKind::Error ? QMessageBox::Abort : QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString MainWindow::statusText(int panel) const
{
    return (panel >= 0 && panel < 4) ? m_panels[panel]->text() : QString();
}

QString MainWindow::linkPanelText() const
{
    return m_linkPanel->text();
}

// ------------------------------------------------------------------ GatewayHost

bool MainWindow::COMPortIsOpen(int port)
{
    return m_core->COMPortIsOpen(port);
}
void MainWindow::SetCOMStatus(const QString& holder, int port, const QString& pin, bool on, bool invert)
{
    m_core->SetCOMStatus(holder, port, pin, on, invert);
}
bool MainWindow::GetCOMStatus(int port, const QString& pin, bool invert)
{
    return m_core->GetCOMStatus(port, pin, invert);
}
QString MainWindow::COMPortLostDevice(int port)
{
    return m_core->COMPortLostDevice(port);
}
QString MainWindow::appLang() const
{
    return AppLang();
}

bool MainWindow::askYesNo(const QString& question)
{
    return QMessageBox::question(this, GetGeneralText(QStringLiteral("NAME")), forDisplay(question),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::showError(const QString& text)
{
    showMessage(MessageKind::Error, text);
}

// ------------------------------------------------------------------ quitting

bool MainWindow::ConfigSpeichern()
{
    storeNormalGeometry();
    return m_core->saveSettings();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bool mayClose = false;
    guarded([&] { mayClose = CloseQuery(); });
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

void MainWindow::quitWithoutQuestion()
{
    m_quitWithoutQuestion = true;
    closeModalDialogs();
    QTimer::singleShot(0, this, [this] { closeFromMainLoop(); });
}

void MainWindow::closeModalDialogs()
{
    // A modal dialog runs its own event loop; it is answered with Cancel/No so the loops
    // unwind.
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->close())
            break;
    }
}

void MainWindow::closeFromMainLoop()
{
    // The quit ends and frees windows; inside a nested event loop one of them could be the
    // very window that waits in it. So it runs only from the main loop, once every nested
    // loop has unwound.
    if (QThread::currentThread()->loopLevel() > 1) {
        closeModalDialogs();
        QTimer::singleShot(20, this, [this] { closeFromMainLoop(); });
        return;
    }
    close();
}

bool MainWindow::CloseQuery()
{
    if (m_quitting)
        return true;
    m_closeQueryExecuting = true;
    m_core->setClosing(true);
    struct Reset {
        MainWindow& w;
        ~Reset()
        {
            w.m_closeQueryExecuting = false;
            if (!w.m_quitting)
                w.m_core->setClosing(false);
        }
    } reset{*this};

    // 1. The question (not for a quit without question, even one that came while it was open).
    if (globalConfig().boolValue(QStringLiteral("appExitDlg")) && !m_quitWithoutQuestion) {
        const QString q = GetText(QStringLiteral("0019"));
        if (!(askQuit ? askQuit(q) : askYesNo(q)) && !m_quitWithoutQuestion)
            return false;
    }
    m_quitting = true;
    // 2.-3. No more reconnects; the TeamSpeak client ended when LINK_EXIT.
    m_core->beginQuit();
    // A quit without question keeps the files as they were saved last: every window drops
    // its unsaved edits before any gateway stops and saves.
    if (m_quitWithoutQuestion) {
        for (QWidget* child : childWindows())
            if (auto* cw = dynamic_cast<ChildWindow*>(child)) {
                QString dropped;
                guarded([&] { dropped = cw->dropUnsavedForQuit(); });
                if (!dropped.isEmpty())
                    qWarning("Relaydeck quits without asking: %s were dropped", qUtf8Printable(dropped));
            }
    }
    // 4. Every child window in window order: gateways stop (GW_STOP) and save first.
    for (QWidget* child : childWindows()) {
        QPointer<QWidget> guard(child);
        guarded([&] {
            if (auto* cw = dynamic_cast<ChildWindow*>(child))
                cw->endForQuit();
        });
        if (!guard)
            continue;
        if (QMdiSubWindow* sub = subWindowOf(child)) {
            guarded([&] { sub->close(); });
        }
    }
    // 5.-7. The session, the settings, the ports.
    storeNormalGeometry();
    m_core->endQuit();
    if (m_tray)
        m_tray->hide();
    return true;
}
