// Shared set-up of the gateway setup tests: a plugin session over a scripted transport,
// open gateways in a fake directory, a configuration and a sound folder in a temporary
// directory, and dialogs that record what they were asked.
#pragma once
#include "app/config/gatewayconfig.h"
#include "app/config/texts.h"
#include "app/session/tests/sessionfakes.h"
#include "app/ui/gatewaysetup_model.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace setuptest {

inline void ensureApp()
{
    static int argc = 1;
    static char arg0[] = "rd_ui_tests";
    static char* argv[] = {arg0, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

inline const QString kUid = QStringLiteral("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");

class SetupFixture : public SessionFixture {
protected:
    QTemporaryDir home;
    QString cfg, snd;
    QStringList errors, infos, questions;
    bool answerYes = false;
    std::optional<QString> typedName;
    QList<int> existingPorts{1, 3, 4};
    QList<int> openPorts{3};
    std::unique_ptr<FakeGateway> gateway;

    void SetUp() override
    {
        ensureApp();
        SessionFixture::SetUp();
        SetAppLang(QStringLiteral("en_US"));
        cfg = home.path() + QStringLiteral("/config/");
        snd = home.path() + QStringLiteral("/sounds/");
        QDir().mkpath(cfg);
        QDir().mkpath(snd + QStringLiteral("en_US"));
    }
    void TearDown() override { SetAppLang(QStringLiteral("de_DE")); }

    gatewaysetup::SetupDeps deps()
    {
        gatewaysetup::SetupDeps d;
        d.session = session.get();
        d.comPortIsOpen = [this](int n) { return openPorts.contains(n); };
        d.listComPorts = [this] { return existingPorts; };
        d.waveOutDevices = [] { return QStringList{QStringLiteral("Speakers"), QStringLiteral("USB Audio CODEC")}; };
        d.waveInDevices = [] { return QStringList{QStringLiteral("Microphone"), QStringLiteral("USB Audio CODEC")}; };
        d.configFolder = cfg;
        d.soundFolder = snd;
        d.clock = &clock;
        d.dialogs.error = [this](const QString& t) { errors << t; };
        d.dialogs.information = [this](const QString& t) { infos << t; };
        d.dialogs.askYesNo = [this](const QString& q) {
            questions << q;
            return answerYes;
        };
        d.dialogs.inputText = [this](const QString&, const QString&) { return typedName; };
        return d;
    }

    QString gatewayPath() const { return cfg + kUid + QStringLiteral(".rdk"); }

    // A stored gateway file holding these entries besides its identity.
    void writeGateway(const QStringList& extra = {})
    {
        SettingsList l(QStringList{QStringLiteral("gateUID=") + kUid, QStringLiteral("gateName=Relais Nord")} + extra);
        ASSERT_TRUE(gatewayconfig::save(gatewayPath(), l));
    }
    SettingsList existingParams() const
    {
        SettingsList p;
        p.setBool(QStringLiteral("loadConfig"), true);
        p.setValue(QStringLiteral("CFG_FILE"), gatewayPath());
        return p;
    }
    // The gateway runs (its window is open) with this server connection handler.
    void runGateway(int handler, bool connected)
    {
        gateway = std::make_unique<FakeGateway>(kUid, handler, connected);
        directory.list = {gateway.get()};
    }
    SettingsList stored() const { return gatewayconfig::load(gatewayPath()).list; }
};

} // namespace setuptest
