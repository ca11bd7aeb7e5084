// The BASS 1.x calls of bass.h: streams decoded whole (so seeking and looping
// are exact; on a clock the decoding goes on on a thread while the stream
// starts playing) and played either on the runtime's virtual clock
// (headless runs: no audio device at all), on the wall clock (device -2, "no
// sound") or through an SDL audio device. Also the host's view of the playing
// stream and the test controls of bass_testing.h. Decoding and file access
// live in BassDecode.cpp.
#include <bass.h>

#include "bass_decode.h"
#include "StreamClock.h"
#include "StreamSource.h"
#include "bass_host.h"

#include "runtime.h"
#include "bass_testing.h"
#include "call_log.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;

using stream_clock::ElapsedFrames;
using stream_clock::kFrameEpsilon;

enum class Output {
    VirtualClock,  // headless: the position follows runtime::VirtualSeconds
    WallClock,     // device -2: nothing is heard, the position follows real time
    Device,        // an SDL audio device plays the streams
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
    ~Stream();

    bass_decode::Pcm pcm;
    uint32_t frames = 0;  // whole frames of pcm so far
    // Clock outputs decode the file on a thread while the stream plays; the
    // sound grows under the state's lock until decoding ends.
    bool decoding = false;
    std::atomic<bool> cancel{false};
    std::thread decoder;
    int volume = 100;  // 0 to 100, linear
    int pan = 0;       // -100 (left) to 100 (right)
    bool loop = false;
    bool playing = false;
    // Where the position counts from: the frame at the last play or seek, and
    // the clock reading (clock outputs) or the output frames delivered
    // (device output) at that moment.
    uint32_t baseFrame = 0;
    double anchor = 0.0;
    int64_t startOutput = 0;
    // Device output: the audio at the device's rate in stereo (empty when pcm
    // already is) and the next frame of it that the device takes.
    std::vector<int16_t> deviceAudio;
    uint64_t cursor = 0;
    // Clock outputs: every change of state, and the audio at 44100 Hz stereo
    // when the stream has another rate, made on first use.
    std::vector<Segment> history;
    std::vector<int16_t> audio44100;
};

struct BassState {
    // Guards everything below against the audio device's callback thread.
    std::mutex lock;
    bool initialised = false;
    bool started = false;
    bool ownsAudioSubsystem = false;
    Output output = Output::VirtualClock;
    SDL_AudioDeviceID device = 0;
    int deviceRate = 0;
    int deviceBufferFrames = 0;
    SteadyClock::time_point wallStart;
    std::map<HSTREAM, std::unique_ptr<Stream>> streams;
    HSTREAM nextHandle = 1;
    HSTREAM current = 0;  // the stream played last
    // Device output: frames handed to the device, when the last callback ran,
    // and the last position reported (so it never goes back).
    int64_t delivered = 0;
    SteadyClock::time_point lastCallback;
    int64_t lastHeard = 0;
    std::vector<int32_t> mix;  // the callback's sums, sized when the device opens
    std::condition_variable decoded;  // a decoding thread added sound or finished
    // Test controls.
    bool failInit = false;
    bool failStart = false;
};

BassState& State()
{
    static BassState state;
    return state;
}

// Stops the decoding thread; never called with the state's lock held, since
// the thread takes that lock to add its sound.
Stream::~Stream()
{
    cancel = true;
    if (decoder.joinable()) decoder.join();
}

// Waits, with the state's lock held by the caller, until the stream's sound
// reaches frame or is complete. Only a position beyond what has been decoded
// so far waits: a seek far ahead in the first moments after the stream opened.
void AwaitFrame(BassState& state, Stream& stream, uint64_t frame)
{
    if (!stream.decoding || frame < stream.frames) return;
    std::unique_lock<std::mutex> relock(state.lock, std::adopt_lock);
    state.decoded.wait(relock, [&] { return !stream.decoding || frame < stream.frames; });
    relock.release();
}

