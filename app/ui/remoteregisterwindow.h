// The remote user register window of one gateway: the thin Qt view over
// RemoteRegisterEditor, which holds the window's state and does every file access. Only
// one window exists per gateway.
#pragma once
#include "app/gateway/remoteregistereditor.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSlider;
class QTabBar;
class QTreeWidget;

class RemoteRegisterWindow : public QWidget {
    Q_OBJECT
public:
    // The open window of this gateway, or nullptr.
    static RemoteRegisterWindow* findOpen(const QString& gateUID);
    // Brings the gateway's open window to the front, or creates one (not yet shown) with
    // the caption text 0147 + " [" + gateName + "]" and starts it with the parameters
    // gateUID and CFG_FILE. *created tells which happened. The window deletes itself when
    // closed.
    static RemoteRegisterWindow* open(const SettingsList& params, const QString& configFolder, const QString& gateName,
                                      QWidget* parent = nullptr, bool* created = nullptr);

    RemoteRegisterWindow(const QString& configFolder, QWidget* parent = nullptr);
    ~RemoteRegisterWindow() override;

    // Start after the parameters are handed over (gateUID, CFG_FILE).
    void start(const SettingsList& params);
    const QString& gateUID() const { return m_gateUID; }
    RemoteRegisterEditor* editor() { return m_editor.get(); }

    // The controls, for the program's tests.
    QTabBar* tabs() const { return m_tabs; }
    QTreeWidget* userList() const { return m_list; }
    QRadioButton* activateButton() const { return m_activate; }
    QRadioButton* ignoreButton() const { return m_ignore; }
    QCheckBox* permissionBox(int index) const { return m_perm[size_t(index)]; }
    QCheckBox* blockBox() const { return m_block; }
    QSlider* slider() const { return m_slider; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* levelLabel() const { return m_level; }

private:
    void buildUi();
    void showList();
    void showControls();

    QString m_configFolder;
    QString m_gateUID;
    std::unique_ptr<RemoteRegisterEditor> m_editor;
    bool m_updating = false;

    QTabBar* m_tabs = nullptr;
    QTreeWidget* m_list = nullptr;
    QLabel* m_name = nullptr;
    QGroupBox* m_decisionGroup = nullptr;
    QRadioButton* m_activate = nullptr;
    QRadioButton* m_ignore = nullptr;
    QGroupBox* m_permGroup = nullptr;
    std::array<QCheckBox*, RemoteRegisterEditor::kPermissions> m_perm{};
    QGroupBox* m_voiceGroup = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_level = nullptr;
    QCheckBox* m_block = nullptr;
};
