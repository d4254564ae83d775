#include "app/ui/beepeditor_model.h"

#include "app/audio/sounddevices.h"
#include "app/audio/tones.h"
#include "app/config/inifile.h"
#include "app/config/texts.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kDeviceKey = QStringLiteral("AUDIO_PREV_DEV");
constexpr int kPause = rdaudio::kPauseFrequency;

bool inRange(int v, int lo, int hi)
{
    return v >= lo && v <= hi;
}

class SoundCardPreviewPlayer final : public BeepPreviewPlayer {
public:
    bool play(const QString& file, int device, int volumePercent, QString* error) override
    {
        m_player.setDevice(device);
        m_player.setVolume(volumePercent);
        if (m_player.play(QFile::encodeName(file).toStdString()))
            return true;
        if (error)
            *error = QString::fromStdString(m_player.lastError());
        return false;
    }
    void stop() override { m_player.stop(); }

private:
    rdaudio::WavePlayer m_player;
};

} // namespace

std::unique_ptr<BeepPreviewPlayer> MakeSoundCardPreviewPlayer()
{
    return std::make_unique<SoundCardPreviewPlayer>();
}

BeepEditorModel::BeepEditorModel(Deps deps) : m_deps(std::move(deps))
{
    if (m_deps.outputDevices)
        m_devices = m_deps.outputDevices();
    const int remembered = m_deps.settings ? m_deps.settings->intValue(kDeviceKey, 0) : 0;
    m_device = inRange(remembered, 0, int(m_devices.size()) - 1) ? remembered : -1;
    refreshDesigns();
}

BeepEditorModel::~BeepEditorModel()
{
    stopPreview();
}

int BeepEditorModel::number(const QString& text, int fallback)
{
    return StrToIntDef(text.trimmed(), fallback);
}

void BeepEditorModel::askError(const QString& id) const
{
    if (m_deps.showError)
        m_deps.showError(GetText(id));
}

// ------------------------------------------------------------------------------ designs

void BeepEditorModel::refreshDesigns()
{
    m_designs = IniFile(m_deps.cfgFile).sections();
}

bool BeepEditorModel::select(const QString& name)
{
    const IniDocument doc = IniFile(m_deps.cfgFile).read();
    if (!doc.hasSection(name))
        return false;
    auto text = [&](const char* key) {
        bool found = false;
        const QString v = doc.value(name, QLatin1String(key), &found);
        return found ? v : QStringLiteral("0");
    };
    auto flag = [&](const char* key) { return number(doc.value(name, QLatin1String(key)), 0) != 0; };
    m_fields.f1 = text("F1");
    m_fields.d1 = text("D1");
    m_fields.b2 = flag("B2");
    m_fields.f2 = text("F2");
    m_fields.d2 = text("D2");
    m_fields.p2 = text("P2");
    m_fields.b3 = flag("B3");
    m_fields.f3 = text("F3");
    m_fields.d3 = text("D3");
    m_fields.p3 = text("P3");
    // "#3" cannot be on without "#2" (the gateway ignores tone 3 then as well).
    if (!m_fields.b2)
        m_fields.b3 = false;
    m_name = name;
    m_selected = name;
    return true;
}

void BeepEditorModel::deselect()
{
    m_fields = BeepFields();
    m_name.clear();
    m_selected.clear();
}

void BeepEditorModel::setTone2(bool on)
{
    m_fields.b2 = on;
    if (!on)
        m_fields.b3 = false;
}

void BeepEditorModel::setTone3(bool on)
{
    m_fields.b3 = on && m_fields.b2;
}

void BeepEditorModel::setName(const QString& name)
{
    if (nameReadOnly())
        return;
    m_name = name.left(kMaxNameLength);
}

// ------------------------------------------------------------------------- save, delete

BeepEditorModel::SaveResult BeepEditorModel::save()
{
    BeepFields f = m_fields;
    bool valid = true;
    auto check = [&valid](const QString& text, int lo, int hi) {
        if (!inRange(number(text, -1), lo, hi))
            valid = false;
    };
    auto zero = [](QString& a, QString& b, QString& c) { a = b = c = QStringLiteral("0"); };
    check(f.f1, kMinFrequency, kMaxFrequency);
    check(f.d1, 0, kMaxDuration);
    if (f.b2) {
        check(f.f2, kMinFrequency, kMaxFrequency);
        check(f.d2, 0, kMaxDuration);
        check(f.p2, 0, kMaxDuration);
        if (f.b3) {
            check(f.f3, kMinFrequency, kMaxFrequency);
            check(f.d3, 0, kMaxDuration);
            check(f.p3, 0, kMaxDuration);
        } else {
            zero(f.f3, f.d3, f.p3);
        }
    } else {
        f.b3 = false;
        zero(f.f2, f.d2, f.p2);
        zero(f.f3, f.d3, f.p3);
    }
    if (!valid) {
        askError(QStringLiteral("0468"));
        return SaveResult::Invalid;
    }
    // A section needs a name, and one that survives being written as "[name]".
    const QString name = m_name.trimmed();
    if (name.isEmpty() || name.contains(QLatin1Char(']')) || name.contains(QLatin1Char('\r')) ||
        name.contains(QLatin1Char('\n')) || name.startsWith(QLatin1Char(';'))) {
        askError(QStringLiteral("0468"));
        return SaveResult::InvalidName;
    }

    IniFile ini(m_deps.cfgFile);
    SaveResult result = SaveResult::Saved;
    if (ini.sectionExists(name)) {
        const QString question = GetText(QStringLiteral("0462")) + QStringLiteral("?\n") + name;
        if (m_deps.ask && !m_deps.ask(question))
            result = SaveResult::Declined;
    }
    if (result == SaveResult::Saved) {
        const bool written = ini.edit([&](IniDocument& doc) {
            auto put = [&](const char* key, const QString& v) { doc.setValue(name, QLatin1String(key), v); };
            auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
            put("F1", f.f1.trimmed());
            put("D1", f.d1.trimmed());
            put("B2", flag(f.b2));
            put("F2", f.f2.trimmed());
            put("D2", f.d2.trimmed());
            put("P2", f.p2.trimmed());
            put("B3", flag(f.b3));
            put("F3", f.f3.trimmed());
            put("D3", f.d3.trimmed());
            put("P3", f.p3.trimmed());
        });
        if (!written) {
            if (m_deps.showError)
                m_deps.showError(QStringLiteral("%1 could not be written.").arg(QFileInfo(m_deps.cfgFile).fileName()));
            // Keep what the user typed: nothing was stored.
            refreshDesigns();
            return SaveResult::WriteFailed;
        }
    }
    deselect();
    refreshDesigns();
    return result;
}

