#include "app/ui/gatewaysetup_model.h"

#include "app/config/appsettings.h"
#include "app/config/gatewayconfig.h"
#include "app/config/inifile.h"
#include "app/config/texts.h"
#include "app/session/linksession.h"
#include "link/qt/linkqt.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace gatewaysetup {

namespace {

QString T(const char* id)
{
    return GetText(QString::fromLatin1(id));
}
QString K(const char* key)
{
    return QString::fromLatin1(key);
}

// A boolean as the pages read it: "True"/"False" in any case or an integer; anything
// else is unreadable.
std::optional<bool> readBool(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    if (IsInteger(t))
        return StrToIntDef(t, 0) != 0;
    return std::nullopt;
}

// The default of a key as the key table gives it ("" when none).
QString tableDefault(const QString& key)
{
    for (const auto& entry : gatewayconfig::keyTable())
        if (entry.first.compare(key, Qt::CaseInsensitive) == 0)
            return entry.second;
    return QString();
}

const QStringList kOutputPins = {QStringLiteral("DTR"), QStringLiteral("RTS"), QStringLiteral("BREAK")};
const QStringList kInputPins = {QStringLiteral("CTS"), QStringLiteral("DSR"), QStringLiteral("RING")};

} // namespace

GatewaySetupModel::GatewaySetupModel(SetupDeps deps) : m_deps(std::move(deps)) {}

const Clock& GatewaySetupModel::clock() const
{
    return m_deps.clock ? *m_deps.clock : SystemClock::instance();
}

void GatewaySetupModel::error(const QString& id) const
{
    if (m_deps.dialogs.error)
        m_deps.dialogs.error(GetText(id));
}

QString GatewaySetupModel::escape(const QString& text)
{
    return LinkEscape(text);
}

// ------------------------------------------------------------------ opening

bool GatewaySetupModel::StarteForm(const SettingsList& params)
{
    m_params = params;
    m_data.clear();
    m_existing = m_params.value(K("loadConfig")) == QLatin1String("True");
    if (m_existing) {
        const QString path = cfgFile();
        const gatewayconfig::LoadResult r = path.isEmpty()
                                                ? gatewayconfig::LoadResult{{}, gatewayconfig::LoadError::NoFileName}
                                                : gatewayconfig::load(path, clock());
        if (!r.ok()) {
            error(QStringLiteral("0060"));
            return false;
        }
        m_data = r.list;
    } else if (m_params.contains(K("setGateName")) && m_params.contains(K("newGateName")) &&
               m_params.value(K("setGateName")) == QLatin1String("True")) {
        m_data.setValue(K("gateName"), m_params.value(K("newGateName")));
    }
    gatewayconfig::completeWithDefaults(m_data, clock());
    if (!m_params.contains(K("CFG_FILE")))
        m_params.setValue(K("CFG_FILE"), QDir(m_deps.configFolder).filePath(gateUID() + QStringLiteral(".rdk")));
    m_lastSaved = m_data;
    m_changed = false;
    m_saved = false;
    return true;
}

// ------------------------------------------------------------------ plain writes

void GatewaySetupModel::setText(const QString& key, const QString& value)
{
    m_data.setValue(key, value);
    markChanged();
}

void GatewaySetupModel::setBool(const QString& key, bool on)
{
    m_data.setBool(key, on);
    markChanged();
}

void GatewaySetupModel::setInt(const QString& key, qint64 value)
{
    m_data.setInt(key, value);
    markChanged();
}

bool GatewaySetupModel::boolOf(const QString& key, bool fallback) const
{
    if (const std::optional<bool> b = readBool(m_data.value(key)))
        return *b;
    // A value the box cannot show reads as the key's default, so the page still works
    // and the operator can put it right.
    if (const std::optional<bool> d = readBool(tableDefault(key)))
        return *d;
    return fallback;
}

// ------------------------------------------------------------------ bound controls

