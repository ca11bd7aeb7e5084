// The BASS 1.x calls of bass.h, written once for both sides: every call's
// checks, the streams and their state, the position arithmetic, and the
// three ways a position is counted: on the runtime's virtual clock (headless
// runs: no output at all), on the wall clock (device -2, "no sound", or no
// output to be had), or by what the listener has heard of the side's output
// (BassSide.h). Also the host's view of the playing stream, the sound of a
// headless run as the show plays it, and the test controls of bass_testing.h.
#include <bass.h>

#include "BassSide.h"
#include "StreamClock.h"
#include "StreamSource.h"
#include "bass_host.h"
#include "bass_testing.h"

#include "call_log.h"
#include "runtime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

using SteadyClock = std::chrono::steady_clock;

using stream_clock::ElapsedFrames;
using stream_clock::kFrameEpsilon;

enum class Output {
    VirtualClock,  // headless: the position follows runtime::VirtualSeconds
    WallClock,     // nothing is heard, the position follows real time
    Live,          // the side's output plays the streams
};

// The stream's state from virtual time `at` on, for RenderPlayedAudio.
struct Segment {
    double at;
    bool sounding;  // playing and the output started
    bool loop;
    uint32_t baseFrame;
    double anchor;
    int volume;
    int pan;
};

struct Stream {
    bass_side::Sound sound;
    int volume = 100;  // 0 to 100, linear
    int pan = 0;       // -100 (left) to 100 (right)
    bool loop = false;
    bool playing = false;
    bool paused = false;  // the host's pause: the position holds, nothing sounds
    // Where the position counts from: the frame at the last play or seek,
    // and the clock reading then (the clocks; a live output counts what has
    // been heard since).
    uint32_t baseFrame = 0;
    double anchor = 0.0;
    // The clocks: every change of state, and the audio at 44100 Hz stereo
    // when the stream has another rate, made on first use.
    std::vector<Segment> history;
    std::vector<int16_t> audio44100;
};

struct BassState {
    // Guards everything below against a side's decoding threads.
    std::mutex lock;
    std::condition_variable decoded;  // a decoding thread added sound or finished
    bool initialised = false;
    bool started = false;
    Output output = Output::VirtualClock;
    SteadyClock::time_point wallStart;
    std::map<HSTREAM, std::unique_ptr<Stream>> streams;
    HSTREAM nextHandle = 1;
    HSTREAM current = 0;  // the stream played last
    // Test controls.
    bool failInit = false;
    bool failStart = false;
};

BassState& State()
{
    static BassState state;
    return state;
}

// Waits, with the state's lock held by the caller, until the sound reaches
// frame or is complete. Only a position beyond what has been decoded so far
// waits: a seek far ahead in the first moments after the stream opened.
void AwaitFrame(BassState& state, const bass_side::Sound& sound, uint64_t frame)
{
    if (!sound.decoding || frame < sound.frames) return;
    std::unique_lock<std::mutex> relock(state.lock, std::adopt_lock);
    state.decoded.wait(relock, [&] { return !sound.decoding || frame < sound.frames; });
    relock.release();
}

Stream* Find(BassState& state, DWORD handle)
{
    auto it = state.streams.find(handle);
    return it == state.streams.end() ? nullptr : it->second.get();
}

int BytesPerFrame(const Stream& stream) { return stream.sound.pcm.channels * 2; }

// The flags word of BASS_ChannelGetFlags: the layout bits and the loop.
DWORD FlagsOf(const Stream& stream)
{
    return (stream.sound.pcm.channels == 1 ? BASS_SAMPLE_MONO : 0) | (stream.loop ? BASS_SAMPLE_LOOP : 0);
}

double ClockSeconds(const BassState& state)
{
    if (state.output == Output::WallClock)
        return std::chrono::duration<double>(SteadyClock::now() - state.wallStart).count();
    return runtime::VirtualSeconds();
}

