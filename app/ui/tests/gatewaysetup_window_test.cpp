// The gateway setup window as a user drives it: controls of every page filled from the
// list and bound to their keys, the close question, save and close, and a screenshot.
#include "app/ui/gatewaysetupwindow.h"
#include "app/ui/tests/gatewaysetup_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

using namespace gatewaysetup;
using setuptest::kUid;

namespace {

class SetupWindowTest : public setuptest::SetupFixture {
protected:
    std::unique_ptr<GatewaySetupWindow> window;

    void openExisting(const QStringList& extra = {})
    {
        writeGateway(extra);
        window = std::make_unique<GatewaySetupWindow>(deps());
        ASSERT_TRUE(window->StarteForm(existingParams()));
    }
    template <class W>
    W* control(const QString& name)
    {
        W* w = window->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QString value(const char* key) { return window->model().text(QString::fromLatin1(key)); }
};

// What a user does to one control.
enum class Act { Type, Click, Slide, Spin, Choose };

TEST_F(SetupWindowTest, EveryPageWritesItsControlsIntoTheList)
{
    openExisting();
    const struct {
        int page;
        const char* control;
        Act act;
        QString input;
        const char* key;
        const char* stored;
    } cases[] = {
        {GatewaySetupWindow::StartPage, "TS3-TX-MAX-ON", Act::Click, {}, "TS3-TX-MAX-ON", "True"},
        {GatewaySetupWindow::StartPage, "HF-TX-MAXTIME", Act::Slide, QStringLiteral("420"), "HF-TX-MAXTIME", "420"},
        {GatewaySetupWindow::StartPage, "gateExitDlg", Act::Click, {}, "gateExitDlg", "False"},
        {GatewaySetupWindow::ConnectPage, "TS3-HOST", Act::Type, QStringLiteral("ts.example.org"), "TS3-HOST",
         "ts.example.org"},
        {GatewaySetupWindow::ConnectPage, "TS3-NICK-1", Act::Type, QStringLiteral("DB0XYZ"), "TS3-NICK", "DB0XYZ"},
        {GatewaySetupWindow::ConnectPage, "TS3-CONNECT-TYPE", Act::Choose, QStringLiteral("1"), "TS3-CONNECT-TYPE",
         "1"},
        {GatewaySetupWindow::ConnectPage, "cmdr2", Act::Click, {}, "TS3-CMDR-ON-ACT", "True"},
        {GatewaySetupWindow::ConnectPage, "TS3-CMDR-ON-RX", Act::Click, {}, "TS3-CMDR-ON-RX", "True"},
        {GatewaySetupWindow::ConnectPage, "TS3-MOVING-CLIENT", Act::Click, {}, "TS3-MOVING-CLIENT", "True"}, // unticked
        {GatewaySetupWindow::AudioPage, "TS3-TX-PIN-COM", Act::Click, {}, "TS3-TX-PIN", "COM"},
        {GatewaySetupWindow::AudioPage, "TS3-VOX-DELAY", Act::Type, QStringLiteral("700"), "TS3-VOX-DELAY", "7"},
        {GatewaySetupWindow::AudioPage, "HF-OFFLINE-DEVICE", Act::Choose, QStringLiteral("1"), "HF-OFFLINE-DEVICE",
         "1"},
        {GatewaySetupWindow::AudioPage, "AUDIO-USER-VOLUME", Act::Slide, QStringLiteral("-12"), "AUDIO-USER-VOLUME",
         "-12"},
        {GatewaySetupWindow::ComPage, "COM-OUT-NUM", Act::Choose, QStringLiteral("1"), "COM-OUT-NUM", "3"},
        {GatewaySetupWindow::ComPage, "COM-OUT-PIN-BREAK", Act::Click, {}, "COM-OUT-PIN", "BREAK"},
        {GatewaySetupWindow::ComPage, "COM-OUT-ON", Act::Click, {}, "COM-OUT-ON", "True"},
        {GatewaySetupWindow::ComPage, "COM-IN-PIN-CTS", Act::Click, {}, "COM-IN-PIN", "CTS"},
        {GatewaySetupWindow::ComPage, "COM-IN-INVERT", Act::Click, {}, "COM-IN-INVERT", "True"},
        {GatewaySetupWindow::ComPage, "TS3-TX-PIN", Act::Click, {}, "TS3-TX-PIN", "VOX"}, // was COM from the audio page
        {GatewaySetupWindow::ComPage, "HF-TX-DELAY", Act::Type, QStringLiteral("250"), "HF-TX-DELAY", "2"},
        {GatewaySetupWindow::ComPage, "TS3-RX-DELAY", Act::Type, QStringLiteral("800"), "TS3-RX-DELAY", "8"},
        {GatewaySetupWindow::BeaconPage, "HF-ROGER-BEEP", Act::Click, {}, "HF-ROGER-BEEP", "True"},
        {GatewaySetupWindow::BeaconPage, "HF-ROGER-DATA", Act::Choose, QStringLiteral("1"), "HF-ROGER-DATA", "Dual"},
        {GatewaySetupWindow::BeaconPage, "HF-ROGER-WAIT", Act::Type, QStringLiteral("1500"), "HF-ROGER-WAIT", "15"},
        {GatewaySetupWindow::BeaconPage, "HF-RXEND-VOLUME", Act::Slide, QStringLiteral("35"), "HF-RXEND-VOLUME", "35"},
        {GatewaySetupWindow::BeaconPage, "HF-BAKE-TIME", Act::Type, QStringLiteral("1200"), "HF-BAKE-TIME", "1200"},
        {GatewaySetupWindow::BeaconPage, "HF-BAKE-AFTX", Act::Spin, QStringLiteral("6"), "HF-BAKE-AFTX", "6"},
        {GatewaySetupWindow::RemotePage, "DTMF-ON", Act::Click, {}, "DTMF-ON", "True"},
        {GatewaySetupWindow::RemotePage, "DTMF-INPUT-DEVICE", Act::Choose, QStringLiteral("0"), "DTMF-INPUT-DEVICE",
         "0"},
        {GatewaySetupWindow::RemotePage, "DTMF-AKTIV-TIME", Act::Spin, QStringLiteral("25"), "DTMF-AKTIV-TIME", "25"},
        {GatewaySetupWindow::RemotePage, "HF-CALL-FREQ", Act::Type, QStringLiteral("2135"), "HF-CALL-FREQ", "2135"},
        {GatewaySetupWindow::RemotePage,
         "REM-MUTE-REG",
         Act::Click,
         {},
         "REM-MUTE-REG",
         "True"}, // unticked: needs registration
        {GatewaySetupWindow::InfoPage, "TS3-INFO-TXT", Act::Type, QStringLiteral("Relais 70cm"), "TS3-INFO-TXT",
         "Relais 70cm"},
    };
    QFile beeps(cfg + QStringLiteral("rogerbeep.cfg"));
    ASSERT_TRUE(beeps.open(QIODevice::WriteOnly));
    beeps.write("[Std]\r\nF1=1000\r\n[Dual]\r\nF1=800\r\n");
    beeps.close();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        window->showPage(c.page);
        const QString name = QString::fromLatin1(c.control);
        switch (c.act) {
        case Act::Type:
            control<QLineEdit>(name)->setText(c.input);
            break;
        case Act::Click:
            control<QAbstractButton>(name)->click();
            break;
        case Act::Slide:
            control<QSlider>(name)->setValue(c.input.toInt());
            break;
        case Act::Spin:
            control<QSpinBox>(name)->setValue(c.input.toInt());
            break;
        case Act::Choose: {
            auto* combo = control<QComboBox>(name);
            combo->setCurrentIndex(c.input.toInt());
            emit combo->activated(c.input.toInt());
            break;
        }
        }
        EXPECT_EQ(value(c.key), QString::fromLatin1(c.stored));
    }
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(infos.isEmpty());
    // Filled again from the list, the pages show what was stored.
    window->showPage(GatewaySetupWindow::ConnectPage);
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("TS3-NICK-0"))->text(), QStringLiteral("DB0XYZ"));
    EXPECT_EQ(control<QTabWidget>(QStringLiteral("connectTabs"))->currentIndex(), 1);
    EXPECT_TRUE(control<QRadioButton>(QStringLiteral("cmdr2"))->isChecked());
    EXPECT_TRUE(control<QCheckBox>(QStringLiteral("TS3-CMDR-ON-RX"))->isEnabled());
    window->showPage(GatewaySetupWindow::ComPage);
    EXPECT_EQ(control<QComboBox>(QStringLiteral("COM-OUT-NUM"))->currentText(), QStringLiteral("COM3"));
    EXPECT_TRUE(control<QRadioButton>(QStringLiteral("COM-OUT-PIN-BREAK"))->isChecked());
}

