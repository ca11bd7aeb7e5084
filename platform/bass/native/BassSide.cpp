// The desktop's side of the BASS stand-in: streams decoded with mpg123
// (whole for a live output, else on a thread while the stream plays) and
// played through an SDL audio device, whose callback mixes the voices at the
// device's rate. What has been heard is estimated from the buffers the
// device has taken and the time since it last took one.
#include "BassSide.h"
#include "StreamClock.h"

#include "bass_decode.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace bass_side {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Voice {
    // The sound at the device's rate in stereo: the stream's own samples when
    // they already are, else a converted copy made when the stream opened.
    std::vector<int16_t> converted;
    const std::vector<int16_t>* audio = nullptr;
    uint64_t cursor = 0;  // the next frame of audio that the device takes
    bool playing = false;
    bool loop = false;
    int volume = 100;
    int pan = 0;
    int64_t startOutput = 0;  // the output frame its heard count starts at
};

struct Device {
    // Guards everything below against the device's callback thread.
    std::mutex lock;
    SDL_AudioDeviceID id = 0;
    bool ownsAudioSubsystem = false;
    int rate = 0;
    int bufferFrames = 0;
    std::map<uint32_t, Voice> voices;
    // Frames handed to the device, when the last callback ran, and the last
    // output frame reported heard (so it never goes back).
    int64_t delivered = 0;
    SteadyClock::time_point lastCallback;
    int64_t lastHeard = 0;
    std::vector<int32_t> mix;  // the callback's sums, sized when the device opens
};

Device& Out()
{
    static Device device;
    return device;
}

// Output frame of the device being heard now. The callback fills one buffer
// while the one before it plays, so at the moment of a callback the sound
// heard is the start of the previous buffer; between callbacks it advances
// with the wall clock, but never past the end of that buffer (what the device
// has actually been given) and never backwards. Called with the lock held.
int64_t HeardOutputFrame(Device& device)
{
    if (device.delivered == 0) return 0;
    const int64_t buffer = device.bufferFrames;
    double since = std::chrono::duration<double>(SteadyClock::now() - device.lastCallback).count();
    int64_t estimate = device.delivered - 2 * buffer + static_cast<int64_t>(since * device.rate);
    int64_t ceiling = std::max<int64_t>(0, device.delivered - buffer);
    estimate = std::max(std::min(estimate, ceiling), device.lastHeard);
    device.lastHeard = estimate;
    return estimate;
}

void MixVoice(Voice& voice, int32_t* mix, int frames)
{
    const std::vector<int16_t>& audio = *voice.audio;
    const uint64_t length = audio.size() / 2;
    int left, right;
    stream_clock::Gains(voice.volume, voice.pan, left, right);
    for (int i = 0; i < frames; ++i) {
        if (voice.cursor >= length) {
            if (!voice.loop || length == 0) break;
            voice.cursor = 0;
        }
        mix[2 * i] += audio[2 * voice.cursor] * left / 10000;
        mix[2 * i + 1] += audio[2 * voice.cursor + 1] * right / 10000;
        ++voice.cursor;
    }
}

void SDLCALL FillDeviceBuffer(void*, Uint8* bytes, int length)
{
    Device& device = Out();
    std::lock_guard<std::mutex> guard(device.lock);
    // The buffer for the sums is made when the device opens: the callback
    // runs on the audio thread and never allocates.
    const int frames = std::min(length / 4, static_cast<int>(device.mix.size() / 2));
    std::fill(device.mix.begin(), device.mix.begin() + static_cast<ptrdiff_t>(frames) * 2, 0);
    for (auto& entry : device.voices)
        if (entry.second.playing && entry.second.audio) MixVoice(entry.second, device.mix.data(), frames);
    auto* out = reinterpret_cast<int16_t*>(bytes);
    for (int i = 0; i < frames * 2; ++i) out[i] = static_cast<int16_t>(std::clamp(device.mix[i], -32768, 32767));
    std::memset(bytes + frames * 4, 0, length - frames * 4);
    device.delivered += frames;
    device.lastCallback = SteadyClock::now();
}

// The rest of a stream's file, decoded piece by piece and added to its sound.
void DecodeRest(Sound& sound, std::unique_ptr<bass_decode::MpegDecoder> decoder)
{
    std::vector<int16_t> piece;
    bass_decode::MpegDecoder::Result result = bass_decode::MpegDecoder::Result::More;
    while (result == bass_decode::MpegDecoder::Result::More && !sound.cancel) {
        result = decoder->Read(piece);
        bass_core::AddDecoded(sound, piece);
    }
    bass_core::EndDecoding(sound);
}

}  // namespace

