#include "app/config/gatewayconfig.h"

#include "app/config/appsettings.h"
#include "app/config/gatewaykeys.h"
#include "app/config/globalfunct.h"
#include "app/config/texts.h"

#include <QFileInfo>
#include <QRandomGenerator>

namespace gatewayconfig {

namespace {
const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");
} // namespace

const QList<QPair<QString, QString>>& keyTable()
{
    static const QList<QPair<QString, QString>> table = [] {
        QList<QPair<QString, QString>> t;
        auto add = [&t](const QString& key, const QString& def) { t.append({key, def}); };
        auto text = [](const char* v) { return QString::fromLatin1(v); };
        // General and window
        add(gwkey::gateUID, QString());
        add(gwkey::gateName, QString());
        add(gwkey::activTime, QString());
        add(gwkey::windowTPos, text("10"));
        add(gwkey::windowLPos, text("10"));
        add(gwkey::gateAutorun, kFalse);
        add(gwkey::gateExitDlg, kTrue);
        add(gwkey::SHOW_WINDOW, kTrue);
        add(gwkey::WINDOW_TYPE, text("KSTATUS"));
        add(gwkey::SPRACHE, text("de_DE"));
        add(gwkey::AUTO_AUS_ON, kFalse);
        add(gwkey::AUTO_AUS_TIME, text("00:00"));
        add(gwkey::AUTO_AUS_ACTION, text("TS3-OFF"));
        // Levels
        add(gwkey::AUDIO_USER_VOLUME, text("0"));
        add(gwkey::AUDIO_WAVE_VOLUME, text("-20"));
        add(gwkey::WAVE_REDUZIERUNG, text("-40"));
        // TeamSpeak connection and relay
        add(gwkey::TS3_CONNECT_TYPE, text("0"));
        add(gwkey::TS3_BOOK_NAME, QString());
        add(gwkey::TS3_BOOK_UID, QString());
        add(gwkey::TS3_NICK, text("Relaydeck 4.0.x"));
        add(gwkey::TS3_INFO_TXT, text("Relaydeck 4.0.x"));
        add(gwkey::TS3_NICK_WRITE, kTrue);
        add(gwkey::TS3_HOST, text(kDefaultHost));
        add(gwkey::TS3_START_CHANNEL, QString());
        add(gwkey::TS3_START_CHAN_ID, text("0"));
        add(gwkey::TS3_IDENTIS_PROF, text("Default"));
        add(gwkey::TS3_SND_IN_PROF, text("Default"));
        add(gwkey::TS3_SND_OUT_PROF, text("Default"));
        add(gwkey::TS3_SERV_PASSWD, QString());
        add(gwkey::TS3_CHAN_PASSWD, QString());
        add(gwkey::TS3_CMDR_ON_ON, kTrue);
        add(gwkey::TS3_CMDR_ON_ACT, kFalse);
        add(gwkey::TS3_CMDR_ON_TX, kFalse);
        add(gwkey::TS3_CMDR_ON_RX, kFalse);
        add(gwkey::TS3_TX_VOX_LV, text("-10"));
        add(gwkey::TS3_VOX_DELAY, text("3"));
        add(gwkey::TS3_PTT_DELAY, text("3"));
        add(gwkey::TS3_RX_DELAY, text("3"));
        add(gwkey::TS3_MOVING_CLIENT, kFalse);
        add(gwkey::TS3_DOPPEL_RX, kFalse);
        add(gwkey::TS3_TX_MAX_ON, kFalse);
        add(gwkey::TS3_TX_MAXTIME, text("300"));
        add(gwkey::TS3_TX_MAXRESET, text("30"));
        add(gwkey::TS3_TX_PIN, text("VOX"));
        add(gwkey::TS3_SPAM_COUNT, text("4"));
        add(gwkey::TS3_SPAM_DELAY, text("300"));
        // Serial lines
        add(gwkey::COM_OUT_NUM, text("0"));
        add(gwkey::COM_OUT_ON, kFalse);
        add(gwkey::COM_OUT_PIN, text("RTS"));
        add(gwkey::COM_OUT_INVERT, kFalse);
        add(gwkey::COM_OUT_TX_NUM, text("0"));
        add(gwkey::COM_OUT_TX_ON, kFalse);
        add(gwkey::COM_OUT_TX_PIN, text("DTR"));
        add(gwkey::COM_OUT_TX_INVERT, kFalse);
        add(gwkey::COM_IN_NUM, text("0"));
        add(gwkey::COM_IN_ON, kFalse);
        add(gwkey::COM_IN_PIN, text("DSR"));
        add(gwkey::COM_IN_INVERT, kFalse);
        // Radio side, tone signals and announcements
        add(gwkey::HF_TX_DELAY, text("3"));
        add(gwkey::HF_TX_MAX_ON, kTrue);
        add(gwkey::HF_TX_MAXTIME, text("300"));
        add(gwkey::HF_TX_MAXRESET, text("30"));
        add(gwkey::HF_ROGER_BEEP, kFalse);
        add(gwkey::HF_ROGER_DATA, QString());
        add(gwkey::HF_ROGER_VOLUME, text("50"));
        add(gwkey::HF_ROGER_WAIT, text("2"));
        add(gwkey::HF_CALL_FREQ, text("1750"));
        add(gwkey::HF_CALL_LENG, text("3000"));
        add(gwkey::HF_CALL_VOLU, text("30"));
        add(gwkey::HF_CALL_TPWR, kFalse);
        add(gwkey::HF_BAKE_ON, kFalse);
        add(gwkey::HF_BAKE_TIME, text("600"));
        add(gwkey::HF_BAKE_AFRX, text("0"));
        add(gwkey::HF_BAKE_AFTX, text("0"));
        add(gwkey::HF_BAKE_VOLU, text("50"));
        add(gwkey::HF_BAKE_FILE, QString());
        add(gwkey::HF_BAKE_WAIT, kTrue);
        add(gwkey::HF_BAKE_CALL, kFalse);
        add(gwkey::HF_BAKE_USER, kFalse);
        add(gwkey::HF_RXINFO_BEEP, kFalse);
        add(gwkey::HF_RXINFO_VOLUME, text("50"));
        add(gwkey::HF_RXINFO_DATA, QString());
        add(gwkey::HF_RXINFO_DELAY, text("5"));
        add(gwkey::HF_RXEND_BEEP, kFalse);
        add(gwkey::HF_RXEND_VOLUME, text("20"));
        add(gwkey::HF_RXEND_DATA, QString());
        add(gwkey::HF_RXSTART_BEEP, kFalse);
        add(gwkey::HF_RXSTART_VOLUME, text("20"));
        add(gwkey::HF_RXSTART_DATA, QString());
        add(gwkey::HF_ZEIT_INFO, text("0"));
        add(gwkey::HF_ZEIT_INFOCALL, kFalse);
        add(gwkey::HF_OFFLINE_DEVICE, text("0"));
        add(gwkey::HF_OFFLINE_VOLUME, text("100"));
        add(gwkey::HF_WAVE_VORLAUF, text("1"));
        add(gwkey::HF_WAVE_NACHLAUF, text("1"));
        add(gwkey::HF_WAVE_USERIN, kFalse);
        add(gwkey::HF_WAVE_USEROUT, kFalse);
        add(gwkey::TS_CONNECT_WAVE, QString());
        add(gwkey::TS_DISCONNECT_WAVE, QString());
        add(gwkey::TS_CONNECT_CALLINFO, text("0"));
        // Remote control by TeamSpeak users
        add(gwkey::REM_MOVE_ON, kTrue);
        add(gwkey::REM_MOVE_REG, kTrue);
        add(gwkey::REM_MUTE_ON, kTrue);
        add(gwkey::REM_MUTE_REG, kFalse);
        add(gwkey::REM_REST_ON, kTrue);
        add(gwkey::REM_REST_REG, kFalse);
        add(gwkey::REM_CALL_ON, kTrue);
        add(gwkey::REM_CALL_REG, kFalse);
        add(gwkey::REM_AWAY_ON, kTrue);
        add(gwkey::REM_AWAY_REG, kTrue);
        add(gwkey::REM_DTMF_ON, kFalse);
        add(gwkey::REM_DTMF_REG, kFalse);
        add(gwkey::REM_ZVEI_ON, kFalse);
        add(gwkey::REM_ZVEI_REG, kFalse);
        add(gwkey::REM_TRX_ON, kFalse);
        add(gwkey::REM_TRX_REG, kFalse);
        add(gwkey::REM_TRX_IP, text("127.0.0.1"));
        add(gwkey::REM_TRX_PORT, text("6001"));
        add(gwkey::REM_TRX_KEY, QString());
        add(gwkey::REM_SENDER_PWD, QString());
        add(gwkey::REM_ADMIN_PWD, QString());
        add(gwkey::SET_SENDER_OFF, kFalse);
        add(gwkey::FROM_SUPPORT_MAIL, QString());
        // DTMF control
        add(gwkey::DTMF_ON, kFalse);
        add(gwkey::DTMF_INFO_ON, kTrue);
        add(gwkey::DTMF_MOVE_ON, kFalse);
        add(gwkey::DTMF_RUFE_ON, kFalse);
        add(gwkey::DTMF_INPUT_DEVICE, text("-1"));
        add(gwkey::DTMF_RESET_TIME, text("2"));
        add(gwkey::DTMF_AKTIV_TIME, text("10"));
        add(gwkey::DTMF_PROC_DELAY, text("5"));
        add(gwkey::DTMF_INFO_WAVE, QString());
        add(gwkey::DTMF_INFO_WAVE_2, QString());
        return t;
    }();
    return table;
}

bool isComputedKey(const QString& key)
{
    static const QStringList computed = {gwkey::gateUID,     gwkey::gateName,       gwkey::activTime,
                                         gwkey::REM_TRX_KEY, gwkey::REM_SENDER_PWD, gwkey::REM_ADMIN_PWD};
    return computed.contains(key, Qt::CaseInsensitive);
}

void completeWithDefaults(SettingsList& list, const Clock& clock, const RandomFn& random)
{
    const RandomFn draw =
        random ? random : [](int low, int high) { return int(QRandomGenerator::global()->bounded(low, high)); };
    for (const auto& [key, def] : keyTable()) {
        if (list.contains(key))
            continue;
        QString v = def;
        if (key == gwkey::gateUID)
            v = NewGuidText();
        else if (key == gwkey::gateName)
            v = GetText(QStringLiteral("0101"));
        else if (key == gwkey::activTime)
            v = DateTimeText(clock.now());
        else if (key == gwkey::REM_TRX_KEY)
            v = QString::number(draw(111111, 999999)); // 111111 ... 999998
        else if (key == gwkey::REM_SENDER_PWD || key == gwkey::REM_ADMIN_PWD)
            v = QString::number(draw(10000, 99999)); // 10000 ... 99998
        list.setValue(key, v);                       // an empty default adds nothing
    }
}

const QList<KeyRange>& rangeTable()
{
    constexpr int kTenthsMax = 600;    // one minute of 100 ms ticks
    constexpr int kSecondsMax = 86400; // one day
    constexpr int kDtmfTicksMax = 240; // one minute of 250 ms ticks
    static const QList<KeyRange> table = {
        {gwkey::TS3_VOX_DELAY, 0, kTenthsMax},      {gwkey::TS3_PTT_DELAY, 0, kTenthsMax},
        {gwkey::TS3_RX_DELAY, 0, kTenthsMax},       {gwkey::TS3_TX_MAXTIME, 1, kSecondsMax},
        {gwkey::TS3_TX_MAXRESET, 0, kSecondsMax},   {gwkey::HF_TX_MAXTIME, 1, kSecondsMax},
        {gwkey::HF_TX_MAXRESET, 0, kSecondsMax},    {gwkey::HF_BAKE_TIME, 1, kSecondsMax},
        {gwkey::DTMF_RESET_TIME, 0, kDtmfTicksMax}, {gwkey::DTMF_AKTIV_TIME, 0, kDtmfTicksMax},
        {gwkey::DTMF_PROC_DELAY, 0, kDtmfTicksMax},
    };
    return table;
}

QList<Replaced> replaceOutOfRange(SettingsList& list)
{
    QList<Replaced> out;
    for (const KeyRange& r : rangeTable()) {
        const QString v = list.value(r.key);
        if (v.isEmpty())
            continue; // absent: the defaults fill it in
        if (IsInteger(v)) {
            const int n = StrToIntDef(v, 0);
            if (n >= r.low && n <= r.high)
                continue;
        }
        QString fallback;
        for (const auto& [key, def] : keyTable())
            if (key == r.key)
                fallback = def;
        list.setValue(r.key, fallback);
        out.append({r.key, v, fallback});
    }
    return out;
}

SettingsList newGateway(const Clock& clock, const RandomFn& random)
{
    SettingsList list;
    completeWithDefaults(list, clock, random);
    return list;
}

LoadResult load(const QString& path, const Clock& clock)
{
    LoadResult r;
    if (path.isEmpty()) {
        r.error = LoadError::NoFileName;
        return r;
    }
    if (!QFileInfo(path).isFile()) {
        r.error = LoadError::FileMissing;
        return r;
    }
    auto list = LoadSettingsFile(path);
    if (!list) {
        r.error = LoadError::Unreadable;
        return r;
    }
    if (list->value(gwkey::gateUID).isEmpty() || list->value(gwkey::gateName).isEmpty()) {
        r.error = LoadError::MissingIdentity;
        return r;
    }
    r.list = *list;
    completeWithDefaults(r.list, clock);
    return r;
}

LoadResult loadFromParams(const SettingsList& params, const Clock& clock)
{
    return load(params.value(gwkey::CFG_FILE), clock);
}

QString loadErrorText()
{
    return GetText(QStringLiteral("0060"));
}

void stampForSave(SettingsList& list, int windowTop, int windowLeft, const Clock& clock)
{
    list.setValue(gwkey::activTime, DateTimeText(clock.now()));
    list.setInt(gwkey::windowTPos, windowTop);
    list.setInt(gwkey::windowLPos, windowLeft);
}

bool save(const QString& path, const SettingsList& list)
{
    return SaveSettingsFile(path, list);
}

} // namespace gatewayconfig