bool BeepEditorModel::removeSelected()
{
    if (m_selected.isEmpty())
        return false;
    const QString question = GetText(QStringLiteral("0463")) + QStringLiteral("?\n") + m_selected;
    if (m_deps.ask && !m_deps.ask(question))
        return false;
    const bool erased = IniFile(m_deps.cfgFile).eraseSection(m_selected);
    if (!erased && m_deps.showError && IniFile(m_deps.cfgFile).sectionExists(m_selected))
        m_deps.showError(QStringLiteral("%1 could not be written.").arg(QFileInfo(m_deps.cfgFile).fileName()));
    deselect();
    refreshDesigns();
    return erased;
}

// ------------------------------------------------------------------------------ preview

void BeepEditorModel::chooseDevice(int index)
{
    if (!inRange(index, 0, int(m_devices.size()) - 1)) {
        m_device = -1;
        return;
    }
    m_device = index;
    if (m_deps.settings)
        m_deps.settings->setValue(kDeviceKey, QString::number(index));
}

bool BeepEditorModel::previewArrays(BeepPreviewArrays& out) const
{
    const BeepFields& f = m_fields;
    const int f1 = number(f.f1, 0), d1 = number(f.d1, 0);
    if (!inRange(f1, kMinFrequency, kMaxFrequency) || !inRange(d1, 0, kMaxDuration))
        return false;
    auto toneValid = [](int freq, int dur, int pause) {
        return inRange(freq, kMinFrequency, kMaxFrequency) && inRange(dur, 0, kMaxDuration) &&
               inRange(pause, 0, kMaxDuration);
    };
    out = BeepPreviewArrays();
    auto put = [&out](int i, int freq, int dur) {
        out.frequencies[size_t(i)] = freq;
        out.durations[size_t(i)] = dur;
    };
    put(0, kPause, kPreviewRollMs);
    put(1, f1, d1);
    const int f2 = number(f.f2, 0), d2 = number(f.d2, 0), p2 = number(f.p2, 0);
    const int f3 = number(f.f3, 0), d3 = number(f.d3, 0), p3 = number(f.p3, 0);
    if (f.b2 && toneValid(f2, d2, p2)) {
        put(2, kPause, p2);
        put(3, f2, d2);
        if (f.b3 && toneValid(f3, d3, p3)) {
            put(4, kPause, p3);
            put(5, f3, d3);
            put(6, kPause, kPreviewRollMs);
        } else {
            put(4, kPause, kPreviewRollMs);
        }
    } else {
        put(2, kPause, kPreviewRollMs);
    }
    return true;
}

QString BeepEditorModel::previewFile() const
{
    return m_deps.tempFolder + QStringLiteral("_ROGER[preview].wav");
}

BeepEditorModel::PreviewResult BeepEditorModel::preview(QString* detail)
{
    stopPreview();
    BeepPreviewArrays a;
    if (!previewArrays(a)) {
        askError(QStringLiteral("0467"));
        return PreviewResult::Invalid;
    }
    const QString file = previewFile();
    const rdaudio::RenderResult r =
        rdaudio::RenderToneSequence(a.frequencies, a.durations, kPreviewVolume, QFile::encodeName(file).toStdString());
    if (!r.ok() || !QFileInfo::exists(file)) {
        if (detail)
            *detail = r.ok() ? QStringLiteral("%1 was not written").arg(file) : QString::fromStdString(r.message);
        return PreviewResult::RenderFailed;
    }
    if (m_device < 0)
        return PreviewResult::NoDevice;
    m_player = m_deps.makePlayer ? m_deps.makePlayer() : MakeSoundCardPreviewPlayer();
    if (!m_player)
        return PreviewResult::PlayFailed;
    QString error;
    if (!m_player->play(file, m_device, 100, &error)) {
        if (detail)
            *detail = error;
        m_player.reset();
        return PreviewResult::PlayFailed;
    }
    return PreviewResult::Played;
}

void BeepEditorModel::stopPreview()
{
    if (m_player) {
        m_player->stop();
        m_player.reset();
    }
}
