// libFuzzer target: arbitrary bytes as blocks from the plugin, into a connected session
// with three open gateways (two with a server connection, one known only by its gateUID),
// with the one-second and ping ticks in between. A 0xFF byte ends a block; a block that
// starts with 0xFE runs a second tick, one that starts with 0xFD a ping tick first.
// Checks: no crash or sanitizer report, every byte the session writes is 7-bit ASCII
// and every command it writes ends with CR CR LF.
#include "app/session/tests/sessionfakes.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void checkWritten(const QByteArray& written)
{
    for (char c : written)
        if (static_cast<unsigned char>(c) > 0x7F) {
            std::fprintf(stderr, "non-ASCII byte written: %s\n", written.toHex().constData());
            std::abort();
        }
    if (!written.isEmpty() && !written.endsWith("\r\r\n")) {
        std::fprintf(stderr, "command not ended by CR CR LF: %s\n", written.constData());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FakeTransport transport;
    FakeDirectory directory;
    RecordingView view;
    ManualClock clock{1700000000000};
    SettingsList settings;
    FakeGateway a(QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000001}"), 5, true);
    FakeGateway b(QStringLiteral("{BBBBBBBB-0000-0000-0000-000000000002}"), 7, true);
    FakeGateway c(QStringLiteral("{CCCCCCCC-0000-0000-0000-000000000003}"), 0, false);
    directory.list = {&a, &b, &c};
    RecordingMonitor monitor;

    LinkSession::Deps d;
    d.transport = &transport;
    d.gateways = &directory;
    d.view = &view;
    d.clock = &clock;
    d.settings = &settings;
    d.text = testText;
    d.appLang = QStringLiteral("en_US");
    LinkSession session(d);
    session.setMonitor(&monitor);
    // A gateway that sends while it handles a line (as real ones do).
    a.onParse = [&] { session.SendToTS3(QStringLiteral("GETSPEAKER"), QStringLiteral("scHandler=5")); };

    session.secondTick();
    transport.written.clear();

    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    while (p < end) {
        const char* stop = static_cast<const char*>(std::memchr(p, '\xFF', size_t(end - p)));
        if (!stop)
            stop = end;
        QByteArray block(p, stop - p);
        if (!block.isEmpty() && static_cast<unsigned char>(block[0]) == 0xFE) {
            clock.advance(1000);
            session.secondTick();
            block.remove(0, 1);
        } else if (!block.isEmpty() && static_cast<unsigned char>(block[0]) == 0xFD) {
            clock.advance(20000);
            session.pingTick();
            block.remove(0, 1);
        }
        if (!transport.connected) {
            // Let the session reconnect (it waits ten ticks after a drop).
            for (int i = 0; i < 12 && !transport.connected; ++i) {
                clock.advance(1000);
                session.secondTick();
            }
        }
        session.onBlock(block);
        checkWritten(transport.written);
        transport.written.clear();
        p = stop + 1;
    }
    session.stop();
    session.close();
    checkWritten(transport.written);
    return 0;
}
