// The audio file formats a song can be rendered to, and how each is encoded:
// 16-bit PCM for WAV and FLAC, Ogg Vorbis at quality 0.5, Ogg Opus, and
// MPEG Layer III at a constant 192 kbit/s where libsndfile was built with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kdb2mid {

enum class AudioFormat { wav, flac, ogg, opus, mp3 };

inline constexpr AudioFormat kAudioFormats[] = {AudioFormat::wav, AudioFormat::flac,
                                                AudioFormat::ogg, AudioFormat::opus,
                                                AudioFormat::mp3};

// What --ultrastar renders to when --audio does not say.
inline constexpr AudioFormat kDefaultAudioFormat = AudioFormat::ogg;

inline constexpr int kAudioChannels = 2;
// CD rate for everything but Opus, which codes only 8, 12, 16, 24 or 48 kHz.
inline constexpr int kAudioSampleRate = 44100;
inline constexpr int kOpusSampleRate = 48000;

inline constexpr double kVorbisQuality = 0.5;  // libsndfile's 0..1 scale
inline constexpr int kMp3KilobitsPerSecond = 192;

// How hard a lossless encoder works for a smaller file; the samples decoded
// are the same either way. Songs are packed as tightly as FLAC's default
// packs them; the instrumental and guide beside them are working files for
// games and players, written at FLAC's second-fastest level: half the
// default's work, files 5 to 25 % larger.
enum class EncodingEffort { standard, quick };
inline constexpr double kQuickFlacLevel = 0.125;  // libsndfile's 0..1 scale: FLAC level 1

// "wav", "flac", "ogg", "opus" or "mp3"; nothing for any other word.
std::optional<AudioFormat> parseAudioFormat(std::string_view name) noexcept;

// The format's word as parsed, which is also its file extension without the dot.
const char* audioFormatName(AudioFormat format) noexcept;

// Frames per second the format is rendered at.
int audioSampleRate(AudioFormat format) noexcept;

// libsndfile's SF_FORMAT_* major type or'ed with its subtype.
int sndfileFormat(AudioFormat format) noexcept;

// Whether the libsndfile this program was built against writes the format:
// false only for MP3 when it was built without LAME.
bool audioFormatSupported(AudioFormat format) noexcept;

// The formats this build writes as a phrase: "wav, flac, ogg or opus".
std::string supportedAudioFormatList();

}  // namespace kdb2mid
