#include "app/config/gatewayconfig.h"

#include "app/config/appsettings.h"
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
        auto add = [&t](const char* key, const QString& def) { t.append({QString::fromLatin1(key), def}); };
        auto text = [](const char* v) { return QString::fromLatin1(v); };
        // General and window
        add("gateUID", QString());
        add("gateName", QString());
        add("activTime", QString());
        add("windowTPos", text("10"));
        add("windowLPos", text("10"));
        add("gateAutorun", kFalse);
        add("gateExitDlg", kTrue);
        add("SHOW-WINDOW", kTrue);
        add("WINDOW-TYPE", text("KSTATUS"));
        add("SPRACHE", text("de_DE"));
        add("AUTO-AUS-ON", kFalse);
        add("AUTO-AUS-TIME", text("00:00"));
        add("AUTO-AUS-ACTION", text("TS3-OFF"));
        // Levels
        add("AUDIO-USER-VOLUME", text("0"));
        add("AUDIO-WAVE-VOLUME", text("-20"));
        add("WAVE-REDUZIERUNG", text("-40"));
        // TeamSpeak connection and relay
        add("TS3-CONNECT-TYPE", text("0"));
        add("TS3-BOOK-NAME", QString());
        add("TS3-BOOK-UID", QString());
        add("TS3-NICK", text("Relaydeck 4.0.x"));
        add("TS3-INFO-TXT", text("Relaydeck 4.0.x"));
        add("TS3-NICK-WRITE", kTrue);
        add("TS3-HOST", text(kDefaultHost));
        add("TS3-START-CHANNEL", QString());
        add("TS3-START-CHAN-ID", text("0"));
        add("TS3-IDENTIS-PROF", text("Default"));
        add("TS3-SND-IN-PROF", text("Default"));
        add("TS3-SND-OUT-PROF", text("Default"));
        add("TS3-SERV-PASSWD", QString());
        add("TS3-CHAN-PASSWD", QString());
        add("TS3-CMDR-ON-ON", kTrue);
        add("TS3-CMDR-ON-ACT", kFalse);
        add("TS3-CMDR-ON-TX", kFalse);
        add("TS3-CMDR-ON-RX", kFalse);
        add("TS3-TX-VOX-LV", text("-10"));
        add("TS3-VOX-DELAY", text("3"));
        add("TS3-PTT-DELAY", text("3"));
        add("TS3-RX-DELAY", text("3"));
        add("TS3-MOVING-CLIENT", kFalse);
        add("TS3-DOPPEL-RX", kFalse);
        add("TS3-TX-MAX-ON", kFalse);
        add("TS3-TX-MAXTIME", text("300"));
        add("TS3-TX-MAXRESET", text("30"));
        add("TS3-TX-PIN", text("VOX"));
        add("TS3-SPAM-COUNT", text("4"));
        add("TS3-SPAM-DELAY", text("300"));
        // Serial lines
        add("COM-OUT-NUM", text("0"));
        add("COM-OUT-ON", kFalse);
        add("COM-OUT-PIN", text("RTS"));
        add("COM-OUT-INVERT", kFalse);
        add("COM-OUT-TX-NUM", text("0"));
        add("COM-OUT-TX-ON", kFalse);
        add("COM-OUT-TX-PIN", text("DTR"));
        add("COM-OUT-TX-INVERT", kFalse);
        add("COM-IN-NUM", text("0"));
        add("COM-IN-ON", kFalse);
        add("COM-IN-PIN", text("DSR"));
        add("COM-IN-INVERT", kFalse);
        // Radio side, tone signals and announcements
        add("HF-TX-DELAY", text("3"));
        add("HF-TX-MAX-ON", kTrue);
        add("HF-TX-MAXTIME", text("300"));
        add("HF-TX-MAXRESET", text("30"));
        add("HF-ROGER-BEEP", kFalse);
        add("HF-ROGER-DATA", QString());
        add("HF-ROGER-VOLUME", text("50"));
        add("HF-ROGER-WAIT", text("2"));
        add("HF-CALL-FREQ", text("1750"));
        add("HF-CALL-LENG", text("3000"));
        add("HF-CALL-VOLU", text("30"));
        add("HF-CALL-TPWR", kFalse);
        add("HF-BAKE-ON", kFalse);
        add("HF-BAKE-TIME", text("600"));
        add("HF-BAKE-AFRX", text("0"));
        add("HF-BAKE-AFTX", text("0"));
        add("HF-BAKE-VOLU", text("50"));
        add("HF-BAKE-FILE", QString());
        add("HF-BAKE-WAIT", kTrue);
        add("HF-BAKE-CALL", kFalse);
        add("HF-BAKE-USER", kFalse);
        add("HF-RXINFO-BEEP", kFalse);
        add("HF-RXINFO-VOLUME", text("50"));
        add("HF-RXINFO-DATA", QString());
        add("HF-RXINFO-DELAY", text("5"));
        add("HF-RXEND-BEEP", kFalse);
        add("HF-RXEND-VOLUME", text("20"));
        add("HF-RXEND-DATA", QString());
        add("HF-RXSTART-BEEP", kFalse);
        add("HF-RXSTART-VOLUME", text("20"));
        add("HF-RXSTART-DATA", QString());
        add("HF-ZEIT-INFO", text("0"));
        add("HF-ZEIT-INFOCALL", kFalse);
        add("HF-OFFLINE-DEVICE", text("0"));
        add("HF-OFFLINE-VOLUME", text("100"));
        add("HF-WAVE-VORLAUF", text("1"));
        add("HF-WAVE-NACHLAUF", text("1"));
        add("HF-WAVE-USERIN", kFalse);
        add("HF-WAVE-USEROUT", kFalse);
        add("TS-CONNECT-WAVE", QString());
        add("TS-DISCONNECT-WAVE", QString());
        add("TS-CONNECT-CALLINFO", text("0"));
        // Remote control by TeamSpeak users
        add("REM-MOVE-ON", kTrue);
        add("REM-MOVE-REG", kTrue);
        add("REM-MUTE-ON", kTrue);
        add("REM-MUTE-REG", kFalse);
        add("REM-REST-ON", kTrue);
        add("REM-REST-REG", kFalse);
        add("REM-CALL-ON", kTrue);
        add("REM-CALL-REG", kFalse);
        add("REM-AWAY-ON", kTrue);
        add("REM-AWAY-REG", kTrue);
        add("REM-DTMF-ON", kFalse);
        add("REM-DTMF-REG", kFalse);
        add("REM-ZVEI-ON", kFalse);
        add("REM-ZVEI-REG", kFalse);
        add("REM-TRX-ON", kFalse);
        add("REM-TRX-REG", kFalse);
        add("REM-TRX-IP", text("127.0.0.1"));
        add("REM-TRX-PORT", text("6001"));
        add("REM-TRX-KEY", QString());
        add("REM-SENDER-PWD", QString());
        add("REM-ADMIN-PWD", QString());
        add("SET-SENDER-OFF", kFalse);
        add("FROM-SUPPORT-MAIL", QString());
        // DTMF control
        add("DTMF-ON", kFalse);
        add("DTMF-INFO-ON", kTrue);
        add("DTMF-MOVE-ON", kFalse);
        add("DTMF-RUFE-ON", kFalse);
        add("DTMF-INPUT-DEVICE", text("-1"));
        add("DTMF-RESET-TIME", text("2"));
        add("DTMF-AKTIV-TIME", text("10"));
        add("DTMF-PROC-DELAY", text("5"));
        add("DTMF-INFO-WAVE", QString());
        add("DTMF-INFO-WAVE-2", QString());
        return t;
    }();
    return table;
}