// The rest of a stream's file, decoded piece by piece and added to its sound.
void DecodeRest(BassState& state, Stream& stream, std::unique_ptr<bass_decode::MpegDecoder> decoder)
{
    std::vector<int16_t> piece;
    bass_decode::MpegDecoder::Result result = bass_decode::MpegDecoder::Result::More;
    while (result == bass_decode::MpegDecoder::Result::More && !stream.cancel) {
        result = decoder->Read(piece);
        std::lock_guard<std::mutex> guard(state.lock);
        stream.pcm.samples.insert(stream.pcm.samples.end(), piece.begin(), piece.end());
        stream.frames = static_cast<uint32_t>(stream.pcm.Frames());
        state.decoded.notify_all();
    }
    std::lock_guard<std::mutex> guard(state.lock);
    // Whole frames only: a trailing half frame of a stereo stream is dropped.
    stream.pcm.samples.resize(static_cast<size_t>(stream.frames) * stream.pcm.channels);
    stream.decoding = false;
    state.decoded.notify_all();
}

Stream* Find(BassState& state, DWORD handle)
{
    auto it = state.streams.find(handle);
    return it == state.streams.end() ? nullptr : it->second.get();
}

int BytesPerFrame(const Stream& stream) { return stream.pcm.channels * 2; }

// The flags word of BASS_ChannelGetFlags: the layout bits and the loop.
DWORD FlagsOf(const Stream& stream)
{
    return (stream.pcm.channels == 1 ? BASS_SAMPLE_MONO : 0) | (stream.loop ? BASS_SAMPLE_LOOP : 0);
}

double ClockSeconds(const BassState& state)
{
    if (state.output == Output::WallClock)
        return std::chrono::duration<double>(SteadyClock::now() - state.wallStart).count();
    return runtime::VirtualSeconds();
}

// Output frame of the device being heard now. The callback fills one buffer
// while the one before it plays, so at the moment of a callback the sound
// heard is the start of the previous buffer; between callbacks it advances
// with the wall clock, but never past the end of that buffer (what the device
// has actually been given) and never backwards.
int64_t HeardOutputFrame(BassState& state)
{
    if (state.delivered == 0) return 0;
    const int64_t buffer = state.deviceBufferFrames;
    double since = std::chrono::duration<double>(SteadyClock::now() - state.lastCallback).count();
    int64_t estimate = state.delivered - 2 * buffer + static_cast<int64_t>(since * state.deviceRate);
    int64_t ceiling = std::max<int64_t>(0, state.delivered - buffer);
    estimate = std::max(std::min(estimate, ceiling), state.lastHeard);
    state.lastHeard = estimate;
    return estimate;
}

// The position in frames of the stream's own audio: since the last play or
// seek, wrapped when looping, held at the end otherwise.
uint32_t PositionFrame(BassState& state, Stream& stream)
{
    uint64_t frame = stream.baseFrame;
    if (stream.playing && state.started) {
        if (state.output == Output::Device) {
            int64_t heard = HeardOutputFrame(state) - stream.startOutput;
            frame += ElapsedFrames(static_cast<double>(heard) / state.deviceRate, stream.pcm.rate);
        } else {
            frame += ElapsedFrames(ClockSeconds(state) - stream.anchor, stream.pcm.rate);
        }
    }
    AwaitFrame(state, stream, frame);
    return stream_clock::Wrapped(frame, stream.frames, stream.loop);
}

