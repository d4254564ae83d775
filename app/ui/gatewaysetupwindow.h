// The gateway setup window: a row of nine page buttons, the page shown beside them and
// the gateway name, rename, save and "Autorun" above. Every page fills its controls from
// the edited settings list when shown and writes each change straight back into it;
// nothing reaches the disk until the user saves. The rules live in GatewaySetupModel.
#pragma once
#include "app/session/childwindow.h"
#include "app/ui/gatewaysetup_model.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class MainWindow;
class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTabWidget;
class QToolButton;
class QVBoxLayout;

class GatewaySetupWindow : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    enum Page {
        StartPage,
        ConnectPage,
        AudioPage,
        ComPage,
        BeaconPage,
        RemotePage,
        WavePage,
        StatisticsPage,
        InfoPage,
        PageCount
    };

    explicit GatewaySetupWindow(gatewaysetup::SetupDeps deps, QWidget* parent = nullptr);
    ~GatewaySetupWindow() override;

    // Loads or creates the gateway and shows page 0. False: the window must not open
    // (text 0060 was shown).
    bool StarteForm(const SettingsList& params);

    ChildKind childKind() const override { return ChildKind::GatewaySetup; }
    QString dropUnsavedForQuit() override;
    gatewaysetup::GatewaySetupModel& model() { return *m_model; }

    void showPage(int index);
    int currentPage() const { return m_current; }
    QWidget* pageWidget(int index) const;
    QAbstractButton* pageButton(int index) const;
    // Fills the page shown again (after the list was changed from outside).
    void refreshPage();

    // The save button: save, then close (stays open when the file cannot be written).
    void saveAndClose();
    void renameGateway();
    QLabel* nameLabel() const { return m_name; }
    QCheckBox* autorunBox() const { return m_autorun; }

    struct PageState; // one page's widget, AllowEdit flag and fillers

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildHeader();
    void buildPages();
    void buildPageButtons();
    // The pages, in the order of their buttons, and the groups of the longer ones.
    void buildLimitsPage();
    void buildConnectionPage();
    QWidget* profileRow(PageState& p, gatewaysetup::ProfileKind kind, const QString& label, QWidget* parent);
    QWidget* profileActionsRow(const QList<QLineEdit*>& nickEdits, QWidget* parent);
    QLineEdit* nicknameEdit(PageState& p, QList<QLineEdit*>& nickEdits, QWidget* parent);
    QWidget* buildManualTab(PageState& p, QList<QLineEdit*>& nickEdits, QTabWidget* tabs);
    QWidget* buildBookmarkTab(PageState& p, QList<QLineEdit*>& nickEdits, QTabWidget* tabs);
    QGroupBox* buildCommanderGroup(PageState& p);
    QGroupBox* buildConnectExtrasGroup(PageState& p);
    void buildAudioPage();
    QGroupBox* buildPttGroup(PageState& p);
    QGroupBox* buildOfflineGroup(PageState& p);
    QGroupBox* buildLevelsGroup(PageState& p);
    void buildSerialPage();
    std::pair<QGroupBox*, QVBoxLayout*> comPortGroup(PageState& p, const char* title, const char* numKey,
                                                     const char* pinKey, const char* onKey, const char* invKey,
                                                     const QStringList& pinNames, const QString& fallbackPin,
                                                     bool input);
    void buildBeepPage();
    QGroupBox* beepGroup(PageState& p, const char* title, const char* on, const char* data,
                         const gatewaysetup::SliderSpec& vol, const gatewaysetup::MsSpec* delay);
    QGroupBox* buildBeaconGroup(PageState& p);
    void buildRemoteControlPage();
    QGroupBox* buildDtmfGroup(PageState& p);
    QGroupBox* buildCallGroup(PageState& p);
    QGroupBox* buildNoRegistrationGroup(PageState& p);
    void buildAnnouncementPage();
    void buildStatisticsPage();
    void buildInfoTextPage();
    void closeSelf();

    std::unique_ptr<gatewaysetup::GatewaySetupModel> m_model;
    gatewaysetup::SetupDeps m_deps;
    std::vector<std::unique_ptr<PageState>> m_pages;
    std::vector<QToolButton*> m_buttons;
    QStackedWidget* m_stack = nullptr;
    QLabel* m_name = nullptr;
    QCheckBox* m_autorun = nullptr;
    int m_current = -1;
    bool m_closeAsked = false;
};

// Dialogs for the setup window: message boxes and an input box over `parent`.
gatewaysetup::SetupDialogs SetupMessageBoxes(QWidget* parent);
// The setup window for the main window's child factory: nullptr when it cannot open.
GatewaySetupWindow* CreateGatewaySetupWindow(MainWindow& main, const SettingsList& params);
// Registers the gateway setup window's factory with the main window.
void RegisterGatewaySetupWindow(MainWindow& main);
