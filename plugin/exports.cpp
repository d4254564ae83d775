// The exported entry points: thin wrappers over the one plugin instance. Callbacks that
// Relaydeck does not need do nothing (and return 0 where the client expects a value).
#include <cstdlib>
#include <exception>

#include "plugin/client_api.h"
#include "plugin/dialog/config_dialog_host.h"
#include "plugin/host.h"
#include "plugin/link_plugin.h"
#include "plugin/ts3_abi.h"

namespace {

rdplugin::LinkPlugin& plugin()
{
    static rdplugin::LinkPlugin instance;
    return instance;
}

// An error raised in a handler goes to the client log; it never reaches the client.
template <class F>
auto guarded(F&& f, decltype(f()) fallback) -> decltype(f())
{
    try {
        return f();
    } catch (const std::exception& e) {
        plugin().logErrorText(e.what(), 300);
    } catch (...) {
        plugin().logErrorText("unknown error", 300);
    }
    return fallback;
}

template <class F>
void guarded(F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        plugin().logErrorText(e.what(), 300);
    } catch (...) {
        plugin().logErrorText("unknown error", 300);
    }
}

} // namespace

extern "C" {

const char* ts3plugin_name(void)
{
    return rdplugin::kPluginName;
}

const char* ts3plugin_version(void)
{
    return rdplugin::kPluginVersion;
}

int ts3plugin_apiVersion(void)
{
    // Asked before the function table arrives, possibly more than once: chosen once from
    // what the process shows, never from the table.
    static const int api = [] {
        const rdplugin::ClientApiChoice choice = rdplugin::chooseClientApi(
            rdplugin::kSettingsFile, rdplugin::hostClientApiFromVersionResource, rdplugin::hostQtVersion);
        plugin().setClientApi(choice);
        return choice.number;
    }();
    return api;
}

const char* ts3plugin_author(void)
{
    return rdplugin::kPluginAuthor;
}

const char* ts3plugin_description(void)
{
    return rdplugin::kPluginDescription;
}

// The table comes by value; the plugin declares (and copies) only the 209 members that
// every client from interface 21 to 26 has in the same places, so it never reads or
// calls a slot beyond what the host handed over.
void ts3plugin_setFunctionPointers(const struct TS3Functions funcs)
{
    plugin().setFunctionPointers(funcs);
}

int ts3plugin_init(void)
{
    const int result = plugin().init();
    std::string why;
    if (!rdplugin::configDialogAvailable(&why))
        plugin().logErrorText("Configuration dialog not available: " + why, 100);
    return result;
}

void ts3plugin_shutdown(void)
{
    plugin().shutdown();
}

int ts3plugin_offersConfigure(void)
{
    return rdplugin::configDialogAvailable(nullptr) ? PLUGIN_OFFERS_CONFIGURE_QT_THREAD : PLUGIN_OFFERS_NO_CONFIGURE;
}

void ts3plugin_configure(void* handle, void* qParentWidget)
{
    rdplugin::setDialogPresenter(rdplugin::showConfigDialog);
    guarded([&] { plugin().configure(handle, qParentWidget); });
}

void ts3plugin_registerPluginID(const char* id)
{
    plugin().registerPluginID(id);
}

const char* ts3plugin_commandKeyword(void)
{
    return rdplugin::kCommandKeyword;
}

int ts3plugin_processCommand(uint64 serverConnectionHandlerID, const char* command)
{
    return guarded([&] { return plugin().processCommand(serverConnectionHandlerID, command); }, 1);
}

void ts3plugin_currentServerConnectionChanged(uint64) {}

const char* ts3plugin_infoTitle(void)
{
    return rdplugin::kPluginName;
}

void ts3plugin_infoData(uint64 serverConnectionHandlerID, uint64 id, enum PluginItemType type, char** data)
{
    plugin().infoData(serverConnectionHandlerID, id, type, data);
}

void ts3plugin_freeMemory(void* data)
{
    std::free(data);
}

int ts3plugin_requestAutoload(void)
{
    return 0;
}

void ts3plugin_initMenus(struct PluginMenuItem*** menuItems, char** menuIcon)
{
    rdplugin::LinkPlugin::initMenus(menuItems, menuIcon);
}

void ts3plugin_initHotkeys(struct PluginHotkey*** hotkeys)
{
    rdplugin::LinkPlugin::initHotkeys(hotkeys);
}

void ts3plugin_onConnectStatusChangeEvent(uint64 serverConnectionHandlerID, int newStatus, unsigned int errorNumber)
{
    guarded([&] { plugin().onConnectStatusChange(serverConnectionHandlerID, newStatus, errorNumber); });
}

void ts3plugin_onNewChannelEvent(uint64, uint64, uint64) {}

void ts3plugin_onNewChannelCreatedEvent(uint64, uint64, uint64, anyID, const char*, const char*) {}

void ts3plugin_onDelChannelEvent(uint64, uint64, anyID, const char*, const char*) {}

void ts3plugin_onChannelMoveEvent(uint64, uint64, uint64, anyID, const char*, const char*) {}

void ts3plugin_onUpdateChannelEvent(uint64, uint64) {}

void ts3plugin_onUpdateChannelEditedEvent(uint64, uint64, anyID, const char*, const char*) {}

void ts3plugin_onUpdateClientEvent(uint64, anyID, anyID, const char*, const char*) {}

void ts3plugin_onClientMoveEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID,
                                 uint64 newChannelID, int visibility, const char* moveMessage)
{
    guarded([&] {
        plugin().onClientMove(serverConnectionHandlerID, clientID, oldChannelID, newChannelID, visibility, moveMessage);
    });
}

