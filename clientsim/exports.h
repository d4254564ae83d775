// The plugin entry points the substitute client resolves and calls.
#pragma once

#include "plugin/ts3_abi.h"

#define CLIENTSIM_REQUIRED_EXPORTS(X)                                                                                  \
    X(name)                                                                                                            \
    X(version)                                                                                                         \
    X(apiVersion)                                                                                                      \
    X(author)                                                                                                          \
    X(description)                                                                                                     \
    X(setFunctionPointers)                                                                                             \
    X(init)                                                                                                            \
    X(shutdown)

#define CLIENTSIM_OPTIONAL_EXPORTS(X)                                                                                  \
    X(offersConfigure)                                                                                                 \
    X(configure)                                                                                                       \
    X(registerPluginID)                                                                                                \
    X(commandKeyword)                                                                                                  \
    X(processCommand)                                                                                                  \
    X(currentServerConnectionChanged)                                                                                  \
    X(infoTitle)                                                                                                       \
    X(infoData)                                                                                                        \
    X(freeMemory)                                                                                                      \
    X(requestAutoload)                                                                                                 \
    X(initMenus)                                                                                                       \
    X(initHotkeys)                                                                                                     \
    X(onConnectStatusChangeEvent)                                                                                      \
    X(onNewChannelEvent)                                                                                               \
    X(onClientMoveEvent)                                                                                               \
    X(onClientMoveMovedEvent)                                                                                          \
    X(onServerErrorEvent)                                                                                              \
    X(onServerPermissionErrorEvent)                                                                                    \
    X(onServerUpdatedEvent)                                                                                            \
    X(onTextMessageEvent)                                                                                              \
    X(onTalkStatusChangeEvent)                                                                                         \
    X(onClientPokeEvent)                                                                                               \
    X(onClientSelfVariableUpdateEvent)                                                                                 \
    X(onPluginCommandEvent)                                                                                            \
    X(onChannelSubscribeEvent)                                                                                         \
    X(onChannelSubscribeFinishedEvent)                                                                                 \
    X(onChannelUnsubscribeEvent)                                                                                       \
    X(onChannelUnsubscribeFinishedEvent)                                                                               \
    X(onChannelPermListEvent)                                                                                          \
    X(onChannelPermListFinishedEvent)                                                                                  \
    X(onClientPermListEvent)                                                                                           \
    X(onClientPermListFinishedEvent)                                                                                   \
    X(onClientDBIDfromUIDEvent)                                                                                        \
    X(onMenuItemEvent)                                                                                                 \
    X(onHotkeyEvent)

namespace clientsim {

struct Exports {
#define CLIENTSIM_EXPORT_FIELD(n) decltype(&::ts3plugin_##n) n = nullptr;
    CLIENTSIM_REQUIRED_EXPORTS(CLIENTSIM_EXPORT_FIELD)
    CLIENTSIM_OPTIONAL_EXPORTS(CLIENTSIM_EXPORT_FIELD)
#undef CLIENTSIM_EXPORT_FIELD
};

} // namespace clientsim
