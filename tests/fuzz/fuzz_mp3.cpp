// Fuzz target: the soundtrack through the BASS stand-in, as the shell uses it
// on a headless clock: open from memory, play looped, read the position as
// the clock runs, seek to the middle and past the end, and free. Whatever
// the bytes, a stream either is refused or keeps its position inside itself.
#include <bass.h>

#include "runtime.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool Started()
{
    runtime::ResetForTesting();  // headless: no sound device, a virtual clock
    return BASS_Init(-1, 44100, 0, nullptr) && BASS_Start();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Started();
    if (!started) std::abort();
    if (size == 0) return 0;
    HSTREAM stream = BASS_StreamCreateFile(TRUE, const_cast<uint8_t*>(data), 0, static_cast<DWORD>(size),
                                           BASS_MP3_SETPOS);
    if (!stream) return 0;
    DWORD rate = 0;
    if (!BASS_ChannelGetAttributes(stream, &rate, nullptr, nullptr) || rate == 0) __builtin_trap();
    const DWORD bytesPerFrame = (BASS_ChannelGetFlags(stream) & BASS_SAMPLE_MONO) ? 2 : 4;
    if (!BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP)) __builtin_trap();
    runtime::AdvanceVirtualFramesForTesting(7);
    if (BASS_ChannelGetPosition(stream) % bytesPerFrame != 0) __builtin_trap();
    // Past the end: refused once the whole file is decoded, never wrapped into
    // a position outside the sound.
    if (BASS_ChannelSetPosition(stream, 0xFFFFFFF0u)) __builtin_trap();
    BASS_ChannelSetPosition(stream, bytesPerFrame * (rate / 2));
    runtime::AdvanceVirtualFramesForTesting(600);
    if (BASS_ChannelGetPosition(stream) % bytesPerFrame != 0) __builtin_trap();
    BASS_ChannelSetAttributes(stream, -1, 50, -1);
    BASS_StreamFree(stream);
    return 0;
}