TEST_F(SetupWindowTest, RefusedInputLeavesTheFieldRedAndTheValueStored)
{
    openExisting();
    window->showPage(GatewaySetupWindow::ComPage);
    auto* delay = control<QLineEdit>(QStringLiteral("HF-TX-DELAY"));
    delay->setText(QStringLiteral("400"));
    delay->setText(QStringLiteral("4000x"));
    EXPECT_EQ(value("HF-TX-DELAY"), QStringLiteral("4"));
    EXPECT_FALSE(delay->styleSheet().isEmpty()); // red
    delay->setText(QStringLiteral("600"));
    EXPECT_TRUE(delay->styleSheet().isEmpty());
    EXPECT_EQ(value("HF-TX-DELAY"), QStringLiteral("6"));

    // A port that is not open: message, selection cleared, nothing stored.
    auto* in = control<QComboBox>(QStringLiteral("COM-IN-NUM"));
    in->setCurrentIndex(2); // COM4, present but not open
    emit in->activated(2);
    EXPECT_EQ(in->currentIndex(), -1);
    EXPECT_EQ(value("COM-IN-NUM"), QStringLiteral("0"));
    EXPECT_EQ(infos.size(), 1);

    // The beacon box with an empty file field unticks itself.
    window->showPage(GatewaySetupWindow::BeaconPage);
    auto* beacon = control<QCheckBox>(QStringLiteral("HF-BAKE-ON"));
    beacon->click();
    EXPECT_FALSE(beacon->isChecked());
    EXPECT_EQ(value("HF-BAKE-ON"), QStringLiteral("False"));
    EXPECT_EQ(errors, QStringList{GetText(QStringLiteral("1004"))});

    // Closing with No keeps the file as it was.
    answerYes = false;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(stored().value(QStringLiteral("HF-TX-DELAY")), QStringLiteral("3"));
}

