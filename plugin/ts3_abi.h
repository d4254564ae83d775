/*
 * Relaydeck_Link: our own C declarations of the TeamSpeak 3 client plugin
 * interface, API version 21 (the function table the client hands over, the
 * structs and enums that cross the boundary, the ts3plugin_* entry points).
 *
 * C-compatible so that both the plugin and a substitute client can use it.
 *
 * Traps worth knowing:
 *  - ts3plugin_setFunctionPointers receives the table BY VALUE. Copy it (or the
 *    members needed) during the call; never keep the parameter's address.
 *  - getPluginPath (#182) takes three parameters in API 21 (path, maxLen, pluginID).
 *  - registerPluginID may arrive before or after init: do not rely on having
 *    the plugin ID inside init.
 *  - Blocks the client hands out go back through TS3Functions.freeMemory; blocks
 *    the plugin hands out come back through ts3plugin_freeMemory.
 *  - Texts passed into callbacks are only valid during the call.
 */
#ifndef RELAYDECK_PLUGIN_TS3_ABI_H
#define RELAYDECK_PLUGIN_TS3_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RD_TS3_API_VERSION 21

/* ---- Basic types ------------------------------------------------------- */
typedef uint16_t anyID;  /* client ids, transfer ids */
typedef uint64_t uint64; /* handler, channel, database ids, wave handles */

typedef struct TS3_VECTOR {
    float x;
    float y;
    float z;
} TS3_VECTOR;

/* ---- Size constants ---------------------------------------------------- */
#define PLUGIN_MENU_BUFSZ 128
#define PLUGIN_HOTKEY_BUFSZ 128
#define TS3_MAX_SIZE_CHANNEL_NAME 40
#define TS3_MAX_SIZE_VIRTUALSERVER_NAME 64
#define TS3_MAX_SIZE_CLIENT_NICKNAME 64
#define TS3_MIN_SIZE_CLIENT_NICKNAME 3
#define TS3_MAX_SIZE_REASON_MESSAGE 80
#define TS3_MAX_SIZE_TEXTMESSAGE 1024
#define TS3_MAX_SIZE_CHANNEL_TOPIC 255
#define TS3_MAX_SIZE_CHANNEL_DESCRIPTION 8192
#define TS3_MAX_SIZE_VIRTUALSERVER_WELCOMEMESSAGE 1024
#define TS3_MAX_SIZE_AWAY_MESSAGE 80
#define TS3_MAX_SIZE_POKE_MESSAGE 100
#define TS3_MAX_SIZE_CLIENT_DESCRIPTION 200
#define TS3_MAX_SIZE_PLUGIN_COMMAND (1024 * 8)
#define TS3_MAX_SIZE_OFFLINE_MESSAGE 4096
#define TS3_MAX_SIZE_OFFLINE_MESSAGE_SUBJECT 200

/* ---- Enums ------------------------------------------------------------- */
enum PluginConfigureOffer {
    PLUGIN_OFFERS_NO_CONFIGURE = 0,
    PLUGIN_OFFERS_CONFIGURE_NEW_THREAD = 1,
    PLUGIN_OFFERS_CONFIGURE_QT_THREAD = 2
};

enum PluginMessageTarget { PLUGIN_MESSAGE_TARGET_SERVER = 0, PLUGIN_MESSAGE_TARGET_CHANNEL = 1 };

enum PluginItemType { PLUGIN_SERVER = 0, PLUGIN_CHANNEL = 1, PLUGIN_CLIENT = 2 };

enum PluginMenuType { PLUGIN_MENU_TYPE_GLOBAL = 0, PLUGIN_MENU_TYPE_CHANNEL = 1, PLUGIN_MENU_TYPE_CLIENT = 2 };

enum PluginGuiProfile {
    PLUGIN_GUI_SOUND_CAPTURE = 0,
    PLUGIN_GUI_SOUND_PLAYBACK = 1,
    PLUGIN_GUI_HOTKEY = 2,
    PLUGIN_GUI_SOUNDPACK = 3,
    PLUGIN_GUI_IDENTITY = 4
};

enum PluginConnectTab {
    PLUGIN_CONNECT_TAB_NEW = 0,
    PLUGIN_CONNECT_TAB_CURRENT = 1,
    PLUGIN_CONNECT_TAB_NEW_IF_CURRENT_CONNECTED = 2
};

enum PluginTargetMode {
    PluginCommandTarget_CURRENT_CHANNEL = 0,
    PluginCommandTarget_SERVER = 1,
    PluginCommandTarget_CLIENT = 2,
    PluginCommandTarget_CURRENT_CHANNEL_SUBSCRIBED_CLIENTS = 3,
    PluginCommandTarget_MAX = 4
};

enum ConnectStatus {
    STATUS_DISCONNECTED = 0,
    STATUS_CONNECTING = 1,
    STATUS_CONNECTED = 2,
    STATUS_CONNECTION_ESTABLISHING = 3,
    STATUS_CONNECTION_ESTABLISHED = 4
};

enum Visibility { ENTER_VISIBILITY = 0, RETAIN_VISIBILITY = 1, LEAVE_VISIBILITY = 2 };

enum LogLevel {
    LogLevel_CRITICAL = 0,
    LogLevel_ERROR = 1,
    LogLevel_WARNING = 2,
    LogLevel_DEBUG = 3,
    LogLevel_INFO = 4,
    LogLevel_DEVEL = 5
};

enum TalkStatus { STATUS_NOT_TALKING = 0, STATUS_TALKING = 1, STATUS_TALKING_WHILE_DISABLED = 2 };

enum TextMessageTargetMode {
    TextMessageTarget_CLIENT = 1,
    TextMessageTarget_CHANNEL = 2,
    TextMessageTarget_SERVER = 3,
    TextMessageTarget_MAX = 4
};

enum LocalTestMode { TEST_MODE_OFF = 0, TEST_MODE_VOICE_LOCAL_ONLY = 1, TEST_MODE_VOICE_LOCAL_AND_REMOTE = 2 };

enum CodecType {
    CODEC_SPEEX_NARROWBAND = 0,
    CODEC_SPEEX_WIDEBAND = 1,
    CODEC_SPEEX_ULTRAWIDEBAND = 2,
    CODEC_CELT_MONO = 3,
    CODEC_OPUS_VOICE = 4,
    CODEC_OPUS_MUSIC = 5
};

/* ---- Property numbers (the size_t "flag" of the variable functions) ----- */
/* One numbering per family; the *_DUMMY_n numbers are reserved, the
 * *_ENDMARKER_RARE value is a count. */
enum ClientProperties {
    CLIENT_UNIQUE_IDENTIFIER = 0,
    CLIENT_NICKNAME = 1,
    CLIENT_VERSION = 2,
    CLIENT_PLATFORM = 3,
    CLIENT_FLAG_TALKING = 4,
    CLIENT_INPUT_MUTED = 5,
    CLIENT_OUTPUT_MUTED = 6,
    CLIENT_OUTPUTONLY_MUTED = 7,
    CLIENT_INPUT_HARDWARE = 8,
    CLIENT_OUTPUT_HARDWARE = 9,
    CLIENT_INPUT_DEACTIVATED = 10,
    CLIENT_IDLE_TIME = 11,
    CLIENT_DEFAULT_CHANNEL = 12,
    CLIENT_DEFAULT_CHANNEL_PASSWORD = 13,
    CLIENT_SERVER_PASSWORD = 14,
    CLIENT_META_DATA = 15,
    CLIENT_IS_MUTED = 16,
    CLIENT_IS_RECORDING = 17,
    CLIENT_VOLUME_MODIFICATOR = 18,
    CLIENT_VERSION_SIGN = 19,
    CLIENT_SECURITY_HASH = 20,
    CLIENT_DUMMY_3 = 21,
    CLIENT_ENDMARKER = 21,
    CLIENT_DUMMY_4 = 22,
    CLIENT_DUMMY_5 = 23,
    CLIENT_DUMMY_6 = 24,
    CLIENT_DUMMY_7 = 25,
    CLIENT_DUMMY_8 = 26,
    CLIENT_DUMMY_9 = 27,
    CLIENT_KEY_OFFSET = 28,
    CLIENT_LAST_VAR_REQUEST = 29,
    CLIENT_LOGIN_NAME = 30,
    CLIENT_LOGIN_PASSWORD = 31,
    CLIENT_DATABASE_ID = 32,
    CLIENT_CHANNEL_GROUP_ID = 33,
    CLIENT_SERVERGROUPS = 34,
    CLIENT_CREATED = 35,
    CLIENT_LASTCONNECTED = 36,
    CLIENT_TOTALCONNECTIONS = 37,
    CLIENT_AWAY = 38,
    CLIENT_AWAY_MESSAGE = 39,
    CLIENT_TYPE = 40,
    CLIENT_FLAG_AVATAR = 41,
    CLIENT_TALK_POWER = 42,
    CLIENT_TALK_REQUEST = 43,
    CLIENT_TALK_REQUEST_MSG = 44,
    CLIENT_DESCRIPTION = 45,
    CLIENT_IS_TALKER = 46,
    CLIENT_MONTH_BYTES_UPLOADED = 47,
    CLIENT_MONTH_BYTES_DOWNLOADED = 48,
    CLIENT_TOTAL_BYTES_UPLOADED = 49,
    CLIENT_TOTAL_BYTES_DOWNLOADED = 50,
    CLIENT_IS_PRIORITY_SPEAKER = 51,
    CLIENT_UNREAD_MESSAGES = 52,
    CLIENT_NICKNAME_PHONETIC = 53,
    CLIENT_NEEDED_SERVERQUERY_VIEW_POWER = 54,
    CLIENT_DEFAULT_TOKEN = 55,
    CLIENT_ICON_ID = 56,
    CLIENT_IS_CHANNEL_COMMANDER = 57,
    CLIENT_COUNTRY = 58,
    CLIENT_CHANNEL_GROUP_INHERITED_CHANNEL_ID = 59,
    CLIENT_BADGES = 60,
    CLIENT_ENDMARKER_RARE = 61,
};

