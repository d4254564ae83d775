#include "app/gateway/gatewaytones.h"

#include "app/audio/sounddevices.h"
#include "app/config/inifile.h"

#include <QFile>

#include <mutex>

BeepArrays ReadBeepDesign(const QString& cfgFile, const QString& section, int preRollMs, int postRollMs)
{
    constexpr int kPause = 11; // the renderer's silence frequency
    const IniFile ini(cfgFile);
    auto num = [&](const char* key, int fallback) { return ini.readInteger(section, QLatin1String(key), fallback); };

    BeepArrays a;
    auto put = [&a](int i, int f, int d) {
        a.frequencies[size_t(i)] = f;
        a.durations[size_t(i)] = d;
    };
    put(0, kPause, preRollMs);
    put(1, num("F1", kPause), num("D1", 10));
    if (ini.readBool(section, QStringLiteral("B2"), false)) {
        put(2, kPause, num("P2", 10));
        put(3, num("F2", kPause), num("D2", 10));
        if (ini.readBool(section, QStringLiteral("B3"), false)) {
            put(4, kPause, num("P3", 10));
            put(5, num("F3", kPause), num("D3", 10));
            put(6, kPause, postRollMs);
        } else {
            put(4, kPause, postRollMs);
        }
    } else {
        put(2, kPause, postRollMs);
    }
    return a;
}

namespace {

class SoundCardPlayer final : public GatewayLocalPlayer {
public:
    bool play(const QString& file, int device, int volumePercent) override
    {
        m_player.setDevice(device);
        m_player.setVolume(volumePercent);
        return m_player.play(QFile::encodeName(file).toStdString());
    }
    bool isPlaying() const override { return m_player.isPlaying(); }

private:
    rdaudio::WavePlayer m_player;
};

std::mutex g_factoryLock;
LocalPlayerFactory g_factory;

} // namespace

void SetLocalPlayerFactory(LocalPlayerFactory factory)
{
    std::lock_guard<std::mutex> g(g_factoryLock);
    g_factory = std::move(factory);
}

std::unique_ptr<GatewayLocalPlayer> MakeLocalPlayer()
{
    {
        std::lock_guard<std::mutex> g(g_factoryLock);
        if (g_factory)
            return g_factory();
    }
    return std::make_unique<SoundCardPlayer>();
}