bool Decode(uint32_t handle, std::vector<unsigned char> bytes, bool whole, Sound& sound)
{
    if (whole) {
        if (!bass_decode::DecodeMpegAudio(bytes.data(), bytes.size(), sound.pcm)) return false;
        sound.frames = static_cast<uint32_t>(sound.pcm.Frames());
        Device& device = Out();
        std::lock_guard<std::mutex> guard(device.lock);
        Voice& voice = device.voices[handle];
        voice = Voice{};
        // The device plays converted sound, made from the whole file at once.
        if (device.rate > 0 && (sound.pcm.rate != device.rate || sound.pcm.channels != 2) &&
            !bass_decode::ConvertToStereo(sound.pcm, device.rate, voice.converted)) {
            device.voices.erase(handle);
            return false;
        }
        return true;
    }
    auto decoder = std::make_unique<bass_decode::MpegDecoder>(std::move(bytes));
    std::vector<int16_t> first;
    if (decoder->Read(first) == bass_decode::MpegDecoder::Result::Failed) return false;
    sound.pcm.rate = decoder->Rate();
    sound.pcm.channels = decoder->Channels();
    sound.pcm.samples.reserve(decoder->ExpectedFrames() * static_cast<size_t>(sound.pcm.channels));
    sound.pcm.samples.insert(sound.pcm.samples.end(), first.begin(), first.end());
    sound.frames = static_cast<uint32_t>(sound.pcm.Frames());
    if (!sound.pcm.Complete()) return false;
    sound.decoding = true;
    sound.decoder = std::thread([&sound, d = std::move(decoder)]() mutable { DecodeRest(sound, std::move(d)); });
    return true;
}

bool ToStereo(const Sound& sound, int rate, std::vector<int16_t>& stereo)
{
    return bass_decode::ConvertToStereo(sound.pcm, rate, stereo);
}

bool OpenOutput(int device, uint32_t freq, std::string& reason)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reason = SDL_GetError();
        return false;
    }
    const char* name = nullptr;
    if (device >= 0) {
        name = SDL_GetAudioDeviceName(device, 0);
        if (!name) {
            reason = SDL_GetError();
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
        reason = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Device& out = Out();
    std::lock_guard<std::mutex> guard(out.lock);
    out.id = id;
    out.rate = have.freq;
    out.bufferFrames = have.samples;
    out.ownsAudioSubsystem = true;
    out.mix.assign(static_cast<size_t>(have.samples) * 2, 0);
    out.delivered = 0;
    out.lastHeard = 0;
    return true;
}

void StartOutput()
{
    SDL_PauseAudioDevice(Out().id, 0);
}

// The device is closed before the lock is taken, since its callback waits on
// that lock.
void CloseOutput()
{
    Device& device = Out();
    SDL_AudioDeviceID id;
    {
        std::lock_guard<std::mutex> guard(device.lock);
        id = device.id;
        device.id = 0;
    }
    if (id) SDL_CloseAudioDevice(id);
    std::lock_guard<std::mutex> guard(device.lock);
    if (device.ownsAudioSubsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device.ownsAudioSubsystem = false;
    device.voices.clear();
    device.rate = 0;
    device.bufferFrames = 0;
    device.delivered = 0;
    device.lastHeard = 0;
}

int OutputRate()
{
    Device& device = Out();
    std::lock_guard<std::mutex> guard(device.lock);
    return device.id ? device.rate : 0;
}

void Play(uint32_t handle, const Sound& sound, uint32_t frame, bool loop, int volume, int pan)
{
    Device& device = Out();
    std::lock_guard<std::mutex> guard(device.lock);
    if (!device.rate) return;
    Voice& voice = device.voices[handle];
    voice.audio = voice.converted.empty() ? &sound.pcm.samples : &voice.converted;
    voice.cursor = static_cast<uint64_t>(std::llround(static_cast<double>(frame) * device.rate / sound.pcm.rate));
    voice.startOutput = device.delivered;
    voice.playing = true;
    voice.loop = loop;
    voice.volume = volume;
    voice.pan = pan;
}

void Continue(uint32_t handle, const Sound&, uint32_t, bool loop, int, int)
{
    // The device goes on from what it has been given; only the count restarts.
    Device& device = Out();
    std::lock_guard<std::mutex> guard(device.lock);
    auto it = device.voices.find(handle);
    if (it == device.voices.end()) return;
    it->second.loop = loop;
    it->second.startOutput = device.lastHeard;
}

void SetLevels(uint32_t handle, int volume, int pan)
{
    Device& device = Out();
    std::lock_guard<std::mutex> guard(device.lock);
    auto it = device.voices.find(handle);
    if (it == device.voices.end()) return;
    it->second.volume = volume;
    it->second.pan = pan;
}

void Stop(uint32_t handle)
{
    Device& device = Out();
    std::lock_guard<std::mutex> guard(device.lock);
    auto it = device.voices.find(handle);
    if (it != device.voices.end()) it->second.playing = false;
}

void Forget(uint32_t handle)
{
    Device& device = Out();
    std::lock_guard<std::mutex> guard(device.lock);
    device.voices.erase(handle);
}

double HeardSeconds(uint32_t handle)
{
    Device& device = Out();
    std::lock_guard<std::mutex> guard(device.lock);
    auto it = device.voices.find(handle);
    if (it == device.voices.end() || !device.rate) return 0.0;
    const int64_t heard = HeardOutputFrame(device) - it->second.startOutput;
    return static_cast<double>(heard) / device.rate;
}

}  // namespace bass_side