// The position in frames of the stream's own audio: since the last play or
// seek, wrapped when looping, held at the end otherwise.
uint32_t PositionFrame(BassState& state, HSTREAM handle, Stream& stream)
{
    uint64_t frame = stream.baseFrame;
    if (stream.playing && state.started && !stream.paused) {
        const double seconds =
            state.output == Output::Live ? bass_side::HeardSeconds(handle) : ClockSeconds(state) - stream.anchor;
        frame += ElapsedFrames(seconds, stream.sound.pcm.rate);
    }
    AwaitFrame(state, stream.sound, frame);
    return stream_clock::Wrapped(frame, stream.sound.frames, stream.loop);
}

// Appends the stream's state from now on to its history (the clocks only;
// several changes at one virtual time keep the last, and a call that changes
// nothing, like a volume set again every frame, adds nothing).
void Remember(BassState& state, Stream& stream)
{
    if (state.output == Output::Live) return;
    const bool sounding = stream.playing && state.started && !stream.paused;
    Segment segment{ClockSeconds(state), sounding, stream.loop, stream.baseFrame, stream.anchor, stream.volume, stream.pan};
    if (!stream.history.empty()) {
        Segment& last = stream.history.back();
        if (last.at == segment.at) {
            last = segment;
            return;
        }
        if (last.sounding == segment.sounding && last.loop == segment.loop && last.baseFrame == segment.baseFrame &&
            last.anchor == segment.anchor && last.volume == segment.volume && last.pan == segment.pan)
            return;
    }
    stream.history.push_back(segment);
}

// Makes the position count on from frame, now; a live output plays it from
// there.
void Restart(BassState& state, HSTREAM handle, Stream& stream, uint32_t frame)
{
    stream.baseFrame = frame;
    stream.anchor = state.output == Output::Live ? 0.0 : ClockSeconds(state);
    if (state.output == Output::Live && state.started && stream.playing && !stream.paused)
        bass_side::Play(handle, stream.sound, frame, stream.loop, stream.volume, stream.pan);
    Remember(state, stream);
}

// Closes the output and forgets every stream. Their decoding threads stop
// outside the lock, since they take it to add their sound.
void FreeEverything(BassState& state)
{
    std::map<HSTREAM, std::unique_ptr<Stream>> freed;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        for (const auto& entry : state.streams) bass_side::Forget(entry.first);
        if (state.output == Output::Live) bass_side::CloseOutput();
        freed.swap(state.streams);
        state.current = 0;
        state.initialised = false;
        state.started = false;
        state.output = Output::VirtualClock;
    }
}

// One output frame of a stream for RenderPlayedAudio, at time frame / 44100
// under segment; false when the stream is silent there.
bool PlayedFrame(const Stream& stream, const Segment& segment, int64_t outputFrame, int16_t& left, int16_t& right)
{
    if (!segment.sounding) return false;
    const bass_side::Pcm& pcm = stream.sound.pcm;
    const double elapsed = static_cast<double>(outputFrame) / bass_host::kPlayedAudioRate - segment.anchor;
    const bool direct = pcm.rate == bass_host::kPlayedAudioRate;
    const uint64_t length = direct ? stream.sound.frames : stream.audio44100.size() / 2;
    uint64_t frame = direct ? segment.baseFrame
                            : static_cast<uint64_t>(std::llround(static_cast<double>(segment.baseFrame) *
                                                                 bass_host::kPlayedAudioRate / pcm.rate));
    frame += ElapsedFrames(elapsed, bass_host::kPlayedAudioRate);
    if (length == 0) return false;
    if (segment.loop)
        frame %= length;
    else if (frame >= length)
        return false;
    if (!direct) {
        left = stream.audio44100[2 * frame];
        right = stream.audio44100[2 * frame + 1];
    } else if (pcm.channels == 2) {
        left = pcm.samples[2 * frame];
        right = pcm.samples[2 * frame + 1];
    } else {
        left = right = pcm.samples[frame];
    }
    return true;
}