enum ChannelProperties {
    CHANNEL_NAME = 0,
    CHANNEL_TOPIC = 1,
    CHANNEL_DESCRIPTION = 2,
    CHANNEL_PASSWORD = 3,
    CHANNEL_CODEC = 4,
    CHANNEL_CODEC_QUALITY = 5,
    CHANNEL_MAXCLIENTS = 6,
    CHANNEL_MAXFAMILYCLIENTS = 7,
    CHANNEL_ORDER = 8,
    CHANNEL_FLAG_PERMANENT = 9,
    CHANNEL_FLAG_SEMI_PERMANENT = 10,
    CHANNEL_FLAG_DEFAULT = 11,
    CHANNEL_FLAG_PASSWORD = 12,
    CHANNEL_CODEC_LATENCY_FACTOR = 13,
    CHANNEL_CODEC_IS_UNENCRYPTED = 14,
    CHANNEL_SECURITY_SALT = 15,
    CHANNEL_DELETE_DELAY = 16,
    CHANNEL_DUMMY_2 = 17,
    CHANNEL_ENDMARKER = 17,
    CHANNEL_DUMMY_3 = 18,
    CHANNEL_DUMMY_4 = 19,
    CHANNEL_DUMMY_5 = 20,
    CHANNEL_DUMMY_6 = 21,
    CHANNEL_DUMMY_7 = 22,
    CHANNEL_FLAG_MAXCLIENTS_UNLIMITED = 23,
    CHANNEL_FLAG_MAXFAMILYCLIENTS_UNLIMITED = 24,
    CHANNEL_FLAG_MAXFAMILYCLIENTS_INHERITED = 25,
    CHANNEL_FLAG_ARE_SUBSCRIBED = 26,
    CHANNEL_FILEPATH = 27,
    CHANNEL_NEEDED_TALK_POWER = 28,
    CHANNEL_FORCED_SILENCE = 29,
    CHANNEL_NAME_PHONETIC = 30,
    CHANNEL_ICON_ID = 31,
    CHANNEL_FLAG_PRIVATE = 32,
    CHANNEL_ENDMARKER_RARE = 33,
};

enum VirtualServerProperties {
    VIRTUALSERVER_UNIQUE_IDENTIFIER = 0,
    VIRTUALSERVER_NAME = 1,
    VIRTUALSERVER_WELCOMEMESSAGE = 2,
    VIRTUALSERVER_PLATFORM = 3,
    VIRTUALSERVER_VERSION = 4,
    VIRTUALSERVER_MAXCLIENTS = 5,
    VIRTUALSERVER_PASSWORD = 6,
    VIRTUALSERVER_CLIENTS_ONLINE = 7,
    VIRTUALSERVER_CHANNELS_ONLINE = 8,
    VIRTUALSERVER_CREATED = 9,
    VIRTUALSERVER_UPTIME = 10,
    VIRTUALSERVER_CODEC_ENCRYPTION_MODE = 11,
    VIRTUALSERVER_DUMMY_0 = 12,
    VIRTUALSERVER_ENDMARKER = 12,
    VIRTUALSERVER_DUMMY_1 = 13,
    VIRTUALSERVER_DUMMY_2 = 14,
    VIRTUALSERVER_DUMMY_3 = 15,
    VIRTUALSERVER_DUMMY_4 = 16,
    VIRTUALSERVER_DUMMY_5 = 17,
    VIRTUALSERVER_DUMMY_6 = 18,
    VIRTUALSERVER_DUMMY_7 = 19,
    VIRTUALSERVER_DUMMY_8 = 20,
    VIRTUALSERVER_KEYPAIR = 21,
    VIRTUALSERVER_HOSTMESSAGE = 22,
    VIRTUALSERVER_HOSTMESSAGE_MODE = 23,
    VIRTUALSERVER_FILEBASE = 24,
    VIRTUALSERVER_DEFAULT_SERVER_GROUP = 25,
    VIRTUALSERVER_DEFAULT_CHANNEL_GROUP = 26,
    VIRTUALSERVER_FLAG_PASSWORD = 27,
    VIRTUALSERVER_DEFAULT_CHANNEL_ADMIN_GROUP = 28,
    VIRTUALSERVER_MAX_DOWNLOAD_TOTAL_BANDWIDTH = 29,
    VIRTUALSERVER_MAX_UPLOAD_TOTAL_BANDWIDTH = 30,
    VIRTUALSERVER_HOSTBANNER_URL = 31,
    VIRTUALSERVER_HOSTBANNER_GFX_URL = 32,
    VIRTUALSERVER_HOSTBANNER_GFX_INTERVAL = 33,
    VIRTUALSERVER_COMPLAIN_AUTOBAN_COUNT = 34,
    VIRTUALSERVER_COMPLAIN_AUTOBAN_TIME = 35,
    VIRTUALSERVER_COMPLAIN_REMOVE_TIME = 36,
    VIRTUALSERVER_MIN_CLIENTS_IN_CHANNEL_BEFORE_FORCED_SILENCE = 37,
    VIRTUALSERVER_PRIORITY_SPEAKER_DIMM_MODIFICATOR = 38,
    VIRTUALSERVER_ID = 39,
    VIRTUALSERVER_ANTIFLOOD_POINTS_TICK_REDUCE = 40,
    VIRTUALSERVER_ANTIFLOOD_POINTS_NEEDED_COMMAND_BLOCK = 41,
    VIRTUALSERVER_ANTIFLOOD_POINTS_NEEDED_IP_BLOCK = 42,
    VIRTUALSERVER_CLIENT_CONNECTIONS = 43,
    VIRTUALSERVER_QUERY_CLIENT_CONNECTIONS = 44,
    VIRTUALSERVER_HOSTBUTTON_TOOLTIP = 45,
    VIRTUALSERVER_HOSTBUTTON_URL = 46,
    VIRTUALSERVER_HOSTBUTTON_GFX_URL = 47,
    VIRTUALSERVER_QUERYCLIENTS_ONLINE = 48,
    VIRTUALSERVER_DOWNLOAD_QUOTA = 49,
    VIRTUALSERVER_UPLOAD_QUOTA = 50,
    VIRTUALSERVER_MONTH_BYTES_DOWNLOADED = 51,
    VIRTUALSERVER_MONTH_BYTES_UPLOADED = 52,
    VIRTUALSERVER_TOTAL_BYTES_DOWNLOADED = 53,
    VIRTUALSERVER_TOTAL_BYTES_UPLOADED = 54,
    VIRTUALSERVER_PORT = 55,
    VIRTUALSERVER_AUTOSTART = 56,
    VIRTUALSERVER_MACHINE_ID = 57,
    VIRTUALSERVER_NEEDED_IDENTITY_SECURITY_LEVEL = 58,
    VIRTUALSERVER_LOG_CLIENT = 59,
    VIRTUALSERVER_LOG_QUERY = 60,
    VIRTUALSERVER_LOG_CHANNEL = 61,
    VIRTUALSERVER_LOG_PERMISSIONS = 62,
    VIRTUALSERVER_LOG_SERVER = 63,
    VIRTUALSERVER_LOG_FILETRANSFER = 64,
    VIRTUALSERVER_MIN_CLIENT_VERSION = 65,
    VIRTUALSERVER_NAME_PHONETIC = 66,
    VIRTUALSERVER_ICON_ID = 67,
    VIRTUALSERVER_RESERVED_SLOTS = 68,
    VIRTUALSERVER_TOTAL_PACKETLOSS_SPEECH = 69,
    VIRTUALSERVER_TOTAL_PACKETLOSS_KEEPALIVE = 70,
    VIRTUALSERVER_TOTAL_PACKETLOSS_CONTROL = 71,
    VIRTUALSERVER_TOTAL_PACKETLOSS_TOTAL = 72,
    VIRTUALSERVER_TOTAL_PING = 73,
    VIRTUALSERVER_IP = 74,
    VIRTUALSERVER_WEBLIST_ENABLED = 75,
    VIRTUALSERVER_AUTOGENERATED_PRIVILEGEKEY = 76,
    VIRTUALSERVER_ASK_FOR_PRIVILEGEKEY = 77,
    VIRTUALSERVER_HOSTBANNER_MODE = 78,
    VIRTUALSERVER_CHANNEL_TEMP_DELETE_DELAY_DEFAULT = 79,
    VIRTUALSERVER_MIN_ANDROID_VERSION = 80,
    VIRTUALSERVER_MIN_IOS_VERSION = 81,
    VIRTUALSERVER_MIN_WINPHONE_VERSION = 82,
    VIRTUALSERVER_ENDMARKER_RARE = 83,
};

