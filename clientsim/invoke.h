// Calls one plugin callback and records it in the client's trace (used on the
// client's event thread and for the GUI actions).
#pragma once

#include <string>
#include <type_traits>

#include "clientsim/client.h"
#include "clientsim/format.h"

namespace clientsim {

// Calls a plugin callback on the event thread and records it.
template <class Fn, class... A>
auto callPlugin(Client& c, const char* name, Fn fn, A... args)
{
    using R = decltype(fn(args...));
    if (!c.hasPlugin()) {
        // nothing loaded: the world changes without anybody to tell
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R{};
    }
    TraceEntry e;
    e.kind = TraceEntry::Kind::Event;
    e.name = name;
    e.args = formatArgs(args...);
    if (!fn || !c.delivering()) {
        e.result = !fn ? "[not exported]" : "[dropped]";
        c.record(std::move(e));
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R{};
    } else {
        c.record(std::move(e));
        if constexpr (std::is_void_v<R>) {
            fn(args...);
        } else {
            R r = fn(args...);
            TraceEntry res;
            res.kind = TraceEntry::Kind::Event;
            res.name = name;
            res.result = std::to_string(r);
            c.record(std::move(res));
            return r;
        }
    }
}

} // namespace clientsim
