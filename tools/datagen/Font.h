// Text for the credit and title cards and the preview labels: the bundled
// DejaVu Sans Bold rasterised with stb_truetype. The font file is checked by
// its SHA-256 digest, since another version of it would draw other pixels.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace datagen {

constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr const char* kFontSha256 = "0d977336a6d5fba34eab8e3199eb218327161b5143749f802982c2bc34df0c96";

// Grey coverage mask, row 0 at the top.
struct Mask {
    int width = 0;
    int height = 0;
    std::vector<float> a;
    float At(int x, int y) const { return a[static_cast<size_t>(y) * width + x]; }
};

class Font {
public:
    Font();
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Loads and checks the font; on failure returns false with a message.
    bool Load(const std::string& path, std::string& error);

    // Renders one line of text at the given pixel height (ascent to descent),
    // with extra spacing in pixels between letters; the mask is just large
    // enough to hold the line (its height is the font's line height).
    Mask Render(std::string_view text, double pixelHeight, double spacing = 0.0) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// The process's font, loaded on first use (thread-safe); null with a
// message in error if it cannot be loaded or fails its check.
const Font* SharedFont(std::string& error);

}  // namespace datagen