/* ---- Error codes ------------------------------------------------------- */
#define ERROR_ok 0x0000u
#define ERROR_undefined 0x0001u
#define ERROR_not_implemented 0x0002u
#define ERROR_ok_no_update 0x0003u
#define ERROR_dont_notify 0x0004u
#define ERROR_command_not_found 0x0100u
#define ERROR_port_already_in_use 0x0103u
#define ERROR_client_invalid_id 0x0200u
#define ERROR_channel_invalid_id 0x0300u
#define ERROR_server_invalid_id 0x0400u
#define ERROR_database_empty_result 0x0501u
#define ERROR_parameter_invalid 0x0602u
#define ERROR_connection_lost 0x0701u
#define ERROR_not_connected 0x0702u
#define ERROR_currently_not_possible 0x0704u
#define ERROR_invalid_server_connection_handler_id 0x0707u
#define ERROR_connection_ip_protocol_missing 0x070du
#define ERROR_permissions 0x0a0cu

/* ---- Structs ----------------------------------------------------------- */
/* Returned by ts3plugin_initMenus: 264 bytes, alignment 4. */
struct PluginMenuItem {
    enum PluginMenuType type;
    int id;
    char text[PLUGIN_MENU_BUFSZ];
    char icon[PLUGIN_MENU_BUFSZ];
};

/* Returned by ts3plugin_initHotkeys: 256 bytes, alignment 1. */
struct PluginHotkey {
    char keyword[PLUGIN_HOTKEY_BUFSZ];
    char description[PLUGIN_HOTKEY_BUFSZ];
};

struct PluginBookmarkList;

/* One bookmark or folder of the client's bookmark tree (getBookmarkList).
 * isFolder != 0: "folder" holds the nested list; otherwise "uuid". */
struct PluginBookmarkItem {
    char* name;
    unsigned char isFolder;
    unsigned char reserved[3];
    union {
        char* uuid;
        struct PluginBookmarkList* folder;
    };
};

/* itemcount items follow; the array is declared with length 1 but is as long
 * as itemcount says. */
struct PluginBookmarkList {
    int itemcount;
    struct PluginBookmarkItem items[1];
};

