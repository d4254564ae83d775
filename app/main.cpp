// The Relaydeck program: options --home DIR (base folder for config/, sounds/, _tmp/) and
// --open GATEWAYFILE (opens that gateway once the main window is shown).
#include "app/ui/mainwindow.h"
#include "app/ui/childwindows.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

namespace {
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
    parser.addOption(home);
    parser.addOption(open);
    parser.process(app);

    MainWindow::Options options;
    options.home = parser.value(home);
    auto* main = new MainWindow(std::move(options));
    main->setAttribute(Qt::WA_DeleteOnClose);
    RegisterChildWindows(*main);
    main->show();
    if (parser.isSet(open)) {
        const QString file = parser.value(open);
        QTimer::singleShot(0, main, [main, file] { main->openGatewayFile(file); });
    }
    return app.exec();
}
