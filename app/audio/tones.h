// Tone rendering into WAV files and reading the play length of WAV files.
//
// The renderers write 16-bit mono PCM files at 44100 Hz, but produce the sample bytes
// one 8-bit sine value per byte at half the requested frequency, plus an offset of 10.
// A 16-bit reader therefore hears, in the high byte of each sample, a sine of the
// requested frequency with a peak of about volume x 256. The byte stream and the header
// values (RIFF size 38 + D, two extra bytes per segment beyond the data chunk) are
// fixed: the radio side and the transmit timing depend on them exactly.
//
// No Qt and no global state: the gateway engine and the beep editor call these from
// their timer ticks and event handlers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace rdaudio {

inline constexpr int kToneSampleRate = 44100;
inline constexpr int kPauseFrequency = 11;    // a segment at this frequency is near-silence
inline constexpr int kSkipBound = 10;         // segments at or below this are not rendered
inline constexpr int kToneBound = 40;         // segments above this are tones
inline constexpr int kToneByteOffset = 10;    // added to every tone byte
inline constexpr int kSequenceSegments = 9;   // a sequence uses entries 0..8
inline constexpr int kSequenceArraySize = 11; // callers pass arrays of 11 entries

// Outcome of a render call. On failure `message` says why (already in the wording the
// user sees, e.g. "Sample rate of 44100 is too Low to play a tone of 30000Hz"); the
// caller decides how to show it (the program uses a message box).
struct RenderResult {
    enum class Status { Ok, FrequencyTooHigh, TooLong, WriteFailed };
    Status status = Status::Ok;
    std::string message;
    bool ok() const { return status == Status::Ok; }
};

// Selects the sine evaluation. The bytes are defined by the extended-precision sine
// (LongDouble: every byte through sinl). Checked, the default, gives the same bytes faster:
// it takes the sine from a table of one period and falls back to sinl wherever the table
// value lies so close to an integer that the two could truncate differently. Double is plain double precision
// (differs from the others at isolated bytes; kept to show where).
enum class SinePrecision { Checked, LongDouble, Double };

// Counted bytes of a segment of `durationMs`: (d * 44100 div 1000) * 2. Negative for a
// negative duration (such a segment renders nothing and counts nothing).
std::int64_t SegmentSize(std::int64_t durationMs);

// The 44-byte header with data size D and RIFF size 38 + D.
std::vector<std::uint8_t> ToneHeader(std::uint32_t dataSize);

// The bytes RenderTone would write (header optional). Volume: only the low 8 bits count.
// Fails with FrequencyTooHigh above 0.6 x 44100 Hz and with TooLong when the data would
// not fit a WAV file.
RenderResult ToneBytes(int frequencyHz, int durationMs, int volume, bool withHeader, std::vector<std::uint8_t>& out,
                       SinePrecision precision = SinePrecision::Checked);

// The bytes RenderToneSequence would write. Entries 0..8 of both spans are used (missing
// entries count as skipped); anything beyond index 8 is ignored.
RenderResult ToneSequenceBytes(std::span<const int> frequenciesHz, std::span<const int> durationsMs, int volume,
                               std::vector<std::uint8_t>& out, SinePrecision precision = SinePrecision::Checked);

// Writes one sine tone to `fileName` (created or overwritten). On FrequencyTooHigh no
// file is written and an older file of that name stays as it was.
RenderResult RenderTone(int frequencyHz, int durationMs, int volume, const std::string& fileName, bool withHeader);

// Writes up to nine consecutive segments (pauses at 11 Hz, tones above 40 Hz) into one
// file. Callers pass the eleven-entry arrays of a beep design.
RenderResult RenderToneSequence(std::span<const int> frequenciesHz, std::span<const int> durationsMs, int volume,
                                const std::string& fileName);

// ---------------------------------------------------------------------------------
// WAV length

// What the length reader learns from a WAV file's header.
struct WaveInfo {
    bool valid = false;
    std::vector<std::uint8_t> format; // the "fmt " block, at least 18 bytes, zero-filled
    std::uint32_t dataSize = 0;       // the "data" chunk's declared size, at most the bytes present
    std::uint64_t dataOffset = 0;     // file position after the "data" chunk header
    std::uint32_t avgBytesPerSec() const;
    // 1000 x dataSize / avgBytesPerSec rounded to the nearest integer; 0 when invalid or
    // when the average is 0.
    std::int64_t lengthMs() const;
};

// Reads the header of any WAV file: the RIFF chunk of form "WAVE", its "fmt " chunk
// (at least 14 bytes) and the "data" chunk after it. Invalid (length 0) for a missing,
// empty or malformed file.
WaveInfo ReadWaveInfo(const std::string& fileName);

// Length in milliseconds as above (0 for an unreadable file).
std::int64_t WaveLengthMs(const std::string& fileName);

// Length in tenths of a second (ms div 100), but 1 for anything shorter than 100 ms,
// including unreadable files.
int WaveDurationTenths(const std::string& fileName);

// The `len=` value sent with PLAYWAVE, in 100 ms ticks: 0 when the file does not exist,
// otherwise WaveDurationTenths plus both extras.
int WavePlayTicks(const std::string& fileName, int extra1, int extra2);

} // namespace rdaudio