/* ---- The client function table ----------------------------------------- */
/* 209 function pointers, in this exact order. No data members. */
struct TS3Functions {
    /* Library & handlers */
    unsigned int (*getClientLibVersion)(char** result);                               /* 0 */
    unsigned int (*getClientLibVersionNumber)(uint64* result);                        /* 1 */
    unsigned int (*spawnNewServerConnectionHandler)(int port, uint64* result);        /* 2 */
    unsigned int (*destroyServerConnectionHandler)(uint64 serverConnectionHandlerID); /* 3 */
    /* Errors */
    unsigned int (*getErrorMessage)(unsigned int errorCode, char** error); /* 4 */
    /* Memory */
    unsigned int (*freeMemory)(void* pointer); /* 5 */
    /* Logging */
    unsigned int (*logMessage)(const char* logMessage, enum LogLevel severity, const char* channel,
                               uint64 logID); /* 6 */
    /* Sound devices */
    unsigned int (*getPlaybackDeviceList)(const char* modeID, char**** result);   /* 7 */
    unsigned int (*getPlaybackModeList)(char*** result);                          /* 8 */
    unsigned int (*getCaptureDeviceList)(const char* modeID, char**** result);    /* 9 */
    unsigned int (*getCaptureModeList)(char*** result);                           /* 10 */
    unsigned int (*getDefaultPlaybackDevice)(const char* modeID, char*** result); /* 11 */
    unsigned int (*getDefaultPlayBackMode)(char** result);                        /* 12 */
    unsigned int (*getDefaultCaptureDevice)(const char* modeID, char*** result);  /* 13 */
    unsigned int (*getDefaultCaptureMode)(char** result);                         /* 14 */
    unsigned int (*openPlaybackDevice)(uint64 serverConnectionHandlerID, const char* modeID,
                                       const char* playbackDevice); /* 15 */
    unsigned int (*openCaptureDevice)(uint64 serverConnectionHandlerID, const char* modeID,
                                      const char* captureDevice); /* 16 */
    unsigned int (*getCurrentPlaybackDeviceName)(uint64 serverConnectionHandlerID, char** result,
                                                 int* isDefault);                            /* 17 */
    unsigned int (*getCurrentPlayBackMode)(uint64 serverConnectionHandlerID, char** result); /* 18 */
    unsigned int (*getCurrentCaptureDeviceName)(uint64 serverConnectionHandlerID, char** result,
                                                int* isDefault);                            /* 19 */
    unsigned int (*getCurrentCaptureMode)(uint64 serverConnectionHandlerID, char** result); /* 20 */
    unsigned int (*initiateGracefulPlaybackShutdown)(uint64 serverConnectionHandlerID);     /* 21 */
    unsigned int (*closePlaybackDevice)(uint64 serverConnectionHandlerID);                  /* 22 */
    unsigned int (*closeCaptureDevice)(uint64 serverConnectionHandlerID);                   /* 23 */
    unsigned int (*activateCaptureDevice)(uint64 serverConnectionHandlerID);                /* 24 */
    unsigned int (*playWaveFileHandle)(uint64 serverConnectionHandlerID, const char* path, int loop,
                                       uint64* waveHandle);                                              /* 25 */
    unsigned int (*pauseWaveFileHandle)(uint64 serverConnectionHandlerID, uint64 waveHandle, int pause); /* 26 */
    unsigned int (*closeWaveFileHandle)(uint64 serverConnectionHandlerID, uint64 waveHandle);            /* 27 */
    unsigned int (*playWaveFile)(uint64 serverConnectionHandlerID, const char* path);                    /* 28 */
    unsigned int (*registerCustomDevice)(const char* deviceID, const char* deviceDisplayName, int capFrequency,
                                         int capChannels, int playFrequency, int playChannels);         /* 29 */
    unsigned int (*unregisterCustomDevice)(const char* deviceID);                                       /* 30 */
    unsigned int (*processCustomCaptureData)(const char* deviceName, const short* buffer, int samples); /* 31 */
    unsigned int (*acquireCustomPlaybackData)(const char* deviceName, short* buffer, int samples);      /* 32 */
    /* Pre-processor */
    unsigned int (*getPreProcessorInfoValueFloat)(uint64 serverConnectionHandlerID, const char* ident,
                                                  float* result); /* 33 */
    unsigned int (*getPreProcessorConfigValue)(uint64 serverConnectionHandlerID, const char* ident,
                                               char** result); /* 34 */
    unsigned int (*setPreProcessorConfigValue)(uint64 serverConnectionHandlerID, const char* ident,
                                               const char* value); /* 35 */
    /* Encoder */
    unsigned int (*getEncodeConfigValue)(uint64 serverConnectionHandlerID, const char* ident, char** result); /* 36 */
    /* Playback */
    unsigned int (*getPlaybackConfigValueAsFloat)(uint64 serverConnectionHandlerID, const char* ident,
                                                  float* result); /* 37 */
    unsigned int (*setPlaybackConfigValue)(uint64 serverConnectionHandlerID, const char* ident,
                                           const char* value);                                              /* 38 */
    unsigned int (*setClientVolumeModifier)(uint64 serverConnectionHandlerID, anyID clientID, float value); /* 39 */
    /* Recording */
    unsigned int (*startVoiceRecording)(uint64 serverConnectionHandlerID); /* 40 */
    unsigned int (*stopVoiceRecording)(uint64 serverConnectionHandlerID);  /* 41 */
    /* 3D sound */
    unsigned int (*systemset3DListenerAttributes)(uint64 serverConnectionHandlerID, const struct TS3_VECTOR* position,
                                                  const struct TS3_VECTOR* forward,
                                                  const struct TS3_VECTOR* up); /* 42 */
    unsigned int (*set3DWaveAttributes)(uint64 serverConnectionHandlerID, uint64 waveHandle,
                                        const struct TS3_VECTOR* position); /* 43 */
    unsigned int (*systemset3DSettings)(uint64 serverConnectionHandlerID, float distanceFactor,
                                        float rolloffScale); /* 44 */
    unsigned int (*channelset3DAttributes)(uint64 serverConnectionHandlerID, anyID clientID,
                                           const struct TS3_VECTOR* position); /* 45 */
    /* Server requests */
    unsigned int (*startConnection)(uint64 serverConnectionHandlerID, const char* identity, const char* ip,
                                    unsigned int port, const char* nickname, const char** defaultChannelArray,
                                    const char* defaultChannelPassword, const char* serverPassword); /* 46 */
    unsigned int (*stopConnection)(uint64 serverConnectionHandlerID, const char* quitMessage);       /* 47 */
    unsigned int (*requestClientMove)(uint64 serverConnectionHandlerID, anyID clientID, uint64 newChannelID,
                                      const char* password, const char* returnCode); /* 48 */
    unsigned int (*requestClientVariables)(uint64 serverConnectionHandlerID, anyID clientID,
                                           const char* returnCode); /* 49 */
    unsigned int (*requestClientKickFromChannel)(uint64 serverConnectionHandlerID, anyID clientID,
                                                 const char* kickReason, const char* returnCode); /* 50 */
    unsigned int (*requestClientKickFromServer)(uint64 serverConnectionHandlerID, anyID clientID,
                                                const char* kickReason, const char* returnCode); /* 51 */
    unsigned int (*requestChannelDelete)(uint64 serverConnectionHandlerID, uint64 channelID, int force,
                                         const char* returnCode); /* 52 */
    unsigned int (*requestChannelMove)(uint64 serverConnectionHandlerID, uint64 channelID, uint64 newChannelParentID,
                                       uint64 newChannelOrder, const char* returnCode); /* 53 */
    unsigned int (*requestSendPrivateTextMsg)(uint64 serverConnectionHandlerID, const char* message,
                                              anyID targetClientID, const char* returnCode); /* 54 */
    unsigned int (*requestSendChannelTextMsg)(uint64 serverConnectionHandlerID, const char* message,
                                              uint64 targetChannelID, const char* returnCode); /* 55 */
    unsigned int (*requestSendServerTextMsg)(uint64 serverConnectionHandlerID, const char* message,
                                             const char* returnCode); /* 56 */
    unsigned int (*requestConnectionInfo)(uint64 serverConnectionHandlerID, anyID clientID,
                                          const char* returnCode); /* 57 */
    unsigned int (*requestClientSetWhisperList)(uint64 serverConnectionHandlerID, anyID clientID,
                                                const uint64* targetChannelIDArray, const anyID* targetClientIDArray,
                                                const char* returnCode); /* 58 */
    unsigned int (*requestChannelSubscribe)(uint64 serverConnectionHandlerID, const uint64* channelIDArray,
                                            const char* returnCode);                                      /* 59 */
    unsigned int (*requestChannelSubscribeAll)(uint64 serverConnectionHandlerID, const char* returnCode); /* 60 */
    unsigned int (*requestChannelUnsubscribe)(uint64 serverConnectionHandlerID, const uint64* channelIDArray,
                                              const char* returnCode);                                      /* 61 */
    unsigned int (*requestChannelUnsubscribeAll)(uint64 serverConnectionHandlerID, const char* returnCode); /* 62 */
    unsigned int (*requestChannelDescription)(uint64 serverConnectionHandlerID, uint64 channelID,
                                              const char* returnCode); /* 63 */
    unsigned int (*requestMuteClients)(uint64 serverConnectionHandlerID, const anyID* clientIDArray,
                                       const char* returnCode); /* 64 */
    unsigned int (*requestUnmuteClients)(uint64 serverConnectionHandlerID, const anyID* clientIDArray,
                                         const char* returnCode); /* 65 */
    unsigned int (*requestClientPoke)(uint64 serverConnectionHandlerID, anyID clientID, const char* message,
                                      const char* returnCode); /* 66 */
    unsigned int (*requestClientIDs)(uint64 serverConnectionHandlerID, const char* clientUniqueIdentifier,
                                     const char* returnCode); /* 67 */
    unsigned int (*clientChatClosed)(uint64 serverConnectionHandlerID, const char* clientUniqueIdentifier,
                                     anyID clientID, const char* returnCode); /* 68 */
    unsigned int (*clientChatComposing)(uint64 serverConnectionHandlerID, anyID clientID,
                                        const char* returnCode); /* 69 */
    unsigned int (*requestServerTemporaryPasswordAdd)(uint64 serverConnectionHandlerID, const char* password,
                                                      const char* description, uint64 duration, uint64 targetChannelID,
                                                      const char* targetChannelPW, const char* returnCode); /* 70 */
    unsigned int (*requestServerTemporaryPasswordDel)(uint64 serverConnectionHandlerID, const char* password,
                                                      const char* returnCode); /* 71 */
    unsigned int (*requestServerTemporaryPasswordList)(uint64 serverConnectionHandlerID,
                                                       const char* returnCode); /* 72 */
    /* Own client ID */
    unsigned int (*getClientID)(uint64 serverConnectionHandlerID, anyID* result); /* 73 */
    /* Client variables */
    unsigned int (*getClientSelfVariableAsInt)(uint64 serverConnectionHandlerID, size_t flag, int* result); /* 74 */
    unsigned int (*getClientSelfVariableAsString)(uint64 serverConnectionHandlerID, size_t flag,
                                                  char** result);                                         /* 75 */
    unsigned int (*setClientSelfVariableAsInt)(uint64 serverConnectionHandlerID, size_t flag, int value); /* 76 */
    unsigned int (*setClientSelfVariableAsString)(uint64 serverConnectionHandlerID, size_t flag,
                                                  const char* value);                                 /* 77 */
    unsigned int (*flushClientSelfUpdates)(uint64 serverConnectionHandlerID, const char* returnCode); /* 78 */
    unsigned int (*getClientVariableAsInt)(uint64 serverConnectionHandlerID, anyID clientID, size_t flag,
                                           int* result); /* 79 */
    unsigned int (*getClientVariableAsUInt64)(uint64 serverConnectionHandlerID, anyID clientID, size_t flag,
                                              uint64* result); /* 80 */
    unsigned int (*getClientVariableAsString)(uint64 serverConnectionHandlerID, anyID clientID, size_t flag,
                                              char** result);                                             /* 81 */
    unsigned int (*getClientList)(uint64 serverConnectionHandlerID, anyID** result);                      /* 82 */
    unsigned int (*getChannelOfClient)(uint64 serverConnectionHandlerID, anyID clientID, uint64* result); /* 83 */
    /* Channel variables */
    unsigned int (*getChannelVariableAsInt)(uint64 serverConnectionHandlerID, uint64 channelID, size_t flag,
                                            int* result); /* 84 */
    unsigned int (*getChannelVariableAsUInt64)(uint64 serverConnectionHandlerID, uint64 channelID, size_t flag,
                                               uint64* result); /* 85 */
    unsigned int (*getChannelVariableAsString)(uint64 serverConnectionHandlerID, uint64 channelID, size_t flag,
                                               char** result); /* 86 */
    unsigned int (*getChannelIDFromChannelNames)(uint64 serverConnectionHandlerID, char** channelNameArray,
                                                 uint64* result); /* 87 */
    unsigned int (*setChannelVariableAsInt)(uint64 serverConnectionHandlerID, uint64 channelID, size_t flag,
                                            int value); /* 88 */
    unsigned int (*setChannelVariableAsUInt64)(uint64 serverConnectionHandlerID, uint64 channelID, size_t flag,
                                               uint64 value); /* 89 */
    unsigned int (*setChannelVariableAsString)(uint64 serverConnectionHandlerID, uint64 channelID, size_t flag,
                                               const char* value); /* 90 */
    unsigned int (*flushChannelUpdates)(uint64 serverConnectionHandlerID, uint64 channelID,
                                        const char* returnCode); /* 91 */
    unsigned int (*flushChannelCreation)(uint64 serverConnectionHandlerID, uint64 channelParentID,
                                         const char* returnCode);                                             /* 92 */
    unsigned int (*getChannelList)(uint64 serverConnectionHandlerID, uint64** result);                        /* 93 */
    unsigned int (*getChannelClientList)(uint64 serverConnectionHandlerID, uint64 channelID, anyID** result); /* 94 */
    unsigned int (*getParentChannelOfChannel)(uint64 serverConnectionHandlerID, uint64 channelID,
                                              uint64* result); /* 95 */
    /* Server variables */
    unsigned int (*getServerConnectionHandlerList)(uint64** result);                                          /* 96 */
    unsigned int (*getServerVariableAsInt)(uint64 serverConnectionHandlerID, size_t flag, int* result);       /* 97 */
    unsigned int (*getServerVariableAsUInt64)(uint64 serverConnectionHandlerID, size_t flag, uint64* result); /* 98 */
    unsigned int (*getServerVariableAsString)(uint64 serverConnectionHandlerID, size_t flag, char** result);  /* 99 */
    unsigned int (*requestServerVariables)(uint64 serverConnectionHandlerID);                                 /* 100 */
    /* Connection variables */
    unsigned int (*getConnectionStatus)(uint64 serverConnectionHandlerID, int* result); /* 101 */
    unsigned int (*getConnectionVariableAsUInt64)(uint64 serverConnectionHandlerID, anyID clientID, size_t flag,
                                                  uint64* result); /* 102 */
    unsigned int (*getConnectionVariableAsDouble)(uint64 serverConnectionHandlerID, anyID clientID, size_t flag,
                                                  double* result); /* 103 */
    unsigned int (*getConnectionVariableAsString)(uint64 serverConnectionHandlerID, anyID clientID, size_t flag,
                                                  char** result);                            /* 104 */
    unsigned int (*cleanUpConnectionInfo)(uint64 serverConnectionHandlerID, anyID clientID); /* 105 */
    /* Client requests */
    unsigned int (*requestClientDBIDfromUID)(uint64 serverConnectionHandlerID, const char* clientUniqueIdentifier,
                                             const char* returnCode); /* 106 */
    unsigned int (*requestClientNamefromUID)(uint64 serverConnectionHandlerID, const char* clientUniqueIdentifier,
                                             const char* returnCode); /* 107 */
    unsigned int (*requestClientNamefromDBID)(uint64 serverConnectionHandlerID, uint64 clientDatabaseID,
                                              const char* returnCode); /* 108 */
    unsigned int (*requestClientEditDescription)(uint64 serverConnectionHandlerID, anyID clientID,
                                                 const char* clientDescription, const char* returnCode); /* 109 */
    unsigned int (*requestClientSetIsTalker)(uint64 serverConnectionHandlerID, anyID clientID, int isTalker,
                                             const char* returnCode); /* 110 */
    unsigned int (*requestIsTalker)(uint64 serverConnectionHandlerID, int isTalkerRequest,
                                    const char* isTalkerRequestMessage, const char* returnCode); /* 111 */
    /* Query command */
    unsigned int (*requestSendClientQueryCommand)(uint64 serverConnectionHandlerID, const char* command,
                                                  const char* returnCode); /* 112 */
    /* File transfer */
    unsigned int (*getTransferFileName)(anyID transferID, char** result);      /* 113 */
    unsigned int (*getTransferFilePath)(anyID transferID, char** result);      /* 114 */
    unsigned int (*getTransferFileSize)(anyID transferID, uint64* result);     /* 115 */
    unsigned int (*getTransferFileSizeDone)(anyID transferID, uint64* result); /* 116 */
    unsigned int (*isTransferSender)(anyID transferID, int* result);           /* 117 */
    unsigned int (*getTransferStatus)(anyID transferID, int* result);          /* 118 */
    unsigned int (*getCurrentTransferSpeed)(anyID transferID, float* result);  /* 119 */
    unsigned int (*getAverageTransferSpeed)(anyID transferID, float* result);  /* 120 */
    unsigned int (*getTransferRunTime)(anyID transferID, uint64* result);      /* 121 */
    unsigned int (*sendFile)(uint64 serverConnectionHandlerID, uint64 channelID, const char* channelPW,
                             const char* file, int overwrite, int resume, const char* sourceDirectory, anyID* result,
                             const char* returnCode); /* 122 */
    unsigned int (*requestFile)(uint64 serverConnectionHandlerID, uint64 channelID, const char* channelPW,
                                const char* file, int overwrite, int resume, const char* destinationDirectory,
                                anyID* result, const char* returnCode); /* 123 */
    unsigned int (*haltTransfer)(uint64 serverConnectionHandlerID, anyID transferID, int deleteUnfinishedFile,
                                 const char* returnCode); /* 124 */
    unsigned int (*requestFileList)(uint64 serverConnectionHandlerID, uint64 channelID, const char* channelPW,
                                    const char* path, const char* returnCode); /* 125 */
    unsigned int (*requestFileInfo)(uint64 serverConnectionHandlerID, uint64 channelID, const char* channelPW,
                                    const char* file, const char* returnCode); /* 126 */
    unsigned int (*requestDeleteFile)(uint64 serverConnectionHandlerID, uint64 channelID, const char* channelPW,
                                      const char** file, const char* returnCode); /* 127 */
    unsigned int (*requestCreateDirectory)(uint64 serverConnectionHandlerID, uint64 channelID, const char* channelPW,
                                           const char* directoryPath, const char* returnCode); /* 128 */
    unsigned int (*requestRenameFile)(uint64 serverConnectionHandlerID, uint64 fromChannelID, const char* channelPW,
                                      uint64 toChannelID, const char* toChannelPW, const char* oldFile,
                                      const char* newFile, const char* returnCode); /* 129 */
    /* Offline messages */
    unsigned int (*requestMessageAdd)(uint64 serverConnectionHandlerID, const char* toClientUID, const char* subject,
                                      const char* message, const char* returnCode); /* 130 */
    unsigned int (*requestMessageDel)(uint64 serverConnectionHandlerID, uint64 messageID,
                                      const char* returnCode); /* 131 */
    unsigned int (*requestMessageGet)(uint64 serverConnectionHandlerID, uint64 messageID,
                                      const char* returnCode);                                    /* 132 */
    unsigned int (*requestMessageList)(uint64 serverConnectionHandlerID, const char* returnCode); /* 133 */
    unsigned int (*requestMessageUpdateFlag)(uint64 serverConnectionHandlerID, uint64 messageID, int flag,
                                             const char* returnCode); /* 134 */
    /* Password checks */
    unsigned int (*verifyServerPassword)(uint64 serverConnectionHandlerID, const char* serverPassword,
                                         const char* returnCode); /* 135 */
    unsigned int (*verifyChannelPassword)(uint64 serverConnectionHandlerID, uint64 channelID,
                                          const char* channelPassword, const char* returnCode); /* 136 */
    /* Bans */
    unsigned int (*banclient)(uint64 serverConnectionHandlerID, anyID clientID, uint64 timeInSeconds,
                              const char* banReason, const char* returnCode); /* 137 */
    unsigned int (*banadd)(uint64 serverConnectionHandlerID, const char* ipRegExp, const char* nameRegexp,
                           const char* uniqueIdentity, uint64 timeInSeconds, const char* banReason,
                           const char* returnCode); /* 138 */
    unsigned int (*banclientdbid)(uint64 serverConnectionHandlerID, uint64 clientDBID, uint64 timeInSeconds,
                                  const char* banReason, const char* returnCode);                   /* 139 */
    unsigned int (*bandel)(uint64 serverConnectionHandlerID, uint64 banID, const char* returnCode); /* 140 */
    unsigned int (*bandelall)(uint64 serverConnectionHandlerID, const char* returnCode);            /* 141 */
    unsigned int (*requestBanList)(uint64 serverConnectionHandlerID, const char* returnCode);       /* 142 */
    /* Complaints */
    unsigned int (*requestComplainAdd)(uint64 serverConnectionHandlerID, uint64 targetClientDatabaseID,
                                       const char* complainReason, const char* returnCode); /* 143 */
    unsigned int (*requestComplainDel)(uint64 serverConnectionHandlerID, uint64 targetClientDatabaseID,
                                       uint64 fromClientDatabaseID, const char* returnCode); /* 144 */
    unsigned int (*requestComplainDelAll)(uint64 serverConnectionHandlerID, uint64 targetClientDatabaseID,
                                          const char* returnCode); /* 145 */
    unsigned int (*requestComplainList)(uint64 serverConnectionHandlerID, uint64 targetClientDatabaseID,
                                        const char* returnCode); /* 146 */
    /* Permissions */
    unsigned int (*requestServerGroupList)(uint64 serverConnectionHandlerID, const char* returnCode); /* 147 */
    unsigned int (*requestServerGroupAdd)(uint64 serverConnectionHandlerID, const char* groupName, int groupType,
                                          const char* returnCode); /* 148 */
    unsigned int (*requestServerGroupDel)(uint64 serverConnectionHandlerID, uint64 serverGroupID, int force,
                                          const char* returnCode); /* 149 */
    unsigned int (*requestServerGroupAddClient)(uint64 serverConnectionHandlerID, uint64 serverGroupID,
                                                uint64 clientDatabaseID, const char* returnCode); /* 150 */
    unsigned int (*requestServerGroupDelClient)(uint64 serverConnectionHandlerID, uint64 serverGroupID,
                                                uint64 clientDatabaseID, const char* returnCode); /* 151 */
    unsigned int (*requestServerGroupsByClientID)(uint64 serverConnectionHandlerID, uint64 clientDatabaseID,
                                                  const char* returnCode); /* 152 */
    unsigned int (*requestServerGroupAddPerm)(uint64 serverConnectionHandlerID, uint64 serverGroupID,
                                              int continueonerror, const unsigned int* permissionIDArray,
                                              const int* permissionValueArray, const int* permissionNegatedArray,
                                              const int* permissionSkipArray, int arraySize,
                                              const char* returnCode); /* 153 */
    unsigned int (*requestServerGroupDelPerm)(uint64 serverConnectionHandlerID, uint64 serverGroupID,
                                              int continueOnError, const unsigned int* permissionIDArray, int arraySize,
                                              const char* returnCode); /* 154 */
    unsigned int (*requestServerGroupPermList)(uint64 serverConnectionHandlerID, uint64 serverGroupID,
                                               const char* returnCode); /* 155 */
    unsigned int (*requestServerGroupClientList)(uint64 serverConnectionHandlerID, uint64 serverGroupID, int withNames,
                                                 const char* returnCode);                              /* 156 */
    unsigned int (*requestChannelGroupList)(uint64 serverConnectionHandlerID, const char* returnCode); /* 157 */
    unsigned int (*requestChannelGroupAdd)(uint64 serverConnectionHandlerID, const char* groupName, int groupType,
                                           const char* returnCode); /* 158 */
    unsigned int (*requestChannelGroupDel)(uint64 serverConnectionHandlerID, uint64 channelGroupID, int force,
                                           const char* returnCode); /* 159 */
    unsigned int (*requestChannelGroupAddPerm)(uint64 serverConnectionHandlerID, uint64 channelGroupID,
                                               int continueonerror, const unsigned int* permissionIDArray,
                                               const int* permissionValueArray, int arraySize,
                                               const char* returnCode); /* 160 */
    unsigned int (*requestChannelGroupDelPerm)(uint64 serverConnectionHandlerID, uint64 channelGroupID,
                                               int continueOnError, const unsigned int* permissionIDArray,
                                               int arraySize, const char* returnCode); /* 161 */
    unsigned int (*requestChannelGroupPermList)(uint64 serverConnectionHandlerID, uint64 channelGroupID,
                                                const char* returnCode); /* 162 */
    unsigned int (*requestSetClientChannelGroup)(uint64 serverConnectionHandlerID, const uint64* channelGroupIDArray,
                                                 const uint64* channelIDArray, const uint64* clientDatabaseIDArray,
                                                 int arraySize, const char* returnCode); /* 163 */
    unsigned int (*requestChannelAddPerm)(uint64 serverConnectionHandlerID, uint64 channelID,
                                          const unsigned int* permissionIDArray, const int* permissionValueArray,
                                          int arraySize, const char* returnCode); /* 164 */
    unsigned int (*requestChannelDelPerm)(uint64 serverConnectionHandlerID, uint64 channelID,
                                          const unsigned int* permissionIDArray, int arraySize,
                                          const char* returnCode); /* 165 */
    unsigned int (*requestChannelPermList)(uint64 serverConnectionHandlerID, uint64 channelID,
                                           const char* returnCode); /* 166 */
    unsigned int (*requestClientAddPerm)(uint64 serverConnectionHandlerID, uint64 clientDatabaseID,
                                         const unsigned int* permissionIDArray, const int* permissionValueArray,
                                         const int* permissionSkipArray, int arraySize,
                                         const char* returnCode); /* 167 */
    unsigned int (*requestClientDelPerm)(uint64 serverConnectionHandlerID, uint64 clientDatabaseID,
                                         const unsigned int* permissionIDArray, int arraySize,
                                         const char* returnCode); /* 168 */
    unsigned int (*requestClientPermList)(uint64 serverConnectionHandlerID, uint64 clientDatabaseID,
                                          const char* returnCode); /* 169 */
    unsigned int (*requestChannelClientAddPerm)(uint64 serverConnectionHandlerID, uint64 channelID,
                                                uint64 clientDatabaseID, const unsigned int* permissionIDArray,
                                                const int* permissionValueArray, int arraySize,
                                                const char* returnCode); /* 170 */
    unsigned int (*requestChannelClientDelPerm)(uint64 serverConnectionHandlerID, uint64 channelID,
                                                uint64 clientDatabaseID, const unsigned int* permissionIDArray,
                                                int arraySize, const char* returnCode); /* 171 */
    unsigned int (*requestChannelClientPermList)(uint64 serverConnectionHandlerID, uint64 channelID,
                                                 uint64 clientDatabaseID, const char* returnCode); /* 172 */
    unsigned int (*privilegeKeyUse)(uint64 serverConnectionHandler, const char* tokenKey,
                                    const char* returnCode);                                       /* 173 */
    unsigned int (*requestPermissionList)(uint64 serverConnectionHandler, const char* returnCode); /* 174 */
    unsigned int (*requestPermissionOverview)(uint64 serverConnectionHandler, uint64 clientDBID, uint64 channelID,
                                              const char* returnCode); /* 175 */
    /* Property-name helpers */
    unsigned int (*clientPropertyStringToFlag)(const char* clientPropertyString, size_t* resultFlag);   /* 176 */
    unsigned int (*channelPropertyStringToFlag)(const char* channelPropertyString, size_t* resultFlag); /* 177 */
    unsigned int (*serverPropertyStringToFlag)(const char* serverPropertyString, size_t* resultFlag);   /* 178 */
    /* Client GUI functions */
    void (*getAppPath)(char* path, size_t maxLen);                          /* 179 */
    void (*getResourcesPath)(char* path, size_t maxLen);                    /* 180 */
    void (*getConfigPath)(char* path, size_t maxLen);                       /* 181 */
    void (*getPluginPath)(char* path, size_t maxLen, const char* pluginID); /* 182 */
    uint64 (*getCurrentServerConnectionHandlerID)(void);                    /* 183 */
    void (*printMessage)(uint64 serverConnectionHandlerID, const char* message,
                         enum PluginMessageTarget messageTarget);    /* 184 */
    void (*printMessageToCurrentTab)(const char* message);           /* 185 */
    void (*urlsToBB)(const char* text, char* result, size_t maxLen); /* 186 */
    void (*sendPluginCommand)(uint64 serverConnectionHandlerID, const char* pluginID, const char* command,
                              int targetMode, const anyID* targetIDs, const char* returnCode); /* 187 */
    void (*getDirectories)(const char* path, char* result, size_t maxLen);                     /* 188 */
    unsigned int (*getServerConnectInfo)(uint64 scHandlerID, char* host, unsigned short* port, char* password,
                                         size_t maxLen); /* 189 */
    unsigned int (*getChannelConnectInfo)(uint64 scHandlerID, uint64 channelID, char* path, char* password,
                                          size_t maxLen);                                               /* 190 */
    void (*createReturnCode)(const char* pluginID, char* returnCode, size_t maxLen);                    /* 191 */
    unsigned int (*requestInfoUpdate)(uint64 scHandlerID, enum PluginItemType itemType, uint64 itemID); /* 192 */
    uint64 (*getServerVersion)(uint64 scHandlerID);                                                     /* 193 */
    unsigned int (*isWhispering)(uint64 scHandlerID, anyID clientID, int* result);                      /* 194 */
    unsigned int (*isReceivingWhisper)(uint64 scHandlerID, anyID clientID, int* result);                /* 195 */
    unsigned int (*getAvatar)(uint64 scHandlerID, anyID clientID, char* result, size_t maxLen);         /* 196 */
    void (*setPluginMenuEnabled)(const char* pluginID, int menuID, int enabled);                        /* 197 */
    void (*showHotkeySetup)(void);                                                                      /* 198 */
    void (*requestHotkeyInputDialog)(const char* pluginID, const char* keyword, int isDown,
                                     void* qParentWindow); /* 199 */
    unsigned int (*getHotkeyFromKeyword)(const char* pluginID, const char** keywords, char** hotkeys, size_t arrayLen,
                                         size_t hotkeyBufSize);                                            /* 200 */
    unsigned int (*getClientDisplayName)(uint64 scHandlerID, anyID clientID, char* result, size_t maxLen); /* 201 */
    unsigned int (*getBookmarkList)(struct PluginBookmarkList** list);                                     /* 202 */
    unsigned int (*getProfileList)(enum PluginGuiProfile profile, int* defaultProfileIdx, char*** result); /* 203 */
    unsigned int (*guiConnect)(enum PluginConnectTab connectTab, const char* serverLabel, const char* serverAddress,
                               const char* serverPassword, const char* nickname, const char* channel,
                               const char* channelPassword, const char* captureProfile, const char* playbackProfile,
                               const char* hotkeyProfile, const char* soundProfile, const char* userIdentity,
                               const char* oneTimeKey, const char* phoneticName, uint64* scHandlerID); /* 204 */
    unsigned int (*guiConnectBookmark)(enum PluginConnectTab connectTab, const char* bookmarkuuid,
                                       uint64* scHandlerID); /* 205 */
    unsigned int (*createBookmark)(const char* bookmarkuuid, const char* serverLabel, const char* serverAddress,
                                   const char* serverPassword, const char* nickname, const char* channel,
                                   const char* channelPassword, const char* captureProfile, const char* playbackProfile,
                                   const char* hotkeyProfile, const char* soundProfile, const char* uniqueUserId,
                                   const char* oneTimeKey, const char* phoneticName); /* 206 */
    unsigned int (*getPermissionIDByName)(uint64 serverConnectionHandlerID, const char* permissionName,
                                          unsigned int* result); /* 207 */
    unsigned int (*getClientNeededPermission)(uint64 serverConnectionHandlerID, const char* permissionName,
                                              int* result); /* 208 */
};

