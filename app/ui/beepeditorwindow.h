// The roger beep editor window: the stored designs on the left, the tones of the design
// being edited, its name with "Save" and "Delete" on the right and a preview on a local
// output device below. A thin view over BeepEditorModel.
#pragma once
#include "app/session/childwindow.h"
#include "app/ui/beepeditor_model.h"

#include <QWidget>

#include <memory>

class MainWindow;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class BeepEditorWindow : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    // Empty ask/showError in deps are replaced by message boxes over this window.
    explicit BeepEditorWindow(BeepEditorModel::Deps deps, QWidget* parent = nullptr);
    ~BeepEditorWindow() override;

    ChildKind childKind() const override { return ChildKind::RogerBeepEditor; }
    BeepEditorModel& model() { return *m_model; }

    // The controls, for tests.
    QTreeWidget* designList() const { return m_list; }
    // Tone rows 0..2: frequency, duration, pause (pause of tone 1 is nullptr).
    QLineEdit* frequencyEdit(int tone) const { return m_freq[tone]; }
    QLineEdit* durationEdit(int tone) const { return m_dur[tone]; }
    QLineEdit* pauseEdit(int tone) const { return m_pause[tone]; }
    QCheckBox* tone2Box() const { return m_b2; }
    QCheckBox* tone3Box() const { return m_b3; }
    QLineEdit* nameEdit() const { return m_name; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* deleteButton() const { return m_delete; }
    QComboBox* deviceBox() const { return m_devices; }
    QPushButton* playButton() const { return m_play; }
    QLabel* previewStatus() const { return m_status; }

    void selectDesign(const QString& name);
    void save();
    void removeSelected();
    void play();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void fillList();
    void showModel();  // fields and enabling from the model
    void readFields(); // fields from the edits into the model

    std::unique_ptr<BeepEditorModel> m_model;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_freq[3] = {};
    QLineEdit* m_dur[3] = {};
    QLineEdit* m_pause[3] = {};
    QCheckBox* m_b2 = nullptr;
    QCheckBox* m_b3 = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_delete = nullptr;
    QComboBox* m_devices = nullptr;
    QPushButton* m_play = nullptr;
    QLabel* m_status = nullptr;
    bool m_filling = false;
};

// The editor for the main window's child factory.
BeepEditorWindow* CreateBeepEditorWindow(MainWindow& main);
// Registers the roger beep editor's factory with the main window.
void RegisterBeepEditorWindow(MainWindow& main);