int64_t PlayedFrameIndex(double seconds)
{
    if (!(seconds > 0.0)) return 0;
    return static_cast<int64_t>(std::floor(seconds * bass_host::kPlayedAudioRate + kFrameEpsilon));
}

}  // namespace

namespace bass_core {

void AddDecoded(bass_side::Sound& sound, const std::vector<int16_t>& samples)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    sound.pcm.samples.insert(sound.pcm.samples.end(), samples.begin(), samples.end());
    sound.frames = static_cast<uint32_t>(sound.pcm.Frames());
    state.decoded.notify_all();
}

void EndDecoding(bass_side::Sound& sound)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    // Whole frames only: a trailing half frame of a stereo stream is dropped.
    sound.pcm.samples.resize(static_cast<size_t>(sound.frames) * sound.pcm.channels);
    sound.decoding = false;
    state.decoded.notify_all();
}

}  // namespace bass_core

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win)
{
    call_log::Record("BASS_Init");
    BassState& state = State();
    if (state.failInit || state.initialised) return FALSE;
    if (device < -2 || freq < 1000 || freq > 192000) return FALSE;
    Output output = Output::VirtualClock;
    std::string reason;
    if (runtime::CurrentOptions().headless) {
        // No output is opened; there is only the default device (-1 or 0).
        if (device > 0) return FALSE;
    } else if (device == -2) {
        output = Output::WallClock;
    } else if (bass_side::OpenOutput(device, freq, reason)) {
        output = Output::Live;
    } else if (device == -1) {
        // No sound card or sound server (a bare desktop, Xvfb): rather than
        // refuse to run the show, play it silently on the wall clock.
        std::fprintf(stderr, "BASS: no audio output could be opened (%s); playing without sound.\n", reason.c_str());
        output = Output::WallClock;
    } else {
        runtime::NoteFailureReason("audio device " + std::to_string(device) + ": " + reason);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(state.lock);
    state.output = output;
    state.wallStart = SteadyClock::now();
    state.initialised = true;
    state.started = false;
    return TRUE;
}

BOOL BASS_Start(void)
{
    call_log::Record("BASS_Start");
    BassState& state = State();
    if (state.failStart || !state.initialised) return FALSE;
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.started) return TRUE;
    state.started = true;
    if (state.output == Output::Live) bass_side::StartOutput();
    // Streams played before the output ran start counting (and sounding) now.
    for (auto& entry : state.streams)
        if (entry.second->playing) Restart(state, entry.first, *entry.second, entry.second->baseFrame);
    return TRUE;
}

void BASS_Free(void)
{
    call_log::Record("BASS_Free");
    FreeEverything(State());
}

HSTREAM BASS_StreamCreateFile(BOOL mem, void* file, DWORD offset, DWORD length, DWORD flags)
{
    call_log::Record("BASS_StreamCreateFile");
    BassState& state = State();
    if (!state.initialised || !file) return 0;

    std::vector<unsigned char> bytes;
    if (!stream_source::SourceBytes(mem != FALSE, file, offset, length, bytes)) return 0;
    auto stream = std::make_unique<Stream>();
    // BASS_MP3_SETPOS (exact seeking) holds anyway, the whole file being
    // decoded; 8-bit and mono conversion are not offered, so the flags word
    // always describes the file's own 16-bit layout.
    stream->loop = (flags & BASS_SAMPLE_LOOP) != 0;
    // A live output plays the sound it is given whole; on a clock the stream
    // plays from its first piece while the rest is decoded, so that the show
    // does not wait for the whole file before its first frame.
    const HSTREAM handle = state.nextHandle;
    if (!bass_side::Decode(handle, std::move(bytes), state.output == Output::Live, stream->sound)) {
        if (!mem) runtime::NoteFailureReason(std::string(static_cast<const char*>(file)) + ": holds no MPEG audio that can be played");
        return 0;
    }

    std::lock_guard<std::mutex> guard(state.lock);
    state.nextHandle = handle + 1;
    state.streams[handle] = std::move(stream);
    return handle;
}

BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags)
{
    call_log::Record("BASS_StreamPlay");
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, handle);
    if (!stream) return FALSE;
    // flush restarts the file from its beginning; otherwise play goes on from
    // where the stream stands (from the start again if it ran to its end).
    uint32_t frame = flush ? 0 : PositionFrame(state, handle, *stream);
    const bool ended = !stream->loop && frame >= stream->sound.frames;
    const bool loop = (flags & BASS_SAMPLE_LOOP) != 0;
    state.current = handle;
    if (stream->playing && !flush && !ended) {
        // Already playing: only the loop flag changes. The count restarts at
        // the current position (loops already played no longer count), while
        // the output goes on with what it has been given.
        if (loop != stream->loop) {
            stream->loop = loop;
            stream->baseFrame = frame;
            stream->anchor = state.output == Output::Live ? 0.0 : ClockSeconds(state);
            if (state.output == Output::Live && state.started && !stream->paused)
                bass_side::Continue(handle, stream->sound, frame, loop, stream->volume, stream->pan);
            Remember(state, *stream);
        }
        return TRUE;
    }
    stream->loop = loop;
    stream->playing = true;
    Restart(state, handle, *stream, frame >= stream->sound.frames ? 0 : frame);
    return TRUE;
}

void BASS_StreamFree(HSTREAM handle)
{
    call_log::Record("BASS_StreamFree");
    BassState& state = State();
    std::unique_ptr<Stream> freed;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        auto it = state.streams.find(handle);
        if (it == state.streams.end()) return;
        bass_side::Forget(handle);
        freed = std::move(it->second);
        state.streams.erase(it);
        if (state.current == handle) state.current = 0;
    }
    // Its decoding thread stops outside the lock, which that thread takes.
    freed.reset();
}

DWORD BASS_ChannelGetPosition(DWORD handle)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, handle);
    if (!stream) return static_cast<DWORD>(-1);
    return PositionFrame(state, handle, *stream) * static_cast<DWORD>(BytesPerFrame(*stream));
}

BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, handle);
    if (!stream) return FALSE;
    if (freq) *freq = static_cast<DWORD>(stream->sound.pcm.rate);
    if (volume) *volume = static_cast<DWORD>(stream->volume);
    if (pan) *pan = stream->pan;
    return TRUE;
}

DWORD BASS_ChannelGetFlags(DWORD handle)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, handle);
    if (!stream) return static_cast<DWORD>(-1);
    return FlagsOf(*stream);
}

BOOL BASS_ChannelSetPosition(DWORD handle, DWORD pos)
{
    call_log::Record("BASS_ChannelSetPosition");
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, handle);
    if (!stream) return FALSE;
    uint32_t frame = pos / static_cast<DWORD>(BytesPerFrame(*stream));  // a split frame rounds down
    AwaitFrame(state, stream->sound, frame);
    if (frame > stream->sound.frames) return FALSE;
    if (frame == stream->sound.frames && stream->loop) frame = 0;
    Restart(state, handle, *stream, frame);
    return TRUE;
}

BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan)
{
    if (call_log::Enabled()) call_log::Record("BASS_ChannelSetAttributes " + std::to_string(volume));
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, handle);
    if (!stream) return FALSE;
    // freq -1 leaves the rate and 0 means the file's own; playing at another
    // speed is not offered. volume -1 and pan -101 leave their values.
    const bool freqOk = freq == -1 || freq == 0 || freq == stream->sound.pcm.rate;
    const bool volumeOk = volume == -1 || (volume >= 0 && volume <= 100);
    const bool panOk = pan == -101 || (pan >= -100 && pan <= 100);
    if (!freqOk || !volumeOk || !panOk) return FALSE;
    if (volume != -1) stream->volume = volume;
    if (pan != -101) stream->pan = pan;
    if (state.output == Output::Live) bass_side::SetLevels(handle, stream->volume, stream->pan);
    Remember(state, *stream);
    return TRUE;
}