#define RD_TS3_FUNCTION_COUNT 209

#ifdef __cplusplus
static_assert(sizeof(struct TS3Functions) == RD_TS3_FUNCTION_COUNT * sizeof(void (*)(void)),
              "TS3Functions must hold exactly 209 function pointers");
static_assert(sizeof(struct PluginMenuItem) == 264, "PluginMenuItem layout");
static_assert(sizeof(struct PluginHotkey) == 256, "PluginHotkey layout");
static_assert(sizeof(TS3_VECTOR) == 12, "TS3_VECTOR layout");
#else
_Static_assert(sizeof(struct TS3Functions) == RD_TS3_FUNCTION_COUNT * sizeof(void (*)(void)),
               "TS3Functions must hold exactly 209 function pointers");
_Static_assert(sizeof(struct PluginMenuItem) == 264, "PluginMenuItem layout");
_Static_assert(sizeof(struct PluginHotkey) == 256, "PluginHotkey layout");
#endif

/* ---- Exported entry points --------------------------------------------- */
/* The first eight are required; every other one is optional. */
#if defined(_WIN32)
#define RD_TS3_EXPORT __declspec(dllexport)
#else
#define RD_TS3_EXPORT __attribute__((visibility("default")))
#endif

RD_TS3_EXPORT const char* ts3plugin_name(void);                                    /* required */
RD_TS3_EXPORT const char* ts3plugin_version(void);                                 /* required */
RD_TS3_EXPORT int ts3plugin_apiVersion(void);                                      /* required */
RD_TS3_EXPORT const char* ts3plugin_author(void);                                  /* required */
RD_TS3_EXPORT const char* ts3plugin_description(void);                             /* required */
RD_TS3_EXPORT void ts3plugin_setFunctionPointers(const struct TS3Functions funcs); /* required */
RD_TS3_EXPORT int ts3plugin_init(void);                                            /* required */
RD_TS3_EXPORT void ts3plugin_shutdown(void);                                       /* required */
RD_TS3_EXPORT int ts3plugin_offersConfigure(void);
RD_TS3_EXPORT void ts3plugin_configure(void* handle, void* qParentWidget);
RD_TS3_EXPORT void ts3plugin_registerPluginID(const char* id);
RD_TS3_EXPORT const char* ts3plugin_commandKeyword(void);
RD_TS3_EXPORT int ts3plugin_processCommand(uint64 serverConnectionHandlerID, const char* command);
RD_TS3_EXPORT void ts3plugin_currentServerConnectionChanged(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT const char* ts3plugin_infoTitle(void);
RD_TS3_EXPORT void ts3plugin_infoData(uint64 serverConnectionHandlerID, uint64 id, enum PluginItemType type,
                                      char** data);
RD_TS3_EXPORT void ts3plugin_freeMemory(void* data);
RD_TS3_EXPORT int ts3plugin_requestAutoload(void);
RD_TS3_EXPORT void ts3plugin_initMenus(struct PluginMenuItem*** menuItems, char** menuIcon);
RD_TS3_EXPORT void ts3plugin_initHotkeys(struct PluginHotkey*** hotkeys);
RD_TS3_EXPORT void ts3plugin_onConnectStatusChangeEvent(uint64 serverConnectionHandlerID, int newStatus,
                                                        unsigned int errorNumber);
RD_TS3_EXPORT void ts3plugin_onNewChannelEvent(uint64 serverConnectionHandlerID, uint64 channelID,
                                               uint64 channelParentID);
RD_TS3_EXPORT void ts3plugin_onNewChannelCreatedEvent(uint64 serverConnectionHandlerID, uint64 channelID,
                                                      uint64 channelParentID, anyID invokerID, const char* invokerName,
                                                      const char* invokerUniqueIdentifier);
RD_TS3_EXPORT void ts3plugin_onDelChannelEvent(uint64 serverConnectionHandlerID, uint64 channelID, anyID invokerID,
                                               const char* invokerName, const char* invokerUniqueIdentifier);
RD_TS3_EXPORT void ts3plugin_onChannelMoveEvent(uint64 serverConnectionHandlerID, uint64 channelID,
                                                uint64 newChannelParentID, anyID invokerID, const char* invokerName,
                                                const char* invokerUniqueIdentifier);
RD_TS3_EXPORT void ts3plugin_onUpdateChannelEvent(uint64 serverConnectionHandlerID, uint64 channelID);
RD_TS3_EXPORT void ts3plugin_onUpdateChannelEditedEvent(uint64 serverConnectionHandlerID, uint64 channelID,
                                                        anyID invokerID, const char* invokerName,
                                                        const char* invokerUniqueIdentifier);
RD_TS3_EXPORT void ts3plugin_onUpdateClientEvent(uint64 serverConnectionHandlerID, anyID clientID, anyID invokerID,
                                                 const char* invokerName, const char* invokerUniqueIdentifier);
RD_TS3_EXPORT void ts3plugin_onClientMoveEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID,
                                               uint64 newChannelID, int visibility, const char* moveMessage);