// Appends the stream's state from now on to its history (clock outputs only;
// several changes at one virtual time keep the last, and a call that changes
// nothing, like a volume set again every frame, adds nothing).
void Remember(BassState& state, Stream& stream)
{
    if (state.output == Output::Device) return;
    Segment segment{ClockSeconds(state), stream.playing && state.started, stream.loop, stream.baseFrame,
                    stream.anchor, stream.volume, stream.pan};
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

// Makes the position count on from frame, now.
void Restart(BassState& state, Stream& stream, uint32_t frame)
{
    stream.baseFrame = frame;
    stream.anchor = state.output == Output::Device ? 0.0 : ClockSeconds(state);
    stream.startOutput = state.delivered;
    if (state.output == Output::Device)
        stream.cursor = static_cast<uint64_t>(std::llround(static_cast<double>(frame) * state.deviceRate / stream.pcm.rate));
    Remember(state, stream);
}

// Gains in ten-thousandths for the left and right channel: the volume times
// the pan's attenuation of the side it leans away from.
void Gains(int volume, int pan, int& left, int& right)
{
    left = volume * (pan > 0 ? 100 - pan : 100);
    right = volume * (pan < 0 ? 100 + pan : 100);
}

void MixStream(Stream& stream, int32_t* mix, int frames)
{
    const std::vector<int16_t>& audio = stream.deviceAudio.empty() ? stream.pcm.samples : stream.deviceAudio;
    const uint64_t length = audio.size() / 2;
    int left, right;
    Gains(stream.volume, stream.pan, left, right);
    for (int i = 0; i < frames; ++i) {
        if (stream.cursor >= length) {
            if (!stream.loop || length == 0) break;
            stream.cursor = 0;
        }
        mix[2 * i] += audio[2 * stream.cursor] * left / 10000;
        mix[2 * i + 1] += audio[2 * stream.cursor + 1] * right / 10000;
        ++stream.cursor;
    }
}

void SDLCALL FillDeviceBuffer(void*, Uint8* bytes, int length)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    // The buffer for the sums is made when the device opens: the callback
    // runs on the audio thread and never allocates.
    const int frames = std::min(length / 4, static_cast<int>(state.mix.size() / 2));
    std::fill(state.mix.begin(), state.mix.begin() + static_cast<ptrdiff_t>(frames) * 2, 0);
    for (auto& entry : state.streams)
        if (entry.second->playing) MixStream(*entry.second, state.mix.data(), frames);
    auto* out = reinterpret_cast<int16_t*>(bytes);
    for (int i = 0; i < frames * 2; ++i) out[i] = static_cast<int16_t>(std::clamp(state.mix[i], -32768, 32767));
    std::memset(bytes + frames * 4, 0, length - frames * 4);
    state.delivered += frames;
    state.lastCallback = SteadyClock::now();
}

// Closes the output and forgets every stream; the device is closed before the
// lock is taken, since its callback waits on that lock.
void FreeEverything(BassState& state)
{
    SDL_AudioDeviceID device;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        device = state.device;
        state.device = 0;
    }
    if (device) SDL_CloseAudioDevice(device);
    std::map<HSTREAM, std::unique_ptr<Stream>> freed;
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.ownsAudioSubsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    state.ownsAudioSubsystem = false;
    freed.swap(state.streams);
    state.current = 0;
    state.initialised = false;
    state.started = false;
    state.output = Output::VirtualClock;
    state.deviceRate = 0;
    state.deviceBufferFrames = 0;
    state.delivered = 0;
    state.lastHeard = 0;
}

bool OpenDevice(BassState& state, int device, DWORD freq)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    const char* name = nullptr;
    if (device >= 0) {
        name = SDL_GetAudioDeviceName(device, 0);
        if (!name) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
    }
    SDL_AudioSpec want{}, have{};
    want.freq = static_cast<int>(freq);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = FillDeviceBuffer;
    // A device that refuses the rate plays at its own; the streams are then
    // converted to it when they are created.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(name, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    state.device = id;
    state.deviceRate = have.freq;
    state.deviceBufferFrames = have.samples;
    state.ownsAudioSubsystem = true;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.mix.assign(static_cast<size_t>(have.samples) * 2, 0);
    }
    return true;
}

