// Line latencies of a virtual port, as a simulated radio sees them: from a squelch edge
// written by the peer to the port's input flag, and from an output write to the peer
// reading it. Reported as p50/p99 counters in microseconds.
#include "app/serial/comportmanager.h"
#include "app/serial/memoryserial.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct VirtualRig {
    QTemporaryDir dir;
    QString sock = dir.filePath("COM7.sock");
    QString cfg = dir.filePath("comport.cfg");
    std::unique_ptr<ComPortManager> m;
    int peer = -1;
    std::string buf;

    VirtualRig()
    {
        QFile f(cfg);
        f.open(QIODevice::WriteOnly);
        f.write(("[COM7]\ndevice=virtual:" + sock + "\n").toUtf8());
        f.close();
        m = std::make_unique<ComPortManager>(cfg);
        m->StarteCOMPort(7);
        peer = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, sock.toUtf8().constData(), sizeof a.sun_path - 1);
        (void)::connect(peer, reinterpret_cast<sockaddr*>(&a), sizeof a);
        for (int i = 0; i < 3; ++i)
            line();
    }
    ~VirtualRig() { ::close(peer); }
    std::string line()
    {
        for (;;) {
            auto nl = buf.find('\n');
            if (nl != std::string::npos) {
                std::string l = buf.substr(0, nl);
                buf.erase(0, nl + 1);
                return l;
            }
            pollfd p{peer, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0)
                return {};
            char b[256];
            ssize_t r = recv(peer, b, sizeof b, 0);
            if (r <= 0)
                return {};
            buf.append(b, size_t(r));
        }
    }
};

void report(benchmark::State& state, std::vector<double>& us)
{
    if (us.empty())
        return;
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters["max_us"] = us.back();
}

void BM_VirtualSquelchEdgeToFlag(benchmark::State& state)
{
    VirtualRig rig;
    std::vector<double> us;
    bool on = false;
    for (auto _ : state) {
        on = !on;
        const std::string l = on ? "CTS 1\n" : "CTS 0\n";
        const auto t0 = Clock::now();
        send(rig.peer, l.data(), l.size(), MSG_NOSIGNAL);
        while (rig.m->GetCOMStatus(7, "CTS", false) != on) {
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    report(state, us);
}
BENCHMARK(BM_VirtualSquelchEdgeToFlag)->Iterations(2000)->UseRealTime();

void BM_VirtualPttWriteToPeer(benchmark::State& state)
{
    VirtualRig rig;
    std::vector<double> us;
    bool on = false;
    for (auto _ : state) {
        on = !on;
        const auto t0 = Clock::now();
        rig.m->SetCOMStatus("GATE_A", 7, "RTS", on, false);
        rig.line();
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    report(state, us);
}
BENCHMARK(BM_VirtualPttWriteToPeer)->Iterations(2000)->UseRealTime();

void BM_MemoryInputEdgeToFlag(benchmark::State& state)
{
    MemorySerialHub hub;
    hub.addDevice("/dev/ttyS0");
    QTemporaryDir dir;
    ComPortManager m(dir.filePath("comport.cfg"), hub.factory());
    m.StarteCOMPort(1);
    std::vector<double> us;
    bool on = false;
    for (auto _ : state) {
        on = !on;
        const auto t0 = Clock::now();
        hub.setInputs("/dev/ttyS0", {on, false, false, false});
        while (m.GetCOMStatus(1, "CTS", false) != on) {
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    report(state, us);
}
BENCHMARK(BM_MemoryInputEdgeToFlag)->Iterations(2000)->UseRealTime();

} // namespace