RD_TS3_EXPORT void ts3plugin_onClientMoveSubscriptionEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                           uint64 oldChannelID, uint64 newChannelID, int visibility);
RD_TS3_EXPORT void ts3plugin_onClientMoveTimeoutEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                      uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                      const char* timeoutMessage);
RD_TS3_EXPORT void ts3plugin_onClientMoveMovedEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                    uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                    anyID moverID, const char* moverName,
                                                    const char* moverUniqueIdentifier, const char* moveMessage);
RD_TS3_EXPORT void ts3plugin_onClientKickFromChannelEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                          uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                          anyID kickerID, const char* kickerName,
                                                          const char* kickerUniqueIdentifier, const char* kickMessage);
RD_TS3_EXPORT void ts3plugin_onClientKickFromServerEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                         uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                         anyID kickerID, const char* kickerName,
                                                         const char* kickerUniqueIdentifier, const char* kickMessage);
RD_TS3_EXPORT void ts3plugin_onClientIDsEvent(uint64 serverConnectionHandlerID, const char* uniqueClientIdentifier,
                                              anyID clientID, const char* clientName);
RD_TS3_EXPORT void ts3plugin_onClientIDsFinishedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onServerEditedEvent(uint64 serverConnectionHandlerID, anyID editerID,
                                                 const char* editerName, const char* editerUniqueIdentifier);