void ts3plugin_onClientMoveSubscriptionEvent(uint64, anyID, uint64, uint64, int) {}

void ts3plugin_onClientMoveTimeoutEvent(uint64, anyID, uint64, uint64, int, const char*) {}

void ts3plugin_onClientMoveMovedEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID,
                                      uint64 newChannelID, int visibility, anyID moverID, const char* moverName,
                                      const char* moverUniqueIdentifier, const char* moveMessage)
{
    guarded([&] {
        plugin().onClientMoveMoved(serverConnectionHandlerID, clientID, oldChannelID, newChannelID, visibility, moverID,
                                   moverName, moverUniqueIdentifier, moveMessage);
    });
}

void ts3plugin_onClientKickFromChannelEvent(uint64, anyID, uint64, uint64, int, anyID, const char*, const char*,
                                            const char*)
{}

void ts3plugin_onClientKickFromServerEvent(uint64, anyID, uint64, uint64, int, anyID, const char*, const char*,
                                           const char*)
{}

void ts3plugin_onClientIDsEvent(uint64, const char*, anyID, const char*) {}

void ts3plugin_onClientIDsFinishedEvent(uint64) {}

void ts3plugin_onServerEditedEvent(uint64, anyID, const char*, const char*) {}

void ts3plugin_onServerUpdatedEvent(uint64) {}

int ts3plugin_onServerErrorEvent(uint64 serverConnectionHandlerID, const char* errorMessage, unsigned int error,
                                 const char* returnCode, const char* extraMessage)
{
    return guarded(
        [&] {
            return plugin().onServerError(serverConnectionHandlerID, errorMessage, error, returnCode, extraMessage);
        },
        0);
}

void ts3plugin_onServerStopEvent(uint64, const char*) {}

int ts3plugin_onTextMessageEvent(uint64 serverConnectionHandlerID, anyID targetMode, anyID toID, anyID fromID,
                                 const char* fromName, const char* fromUniqueIdentifier, const char* message,
                                 int ffIgnored)
{
    return guarded(
        [&] {
            return plugin().onTextMessage(serverConnectionHandlerID, targetMode, toID, fromID, fromName,
                                          fromUniqueIdentifier, message, ffIgnored);
        },
        0);
}

void ts3plugin_onTalkStatusChangeEvent(uint64 serverConnectionHandlerID, int status, int isReceivedWhisper,
                                       anyID clientID)
{
    guarded([&] { plugin().onTalkStatusChange(serverConnectionHandlerID, status, isReceivedWhisper, clientID); });
}

void ts3plugin_onConnectionInfoEvent(uint64, anyID) {}

void ts3plugin_onServerConnectionInfoEvent(uint64) {}

void ts3plugin_onChannelSubscribeEvent(uint64, uint64) {}

void ts3plugin_onChannelSubscribeFinishedEvent(uint64) {}

void ts3plugin_onChannelUnsubscribeEvent(uint64, uint64) {}

void ts3plugin_onChannelUnsubscribeFinishedEvent(uint64) {}

void ts3plugin_onChannelDescriptionUpdateEvent(uint64, uint64) {}

void ts3plugin_onChannelPasswordChangedEvent(uint64, uint64) {}

void ts3plugin_onPlaybackShutdownCompleteEvent(uint64) {}

