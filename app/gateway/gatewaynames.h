// The names of a gateway's runtime lists, declared once: hold entries of SPEAKERS, the
// delayed actions of COUNTER and the own-client flags of TS3FLAGS. A misspelt name does
// not compile. Setting keys are in app/config/gatewaykeys.h.
#pragma once
#include <QString>

// Hold entries: while one is in SPEAKERS the radio stays keyed. A value above 0 counts
// down in relay ticks, -1 holds until the entry is taken away.
namespace hold {
inline const QString TS3_RX = QStringLiteral("TS3-RX");             // TeamSpeak speech relayed, and its release delay
inline const QString ROGER_WAIT = QStringLiteral("ROGER-WAIT");     // waits for the roger beep
inline const QString HF_TS3W_PLAY = QStringLiteral("HF-TS3W-PLAY"); // a wave the plugin plays
inline const QString HF_WAVE_PLAY = QStringLiteral("HF-WAVE-PLAY"); // a wave the local player plays (offline)
inline const QString KLICK_LED = QStringLiteral("KLICK-LED");       // the radio lamp pressed by hand
} // namespace hold

// Delayed actions of the one-second counters (COUNTER): the value counts seconds down;
// at 0 the action runs.
namespace counter {
inline const QString TS3_MUTE_0 = QStringLiteral("TS3-MUTE-0");         // SETMUTE 0
inline const QString TS3_MUTE_1 = QStringLiteral("TS3-MUTE-1");         // SETMUTE 1
inline const QString TS3_RUHE_0 = QStringLiteral("TS3-RUHE-0");         // SETRUHE 0
inline const QString TS3_RUHE_1 = QStringLiteral("TS3-RUHE-1");         // SETRUHE 1
inline const QString TS3_AWAY_0 = QStringLiteral("TS3-AWAY-0");         // SETAFK 0
inline const QString TS3_AWAY_1 = QStringLiteral("TS3-AWAY-1");         // SETAFK 1
inline const QString TXTIME_TS3_ON = QStringLiteral("TXTIME-TS3-ON");   // TeamSpeak-side airtime running
inline const QString TXTIME_TS3_OFF = QStringLiteral("TXTIME-TS3-OFF"); // TeamSpeak-side block running
inline const QString TXTIME_HF_ON = QStringLiteral("TXTIME-HF-ON");     // radio-side airtime running
inline const QString TXTIME_HF_OFF = QStringLiteral("TXTIME-HF-OFF");   // radio-side block running
inline const QString TS3_RECONNECT = QStringLiteral("TS3-RECONNECT");   // GW_CONNECT again
inline const QString TS3_START_CONNECT_WAIT = QStringLiteral("TS3-START-CONNECT-WAIT"); // GW_START later
} // namespace counter

// The own client's settings as the plugin reports them (SELFVAR), by the client's
// property number.
namespace clientflag {
inline const QString NICKNAME = QStringLiteral("1");
inline const QString INPUT_MUTED = QStringLiteral("5");        // SETRUHE
inline const QString OUTPUT_MUTED = QStringLiteral("6");       // SETMUTE
inline const QString INPUT_DEACTIVATED = QStringLiteral("10"); // "0": the client's push-to-talk is on
inline const QString AWAY = QStringLiteral("38");              // SETAFK
inline const QString CHANNEL_COMMANDER = QStringLiteral("57"); // SETCHCOM
} // namespace clientflag