int GatewaySetupModel::sliderValue(const SliderSpec& s) const
{
    return std::clamp(m_data.intValue(K(s.key), s.fallback), s.min, s.max);
}

void GatewaySetupModel::setSlider(const SliderSpec& s, int value)
{
    setInt(K(s.key), std::clamp(value, s.min, s.max));
}

QString GatewaySetupModel::msText(const MsSpec& s) const
{
    return QString::number(qint64(m_data.intValue(K(s.key), s.fallback)) * 100);
}

bool GatewaySetupModel::msAccepts(const MsSpec& s, const QString& text)
{
    if (!IsInteger(text))
        return false;
    const int v = StrToIntDef(text, 0);
    return v >= s.min && v <= s.max;
}

bool GatewaySetupModel::setMs(const MsSpec& s, const QString& text)
{
    if (!msAccepts(s, text))
        return false;
    setInt(K(s.key), StrToIntDef(text, 0) / 100);
    return true;
}

bool GatewaySetupModel::numberAccepts(const NumberSpec& s, const QString& text)
{
    if (!IsInteger(text))
        return false;
    const int v = StrToIntDef(text, 0);
    return v >= s.min && v <= s.max;
}

bool GatewaySetupModel::setNumber(const NumberSpec& s, const QString& text)
{
    if (!numberAccepts(s, text))
        return false;
    setText(K(s.key), text.trimmed());
    return true;
}

// ------------------------------------------------------------------ page 1

CommanderMode GatewaySetupModel::commanderMode() const
{
    if (boolOf(K("TS3-CMDR-ON-ON")))
        return CommanderMode::AlwaysOn;
    if (boolOf(K("TS3-CMDR-ON-ACT")))
        return CommanderMode::WhenActivity;
    return CommanderMode::NotUsed;
}

void GatewaySetupModel::setCommanderMode(CommanderMode mode)
{
    setBool(K("TS3-CMDR-ON-ON"), mode == CommanderMode::AlwaysOn);
    setBool(K("TS3-CMDR-ON-ACT"), mode == CommanderMode::WhenActivity);
}

int GatewaySetupModel::connectType() const
{
    return m_data.intValue(K("TS3-CONNECT-TYPE"), 0) == 1 ? 1 : 0;
}

void GatewaySetupModel::setConnectType(int index)
{
    setInt(K("TS3-CONNECT-TYPE"), index == 1 ? 1 : 0);
}

bool GatewaySetupModel::linkUp() const
{
    return m_deps.session && m_deps.session->isConnected();
}

bool GatewaySetupModel::requestProfiles(bool checked)
{
    // Nothing goes out without the link: a command sent into a closed link marks every
    // open gateway disconnected, which merely showing a page must not do.
    if (!linkUp()) {
        if (checked)
            error(QStringLiteral("0708"));
        return false;
    }
    m_deps.session->SendToTS3(QStringLiteral("GETPROFILES"), QString());
    return true;
}

QString GatewaySetupModel::profileKey(ProfileKind kind)
{
    switch (kind) {
    case ProfileKind::Identity:
        return QStringLiteral("TS3-IDENTIS-PROF");
    case ProfileKind::Capture:
        return QStringLiteral("TS3-SND-IN-PROF");
    case ProfileKind::Playback:
        return QStringLiteral("TS3-SND-OUT-PROF");
    case ProfileKind::Bookmark:
        return QStringLiteral("TS3-BOOK-NAME");
    }
    return QString();
}

std::optional<QStringList> GatewaySetupModel::pickList(ProfileKind kind)
{
    if (!linkUp()) {
        error(QStringLiteral("0708"));
        return std::nullopt;
    }
    const LinkSession& s = *m_deps.session;
    switch (kind) {
    case ProfileKind::Identity:
        return s.TS3_PROF_IDENTIS();
    case ProfileKind::Capture:
        return s.TS3_PROF_CAPTURE();
    case ProfileKind::Playback:
        return s.TS3_PROF_PLAYBAK();
    case ProfileKind::Bookmark: {
        QStringList names;
        for (const LinkSession::Bookmark& b : s.TS3_PROF_BOOKMARKS())
            names << b.name;
        return names;
    }
    }
    return QStringList();
}

