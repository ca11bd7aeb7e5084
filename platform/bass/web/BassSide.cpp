// The browser's side of the BASS stand-in. The MP3 is decoded by the
// browser's own decoder (decodeAudioData, at 44100 Hz) into an AudioBuffer
// that the page keeps by the stream's handle; a live output plays it through
// the page's AudioContext, made (and resumed) by the page in the click that
// starts the show: a looping buffer source, a gain for the volume and a
// panner. What has been heard is the context's output time, its latency
// taken off.
#include "BassSide.h"

#include <emscripten.h>

namespace bass_side {

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

// The page's AudioContext, made in the start click where the page did so.
EM_JS(int, OpenAudio, (), {
    if (!Module.audioContext && typeof AudioContext !== 'undefined') Module.audioContext = new AudioContext();
    Module.bassSources = Module.bassSources || {};
    return Module.audioContext ? 1 : 0;
});

EM_JS(void, ResumeAudio, (), { if (Module.audioContext) Module.audioContext.resume(); });

EM_JS(int, AudioRate, (), { return Module.audioContext ? Module.audioContext.sampleRate : 0; });

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
    Module.bassSources[handle] = {source: source, gain: gain, panner: panner, start: start, heard: -Infinity};
});

// Seconds of the buffer heard since PlayInBrowser started it: the output
// timestamp, or the context time less the output latency; never less than
// the last reading.
EM_JS(double, HeardInBrowser, (int handle), {
    const entry = Module.bassSources && Module.bassSources[handle];
    if (!entry) return 0;
    const context = Module.audioContext;
    let now = context.currentTime - (context.outputLatency || context.baseLatency || 0);
    if (context.getOutputTimestamp) {
        const stamp = context.getOutputTimestamp();
        if (stamp.contextTime > 0) now = stamp.contextTime;
    }
    entry.heard = Math.max(entry.heard, now - entry.start);
    return entry.heard;
});

EM_JS(void, SetLevelsInBrowser, (int handle, double volume, double pan), {
    const entry = Module.bassSources && Module.bassSources[handle];
    if (!entry) return;
    entry.gain.gain.value = volume;
    entry.panner.pan.value = pan;
});

EM_JS(void, StopInBrowser, (int handle), {
    const entry = Module.bassSources && Module.bassSources[handle];
    if (entry) { try { entry.source.stop(); } catch (e) {} delete Module.bassSources[handle]; }
});

EM_JS(void, ForgetInBrowser, (int handle), {
    const entry = Module.bassSources && Module.bassSources[handle];
    if (entry) { try { entry.source.stop(); } catch (e) {} delete Module.bassSources[handle]; }
    if (Module.bassBuffers) delete Module.bassBuffers[handle];
});

EM_JS(void, StopAllInBrowser, (), {
    for (const handle in (Module.bassSources || {})) {
        try { Module.bassSources[handle].source.stop(); } catch (e) {}
    }
    Module.bassSources = {};
});

}  // namespace

bool Decode(uint32_t handle, std::vector<unsigned char> bytes, bool, Sound& sound)
{
    int info[3] = {0, 0, 0};
    if (!DecodeSoundInBrowser(static_cast<int>(handle), bytes.data(), static_cast<int>(bytes.size()), info)) return false;
    sound.pcm.rate = info[0];
    sound.pcm.channels = info[1];
    sound.frames = static_cast<uint32_t>(info[2]);
    return sound.pcm.rate > 0 && sound.frames > 0;
}

bool ToStereo(const Sound&, int, std::vector<int16_t>& stereo)
{
    // The sound stays in the page; there are no samples to convert.
    stereo.clear();
    return false;
}

bool OpenOutput(int device, uint32_t, std::string& reason)
{
    if (device > 0) {
        reason = "a page has only its default output";
        return false;
    }
    if (!OpenAudio()) {
        reason = "the browser offers no AudioContext";
        return false;
    }
    return true;
}

void StartOutput()
{
    ResumeAudio();
}

void CloseOutput()
{
    StopAllInBrowser();
}

int OutputRate()
{
    return AudioRate();
}

void Play(uint32_t handle, const Sound& sound, uint32_t frame, bool loop, int volume, int pan)
{
    PlayInBrowser(static_cast<int>(handle), static_cast<double>(frame) / sound.pcm.rate, loop, volume / 100.0,
                  pan / 100.0);
}

void Continue(uint32_t handle, const Sound& sound, uint32_t frame, bool loop, int volume, int pan)
{
    // A buffer source cannot change its loop and go on counting from here:
    // it starts again at the frame reached.
    Play(handle, sound, frame, loop, volume, pan);
}

void SetLevels(uint32_t handle, int volume, int pan)
{
    SetLevelsInBrowser(static_cast<int>(handle), volume / 100.0, pan / 100.0);
}

void Stop(uint32_t handle)
{
    StopInBrowser(static_cast<int>(handle));
}

void Forget(uint32_t handle)
{
    ForgetInBrowser(static_cast<int>(handle));
}

double HeardSeconds(uint32_t handle)
{
    return HeardInBrowser(static_cast<int>(handle));
}

}  // namespace bass_side
