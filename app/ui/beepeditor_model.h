// The roger beep editor without a screen: the named beep designs of rogerbeep.cfg (one
// to three tones with pauses), the fields of the design being edited, the enabling rules
// of the editor's controls, saving, deleting and rendering a preview.
//
// A design is one INI section: F1, D1 (tone 1), B2, F2, D2, P2 (tone 2 and the pause
// before it), B3, F3, D3, P3 (tone 3). The gateway reads the same keys when it renders a
// beep, so what is saved here is exactly what the gateways send.
#pragma once
#include "app/config/settingslist.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

// The editable fields as the user typed them.
struct BeepFields {
    QString f1, d1;
    bool b2 = false;
    QString f2, d2, p2;
    bool b3 = false;
    QString f3, d3, p3;
    bool operator==(const BeepFields&) const = default;
};

// The renderer's eleven segments of a preview.
struct BeepPreviewArrays {
    std::array<int, 11> frequencies{};
    std::array<int, 11> durations{};
};

// Plays the preview file on a local output device.
class BeepPreviewPlayer {
public:
    virtual ~BeepPreviewPlayer() = default;
    // False (with *error) when the file or the device cannot be used.
    virtual bool play(const QString& file, int device, int volumePercent, QString* error) = 0;
    virtual void stop() = 0;
};
// The player on the sound card.
std::unique_ptr<BeepPreviewPlayer> MakeSoundCardPreviewPlayer();

class BeepEditorModel {
public:
    static constexpr int kMinFrequency = 100;
    static constexpr int kMaxFrequency = 20000;
    static constexpr int kMaxDuration = 2000; // ms, also the longest pause
    static constexpr int kMaxNameLength = 25;
    static constexpr int kPreviewVolume = 80;
    static constexpr int kPreviewRollMs = 100;

    struct Deps {
        QString cfgFile;                                                // rogerbeep.cfg
        QString tempFolder;                                             // ends with "/"
        SettingsList* settings = nullptr;                               // AUDIO_PREV_DEV lives here
        std::function<QStringList()> outputDevices;                     // names in device order
        std::function<std::unique_ptr<BeepPreviewPlayer>()> makePlayer; // empty: sound card
        // Yes/No question; empty answers Yes.
        std::function<bool(const QString& question)> ask;
        // Error message box.
        std::function<void(const QString& text)> showError;
    };
    explicit BeepEditorModel(Deps deps);
    ~BeepEditorModel();
    BeepEditorModel(const BeepEditorModel&) = delete;
    BeepEditorModel& operator=(const BeepEditorModel&) = delete;

    // --- designs -------------------------------------------------------------------------
    // Section names of rogerbeep.cfg in file order (empty when the file is missing).
    const QStringList& designs() const { return m_designs; }
    void refreshDesigns();
    // Loads a stored design into the fields (missing keys give "0") and locks the name.
    // False when the name is not a stored design (then nothing changes).
    bool select(const QString& name);
    // No design selected: empty fields and name, both tones off, name editable.
    void deselect();
    const QString& selected() const { return m_selected; }

    // --- fields --------------------------------------------------------------------------
    BeepFields& fields() { return m_fields; }
    const BeepFields& fields() const { return m_fields; }
    // "#2": switching it off also switches "#3" off.
    void setTone2(bool on);
    // "#3": only possible while "#2" is on.
    void setTone3(bool on);
    QString name() const { return m_name; }
    // Ignored while a stored design is selected; cut to kMaxNameLength characters.
    void setName(const QString& name);

    // Enabling rules of the controls.
    bool nameReadOnly() const { return !m_selected.isEmpty(); }
    bool deleteEnabled() const { return !m_selected.isEmpty(); }
    bool tone2Enabled() const { return m_fields.b2; }
    bool tone3CheckEnabled() const { return m_fields.b2; }
    bool tone3Enabled() const { return m_fields.b2 && m_fields.b3; }

    // --- save and delete -----------------------------------------------------------------
    enum class SaveResult { Saved, Invalid, InvalidName, Declined, WriteFailed };
    // Validates, asks before overwriting a stored design, writes the section and resets
    // the editor (also when the overwrite is declined). Invalid input changes nothing.
    SaveResult save();
    // Asks, then erases the selected design. False when nothing was deleted.
    bool removeSelected();

    // --- preview -------------------------------------------------------------------------
    // The output devices and the chosen one (-1 = none). Choosing stores the index in
    // AUDIO_PREV_DEV.
    const QStringList& devices() const { return m_devices; }
    int device() const { return m_device; }
    void chooseDevice(int index);
    bool playEnabled() const { return m_device >= 0; }

    // The segments a preview renders from the current fields; false when tone 1 is not
    // usable (frequency outside 100..20000 Hz or duration outside 0..2000 ms).
    bool previewArrays(BeepPreviewArrays& out) const;
    QString previewFile() const;
    enum class PreviewResult { Played, Invalid, RenderFailed, NoDevice, PlayFailed };
    // Renders "_ROGER[preview].wav" and plays it on the chosen device at full volume.
    // Without a device the file is rendered and nothing plays.
    PreviewResult preview(QString* detail = nullptr);
    // Stops and releases the preview player (the window closes).
    void stopPreview();

    // A field's number, or fallback when the text is not a number.
    static int number(const QString& text, int fallback);

private:
    void askError(const QString& id) const;

    Deps m_deps;
    QStringList m_designs;
    QString m_selected;
    QString m_name;
    BeepFields m_fields;
    QStringList m_devices;
    int m_device = -1;
    std::unique_ptr<BeepPreviewPlayer> m_player;
};
