// The BASS 1.x calls of bass.h in a browser. The MP3 is decoded by the
// browser's own decoder (decodeAudioData, at 44100 Hz) and, in a live run,
// played through the page's AudioContext: a looping buffer source, a gain for
// the volume and a panner. The position is what the listener hears (the
// context's output latency taken off) and never goes backwards. In the
// page's deterministic mode (headless) nothing sounds and the position
// follows the runtime's virtual clock, as on the desktop.
#include <bass.h>

#include "StreamClock.h"
#include "StreamSource.h"
#include "bass_host.h"

#include "runtime.h"
#include "call_log.h"

#include <emscripten.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// Decodes bytes with the browser's decoder into an AudioBuffer kept under
// handle; writes its rate, channels and length in frames. 0 when the
// browser finds no sound in them.
EM_ASYNC_JS(int, DecodeSoundInBrowser, (int handle, const unsigned char* data, int size, int* info), {
    const bytes = HEAPU8.slice(data, data + size);
    try {
        const decoder = new OfflineAudioContext(2, 1, 44100);
        const buffer = await decoder.decodeAudioData(bytes.buffer);
        if (!buffer.length) return 0;
        Module.bassBuffers = Module.bassBuffers || {};
        Module.bassBuffers[handle] = buffer;
        HEAP32[info >> 2] = buffer.sampleRate;
        HEAP32[(info >> 2) + 1] = Math.min(buffer.numberOfChannels, 2);
        HEAP32[(info >> 2) + 2] = buffer.length;
        return 1;
    } catch (error) {
        return 0;
    }
});

// The page's AudioContext: made (and resumed) by the page in the click that
// starts the show, since browsers allow sound only after a gesture.
EM_JS(int, OpenAudio, (), {
    if (!Module.audioContext) Module.audioContext = new AudioContext();
    Module.bassSources = Module.bassSources || {};
    return Module.audioContext.resume ? 1 : 0;
});

EM_JS(void, ResumeAudio, (), { if (Module.audioContext) Module.audioContext.resume(); });

// Starts the buffer of handle at offset seconds, looping or not, through a
// gain and a panner; the context time the start is heard from is kept.
EM_JS(void, PlayInBrowser, (int handle, double offset, int loop, double volume, double pan), {
    const context = Module.audioContext;
    const old = Module.bassSources[handle];
    if (old) { try { old.source.stop(); } catch (e) {} }
    const source = context.createBufferSource();
    source.buffer = Module.bassBuffers[handle];
    source.loop = !!loop;
    const gain = context.createGain();
    gain.gain.value = volume;
    const panner = context.createStereoPanner();
    panner.pan.value = pan;
    source.connect(gain).connect(panner).connect(context.destination);
    const start = context.currentTime;
    source.start(start, offset);
    Module.bassSources[handle] = {source: source, gain: gain, panner: panner, start: start};
});

// Seconds of the buffer heard since PlayInBrowser started it: the output
// timestamp, or the context time less the output latency.
EM_JS(double, HeardSeconds, (int handle), {
    const entry = Module.bassSources[handle];
    if (!entry) return 0;
    const context = Module.audioContext;
    let now = context.currentTime - (context.outputLatency || context.baseLatency || 0);
    if (context.getOutputTimestamp) {
        const stamp = context.getOutputTimestamp();
        if (stamp.contextTime > 0) now = stamp.contextTime;
    }
    return Math.max(0, now - entry.start);
});

EM_JS(void, SetSoundInBrowser, (int handle, double volume, double pan), {
    const entry = Module.bassSources && Module.bassSources[handle];
    if (!entry) return;
    entry.gain.gain.value = volume;
    entry.panner.pan.value = pan;
});

EM_JS(void, StopInBrowser, (int handle), {
    const entry = Module.bassSources && Module.bassSources[handle];
    if (entry) { try { entry.source.stop(); } catch (e) {} delete Module.bassSources[handle]; }
    if (Module.bassBuffers) delete Module.bassBuffers[handle];
});