TEST_F(SetupWindowTest, OnlyTheAudioAndComPagesChangeTheListByBeingShown)
{
    openExisting();
    for (int page : {0, 1, 4, 5, 6, 7, 8}) {
        window->showPage(page);
        EXPECT_FALSE(window->model().DAT_IS_CH()) << page;
    }
    // Opening and closing at once asks nothing.
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(questions.isEmpty());

    for (int page : {int(GatewaySetupWindow::AudioPage), int(GatewaySetupWindow::ComPage)}) {
        openExisting();
        questions.clear();
        window->showPage(page);
        EXPECT_TRUE(window->model().DAT_IS_CH());
        EXPECT_TRUE(window->close());
        EXPECT_EQ(questions, QStringList{QStringLiteral("Relais Nord\r") + GetText(QStringLiteral("0061"))});
    }
}

TEST_F(SetupWindowTest, ShowingTheConnectionPageAsksForProfilesOnlyOverTheLink)
{
    openExisting();
    runGateway(0, false);
    window->showPage(GatewaySetupWindow::ConnectPage);
    EXPECT_TRUE(gateway->calls.isEmpty()); // no offline send that disconnects the gateways
    EXPECT_TRUE(errors.isEmpty());
    connectNow();
    window->showPage(GatewaySetupWindow::StartPage);
    window->showPage(GatewaySetupWindow::ConnectPage);
    EXPECT_EQ(transport.takeLines(), QStringList{QStringLiteral("GETPROFILES ")});
}

TEST_F(SetupWindowTest, SaveButtonSavesHandsOverAndCloses)
{
    openExisting();
    runGateway(9, true);
    window->show();
    window->showPage(GatewaySetupWindow::StartPage);
    window->autorunBox()->click();
    typedName = QStringLiteral("Relais Sued");
    window->renameGateway();
    EXPECT_EQ(window->nameLabel()->text(), QStringLiteral("Relais Sued"));
    window->saveAndClose();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(questions.isEmpty());
    const SettingsList back = stored();
    EXPECT_EQ(back.value(QStringLiteral("gateAutorun")), QStringLiteral("True"));
    EXPECT_EQ(back.value(QStringLiteral("gateName")), QStringLiteral("Relais Sued"));
    EXPECT_EQ(gateway->calls, QStringList{QStringLiteral("Write")});
}

TEST_F(SetupWindowTest, NicknameFromEitherTabGoesToTheConnectedGateway)
{
    openExisting();
    connectNow();
    runGateway(12, true);
    window->showPage(GatewaySetupWindow::ConnectPage);
    transport.takeLines(); // GETPROFILES
    control<QLineEdit>(QStringLiteral("TS3-NICK-1"))->setText(QStringLiteral("DB0XYZ Link"));
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("TS3-NICK-0"))->text(), QStringLiteral("DB0XYZ Link")); // mirrored
    control<QAbstractButton>(QStringLiteral("sendNick-1"))->click();
    window->showPage(GatewaySetupWindow::InfoPage);
    control<QLineEdit>(QStringLiteral("TS3-INFO-TXT"))->setText(QStringLiteral("QRV 145.600"));
    control<QAbstractButton>(QStringLiteral("sendInfo"))->click();
    EXPECT_EQ(transport.takeLines(), (QStringList{QStringLiteral("SETNICK scHandler=12 nickname=DB0XYZ^sLink"),
                                                  QStringLiteral("SETINFO scHandler=12 text=QRV^s145.600")}));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SetupWindowTest, PageButtonsCarryTheirCaptions)
{
    openExisting();
    for (int i = 0; i < GatewaySetupWindow::PageCount; ++i)
        EXPECT_EQ(window->pageButton(i)->text(), GetText(QStringLiteral("%1").arg(780 + i, 4, 10, QLatin1Char('0'))));
    window->showPage(GatewaySetupWindow::AudioPage);
    EXPECT_TRUE(window->pageButton(GatewaySetupWindow::AudioPage)->isChecked());
    EXPECT_FALSE(window->pageButton(GatewaySetupWindow::StartPage)->isChecked());
}

// Saves one picture per page to the temporary folder (RD_SETUP_SHOTS=1) for a look.
TEST_F(SetupWindowTest, Screenshots)
{
    if (qgetenv("RD_SETUP_SHOTS").isEmpty())
        GTEST_SKIP() << "set RD_SETUP_SHOTS=1 to write the pictures";
    openExisting();
    window->resize(760, 600);
    window->show();
    for (int i = 0; i < GatewaySetupWindow::PageCount; ++i) {
        window->showPage(i);
        QApplication::processEvents();
        window->grab().save(QStringLiteral("/tmp/gatewaysetup_page%1.png").arg(i));
    }
}

} // namespace
