// The status thread: every status period one STATUS line per gateway connection, and the
// PING_ERROR sequence of a gateway whose pings stopped (the connection is stopped after
// too many).
#include "plugin/link_plugin.h"

#include <chrono>
#include <exception>
#include <optional>
#include <vector>

#include "plugin/client_memory.h"
#include "plugin/line_builder.h"

namespace rdplugin {

void LinkPlugin::statusThread()
{
    while (!stopping()) {
        try {
            statusPass();
        } catch (const std::exception& e) {
            logError(e.what(), 300);
        }
        std::unique_lock<std::mutex> lock(m_waitMutex);
        m_waitCv.wait_for(lock, std::chrono::milliseconds(m_opt.statusPeriodMs), [this] { return stopping(); });
    }
}

void LinkPlugin::statusPass()
{
    const std::optional<std::vector<uint64>> listed =
        takeIds<uint64>(ts3(), [&](uint64** list) { return ts3().getServerConnectionHandlerList(list); });
    if (!listed)
        return;
    const std::vector<uint64>& handlers = *listed;

    for (uint64 h : handlers) {
        const int64_t now = GetTimestamp();
        bool gateway = false, stop = false, late = false;
        int num = 0;
        withEntry(h, [&](TS3StatusData& e) {
            gateway = e.isGateway;
            if (!gateway)
                return;
            if (e.lastPingTime > 0 && now - e.lastPingTime > 40) {
                if (e.pingMisses > 5) {
                    stop = e.isConnected;
                } else {
                    ++e.pingMisses;
                }
                late = true;
                num = e.pingMisses;
                ++e.pingMisses;
            } else {
                e.pingMisses = 0;
            }
        });
        if (!gateway)
            continue;
        if (stop)
            ts3().stopConnection(h, "*** QUIT ***");
        if (late)
            SendToSocket(LineBuilder("PING_ERROR ", kReplyLimit).number("num", num).finish());
        const TS3StatusData e = snapshot(h);
        SendToSocket(LineBuilder("STATUS ", kReplyLimit)
                         .id("scHandler", h)
                         .number("connected", e.isConnected ? 1 : 0)
                         .number("users", e.users)
                         .number("speakers", e.speakers)
                         .finish());
    }
}

} // namespace rdplugin
