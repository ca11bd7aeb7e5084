// stb_truetype text rendering and the font check (see Font.h). This file
// holds the one copy of stb_truetype's implementation.
#include "Font.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb/stb_truetype.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <mutex>

#include "Sha256.h"

namespace datagen {

struct Font::Impl {
    std::vector<uint8_t> data;
    stbtt_fontinfo info{};
};

Font::Font() : impl(std::make_unique<Impl>()) {}
Font::~Font() = default;

bool Font::Load(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "font not found: " + path + " (install fonts-dejavu-core)";
        return false;
    }
    impl->data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::string digest = Sha256Hex(impl->data);
    if (digest != kFontSha256) {
        error = "font " + path + " has SHA-256 " + digest + ", expected " + kFontSha256 +
                " (DejaVu Sans Bold 2.37); the cards would not come out as designed";
        return false;
    }
    if (!stbtt_InitFont(&impl->info, impl->data.data(), 0)) {
        error = "font " + path + " could not be parsed";
        return false;
    }
    return true;
}

namespace {
// Code points of a UTF-8 string (one- and two-byte sequences; anything else
// becomes a question mark).
std::vector<int> Decode(std::string_view s)
{
    std::vector<int> out;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
            out.push_back(((c & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F));
            ++i;
        } else {
            out.push_back('?');
        }
    }
    return out;
}
}  // namespace

Mask Font::Render(std::string_view utf8, double pixelHeight, double spacing) const
{
    const std::vector<int> text = Decode(utf8);
    const stbtt_fontinfo& f = impl->info;
    const float scale = stbtt_ScaleForPixelHeight(&f, static_cast<float>(pixelHeight));
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&f, &ascent, &descent, &gap);
    const int baseline = static_cast<int>(std::floor(ascent * scale + 0.5f));
    const int lineHeight = static_cast<int>(std::ceil((ascent - descent) * scale)) + 2;

    // First pass: the pen positions, to size the mask.
    std::vector<double> pens;
    double pen = 1.0;
    for (size_t i = 0; i < text.size(); ++i) {
        const int c = text[i];
        pens.push_back(pen);
        int advance = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&f, c, &advance, &lsb);
        pen += advance * scale + spacing;
        if (i + 1 < text.size())
            pen += scale * stbtt_GetCodepointKernAdvance(&f, c, text[i + 1]);
    }
    Mask m;
    m.width = static_cast<int>(std::ceil(pen - spacing)) + 2;
    m.height = lineHeight;
    m.a.assign(static_cast<size_t>(m.width) * m.height, 0.0f);
    for (size_t i = 0; i < text.size(); ++i) {
        const int c = text[i];
        const double px = std::floor(pens[i]);
        const float shift = static_cast<float>(pens[i] - px);
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBoxSubpixel(&f, c, scale, scale, shift, 0.0f, &x0, &y0, &x1, &y1);
        const int w = x1 - x0, h = y1 - y0;
        if (w <= 0 || h <= 0) continue;
        std::vector<unsigned char> glyph(static_cast<size_t>(w) * h);
        stbtt_MakeCodepointBitmapSubpixel(&f, glyph.data(), w, h, w, scale, scale, shift, 0.0f, c);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int tx = static_cast<int>(px) + x0 + x, ty = baseline + y0 + y;
                if (tx < 0 || ty < 0 || tx >= m.width || ty >= m.height) continue;
                float& dst = m.a[static_cast<size_t>(ty) * m.width + tx];
                dst = std::fmin(1.0f, dst + glyph[static_cast<size_t>(y) * w + x] / 255.0f);
            }
        }
    }
    return m;
}

const Font* SharedFont(std::string& error)
{
    static std::once_flag once;
    static Font font;
    static bool ok = false;
    static std::string loadError;
    std::call_once(once, [] { ok = font.Load(kFontPath, loadError); });
    if (!ok) {
        error = loadError;
        return nullptr;
    }
    return &font;
}

}  // namespace datagen