// One output frame of a stream for RenderPlayedAudio, at time frame / 44100
// under segment; false when the stream is silent there.
bool PlayedFrame(const Stream& stream, const Segment& segment, int64_t outputFrame, int16_t& left, int16_t& right)
{
    if (!segment.sounding) return false;
    const double elapsed = static_cast<double>(outputFrame) / bass_host::kPlayedAudioRate - segment.anchor;
    const bool direct = stream.pcm.rate == bass_host::kPlayedAudioRate;
    const uint64_t length = direct ? stream.frames : stream.audio44100.size() / 2;
    uint64_t frame = direct ? segment.baseFrame
                            : static_cast<uint64_t>(std::llround(static_cast<double>(segment.baseFrame) *
                                                                 bass_host::kPlayedAudioRate / stream.pcm.rate));
    frame += ElapsedFrames(elapsed, bass_host::kPlayedAudioRate);
    if (length == 0) return false;
    if (segment.loop)
        frame %= length;
    else if (frame >= length)
        return false;
    if (!direct) {
        left = stream.audio44100[2 * frame];
        right = stream.audio44100[2 * frame + 1];
    } else if (stream.pcm.channels == 2) {
        left = stream.pcm.samples[2 * frame];
        right = stream.pcm.samples[2 * frame + 1];
    } else {
        left = right = stream.pcm.samples[frame];
    }
    return true;
}

int64_t PlayedFrameIndex(double seconds)
{
    if (!(seconds > 0.0)) return 0;
    return static_cast<int64_t>(std::floor(seconds * bass_host::kPlayedAudioRate + kFrameEpsilon));
}

}  // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win)
{
    call_log::Record("BASS_Init");
    BassState& state = State();
    if (state.failInit || state.initialised) return FALSE;
    if (device < -2 || freq < 1000 || freq > 192000) return FALSE;
    const bool headless = runtime::CurrentOptions().headless;
    if (headless) {
        // No device is opened; there is only the default one (-1 or 0).
        if (device > 0) return FALSE;
        state.output = Output::VirtualClock;
    } else if (device == -2) {
        state.output = Output::WallClock;
        state.wallStart = SteadyClock::now();
    } else if (OpenDevice(state, device, freq)) {
        state.output = Output::Device;
    } else if (device == -1) {
        // No sound card or sound server (a bare desktop, Xvfb): rather than
        // refuse to run the show, play it silently on the wall clock.
        std::fprintf(stderr, "BASS: no audio output could be opened (%s); playing without sound.\n", SDL_GetError());
        state.output = Output::WallClock;
        state.wallStart = SteadyClock::now();
    } else {
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(state.lock);
    state.initialised = true;
    state.started = false;
    state.delivered = 0;
    state.lastHeard = 0;
    return TRUE;
}

BOOL BASS_Start(void)
{
    call_log::Record("BASS_Start");
    BassState& state = State();
    if (state.failStart || !state.initialised) return FALSE;
    if (state.output == Output::Device) {
        SDL_PauseAudioDevice(state.device, 0);
        std::lock_guard<std::mutex> guard(state.lock);
        state.started = true;
        return TRUE;
    }
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.started) return TRUE;
    state.started = true;
    // Streams played before the output ran start counting now.
    for (auto& entry : state.streams)
        if (entry.second->playing) Restart(state, *entry.second, entry.second->baseFrame);
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
    if (state.output == Output::Device) {
        // The device plays converted sound, made from the whole file at once.
        if (!bass_decode::DecodeMpegAudio(bytes.data(), bytes.size(), stream->pcm)) return 0;
        stream->frames = static_cast<uint32_t>(stream->pcm.Frames());
        if ((stream->pcm.rate != state.deviceRate || stream->pcm.channels != 2) &&
            !bass_decode::ConvertToStereo(stream->pcm, state.deviceRate, stream->deviceAudio))
            return 0;
    } else {
        // On a clock the stream plays from its first piece of sound while a
        // thread decodes the rest, so that the show does not wait for the
        // whole file before its first frame.
        auto decoder = std::make_unique<bass_decode::MpegDecoder>(std::move(bytes));
        std::vector<int16_t> first;
        if (decoder->Read(first) == bass_decode::MpegDecoder::Result::Failed) return 0;
        stream->pcm.rate = decoder->Rate();
        stream->pcm.channels = decoder->Channels();
        stream->pcm.samples.reserve(decoder->ExpectedFrames() * static_cast<size_t>(stream->pcm.channels));
        stream->pcm.samples.insert(stream->pcm.samples.end(), first.begin(), first.end());
        stream->frames = static_cast<uint32_t>(stream->pcm.Frames());
        if (!stream->pcm.Complete()) return 0;
        stream->decoding = true;
        Stream* target = stream.get();
        stream->decoder = std::thread([&state, target, d = std::move(decoder)]() mutable {
            DecodeRest(state, *target, std::move(d));
        });
    }

    std::lock_guard<std::mutex> guard(state.lock);
    HSTREAM handle = state.nextHandle++;
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
    uint32_t frame = flush ? 0 : PositionFrame(state, *stream);
    const bool ended = !stream->loop && frame >= stream->frames;
    const bool loop = (flags & BASS_SAMPLE_LOOP) != 0;
    state.current = handle;
    if (stream->playing && !flush && !ended) {
        // Already playing: only the loop flag changes. The count restarts at
        // the current position (loops already played no longer count), while
        // the device goes on from what it has been given.
        if (loop != stream->loop) {
            stream->loop = loop;
            stream->baseFrame = frame;
            stream->anchor = state.output == Output::Device ? 0.0 : ClockSeconds(state);
            stream->startOutput = state.lastHeard;
            Remember(state, *stream);
        }
        return TRUE;
    }
    stream->loop = loop;
    stream->playing = true;
    Restart(state, *stream, frame >= stream->frames ? 0 : frame);
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
    return PositionFrame(state, *stream) * static_cast<DWORD>(BytesPerFrame(*stream));
}

BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan)
{
    BassState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    Stream* stream = Find(state, handle);
    if (!stream) return FALSE;
    if (freq) *freq = static_cast<DWORD>(stream->pcm.rate);
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
    AwaitFrame(state, *stream, frame);
    if (frame > stream->frames) return FALSE;
    if (frame == stream->frames && stream->loop) frame = 0;
    Restart(state, *stream, frame);
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
    bool freqOk = freq == -1 || freq == 0 || freq == stream->pcm.rate;
    bool volumeOk = volume == -1 || (volume >= 0 && volume <= 100);
    bool panOk = pan == -101 || (pan >= -100 && pan <= 100);
    if (!freqOk || !volumeOk || !panOk) return FALSE;
    if (volume != -1) stream->volume = volume;
    if (pan != -101) stream->pan = pan;
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
    position = PositionFrame(state, *stream) * static_cast<DWORD>(BytesPerFrame(*stream));
    frequency = static_cast<uint32_t>(stream->pcm.rate);
    flags = FlagsOf(*stream);
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
    if (state.output == Output::Device) return false;
    const int64_t first = PlayedFrameIndex(fromSeconds);
    const int64_t end = PlayedFrameIndex(toSeconds);
    if (end <= first) return true;
    std::vector<int32_t> mix(static_cast<size_t>(end - first) * 2, 0);

    for (auto& entry : state.streams) {
        Stream& stream = *entry.second;
        if (stream.history.empty()) continue;
        // The captured sound is the whole file's: wait for the rest of it.
        AwaitFrame(state, stream, UINT32_MAX);
        if (stream.pcm.rate != kPlayedAudioRate && stream.audio44100.empty() &&
            !bass_decode::ConvertToStereo(stream.pcm, kPlayedAudioRate, stream.audio44100))
            continue;
        for (size_t i = 0; i < stream.history.size(); ++i) {
            const Segment& segment = stream.history[i];
            int64_t from = std::max(first, PlayedFrameIndex(segment.at));
            int64_t to = i + 1 < stream.history.size() ? std::min(end, PlayedFrameIndex(stream.history[i + 1].at)) : end;
            if (!segment.sounding) continue;
            int left, right;
            Gains(segment.volume, segment.pan, left, right);
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
    std::lock_guard<std::mutex> guard(State().lock);
    return State().device ? State().deviceRate : 0;
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
