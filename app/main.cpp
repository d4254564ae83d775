// The Relaydeck program: options --home DIR (base folder for config/, sounds/, _tmp/),
// --open GATEWAYFILE (opens that gateway once the main window is shown), --new-gateway NAME
// (opens the setup of a new gateway of that name) and --verbose (the diagnostic log of
// every module on standard error).
//
// --headless runs the same core without any window and without a display (a plain
// QCoreApplication: no platform plugin is loaded); --headless --check validates the base
// folder and ends.
#include "app/config/logging.h"
#include "app/config/texts.h"
#include "app/core/appcore.h"
#include "app/core/headless.h"
#include "app/ui/childwindows.h"
#include "app/ui/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Termination signals (kill, logout, Ctrl-C, service stop) end the program through its
// ordered quit, so the gateways send GW_STOP and save, main.cfg is written and the ports
// are released. The handler only writes a byte; the main loop reads it.
int g_signalPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

bool installQuitSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return false;
    struct sigaction sa = {};
    sa.sa_handler = onQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    return true;
}

// A notifier that calls quit() once per burst of termination signals (also for one that
// came while the program was starting).
std::unique_ptr<QSocketNotifier> quitOnSignals(std::function<void()> quit)
{
    if (g_signalPipe[0] < 0)
        return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [quit = std::move(quit)] {
        char buf[16];
        while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
        }
        quit();
    });
    return notifier;
}

// Errors raised in any event handler end in the core's error hook instead of unwinding
// through Qt.
template <class Base>
class GuardedApplication : public Base {
public:
    using Base::Base;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return Base::notify(receiver, event);
        } catch (const std::exception& e) {
            report(QString::fromUtf8(e.what()));
        } catch (...) {
            report(QStringLiteral("Unknown error"));
        }
        return false;
    }

private:
    static void report(const QString& message)
    {
        if (AppCore* core = AppCore::errorHookTarget()) {
            try {
                core->applicationError(message);
            } catch (...) {
            }
        }
    }
};

void setNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Relaydeck"));
}

int runHeadless(int argc, char* argv[])
{
    GuardedApplication<QCoreApplication> app(argc, argv);
    setNames();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Relaydeck without a window: the gateways as a service"));
    parser.addHelpOption();
    const QCommandLineOption headless(QStringLiteral("headless"), QStringLiteral("Run without any window or display."));
    const QCommandLineOption home(
        QStringLiteral("home"), QStringLiteral("Base folder (config/, sounds/, _tmp/, logs/)."), QStringLiteral("DIR"));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Check the base folder's files and devices, then end."));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Diagnostic log of every module on standard error."));
    parser.addOptions({headless, home, check, verbose});
    parser.process(app);
    if (parser.isSet(verbose))
        rdlog::enableVerbose();

    const QString programDir = QCoreApplication::applicationDirPath();
    if (parser.isSet(check)) {
        QTextStream out(stdout);
        InitTexte();
        const AppPaths paths = parser.isSet(home) ? AppPaths::forBase(parser.value(home), programDir)
                                                  : AppPaths::resolve(QCoreApplication::arguments(), programDir);
        return CheckBaseFolder(paths, out) ? 0 : 1;
    }
    QTextStream err(stderr);
    AppCore::Options options;
    options.home = parser.value(home);
    HeadlessProgram program(std::move(options), err);
    QObject::connect(&program, &HeadlessProgram::finished, &app, [] { QCoreApplication::exit(0); });
    const auto notifier = quitOnSignals([&program] { program.quit(); });
    program.start();
    return app.exec();
}

int runWithWindows(int argc, char* argv[])
{
    GuardedApplication<QApplication> app(argc, argv);
    setNames();
    QApplication::setApplicationDisplayName(QStringLiteral("Relaydeck"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Relaydeck: radio gateways to TeamSpeak 3"));
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Base folder (config/, sounds/, _tmp/)."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("Open a gateway file after start."),
                                  QStringLiteral("GATEWAYFILE"));
    const QCommandLineOption newGateway(QStringLiteral("new-gateway"),
                                        QStringLiteral("Open the setup of a new gateway after start."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Run without any window or display (see --headless --help)."));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Diagnostic log of every module on standard error."));
    parser.addOptions({home, open, newGateway, headless, verbose});
    parser.process(app);
    if (parser.isSet(verbose))
        rdlog::enableVerbose();

    MainWindow::Options options;
    options.home = parser.value(home);
    QPointer<MainWindow> main = new MainWindow(std::move(options));
    main->setAttribute(Qt::WA_DeleteOnClose);
    const auto notifier = quitOnSignals([&main] {
        if (main)
            main->quitWithoutQuestion();
    });
    RegisterChildWindows(*main);
    main->show();
    if (parser.isSet(open)) {
        const QString file = parser.value(open);
        QTimer::singleShot(0, main, [main, file] {
            if (main)
                main->openGatewayFile(file);
        });
    }
    if (parser.isSet(newGateway) && !parser.value(newGateway).trimmed().isEmpty()) {
        SettingsList params;
        params.setBool(QStringLiteral("loadConfig"), false);
        params.setBool(QStringLiteral("setGateName"), true);
        params.setValue(QStringLiteral("newGateName"), parser.value(newGateway).trimmed());
        QTimer::singleShot(0, main, [main, params] {
            if (main)
                main->OpenNewChildWindow(ChildKind::GatewaySetup, GetText(QStringLiteral("0701")), params, false);
        });
    }
    return app.exec();
}
} // namespace

int main(int argc, char* argv[])
{
    // First of all: a termination signal that comes while the program starts (a service
    // stopped at once, a quick Ctrl-C) waits in the pipe for the ordered quit instead of
    // killing the program halfway through opening its ports.
    installQuitSignals();
    // Decided before any application object exists: a widget application would load a
    // platform plugin and need a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0)
            return runHeadless(argc, argv);
    return runWithWindows(argc, argv);
}