bool GatewaySetupModel::pickProfile(ProfileKind kind, int index)
{
    if (!m_deps.session)
        return false;
    const LinkSession& s = *m_deps.session;
    if (kind == ProfileKind::Bookmark) {
        const auto& list = s.TS3_PROF_BOOKMARKS();
        if (index < 0 || index >= list.size())
            return false;
        setText(K("TS3-BOOK-NAME"), list[index].name);
        setText(K("TS3-BOOK-UID"), list[index].uid);
        return true;
    }
    const QStringList& names = kind == ProfileKind::Identity  ? s.TS3_PROF_IDENTIS()
                               : kind == ProfileKind::Capture ? s.TS3_PROF_CAPTURE()
                                                              : s.TS3_PROF_PLAYBAK();
    if (index < 0 || index >= names.size())
        return false;
    setText(profileKey(kind), names[index]);
    return true;
}

bool GatewaySetupModel::gatewayServer(int* handler) const
{
    if (!m_deps.session || !m_deps.session->GatewayIstAktiv(gateUID()))
        return false;
    *handler = m_deps.session->GetscHandlerFromGateway(gateUID());
    return *handler > 0;
}

bool GatewaySetupModel::sendNickname(const QString& nickname)
{
    setText(K("TS3-NICK"), nickname);
    int handler = 0;
    if (!gatewayServer(&handler)) {
        error(QStringLiteral("0746"));
        return false;
    }
    m_deps.session->SendToTS3(QStringLiteral("SETNICK"), QStringLiteral("scHandler=%1 nickname=").arg(handler) +
                                                             escape(m_data.value(K("TS3-NICK"))));
    return true;
}

bool GatewaySetupModel::sendInfoText(const QString& text)
{
    setText(K("TS3-INFO-TXT"), text);
    int handler = 0;
    if (!gatewayServer(&handler)) {
        error(QStringLiteral("0746"));
        return false;
    }
    m_deps.session->SendToTS3(QStringLiteral("SETINFO"), QStringLiteral("scHandler=%1 text=").arg(handler) +
                                                             escape(m_data.value(K("TS3-INFO-TXT"))));
    return true;
}

// ------------------------------------------------------------------ page 2

void GatewaySetupModel::storeShownAudioValues()
{
    setText(K("TS3-TX-PIN"), text(K("TS3-TX-PIN")).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0
                                 ? QStringLiteral("COM")
                                 : QStringLiteral("VOX"));
    for (const SliderSpec* s : {&spec::kVoxLevel, &spec::kOfflineVolume, &spec::kUserVolume, &spec::kWaveVolume})
        setSlider(*s, sliderValue(*s));
    // The reduction is shown clamped to the announcement volume.
    setSlider(spec::kWaveReduction, std::min(sliderValue(spec::kWaveReduction), sliderValue(spec::kWaveVolume)));
    for (const MsSpec* s : {&spec::kVoxDelay, &spec::kWaveLeadIn, &spec::kWaveLeadOut})
        setMs(*s, msText(*s)); // shown value stored back when it is in range
    // The device number is stored as shown only when the device list can show it, so a
    // sound card that is unplugged right now does not lose its place.
    const int dev = m_data.intValue(K("HF-OFFLINE-DEVICE"), -1);
    if (dev < waveOutDevices().size())
        setInt(K("HF-OFFLINE-DEVICE"), std::max(dev, -1));
}

int GatewaySetupModel::moveReduction(int value, bool leftButtonHeld)
{
    const int v =
        std::min(std::clamp(value, spec::kWaveReduction.min, spec::kWaveReduction.max), sliderValue(spec::kWaveVolume));
    setSlider(spec::kWaveReduction, v);
    if (!leftButtonHeld)
        m_reductionMemory = v;
    return v;
}