struct Stream {
    int rate = 0;
    int channels = 0;
    uint32_t frames = 0;
    int volume = 100;
    int pan = 0;
    bool loop = false;
    bool playing = false;
    // Where the count starts: the frame at the last play or seek, and the
    // virtual time then (headless), and the last frame reported (live).
    uint32_t baseFrame = 0;
    double anchor = 0.0;
    uint32_t lastHeard = 0;
};

struct BassState {
    bool initialised = false;
    bool started = false;
    bool live = false;
    std::map<HSTREAM, Stream> streams;
    HSTREAM nextHandle = 1;
    HSTREAM current = 0;
};

BassState& State()
{
    static BassState state;
    return state;
}

Stream* Find(DWORD handle)
{
    auto it = State().streams.find(handle);
    return it == State().streams.end() ? nullptr : &it->second;
}

int BytesPerFrame(const Stream& stream) { return stream.channels * 2; }

DWORD FlagsOf(const Stream& stream)
{
    return (stream.channels == 1 ? BASS_SAMPLE_MONO : 0) | (stream.loop ? BASS_SAMPLE_LOOP : 0);
}

uint32_t PositionFrame(DWORD handle, Stream& stream)
{
    if (!stream.playing || !State().started) return stream.baseFrame;
    if (!State().live) {
        const uint64_t frame = stream.baseFrame +
                               stream_clock::ElapsedFrames(runtime::VirtualSeconds() - stream.anchor, stream.rate);
        return stream_clock::Wrapped(frame, stream.frames, stream.loop);
    }
    const uint64_t frame = stream.baseFrame + stream_clock::ElapsedFrames(HeardSeconds(static_cast<int>(handle)), stream.rate);
    const uint32_t heard = stream_clock::Wrapped(frame, stream.frames, stream.loop);
    // Never backwards, except where the sound loops back to its start.
    const bool wrapped = stream.loop && heard + stream.frames / 2 < stream.lastHeard;
    if (heard >= stream.lastHeard || wrapped) stream.lastHeard = heard;
    return stream.lastHeard;
}

// Makes the position count on from frame, now; a live stream restarts there.
void Restart(DWORD handle, Stream& stream, uint32_t frame)
{
    stream.baseFrame = frame;
    stream.anchor = runtime::VirtualSeconds();
    stream.lastHeard = frame;
    if (State().live && State().started && stream.playing)
        PlayInBrowser(static_cast<int>(handle), static_cast<double>(frame) / stream.rate, stream.loop,
                      stream.volume / 100.0, stream.pan / 100.0);
}

}  // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win)
{
    call_log::Record("BASS_Init");
    BassState& state = State();
    if (state.initialised || device < -2 || freq < 1000 || freq > 192000) return FALSE;
    // Only the page's default output exists; device -2 (no sound) and a
    // headless page count on the clock without sound.
    if (device > 0) return FALSE;
    state.live = !runtime::CurrentOptions().headless && device != -2 && OpenAudio();
    state.initialised = true;
    state.started = false;
    return TRUE;
}

BOOL BASS_Start(void)
{
    call_log::Record("BASS_Start");
    BassState& state = State();
    if (!state.initialised) return FALSE;
    if (state.started) return TRUE;
    state.started = true;
    if (state.live) ResumeAudio();
    for (auto& entry : state.streams)
        if (entry.second.playing) Restart(entry.first, entry.second, entry.second.baseFrame);
    return TRUE;
}

void BASS_Free(void)
{
    call_log::Record("BASS_Free");
    BassState& state = State();
    for (auto& entry : state.streams) StopInBrowser(static_cast<int>(entry.first));
    state = BassState{};
}