void ts3plugin_onSoundDeviceListChangedEvent(const char*, int) {}

void ts3plugin_onEditPlaybackVoiceDataEvent(uint64, anyID, short*, int, int) {}

void ts3plugin_onEditPostProcessVoiceDataEvent(uint64, anyID, short*, int, int, const unsigned int*, unsigned int*) {}

void ts3plugin_onEditMixedPlaybackVoiceDataEvent(uint64, short*, int, int, const unsigned int*, unsigned int*) {}

void ts3plugin_onEditCapturedVoiceDataEvent(uint64, short*, int, int, int*) {}

void ts3plugin_onCustom3dRolloffCalculationClientEvent(uint64, anyID, float, float*) {}

void ts3plugin_onCustom3dRolloffCalculationWaveEvent(uint64, uint64, float, float*) {}

void ts3plugin_onUserLoggingMessageEvent(const char*, int, const char*, uint64, const char*, const char*) {}

void ts3plugin_onClientBanFromServerEvent(uint64, anyID, uint64, uint64, int, anyID, const char*, const char*, uint64,
                                          const char*)
{}

int ts3plugin_onClientPokeEvent(uint64 serverConnectionHandlerID, anyID fromClientID, const char* pokerName,
                                const char* pokerUniqueIdentity, const char* message, int ffIgnored)
{
    return guarded(
        [&] {
            return plugin().onClientPoke(serverConnectionHandlerID, fromClientID, pokerName, pokerUniqueIdentity,
                                         message, ffIgnored);
        },
        0);
}

void ts3plugin_onClientSelfVariableUpdateEvent(uint64 serverConnectionHandlerID, int flag, const char* oldValue,
                                               const char* newValue)
{
    guarded([&] { plugin().onClientSelfVariableUpdate(serverConnectionHandlerID, flag, oldValue, newValue); });
}

void ts3plugin_onFileListEvent(uint64, uint64, const char*, const char*, uint64, uint64, int, uint64, const char*) {}

void ts3plugin_onFileListFinishedEvent(uint64, uint64, const char*) {}

void ts3plugin_onFileInfoEvent(uint64, uint64, const char*, uint64, uint64) {}

void ts3plugin_onServerGroupListEvent(uint64, uint64, const char*, int, int, int) {}

void ts3plugin_onServerGroupListFinishedEvent(uint64) {}

void ts3plugin_onServerGroupByClientIDEvent(uint64, const char*, uint64, uint64) {}

void ts3plugin_onServerGroupPermListEvent(uint64, uint64, unsigned int, int, int, int) {}

void ts3plugin_onServerGroupPermListFinishedEvent(uint64, uint64) {}

void ts3plugin_onServerGroupClientListEvent(uint64, uint64, uint64, const char*, const char*) {}

void ts3plugin_onChannelGroupListEvent(uint64, uint64, const char*, int, int, int) {}

void ts3plugin_onChannelGroupListFinishedEvent(uint64) {}

void ts3plugin_onChannelGroupPermListEvent(uint64, uint64, unsigned int, int, int, int) {}

void ts3plugin_onChannelGroupPermListFinishedEvent(uint64, uint64) {}

void ts3plugin_onChannelPermListEvent(uint64 serverConnectionHandlerID, uint64 channelID, unsigned int permissionID,
                                      int permissionValue, int permissionNegated, int permissionSkip)
{
    guarded([&] {
        plugin().onChannelPermList(serverConnectionHandlerID, channelID, permissionID, permissionValue,
                                   permissionNegated, permissionSkip);
    });
}

void ts3plugin_onChannelPermListFinishedEvent(uint64, uint64) {}

void ts3plugin_onClientPermListEvent(uint64 serverConnectionHandlerID, uint64 clientDatabaseID,
                                     unsigned int permissionID, int permissionValue, int permissionNegated,
                                     int permissionSkip)
{
    guarded([&] {
        plugin().onClientPermList(serverConnectionHandlerID, clientDatabaseID, permissionID, permissionValue,
                                  permissionNegated, permissionSkip);
    });
}

void ts3plugin_onClientPermListFinishedEvent(uint64, uint64) {}

void ts3plugin_onChannelClientPermListEvent(uint64, uint64, uint64, unsigned int, int, int, int) {}

void ts3plugin_onChannelClientPermListFinishedEvent(uint64, uint64, uint64) {}

void ts3plugin_onClientChannelGroupChangedEvent(uint64, uint64, uint64, anyID, anyID, const char*, const char*) {}