bool isComputedKey(const QString& key)
{
    static const QStringList computed = {"gateUID", "gateName", "activTime", "REM-TRX-KEY", "REM-SENDER-PWD", "REM-ADMIN-PWD"};
    return computed.contains(key, Qt::CaseInsensitive);
}

void completeWithDefaults(SettingsList& list, const Clock& clock, const RandomFn& random)
{
    const RandomFn draw = random ? random : [](int low, int high) { return int(QRandomGenerator::global()->bounded(low, high)); };
    for (const auto& [key, def] : keyTable()) {
        if (list.contains(key))
            continue;
        QString v = def;
        if (key == QLatin1String("gateUID"))
            v = NewGuidText();
        else if (key == QLatin1String("gateName"))
            v = GetText(QStringLiteral("0101"));
        else if (key == QLatin1String("activTime"))
            v = DateTimeText(clock.now());
        else if (key == QLatin1String("REM-TRX-KEY"))
            v = QString::number(draw(111111, 999999));  // 111111 ... 999998
        else if (key == QLatin1String("REM-SENDER-PWD") || key == QLatin1String("REM-ADMIN-PWD"))
            v = QString::number(draw(10000, 99999));    // 10000 ... 99998
        list.setValue(key, v);  // an empty default adds nothing
    }
}