HSTREAM BASS_StreamCreateFile(BOOL mem, void* file, DWORD offset, DWORD length, DWORD flags)
{
    call_log::Record("BASS_StreamCreateFile");
    BassState& state = State();
    if (!state.initialised || !file) return 0;
    std::vector<unsigned char> bytes;
    if (!stream_source::SourceBytes(mem != FALSE, file, offset, length, bytes)) return 0;
    const HSTREAM handle = state.nextHandle++;
    int info[3] = {0, 0, 0};
    if (!DecodeSoundInBrowser(static_cast<int>(handle), bytes.data(), static_cast<int>(bytes.size()), info)) return 0;
    Stream stream;
    stream.rate = info[0];
    stream.channels = info[1];
    stream.frames = static_cast<uint32_t>(info[2]);
    stream.loop = (flags & BASS_SAMPLE_LOOP) != 0;
    state.streams[handle] = stream;
    return handle;
}

BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags)
{
    call_log::Record("BASS_StreamPlay");
    Stream* stream = Find(handle);
    if (!stream) return FALSE;
    const uint32_t frame = flush ? 0 : PositionFrame(handle, *stream);
    State().current = handle;
    stream->loop = (flags & BASS_SAMPLE_LOOP) != 0;
    stream->playing = true;
    Restart(handle, *stream, frame >= stream->frames ? 0 : frame);
    return TRUE;
}

void BASS_StreamFree(HSTREAM handle)
{
    call_log::Record("BASS_StreamFree");
    StopInBrowser(static_cast<int>(handle));
    State().streams.erase(handle);
    if (State().current == handle) State().current = 0;
}

DWORD BASS_ChannelGetPosition(DWORD handle)
{
    Stream* stream = Find(handle);
    if (!stream) return static_cast<DWORD>(-1);
    return PositionFrame(handle, *stream) * static_cast<DWORD>(BytesPerFrame(*stream));
}

BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan)
{
    Stream* stream = Find(handle);
    if (!stream) return FALSE;
    if (freq) *freq = static_cast<DWORD>(stream->rate);
    if (volume) *volume = static_cast<DWORD>(stream->volume);
    if (pan) *pan = stream->pan;
    return TRUE;
}

DWORD BASS_ChannelGetFlags(DWORD handle)
{
    Stream* stream = Find(handle);
    return stream ? FlagsOf(*stream) : static_cast<DWORD>(-1);
}

BOOL BASS_ChannelSetPosition(DWORD handle, DWORD pos)
{
    call_log::Record("BASS_ChannelSetPosition");
    Stream* stream = Find(handle);
    if (!stream) return FALSE;
    uint32_t frame = pos / static_cast<DWORD>(BytesPerFrame(*stream));
    if (frame > stream->frames) return FALSE;
    if (frame == stream->frames && stream->loop) frame = 0;
    Restart(handle, *stream, frame);
    return TRUE;
}

BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan)
{
    Stream* stream = Find(handle);
    if (!stream) return FALSE;
    const bool freqOk = freq == -1 || freq == 0 || freq == stream->rate;
    const bool volumeOk = volume == -1 || (volume >= 0 && volume <= 100);
    const bool panOk = pan == -101 || (pan >= -100 && pan <= 100);
    if (!freqOk || !volumeOk || !panOk) return FALSE;
    if (volume != -1) stream->volume = volume;
    if (pan != -101) stream->pan = pan;
    if (State().live) SetSoundInBrowser(static_cast<int>(handle), stream->volume / 100.0, stream->pan / 100.0);
    return TRUE;
}

namespace bass_host {

bool CurrentStreamPosition(uint32_t& position, uint32_t& frequency, uint32_t& flags)
{
    Stream* stream = Find(State().current);
    if (!stream || !stream->playing) return false;
    position = PositionFrame(State().current, *stream) * static_cast<uint32_t>(BytesPerFrame(*stream));
    frequency = static_cast<uint32_t>(stream->rate);
    flags = FlagsOf(*stream);
    return true;
}

uint32_t CurrentStream()
{
    return Find(State().current) ? State().current : 0;
}

bool RenderPlayedAudio(double, double, std::vector<int16_t>& out)
{
    // The page captures nothing: its sound goes to the listener only.
    out.clear();
    return false;
}

}  // namespace bass_host
