// The soundtrack player over BASS: start-up of the output, the looping file
// stream, and the conversion of its byte position into seconds.
#include "Sound.h"

#include "Show.h"

#include <bass.h>

DWORD g_stream = 0;

bool SoundInit(HWND window)
{
    if (!BASS_Init(-1, 41000, 0, window)) return false;
    if (!BASS_Start()) {
        BASS_Free();
        return false;
    }
    return true;
}

void SoundFree()
{
    BASS_Free();
}

bool SoundPlayFile(const char* path)
{
    g_stream = BASS_StreamCreateFile(FALSE, const_cast<char*>(path), 0, 0, BASS_MP3_SETPOS);
    if (g_stream == 0) return false;
    if (!BASS_StreamPlay(g_stream, TRUE, BASS_SAMPLE_LOOP)) {
        BASS_StreamFree(g_stream);
        g_stream = 0;
        return false;
    }
    return true;
}

int SoundBytesPerSecond()
{
    DWORD frequency = 0;
    BASS_ChannelGetAttributes(g_stream, &frequency, nullptr, nullptr);
    const DWORD flags = BASS_ChannelGetFlags(g_stream);
    return show::BytesPerSecond(frequency, flags);
}

float SoundGetSeconds()
{
    const DWORD position = BASS_ChannelGetPosition(g_stream);
    return show::SecondsOfPosition(position, SoundBytesPerSecond());
}

BOOL SoundSeek(float seconds)
{
    const int bytes = SoundBytesPerSecond() * static_cast<int>(seconds);
    return BASS_ChannelSetPosition(g_stream, static_cast<DWORD>(bytes));
}