const QList<KeyRange>& rangeTable()
{
    constexpr int kTenthsMax = 600;     // one minute of 100 ms ticks
    constexpr int kSecondsMax = 86400;  // one day
    constexpr int kDtmfTicksMax = 240;  // one minute of 250 ms ticks
    static const QList<KeyRange> table = {
        {QStringLiteral("TS3-VOX-DELAY"), 0, kTenthsMax},
        {QStringLiteral("TS3-PTT-DELAY"), 0, kTenthsMax},
        {QStringLiteral("TS3-RX-DELAY"), 0, kTenthsMax},
        {QStringLiteral("TS3-TX-MAXTIME"), 1, kSecondsMax},
        {QStringLiteral("TS3-TX-MAXRESET"), 0, kSecondsMax},
        {QStringLiteral("HF-TX-MAXTIME"), 1, kSecondsMax},
        {QStringLiteral("HF-TX-MAXRESET"), 0, kSecondsMax},
        {QStringLiteral("HF-BAKE-TIME"), 1, kSecondsMax},
        {QStringLiteral("DTMF-RESET-TIME"), 0, kDtmfTicksMax},
        {QStringLiteral("DTMF-AKTIV-TIME"), 0, kDtmfTicksMax},
        {QStringLiteral("DTMF-PROC-DELAY"), 0, kDtmfTicksMax},
    };
    return table;
}

QList<Replaced> replaceOutOfRange(SettingsList& list)
{
    QList<Replaced> out;
    for (const KeyRange& r : rangeTable()) {
        const QString v = list.value(r.key);
        if (v.isEmpty())
            continue;   // absent: the defaults fill it in
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
    if (list->value(QStringLiteral("gateUID")).isEmpty() || list->value(QStringLiteral("gateName")).isEmpty()) {
        r.error = LoadError::MissingIdentity;
        return r;
    }
    r.list = *list;
    completeWithDefaults(r.list, clock);
    return r;
}

LoadResult loadFromParams(const SettingsList& params, const Clock& clock)
{
    return load(params.value(QStringLiteral("CFG_FILE")), clock);
}

QString loadErrorText()
{
    return GetText(QStringLiteral("0060"));
}

void stampForSave(SettingsList& list, int windowTop, int windowLeft, const Clock& clock)
{
    list.setValue(QStringLiteral("activTime"), DateTimeText(clock.now()));
    list.setInt(QStringLiteral("windowTPos"), windowTop);
    list.setInt(QStringLiteral("windowLPos"), windowLeft);
}

bool save(const QString& path, const SettingsList& list)
{
    return SaveSettingsFile(path, list);
}

} // namespace gatewayconfig
