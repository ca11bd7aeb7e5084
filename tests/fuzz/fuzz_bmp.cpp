// Fuzz target: the BMP decoding of the D3DX stand-in's texture loader, and
// the resampling and mip sizes that follow it. A picture that decodes has
// the size it claims and resamples to any size without reading outside it.
#include "d3dx8_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    d3dx8_image::Image image;
    d3dx8_image::SourceInfo info;
    if (!d3dx8_image::DecodeBmp(data, size, image, info)) return 0;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) ||
        info.width != image.width || info.height != image.height)
        __builtin_trap();
    // Large pictures are shrunk as the show does (to a texture of its size);
    // the enlargement is kept small so that every input stays quick. A
    // picture of millions of pixels (a small run-length file can declare
    // one) is decoded but not resampled here: under the fuzzer's
    // instrumentation that alone takes seconds, past its time limit.
    if (image.pixels.size() > (size_t{1} << 20)) return 0;
    const d3dx8_image::Image small = d3dx8_image::Resample(image, 8, 6, d3dx8_image::Filter::Linear);
    const d3dx8_image::Image point = d3dx8_image::Resample(image, 3, 5, d3dx8_image::Filter::Point);
    if (small.pixels.size() != 48 || point.pixels.size() != 15) __builtin_trap();
    if (d3dx8_image::FullMipCount(static_cast<UINT>(image.width), static_cast<UINT>(image.height)) == 0)
        __builtin_trap();
    return 0;
}