int GatewaySetupModel::moveWaveVolume(int value)
{
    const int vol = std::clamp(value, spec::kWaveVolume.min, spec::kWaveVolume.max);
    int red = sliderValue(spec::kWaveReduction);
    if (vol < red) {
        red = vol;
        if (m_reductionMemory < -40)
            m_reductionMemory = red + 1;
    } else if (red < m_reductionMemory) {
        // A reduction the volume pushed down follows the volume back up.
        red = vol;
    }
    setSlider(spec::kWaveReduction, red);
    setSlider(spec::kWaveVolume, vol);
    return red;
}

int GatewaySetupModel::offlineDevice() const
{
    const int dev = m_data.intValue(K("HF-OFFLINE-DEVICE"), -1);
    return dev < 0 ? -1 : dev;
}

void GatewaySetupModel::setOfflineDevice(int index)
{
    setInt(K("HF-OFFLINE-DEVICE"), std::max(index, -1));
}

QStringList GatewaySetupModel::waveOutDevices() const
{
    return m_deps.waveOutDevices ? m_deps.waveOutDevices() : QStringList();
}
QStringList GatewaySetupModel::waveInDevices() const
{
    return m_deps.waveInDevices ? m_deps.waveInDevices() : QStringList();
}

// ------------------------------------------------------------------ page 3

QList<int> GatewaySetupModel::comPorts() const
{
    return m_deps.listComPorts ? m_deps.listComPorts() : QList<int>();
}

bool GatewaySetupModel::choosePort(const QString& key, int port)
{
    if (!m_deps.comPortIsOpen || !m_deps.comPortIsOpen(port)) {
        if (m_deps.dialogs.information)
            m_deps.dialogs.information(T("0850") + QLatin1Char('\r') + T("0851"));
        return false;
    }
    setInt(key, port);
    return true;
}

QString GatewaySetupModel::outputPinOf(const QString& stored, const QString& fallback)
{
    for (const QString& p : kOutputPins)
        if (p.compare(stored.trimmed(), Qt::CaseInsensitive) == 0)
            return p;
    return stored.trimmed().isEmpty() ? fallback : QString();
}

QString GatewaySetupModel::inputPinOf(const QString& stored)
{
    for (const QString& p : kInputPins)
        if (p.compare(stored.trimmed(), Qt::CaseInsensitive) == 0)
            return p;
    return stored.trimmed().isEmpty() ? QStringLiteral("DSR") : QString();
}

void GatewaySetupModel::storeShownComValues()
{
    for (const char* key :
         {"COM-OUT-ON", "COM-OUT-INVERT", "COM-IN-ON", "COM-IN-INVERT", "COM-OUT-TX-ON", "COM-OUT-TX-INVERT"})
        setBool(K(key), boolOf(K(key)));
    const struct {
        const char* key;
        QString pin;
    } pins[] = {
        {"COM-OUT-PIN", outputPinOf(text(K("COM-OUT-PIN")), QStringLiteral("RTS"))},
        {"COM-OUT-TX-PIN", outputPinOf(text(K("COM-OUT-TX-PIN")), QStringLiteral("DTR"))},
        {"COM-IN-PIN", inputPinOf(text(K("COM-IN-PIN")))},
    };
    for (const auto& p : pins)
        if (!p.pin.isEmpty())
            setText(K(p.key), p.pin);
    setText(K("TS3-TX-PIN"), text(K("TS3-TX-PIN")).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0
                                 ? QStringLiteral("COM")
                                 : QStringLiteral("VOX"));
    for (const MsSpec* s : {&spec::kHfTxDelay, &spec::kTs3RxDelay})
        setMs(*s, msText(*s));
}

// ------------------------------------------------------------------ page 4

