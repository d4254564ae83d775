// The keys of a gateway's settings list (DATARRAY, the gateway file), declared once. Code
// names a setting by its constant, so a misspelt key does not compile; the key table with
// the defaults (gatewayconfig.h) lists the same constants. The stored names are frozen:
// gateway files carry them.
#pragma once
#include <QString>

namespace gwkey {
// General and window
inline const QString gateUID = QStringLiteral("gateUID");
inline const QString gateName = QStringLiteral("gateName");
inline const QString activTime = QStringLiteral("activTime");
inline const QString windowTPos = QStringLiteral("windowTPos");
inline const QString windowLPos = QStringLiteral("windowLPos");
inline const QString gateAutorun = QStringLiteral("gateAutorun");
inline const QString gateExitDlg = QStringLiteral("gateExitDlg");
inline const QString SHOW_WINDOW = QStringLiteral("SHOW-WINDOW");
inline const QString WINDOW_TYPE = QStringLiteral("WINDOW-TYPE");
inline const QString SPRACHE = QStringLiteral("SPRACHE");
inline const QString AUTO_AUS_ON = QStringLiteral("AUTO-AUS-ON");
inline const QString AUTO_AUS_TIME = QStringLiteral("AUTO-AUS-TIME");
inline const QString AUTO_AUS_ACTION = QStringLiteral("AUTO-AUS-ACTION");

// Levels
inline const QString AUDIO_USER_VOLUME = QStringLiteral("AUDIO-USER-VOLUME");
inline const QString AUDIO_WAVE_VOLUME = QStringLiteral("AUDIO-WAVE-VOLUME");
inline const QString WAVE_REDUZIERUNG = QStringLiteral("WAVE-REDUZIERUNG");

// TeamSpeak connection and relay
inline const QString TS3_CONNECT_TYPE = QStringLiteral("TS3-CONNECT-TYPE");
inline const QString TS3_BOOK_NAME = QStringLiteral("TS3-BOOK-NAME");
inline const QString TS3_BOOK_UID = QStringLiteral("TS3-BOOK-UID");
inline const QString TS3_NICK = QStringLiteral("TS3-NICK");
inline const QString TS3_INFO_TXT = QStringLiteral("TS3-INFO-TXT");
inline const QString TS3_NICK_WRITE = QStringLiteral("TS3-NICK-WRITE");
inline const QString TS3_HOST = QStringLiteral("TS3-HOST");
inline const QString TS3_START_CHANNEL = QStringLiteral("TS3-START-CHANNEL");
inline const QString TS3_START_CHAN_ID = QStringLiteral("TS3-START-CHAN-ID");
inline const QString TS3_IDENTIS_PROF = QStringLiteral("TS3-IDENTIS-PROF");
inline const QString TS3_SND_IN_PROF = QStringLiteral("TS3-SND-IN-PROF");
inline const QString TS3_SND_OUT_PROF = QStringLiteral("TS3-SND-OUT-PROF");
inline const QString TS3_SERV_PASSWD = QStringLiteral("TS3-SERV-PASSWD");
inline const QString TS3_CHAN_PASSWD = QStringLiteral("TS3-CHAN-PASSWD");
inline const QString TS3_CMDR_ON_ON = QStringLiteral("TS3-CMDR-ON-ON");
inline const QString TS3_CMDR_ON_ACT = QStringLiteral("TS3-CMDR-ON-ACT");
inline const QString TS3_CMDR_ON_TX = QStringLiteral("TS3-CMDR-ON-TX");
inline const QString TS3_CMDR_ON_RX = QStringLiteral("TS3-CMDR-ON-RX");
inline const QString TS3_TX_VOX_LV = QStringLiteral("TS3-TX-VOX-LV");
inline const QString TS3_VOX_DELAY = QStringLiteral("TS3-VOX-DELAY");
inline const QString TS3_PTT_DELAY = QStringLiteral("TS3-PTT-DELAY");
inline const QString TS3_RX_DELAY = QStringLiteral("TS3-RX-DELAY");
inline const QString TS3_MOVING_CLIENT = QStringLiteral("TS3-MOVING-CLIENT");
inline const QString TS3_DOPPEL_RX = QStringLiteral("TS3-DOPPEL-RX");
inline const QString TS3_TX_MAX_ON = QStringLiteral("TS3-TX-MAX-ON");
inline const QString TS3_TX_MAXTIME = QStringLiteral("TS3-TX-MAXTIME");
inline const QString TS3_TX_MAXRESET = QStringLiteral("TS3-TX-MAXRESET");
inline const QString TS3_TX_PIN = QStringLiteral("TS3-TX-PIN");
inline const QString TS3_SPAM_COUNT = QStringLiteral("TS3-SPAM-COUNT");
inline const QString TS3_SPAM_DELAY = QStringLiteral("TS3-SPAM-DELAY");

// Serial lines
inline const QString COM_OUT_NUM = QStringLiteral("COM-OUT-NUM");
inline const QString COM_OUT_ON = QStringLiteral("COM-OUT-ON");
inline const QString COM_OUT_PIN = QStringLiteral("COM-OUT-PIN");
inline const QString COM_OUT_INVERT = QStringLiteral("COM-OUT-INVERT");
inline const QString COM_OUT_TX_NUM = QStringLiteral("COM-OUT-TX-NUM");
inline const QString COM_OUT_TX_ON = QStringLiteral("COM-OUT-TX-ON");
inline const QString COM_OUT_TX_PIN = QStringLiteral("COM-OUT-TX-PIN");
inline const QString COM_OUT_TX_INVERT = QStringLiteral("COM-OUT-TX-INVERT");
inline const QString COM_IN_NUM = QStringLiteral("COM-IN-NUM");
inline const QString COM_IN_ON = QStringLiteral("COM-IN-ON");
inline const QString COM_IN_PIN = QStringLiteral("COM-IN-PIN");
inline const QString COM_IN_INVERT = QStringLiteral("COM-IN-INVERT");

// Radio side, tone signals and announcements
inline const QString HF_TX_DELAY = QStringLiteral("HF-TX-DELAY");
inline const QString HF_TX_MAX_ON = QStringLiteral("HF-TX-MAX-ON");
inline const QString HF_TX_MAXTIME = QStringLiteral("HF-TX-MAXTIME");
inline const QString HF_TX_MAXRESET = QStringLiteral("HF-TX-MAXRESET");
inline const QString HF_ROGER_BEEP = QStringLiteral("HF-ROGER-BEEP");
inline const QString HF_ROGER_DATA = QStringLiteral("HF-ROGER-DATA");
inline const QString HF_ROGER_VOLUME = QStringLiteral("HF-ROGER-VOLUME");
inline const QString HF_ROGER_WAIT = QStringLiteral("HF-ROGER-WAIT");
inline const QString HF_CALL_FREQ = QStringLiteral("HF-CALL-FREQ");
inline const QString HF_CALL_LENG = QStringLiteral("HF-CALL-LENG");
inline const QString HF_CALL_VOLU = QStringLiteral("HF-CALL-VOLU");
inline const QString HF_CALL_TPWR = QStringLiteral("HF-CALL-TPWR");
inline const QString HF_BAKE_ON = QStringLiteral("HF-BAKE-ON");
inline const QString HF_BAKE_TIME = QStringLiteral("HF-BAKE-TIME");
inline const QString HF_BAKE_AFRX = QStringLiteral("HF-BAKE-AFRX");
inline const QString HF_BAKE_AFTX = QStringLiteral("HF-BAKE-AFTX");
inline const QString HF_BAKE_VOLU = QStringLiteral("HF-BAKE-VOLU");
inline const QString HF_BAKE_FILE = QStringLiteral("HF-BAKE-FILE");
inline const QString HF_BAKE_WAIT = QStringLiteral("HF-BAKE-WAIT");
inline const QString HF_BAKE_CALL = QStringLiteral("HF-BAKE-CALL");
inline const QString HF_BAKE_USER = QStringLiteral("HF-BAKE-USER");
inline const QString HF_RXINFO_BEEP = QStringLiteral("HF-RXINFO-BEEP");
inline const QString HF_RXINFO_VOLUME = QStringLiteral("HF-RXINFO-VOLUME");
inline const QString HF_RXINFO_DATA = QStringLiteral("HF-RXINFO-DATA");
inline const QString HF_RXINFO_DELAY = QStringLiteral("HF-RXINFO-DELAY");
inline const QString HF_RXEND_BEEP = QStringLiteral("HF-RXEND-BEEP");
inline const QString HF_RXEND_VOLUME = QStringLiteral("HF-RXEND-VOLUME");
inline const QString HF_RXEND_DATA = QStringLiteral("HF-RXEND-DATA");
inline const QString HF_RXSTART_BEEP = QStringLiteral("HF-RXSTART-BEEP");
inline const QString HF_RXSTART_VOLUME = QStringLiteral("HF-RXSTART-VOLUME");
inline const QString HF_RXSTART_DATA = QStringLiteral("HF-RXSTART-DATA");
inline const QString HF_ZEIT_INFO = QStringLiteral("HF-ZEIT-INFO");
inline const QString HF_ZEIT_INFOCALL = QStringLiteral("HF-ZEIT-INFOCALL");
inline const QString HF_OFFLINE_DEVICE = QStringLiteral("HF-OFFLINE-DEVICE");
inline const QString HF_OFFLINE_VOLUME = QStringLiteral("HF-OFFLINE-VOLUME");
inline const QString HF_WAVE_VORLAUF = QStringLiteral("HF-WAVE-VORLAUF");
inline const QString HF_WAVE_NACHLAUF = QStringLiteral("HF-WAVE-NACHLAUF");
inline const QString HF_WAVE_USERIN = QStringLiteral("HF-WAVE-USERIN");
inline const QString HF_WAVE_USEROUT = QStringLiteral("HF-WAVE-USEROUT");
inline const QString TS_CONNECT_WAVE = QStringLiteral("TS-CONNECT-WAVE");
inline const QString TS_DISCONNECT_WAVE = QStringLiteral("TS-DISCONNECT-WAVE");
inline const QString TS_CONNECT_CALLINFO = QStringLiteral("TS-CONNECT-CALLINFO");

// Remote control by TeamSpeak users
inline const QString REM_MOVE_ON = QStringLiteral("REM-MOVE-ON");
inline const QString REM_MOVE_REG = QStringLiteral("REM-MOVE-REG");
inline const QString REM_MUTE_ON = QStringLiteral("REM-MUTE-ON");
inline const QString REM_MUTE_REG = QStringLiteral("REM-MUTE-REG");
inline const QString REM_REST_ON = QStringLiteral("REM-REST-ON");
inline const QString REM_REST_REG = QStringLiteral("REM-REST-REG");
inline const QString REM_CALL_ON = QStringLiteral("REM-CALL-ON");
inline const QString REM_CALL_REG = QStringLiteral("REM-CALL-REG");
inline const QString REM_AWAY_ON = QStringLiteral("REM-AWAY-ON");
inline const QString REM_AWAY_REG = QStringLiteral("REM-AWAY-REG");
inline const QString REM_DTMF_ON = QStringLiteral("REM-DTMF-ON");
inline const QString REM_DTMF_REG = QStringLiteral("REM-DTMF-REG");
inline const QString REM_ZVEI_ON = QStringLiteral("REM-ZVEI-ON");
inline const QString REM_ZVEI_REG = QStringLiteral("REM-ZVEI-REG");
inline const QString REM_TRX_ON = QStringLiteral("REM-TRX-ON");
inline const QString REM_TRX_REG = QStringLiteral("REM-TRX-REG");
inline const QString REM_TRX_IP = QStringLiteral("REM-TRX-IP");
inline const QString REM_TRX_PORT = QStringLiteral("REM-TRX-PORT");
inline const QString REM_TRX_KEY = QStringLiteral("REM-TRX-KEY");
inline const QString REM_SENDER_PWD = QStringLiteral("REM-SENDER-PWD");
inline const QString REM_ADMIN_PWD = QStringLiteral("REM-ADMIN-PWD");
inline const QString SET_SENDER_OFF = QStringLiteral("SET-SENDER-OFF");
inline const QString FROM_SUPPORT_MAIL = QStringLiteral("FROM-SUPPORT-MAIL");

// DTMF control
inline const QString DTMF_ON = QStringLiteral("DTMF-ON");
inline const QString DTMF_INFO_ON = QStringLiteral("DTMF-INFO-ON");
inline const QString DTMF_MOVE_ON = QStringLiteral("DTMF-MOVE-ON");
inline const QString DTMF_RUFE_ON = QStringLiteral("DTMF-RUFE-ON");
inline const QString DTMF_INPUT_DEVICE = QStringLiteral("DTMF-INPUT-DEVICE");
inline const QString DTMF_RESET_TIME = QStringLiteral("DTMF-RESET-TIME");
inline const QString DTMF_AKTIV_TIME = QStringLiteral("DTMF-AKTIV-TIME");
inline const QString DTMF_PROC_DELAY = QStringLiteral("DTMF-PROC-DELAY");
inline const QString DTMF_INFO_WAVE = QStringLiteral("DTMF-INFO-WAVE");
inline const QString DTMF_INFO_WAVE_2 = QStringLiteral("DTMF-INFO-WAVE-2");

// The window's opening parameters (RDK3_LoadParams): the gateway file to open.
inline const QString CFG_FILE = QStringLiteral("CFG_FILE");

} // namespace gwkey