namespace bass_host {

bool CurrentStreamPosition(uint32_t& position, uint32_t& frequency, uint32_t& flags)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, state.current);
    if (!stream || !stream->playing) return false;
    position = PositionFrame(state, state.current, *stream) * static_cast<DWORD>(BytesPerFrame(*stream));
    frequency = static_cast<uint32_t>(stream->sound.pcm.rate);
    flags = FlagsOf(*stream);
    return true;
}

bool CurrentStreamLength(double& seconds)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    const Stream* stream = Find(state, state.current);
    if (!stream || stream->sound.decoding || stream->sound.pcm.rate <= 0) return false;
    seconds = static_cast<double>(stream->sound.frames) / stream->sound.pcm.rate;
    return true;
}

bool PauseCurrentStream(bool pause)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, state.current);
    if (!stream || !stream->playing) return false;
    if (stream->paused == pause) return true;
    // The position counts on from where it held, as after a seek.
    const uint32_t frame = PositionFrame(state, state.current, *stream);
    stream->paused = pause;
    if (pause && state.output == Output::Live) bass_side::Stop(state.current);
    Restart(state, state.current, *stream, frame);
    return true;
}

uint32_t CurrentStream()
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return Find(state, state.current) ? state.current : 0;
}

bool RenderPlayedAudio(double fromSeconds, double toSeconds, std::vector<int16_t>& out)
{
    out.clear();
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.output == Output::Live) return false;
    const int64_t first = PlayedFrameIndex(fromSeconds);
    const int64_t end = PlayedFrameIndex(toSeconds);
    if (end <= first) return true;
    std::vector<int32_t> mix(static_cast<size_t>(end - first) * 2, 0);

    for (auto& entry : state.streams) {
        Stream& stream = *entry.second;
        if (stream.history.empty()) continue;
        // The captured sound is the whole file's: wait for the rest of it.
        AwaitFrame(state, stream.sound, UINT32_MAX);
        // A side that keeps its sound outside memory (the browser) has none to give.
        if (stream.sound.pcm.samples.empty() && stream.sound.frames > 0) return false;
        if (stream.sound.pcm.rate != kPlayedAudioRate && stream.audio44100.empty() &&
            !bass_side::ToStereo(stream.sound, kPlayedAudioRate, stream.audio44100))
            continue;
        for (size_t i = 0; i < stream.history.size(); ++i) {
            const Segment& segment = stream.history[i];
            int64_t from = std::max(first, PlayedFrameIndex(segment.at));
            int64_t to = i + 1 < stream.history.size() ? std::min(end, PlayedFrameIndex(stream.history[i + 1].at)) : end;
            if (!segment.sounding) continue;
            int left, right;
            stream_clock::Gains(segment.volume, segment.pan, left, right);
            for (int64_t k = from; k < to; ++k) {
                int16_t l, r;
                if (!PlayedFrame(stream, segment, k, l, r)) continue;
                mix[2 * (k - first)] += l * left / 10000;
                mix[2 * (k - first) + 1] += r * right / 10000;
            }
        }
    }
    out.resize(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) out[i] = static_cast<int16_t>(std::clamp(mix[i], -32768, 32767));
    return true;
}

}  // namespace bass_host

namespace bass_testing {

void FailInit(bool fail) { State().failInit = fail; }

void FailStart(bool fail) { State().failStart = fail; }

int DeviceRate()
{
    return bass_side::OutputRate();
}

void Reset()
{
    BassState& state = State();
    FreeEverything(state);
    std::lock_guard<std::mutex> guard(state.lock);
    state.failInit = false;
    state.failStart = false;
}

}  // namespace bass_testing