QStringList GatewaySetupModel::beepDesigns() const
{
    const QString path = QDir(m_deps.configFolder).filePath(QStringLiteral("rogerbeep.cfg"));
    if (!QFileInfo::exists(path))
        return {};
    return IniFile(path).sections();
}

bool GatewaySetupModel::setBeaconOn(bool on)
{
    if (!on) {
        setBool(K("HF-BAKE-ON"), false);
        return false;
    }
    const QString file = text(K("HF-BAKE-FILE"));
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        error(QStringLiteral("1004"));
        setBool(K("HF-BAKE-ON"), false);
        return false;
    }
    setBool(K("HF-BAKE-ON"), true);
    return true;
}

void GatewaySetupModel::setBeaconFile(const QString& path)
{
    setText(K("HF-BAKE-FILE"), path);
}

void GatewaySetupModel::deleteBeaconFile()
{
    setBool(K("HF-BAKE-ON"), false);
    setText(K("HF-BAKE-FILE"), QString());
}

// ------------------------------------------------------------------ page 5

int GatewaySetupModel::dtmfInputTime() const
{
    return std::clamp(m_data.intValue(K(spec::kDtmfInputTime.key), spec::kDtmfInputTimeFallback),
                      spec::kDtmfInputTime.min, spec::kDtmfInputTime.max);
}

// ------------------------------------------------------------------ page 6

QString GatewaySetupModel::announcementFile(const QString& key) const
{
    const QString name = key.compare(QLatin1String("HF-WAVE-USEROUT"), Qt::CaseInsensitive) == 0
                             ? QStringLiteral("S0002.wav")
                             : QStringLiteral("S0001.wav");
    return QDir(QDir(m_deps.soundFolder).filePath(AppLang())).filePath(name);
}

bool GatewaySetupModel::setAnnouncement(const QString& key, bool on)
{
    if (on && !QFileInfo(announcementFile(key)).isFile()) {
        error(QStringLiteral("1004"));
        on = false;
    }
    setBool(key, on);
    return on;
}

// ------------------------------------------------------------------ window

bool GatewaySetupModel::setGateNameChecked(const QString& name)
{
    if (name.size() < 6) {
        error(QStringLiteral("0705"));
        return false;
    }
    setText(K("gateName"), name);
    return true;
}

bool GatewaySetupModel::rename()
{
    if (!m_deps.dialogs.inputText)
        return false;
    const std::optional<QString> name = m_deps.dialogs.inputText(T("0703"), T("0704"));
    if (!name)
        return false;
    return setGateNameChecked(*name);
}

bool GatewaySetupModel::save()
{
    m_data.setValue(K("activTime"), DateTimeText(clock().now()));
    const QString path = cfgFile();
    if (!gatewayconfig::save(path, m_data)) {
        if (m_deps.dialogs.error)
            m_deps.dialogs.error(QDir::toNativeSeparators(path) + QLatin1Char('\r') + T("0061"));
        m_changed = true;
        return false;
    }
    m_lastSaved = m_data;
    m_changed = false;
    m_saved = true;
    m_existing = true;
    if (m_deps.session && m_deps.session->GatewayIstAktiv(gateUID()) &&
        m_deps.session->WriteConfigToGateway(gateUID(), m_data.shared()))
        m_handedOver = true;
    return true;
}

bool GatewaySetupModel::dropUnsavedEdits()
{
    m_dropped = true;
    if (!m_changed)
        return !m_existing;
    if (m_handedOver)
        m_data = m_lastSaved;
    m_changed = false;
    return true;
}

bool GatewaySetupModel::closeQuery()
{
    if (m_dropped)
        return true;
    QString question;
    if (m_changed)
        question = gateName() + QLatin1Char('\r') + (m_existing ? T("0061") : T("0062"));
    else if (!m_existing)
        question = gateName() + QLatin1Char('\r') + T("0062");
    if (question.isEmpty() || !m_deps.dialogs.askYesNo || !m_deps.dialogs.askYesNo(question))
        return true;
    return save();
}

} // namespace gatewaysetup