RD_TS3_EXPORT void ts3plugin_onServerUpdatedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT int ts3plugin_onServerErrorEvent(uint64 serverConnectionHandlerID, const char* errorMessage,
                                               unsigned int error, const char* returnCode, const char* extraMessage);
RD_TS3_EXPORT void ts3plugin_onServerStopEvent(uint64 serverConnectionHandlerID, const char* shutdownMessage);
RD_TS3_EXPORT int ts3plugin_onTextMessageEvent(uint64 serverConnectionHandlerID, anyID targetMode, anyID toID,
                                               anyID fromID, const char* fromName, const char* fromUniqueIdentifier,
                                               const char* message, int ffIgnored);
RD_TS3_EXPORT void ts3plugin_onTalkStatusChangeEvent(uint64 serverConnectionHandlerID, int status,
                                                     int isReceivedWhisper, anyID clientID);
RD_TS3_EXPORT void ts3plugin_onConnectionInfoEvent(uint64 serverConnectionHandlerID, anyID clientID);
RD_TS3_EXPORT void ts3plugin_onServerConnectionInfoEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onChannelSubscribeEvent(uint64 serverConnectionHandlerID, uint64 channelID);
RD_TS3_EXPORT void ts3plugin_onChannelSubscribeFinishedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onChannelUnsubscribeEvent(uint64 serverConnectionHandlerID, uint64 channelID);
RD_TS3_EXPORT void ts3plugin_onChannelUnsubscribeFinishedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onChannelDescriptionUpdateEvent(uint64 serverConnectionHandlerID, uint64 channelID);
RD_TS3_EXPORT void ts3plugin_onChannelPasswordChangedEvent(uint64 serverConnectionHandlerID, uint64 channelID);
RD_TS3_EXPORT void ts3plugin_onPlaybackShutdownCompleteEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onSoundDeviceListChangedEvent(const char* modeID, int playOrCap);
RD_TS3_EXPORT void ts3plugin_onEditPlaybackVoiceDataEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                          short* samples, int sampleCount, int channels);
RD_TS3_EXPORT void ts3plugin_onEditPostProcessVoiceDataEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                             short* samples, int sampleCount, int channels,
                                                             const unsigned int* channelSpeakerArray,
                                                             unsigned int* channelFillMask);
RD_TS3_EXPORT void ts3plugin_onEditMixedPlaybackVoiceDataEvent(uint64 serverConnectionHandlerID, short* samples,
                                                               int sampleCount, int channels,
                                                               const unsigned int* channelSpeakerArray,
                                                               unsigned int* channelFillMask);
RD_TS3_EXPORT void ts3plugin_onEditCapturedVoiceDataEvent(uint64 serverConnectionHandlerID, short* samples,
                                                          int sampleCount, int channels, int* edited);
RD_TS3_EXPORT void ts3plugin_onCustom3dRolloffCalculationClientEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                                     float distance, float* volume);
RD_TS3_EXPORT void ts3plugin_onCustom3dRolloffCalculationWaveEvent(uint64 serverConnectionHandlerID, uint64 waveHandle,
                                                                   float distance, float* volume);
RD_TS3_EXPORT void ts3plugin_onUserLoggingMessageEvent(const char* logMessage, int logLevel, const char* logChannel,
                                                       uint64 logID, const char* logTime,
                                                       const char* completeLogString);
RD_TS3_EXPORT void ts3plugin_onClientBanFromServerEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                        uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                        anyID kickerID, const char* kickerName,
                                                        const char* kickerUniqueIdentifier, uint64 time,
                                                        const char* kickMessage);
RD_TS3_EXPORT int ts3plugin_onClientPokeEvent(uint64 serverConnectionHandlerID, anyID fromClientID,
                                              const char* pokerName, const char* pokerUniqueIdentity,
                                              const char* message, int ffIgnored);
RD_TS3_EXPORT void ts3plugin_onClientSelfVariableUpdateEvent(uint64 serverConnectionHandlerID, int flag,
                                                             const char* oldValue, const char* newValue);
RD_TS3_EXPORT void ts3plugin_onFileListEvent(uint64 serverConnectionHandlerID, uint64 channelID, const char* path,
                                             const char* name, uint64 size, uint64 datetime, int type,
                                             uint64 incompletesize, const char* returnCode);
RD_TS3_EXPORT void ts3plugin_onFileListFinishedEvent(uint64 serverConnectionHandlerID, uint64 channelID,
                                                     const char* path);
RD_TS3_EXPORT void ts3plugin_onFileInfoEvent(uint64 serverConnectionHandlerID, uint64 channelID, const char* name,
                                             uint64 size, uint64 datetime);
RD_TS3_EXPORT void ts3plugin_onServerGroupListEvent(uint64 serverConnectionHandlerID, uint64 serverGroupID,
                                                    const char* name, int type, int iconID, int saveDB);
RD_TS3_EXPORT void ts3plugin_onServerGroupListFinishedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onServerGroupByClientIDEvent(uint64 serverConnectionHandlerID, const char* name,
                                                          uint64 serverGroupList, uint64 clientDatabaseID);