int ts3plugin_onServerPermissionErrorEvent(uint64 serverConnectionHandlerID, const char* errorMessage,
                                           unsigned int error, const char* returnCode, unsigned int failedPermissionID)
{
    return guarded(
        [&] {
            return plugin().onServerPermissionError(serverConnectionHandlerID, errorMessage, error, returnCode,
                                                    failedPermissionID);
        },
        0);
}

void ts3plugin_onPermissionListGroupEndIDEvent(uint64, unsigned int) {}

void ts3plugin_onPermissionListEvent(uint64, unsigned int, const char*, const char*) {}

void ts3plugin_onPermissionListFinishedEvent(uint64) {}

void ts3plugin_onPermissionOverviewEvent(uint64, uint64, uint64, int, uint64, uint64, unsigned int, int, int, int) {}

void ts3plugin_onPermissionOverviewFinishedEvent(uint64) {}

void ts3plugin_onServerGroupClientAddedEvent(uint64, anyID, const char*, const char*, uint64, anyID, const char*,
                                             const char*)
{}

void ts3plugin_onServerGroupClientDeletedEvent(uint64, anyID, const char*, const char*, uint64, anyID, const char*,
                                               const char*)
{}

void ts3plugin_onClientNeededPermissionsEvent(uint64, unsigned int, int) {}

void ts3plugin_onClientNeededPermissionsFinishedEvent(uint64) {}

void ts3plugin_onFileTransferStatusEvent(anyID, unsigned int, const char*, uint64, uint64) {}

void ts3plugin_onClientChatClosedEvent(uint64, anyID, const char*) {}

void ts3plugin_onClientChatComposingEvent(uint64, anyID, const char*) {}

void ts3plugin_onServerLogEvent(uint64, const char*) {}

void ts3plugin_onServerLogFinishedEvent(uint64, uint64, uint64) {}

void ts3plugin_onMessageListEvent(uint64, uint64, const char*, const char*, uint64, int) {}

void ts3plugin_onMessageGetEvent(uint64, uint64, const char*, const char*, const char*, uint64) {}

void ts3plugin_onClientDBIDfromUIDEvent(uint64 serverConnectionHandlerID, const char* uniqueClientIdentifier,
                                        uint64 clientDatabaseID)
{
    guarded([&] { plugin().onClientDBIDfromUID(serverConnectionHandlerID, uniqueClientIdentifier, clientDatabaseID); });
}

void ts3plugin_onClientNamefromUIDEvent(uint64, const char*, uint64, const char*) {}

void ts3plugin_onClientNamefromDBIDEvent(uint64, const char*, uint64, const char*) {}

void ts3plugin_onComplainListEvent(uint64, uint64, const char*, uint64, const char*, const char*, uint64) {}

void ts3plugin_onBanListEvent(uint64, uint64, const char*, const char*, const char*, uint64, uint64, const char*,
                              uint64, const char*, const char*, int, const char*)
{}

void ts3plugin_onClientServerQueryLoginPasswordEvent(uint64, const char*) {}

// Clients from interface 23 on pass three more arguments (the invoker's id, name and
// unique identifier). The caller removes the arguments on every calling convention the
// client uses, so this three-parameter definition reads the first three correctly and
// never sees the rest; the sender is read from fromID in the text anyway.
void ts3plugin_onPluginCommandEvent(uint64 serverConnectionHandlerID, const char* pluginName, const char* pluginCommand)
{
    guarded([&] { plugin().onPluginCommand(serverConnectionHandlerID, pluginName, pluginCommand); });
}

void ts3plugin_onIncomingClientQueryEvent(uint64, const char*) {}

void ts3plugin_onServerTemporaryPasswordListEvent(uint64, const char*, const char*, const char*, const char*, uint64,
                                                  uint64, uint64, const char*)
{}

void ts3plugin_onAvatarUpdated(uint64, anyID, const char*) {}

void ts3plugin_onMenuItemEvent(uint64 serverConnectionHandlerID, enum PluginMenuType type, int menuItemID,
                               uint64 selectedItemID)
{
    guarded([&] { plugin().onMenuItem(serverConnectionHandlerID, type, menuItemID, selectedItemID); });
}

void ts3plugin_onHotkeyEvent(const char*) {}

void ts3plugin_onHotkeyRecordedEvent(const char*, const char*) {}

void ts3plugin_onClientDisplayNameChanged(uint64, anyID, const char*, const char*) {}

} // extern "C"
