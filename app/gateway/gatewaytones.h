// Helpers of the gateway's tone signals and announcements: the beep designs of
// rogerbeep.cfg turned into the renderer's segment arrays, and the local player that
// plays announcements on a sound card of this PC while the TeamSpeak connection is down.
#pragma once
#include <QString>

#include <array>
#include <functional>
#include <memory>

// The eleven segments of a multi-tone signal: silence (pre-roll), tone 1, optionally a
// pause and tone 2, optionally a pause and tone 3, silence (post-roll). Unused entries
// are 0.
struct BeepArrays {
    std::array<int, 11> frequencies{};
    std::array<int, 11> durations{};
};

// Reads design `section` of the INI file `cfgFile` (rogerbeep.cfg). A missing file,
// section or key gives the fallbacks (frequency 11 = silence, 10 ms); tone 3 only counts
// when tone 2 is present.
BeepArrays ReadBeepDesign(const QString& cfgFile, const QString& section, int preRollMs, int postRollMs);

// Plays one WAV file on a local output device in real time.
class GatewayLocalPlayer {
public:
    virtual ~GatewayLocalPlayer() = default;
    // Starts playing; false when the file or the device cannot be used.
    virtual bool play(const QString& file, int device, int volumePercent) = 0;
    virtual bool isPlaying() const = 0;
};

// The player on the sound card (PortAudio). Tests install their own factory; an empty
// factory restores the sound card.
using LocalPlayerFactory = std::function<std::unique_ptr<GatewayLocalPlayer>()>;
void SetLocalPlayerFactory(LocalPlayerFactory factory);
std::unique_ptr<GatewayLocalPlayer> MakeLocalPlayer();
