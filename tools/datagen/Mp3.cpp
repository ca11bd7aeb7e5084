// LAME encoding and mpg123 decoding (see Mp3.h).
#include "Mp3.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace datagen {

std::vector<int16_t> ToPcm16(const StereoBuffer& buf)
{
    std::vector<int16_t> out(buf.Frames() * 2);
    for (size_t i = 0; i < buf.Frames(); ++i) {
        for (int c = 0; c < 2; ++c) {
            const double x = c == 0 ? buf.l[i] : buf.r[i];
            double q = std::floor(32767.0 * x + 0.5);
            q = q < -32768.0 ? -32768.0 : (q > 32767.0 ? 32767.0 : q);
            out[2 * i + c] = static_cast<int16_t>(q);
        }
    }
    return out;
}

bool EncodeMp3(const std::vector<int16_t>& pcm, std::vector<uint8_t>& mp3, std::string& error)
{
    lame_t g = lame_init();
    if (!g) {
        error = "LAME could not start";
        return false;
    }
    lame_set_in_samplerate(g, 44100);
    lame_set_out_samplerate(g, 44100);
    lame_set_num_channels(g, 2);
    lame_set_mode(g, JOINT_STEREO);
    lame_set_quality(g, 3);
    lame_set_VBR(g, vbr_off);
    lame_set_brate(g, 192);
    if (lame_init_params(g) < 0) {
        lame_close(g);
        error = "LAME rejected the encoder settings";
        return false;
    }
    mp3.clear();
    const size_t frames = pcm.size() / 2;
    const size_t chunk = 44100;
    std::vector<unsigned char> buf(static_cast<size_t>(1.25 * chunk) + 7200);
    for (size_t at = 0; at < frames; at += chunk) {
        const int n = static_cast<int>(std::min(chunk, frames - at));
        // LAME takes a non-const pointer but does not write the input.
        const int bytes = lame_encode_buffer_interleaved(g, const_cast<short*>(&pcm[2 * at]), n, buf.data(),
                                                         static_cast<int>(buf.size()));
        if (bytes < 0) {
            lame_close(g);
            error = "LAME failed while encoding (" + std::to_string(bytes) + ")";
            return false;
        }
        mp3.insert(mp3.end(), buf.begin(), buf.begin() + bytes);
    }
    const int tail = lame_encode_flush(g, buf.data(), static_cast<int>(buf.size()));
    if (tail < 0) {
        lame_close(g);
        error = "LAME failed while flushing";
        return false;
    }
    mp3.insert(mp3.end(), buf.begin(), buf.begin() + tail);
    // The Xing/LAME tag at the start of the stream carries the frame count and
    // the encoder delay; rewrite it now that they are known.
    std::vector<unsigned char> tag(8192);
    const size_t tagBytes = lame_get_lametag_frame(g, tag.data(), tag.size());
    if (tagBytes > 0 && tagBytes <= tag.size() && tagBytes <= mp3.size()) std::copy(tag.begin(), tag.begin() + tagBytes, mp3.begin());
    lame_close(g);
    return true;
}

bool DecodeMp3(const std::vector<uint8_t>& mp3, std::vector<int16_t>& out, long& rate, int& channels, std::string& error)
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) {
        error = "mpg123 could not start";
        return false;
    }
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg123_format_none(h);
    mpg123_format(h, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_format(h, 48000, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_format(h, 44100, MPG123_MONO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h) != MPG123_OK) {
        mpg123_delete(h);
        error = "mpg123 could not open its feed";
        return false;
    }
    out.clear();
    rate = 0;
    channels = 0;
    std::vector<unsigned char> buf(1 << 16);
    size_t done = 0;
    int r = mpg123_feed(h, mp3.data(), mp3.size());
    while (r != MPG123_ERR) {
        r = mpg123_read(h, buf.data(), buf.size(), &done);
        if (r == MPG123_NEW_FORMAT) {
            int enc = 0;
            mpg123_getformat(h, &rate, &channels, &enc);
        }
        const int16_t* s = reinterpret_cast<const int16_t*>(buf.data());
        out.insert(out.end(), s, s + done / 2);
        if (r == MPG123_NEED_MORE || r == MPG123_DONE) break;
    }
    const bool ok = r != MPG123_ERR && rate > 0;
    if (!ok) error = std::string("mpg123 could not decode: ") + mpg123_strerror(h);
    mpg123_delete(h);
    return ok;
}

}  // namespace datagen
