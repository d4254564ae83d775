// The Relaydeck program: options --home DIR (base folder for config/, sounds/, _tmp/),
// --open GATEWAYFILE (opens that gateway once the main window is shown) and --verbose
// (the diagnostic log of every module on standard error).
#include "app/config/logging.h"
#include "app/ui/childwindows.h"
#include "app/ui/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Termination signals (kill, logout, Ctrl-C) end the program through its ordered quit, so
// the gateways send GW_STOP and save, main.cfg is written and the ports are released. The
// handler only writes a byte; the main loop reads it.
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

// Errors raised in any event handler end in the main window's error hook instead of
// unwinding through Qt.
class RelaydeckApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
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
        if (MainWindow* main = MainWindow::errorHookTarget()) {
            try {
                main->applicationError(message);
            } catch (...) {
            }
        }
    }
};
} // namespace

int main(int argc, char* argv[])
{
    RelaydeckApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Relaydeck"));
    QApplication::setApplicationDisplayName(QStringLiteral("Relaydeck"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Relaydeck: radio gateways to TeamSpeak 3"));
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Base folder (config/, sounds/, _tmp/)."), QStringLiteral("DIR"));
    const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("Open a gateway file after start."), QStringLiteral("GATEWAYFILE"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Diagnostic log of every module on standard error."));
    parser.addOption(home);
    parser.addOption(open);
    parser.addOption(verbose);
    parser.process(app);
    if (parser.isSet(verbose))
        rdlog::enableVerbose();

    const bool signalsToQuit = installQuitSignals();
    MainWindow::Options options;
    options.home = parser.value(home);
    QPointer<MainWindow> main = new MainWindow(std::move(options));
    main->setAttribute(Qt::WA_DeleteOnClose);
    std::unique_ptr<QSocketNotifier> quitNotifier;
    if (signalsToQuit) {
        quitNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(quitNotifier.get(), &QSocketNotifier::activated, [&main] {
            char buf[16];
            while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
            }
            if (main)
                main->quitWithoutQuestion();
        });
    }
    RegisterChildWindows(*main);
    main->show();
    if (parser.isSet(open)) {
        const QString file = parser.value(open);
        QTimer::singleShot(0, main, [main, file] {
            if (main)
                main->openGatewayFile(file);
        });
    }
    return app.exec();
}
