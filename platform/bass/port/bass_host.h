// What the host needs from the BASS stand-in and the system never sees: the
// position of the stream being played, and the sound of a headless run as the
// show plays it (for capturing video).
#pragma once

#include <cstdint>
#include <vector>

namespace bass_host {

// The playing stream's position in bytes with its rate and flags word, as
// BASS_ChannelGetPosition, BASS_ChannelGetAttributes and BASS_ChannelGetFlags
// report them, read together; false when no stream plays.
bool CurrentStreamPosition(uint32_t& position, uint32_t& frequency, uint32_t& flags);

// The handle of the stream played last (the soundtrack), or 0 when none; the
// host seeks it to begin a live show at a later music time.
uint32_t CurrentStream();

// Pauses (true) or resumes the playing stream for the host's Space key: while
// paused its position holds and nothing of it sounds; a seek moves it and it
// stays paused. False when no stream plays.
bool PauseCurrentStream(bool pause);

// The length in seconds of the stream played last (the soundtrack), once it
// is known: false while it is still being decoded, or when none plays.
bool CurrentStreamLength(double& seconds);

// Rate of the audio that RenderPlayedAudio makes; always stereo 16-bit.
constexpr int kPlayedAudioRate = 44100;

// The sound that the streams play between two readings of the virtual clock
// (runtime::VirtualSeconds) of a headless run, as the show plays it: from the
// moment BASS_StreamPlay started it (after BASS_Start), through seeks, looped
// where it loops, with the volume and pan in effect and silent where nothing
// plays. A change made while a frame is rendered (a seek, a volume step of the
// fade) applies from that frame's virtual time on, so the audio that goes with
// a frame uses the values that frame set.
//
// out receives interleaved 16-bit stereo at kPlayedAudioRate. Output frame k
// belongs to time k / 44100; a call covers frames floor(from * 44100) up to,
// not including, floor(to * 44100), so the calls for consecutive frames tile
// the run sample-exactly, whatever the frame rate. Where a stream's own rate
// is 44100 its decoded samples are copied (mono doubled) without any filter;
// other rates are converted once with SDL's resampler.
//
// Call it while the streams live (after each presented frame): a freed stream
// no longer sounds. Returns false, leaving out empty, when the sound goes to an
// audio device rather than to the virtual clock.
bool RenderPlayedAudio(double fromSeconds, double toSeconds, std::vector<int16_t>& out);

}  // namespace bass_host
