// Screenshots in a browser: each becomes PNG data (a data: address) in the
// page's bralmondShots, by the shot's time as written, for the page and its
// tests to take.
#include "Shots.h"

#include <emscripten.h>

namespace host {

namespace {

EM_JS(void, HandToPage, (const char* name, const uint8_t* rgb, int width, int height), {
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    const context = canvas.getContext('2d');
    const image = context.createImageData(width, height);
    for (let i = 0, n = width * height; i < n; ++i) {
        image.data[4 * i] = HEAPU8[rgb + 3 * i];
        image.data[4 * i + 1] = HEAPU8[rgb + 3 * i + 1];
        image.data[4 * i + 2] = HEAPU8[rgb + 3 * i + 2];
        image.data[4 * i + 3] = 255;
    }
    context.putImageData(image, 0, 0);
    window.bralmondShots = window.bralmondShots || {};
    window.bralmondShots[UTF8ToString(name)] = canvas.toDataURL('image/png');
});

}  // namespace

bool SaveShot(const std::string& name, const std::vector<uint8_t>& rgb, int width, int height, std::string& error)
{
    HandToPage(name.c_str(), rgb.data(), width, height);
    return true;
}

}  // namespace host
