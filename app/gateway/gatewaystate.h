// The runtime state of a gateway engine, in small groups that keep the names the rest of
// the program knows them by, and the one rule every countdown field follows.
#pragma once
#include <QChar>
#include <QString>
#include <QtGlobal>

// A countdown field counts the ticks of the timer that runs it: above 0 it is decreased,
// at 0 its action fires and the field becomes -1, -1 (or any negative value) is idle. So
// a countdown set to n fires on the (n + 1)-th tick. While paused a running countdown
// keeps its value.
enum class Countdown {
    Idle,    // nothing pending
    Running, // counted (or held while paused), the action is still ahead
    Fired,   // reached its end on this tick: run the action now
};
inline Countdown countDown(int& field, bool paused = false)
{
    if (field > 0) {
        if (!paused)
            --field;
        return Countdown::Running;
    }
    if (field == 0) {
        field = -1;
        return Countdown::Fired;
    }
    return Countdown::Idle;
}

// The voice relay (100 ms tick) and the talk events.
struct RelayState {
    int TS3_VOX_DELAY = -1;     // voice activation comes back when this runs out
    int TS3_PTT_DELAY = -1;     // pause after TeamSpeak speech before the squelch may key TeamSpeak
    bool VOX_IST_AKTIV = false; // voice activation is on
    int TS3_ROG_DELAY = -1;     // roger beep
    int RXINFO_DELAY = -1;      // acknowledgement beep after the own client stopped
    int COUNT_WPLAY = -1;       // ticks left of a wave the plugin plays
    bool TS_TX_STATUS = false;  // the own client transmits
    bool TS_RX_STATUS = false;  // TeamSpeak speech is relayed to the radio
    int WAVE_LV_IST = -20;      // wave level last sent
    int SPAM_COUNT_VAR = 0;     // seconds of "one at a time" replies in the last while
};

// The beacon (relay tick).
struct BeaconState {
    int BAKE_WAIT = -1;      // ticks to the next beacon
    int BAKE_TX_COUNT = 0;   // overs of the own client since the last beacon
    int BAKE_RX_COUNT = 0;   // relayed overs since the last beacon
    bool WAR_TS3_RX = false; // a relayed over ended and is still to be counted
};

// DTMF control (250 ms tick).
struct DtmfState {
    QChar DTMF_CHAR = QLatin1Char('X'); // last digit, for the repeat guard
    QString DTMF_CODE;                  // digits keyed so far
    int DTMF_WAIT = -1;                 // repeat guard
    bool DTMF_AKTIV = false;            // a command is being keyed
    int DTMF_AWAIT = -1;                // input window
    int DTMF_DELAY = -1;                // delay before a complete command runs
    QString DTMF_DCODE;                 // the command that waits for it
    bool DTMF_MUTED = false;            // the input muted the playback itself (only then is it unmuted)
};

// The gateway's own ping (5 s).
struct PingState {
    int PiPoErrors = 0;  // pings since the last answer
    qint64 LastPong = 0; // timestamp of the last answer
};