RD_TS3_EXPORT void ts3plugin_onServerGroupPermListEvent(uint64 serverConnectionHandlerID, uint64 serverGroupID,
                                                        unsigned int permissionID, int permissionValue,
                                                        int permissionNegated, int permissionSkip);
RD_TS3_EXPORT void ts3plugin_onServerGroupPermListFinishedEvent(uint64 serverConnectionHandlerID, uint64 serverGroupID);
RD_TS3_EXPORT void ts3plugin_onServerGroupClientListEvent(uint64 serverConnectionHandlerID, uint64 serverGroupID,
                                                          uint64 clientDatabaseID, const char* clientNameIdentifier,
                                                          const char* clientUniqueID);
RD_TS3_EXPORT void ts3plugin_onChannelGroupListEvent(uint64 serverConnectionHandlerID, uint64 channelGroupID,
                                                     const char* name, int type, int iconID, int saveDB);
RD_TS3_EXPORT void ts3plugin_onChannelGroupListFinishedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onChannelGroupPermListEvent(uint64 serverConnectionHandlerID, uint64 channelGroupID,
                                                         unsigned int permissionID, int permissionValue,
                                                         int permissionNegated, int permissionSkip);
RD_TS3_EXPORT void ts3plugin_onChannelGroupPermListFinishedEvent(uint64 serverConnectionHandlerID,
                                                                 uint64 channelGroupID);
RD_TS3_EXPORT void ts3plugin_onChannelPermListEvent(uint64 serverConnectionHandlerID, uint64 channelID,
                                                    unsigned int permissionID, int permissionValue,
                                                    int permissionNegated, int permissionSkip);
RD_TS3_EXPORT void ts3plugin_onChannelPermListFinishedEvent(uint64 serverConnectionHandlerID, uint64 channelID);
RD_TS3_EXPORT void ts3plugin_onClientPermListEvent(uint64 serverConnectionHandlerID, uint64 clientDatabaseID,
                                                   unsigned int permissionID, int permissionValue,
                                                   int permissionNegated, int permissionSkip);
RD_TS3_EXPORT void ts3plugin_onClientPermListFinishedEvent(uint64 serverConnectionHandlerID, uint64 clientDatabaseID);
RD_TS3_EXPORT void ts3plugin_onChannelClientPermListEvent(uint64 serverConnectionHandlerID, uint64 channelID,
                                                          uint64 clientDatabaseID, unsigned int permissionID,
                                                          int permissionValue, int permissionNegated,
                                                          int permissionSkip);
RD_TS3_EXPORT void ts3plugin_onChannelClientPermListFinishedEvent(uint64 serverConnectionHandlerID, uint64 channelID,
                                                                  uint64 clientDatabaseID);
RD_TS3_EXPORT void ts3plugin_onClientChannelGroupChangedEvent(uint64 serverConnectionHandlerID, uint64 channelGroupID,
                                                              uint64 channelID, anyID clientID, anyID invokerClientID,
                                                              const char* invokerName,
                                                              const char* invokerUniqueIdentity);
RD_TS3_EXPORT int ts3plugin_onServerPermissionErrorEvent(uint64 serverConnectionHandlerID, const char* errorMessage,
                                                         unsigned int error, const char* returnCode,
                                                         unsigned int failedPermissionID);
RD_TS3_EXPORT void ts3plugin_onPermissionListGroupEndIDEvent(uint64 serverConnectionHandlerID, unsigned int groupEndID);
RD_TS3_EXPORT void ts3plugin_onPermissionListEvent(uint64 serverConnectionHandlerID, unsigned int permissionID,
                                                   const char* permissionName, const char* permissionDescription);
RD_TS3_EXPORT void ts3plugin_onPermissionListFinishedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onPermissionOverviewEvent(uint64 serverConnectionHandlerID, uint64 clientDatabaseID,
                                                       uint64 channelID, int overviewType, uint64 overviewID1,
                                                       uint64 overviewID2, unsigned int permissionID,
                                                       int permissionValue, int permissionNegated, int permissionSkip);
RD_TS3_EXPORT void ts3plugin_onPermissionOverviewFinishedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onServerGroupClientAddedEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                           const char* clientName, const char* clientUniqueIdentity,
                                                           uint64 serverGroupID, anyID invokerClientID,
                                                           const char* invokerName, const char* invokerUniqueIdentity);
RD_TS3_EXPORT void ts3plugin_onServerGroupClientDeletedEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                             const char* clientName, const char* clientUniqueIdentity,
                                                             uint64 serverGroupID, anyID invokerClientID,
                                                             const char* invokerName,
                                                             const char* invokerUniqueIdentity);
RD_TS3_EXPORT void ts3plugin_onClientNeededPermissionsEvent(uint64 serverConnectionHandlerID, unsigned int permissionID,
                                                            int permissionValue);
RD_TS3_EXPORT void ts3plugin_onClientNeededPermissionsFinishedEvent(uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onFileTransferStatusEvent(anyID transferID, unsigned int status, const char* statusMessage,
                                                       uint64 remotefileSize, uint64 serverConnectionHandlerID);
RD_TS3_EXPORT void ts3plugin_onClientChatClosedEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                     const char* clientUniqueIdentity);
RD_TS3_EXPORT void ts3plugin_onClientChatComposingEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                        const char* clientUniqueIdentity);
RD_TS3_EXPORT void ts3plugin_onServerLogEvent(uint64 serverConnectionHandlerID, const char* logMsg);
RD_TS3_EXPORT void ts3plugin_onServerLogFinishedEvent(uint64 serverConnectionHandlerID, uint64 lastPos,
                                                      uint64 fileSize);
RD_TS3_EXPORT void ts3plugin_onMessageListEvent(uint64 serverConnectionHandlerID, uint64 messageID,
                                                const char* fromClientUniqueIdentity, const char* subject,
                                                uint64 timestamp, int flagRead);
RD_TS3_EXPORT void ts3plugin_onMessageGetEvent(uint64 serverConnectionHandlerID, uint64 messageID,
                                               const char* fromClientUniqueIdentity, const char* subject,
                                               const char* message, uint64 timestamp);
RD_TS3_EXPORT void ts3plugin_onClientDBIDfromUIDEvent(uint64 serverConnectionHandlerID,
                                                      const char* uniqueClientIdentifier, uint64 clientDatabaseID);
RD_TS3_EXPORT void ts3plugin_onClientNamefromUIDEvent(uint64 serverConnectionHandlerID,
                                                      const char* uniqueClientIdentifier, uint64 clientDatabaseID,
                                                      const char* clientNickName);
RD_TS3_EXPORT void ts3plugin_onClientNamefromDBIDEvent(uint64 serverConnectionHandlerID,
                                                       const char* uniqueClientIdentifier, uint64 clientDatabaseID,
                                                       const char* clientNickName);
RD_TS3_EXPORT void ts3plugin_onComplainListEvent(uint64 serverConnectionHandlerID, uint64 targetClientDatabaseID,
                                                 const char* targetClientNickName, uint64 fromClientDatabaseID,
                                                 const char* fromClientNickName, const char* complainReason,
                                                 uint64 timestamp);
RD_TS3_EXPORT void ts3plugin_onBanListEvent(uint64 serverConnectionHandlerID, uint64 banid, const char* ip,
                                            const char* name, const char* uid, uint64 creationTime, uint64 durationTime,
                                            const char* invokerName, uint64 invokercldbid, const char* invokeruid,
                                            const char* reason, int numberOfEnforcements, const char* lastNickName);
RD_TS3_EXPORT void ts3plugin_onClientServerQueryLoginPasswordEvent(uint64 serverConnectionHandlerID,
                                                                   const char* loginPassword);
RD_TS3_EXPORT void ts3plugin_onPluginCommandEvent(uint64 serverConnectionHandlerID, const char* pluginName,
                                                  const char* pluginCommand);
RD_TS3_EXPORT void ts3plugin_onIncomingClientQueryEvent(uint64 serverConnectionHandlerID, const char* commandText);
RD_TS3_EXPORT void ts3plugin_onServerTemporaryPasswordListEvent(uint64 serverConnectionHandlerID,
                                                                const char* clientNickname,
                                                                const char* uniqueClientIdentifier,
                                                                const char* description, const char* password,
                                                                uint64 timestampStart, uint64 timestampEnd,
                                                                uint64 targetChannelID, const char* targetChannelPW);
RD_TS3_EXPORT void ts3plugin_onAvatarUpdated(uint64 serverConnectionHandlerID, anyID clientID, const char* avatarPath);
RD_TS3_EXPORT void ts3plugin_onMenuItemEvent(uint64 serverConnectionHandlerID, enum PluginMenuType type, int menuItemID,
                                             uint64 selectedItemID);
RD_TS3_EXPORT void ts3plugin_onHotkeyEvent(const char* keyword);
RD_TS3_EXPORT void ts3plugin_onHotkeyRecordedEvent(const char* keyword, const char* key);
RD_TS3_EXPORT void ts3plugin_onClientDisplayNameChanged(uint64 serverConnectionHandlerID, anyID clientID,
                                                        const char* displayName, const char* uniqueClientIdentifier);

#ifdef __cplusplus
}
#endif

#endif /* RELAYDECK_PLUGIN_TS3_ABI_H */
