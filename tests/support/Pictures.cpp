// Reading PNG pictures back and comparing them (see Pictures.h).
#include "Pictures.h"

#include <png.h>

#include <cstdlib>

namespace pictures {

Picture ReadPng(const std::filesystem::path& path)
{
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb = std::move(rgb);
    return picture;
}

double Mean(const Picture& picture, const Region& region)
{
    double sum = 0.0;
    long count = 0;
    for (int y = region.y0; y < region.y1; ++y)
        for (int x = region.x0; x < region.x1; ++x, ++count)
            for (int c = 0; c < 3; ++c) sum += picture.At(x, y)[c];
    return count ? sum / (3.0 * static_cast<double>(count)) : 0.0;
}

double MeanDifference(const Picture& a, const Picture& b, const Region& region, const std::vector<bool>& where)
{
    double sum = 0.0;
    long count = 0;
    for (int y = region.y0; y < region.y1; ++y)
        for (int x = region.x0; x < region.x1; ++x) {
            if (!where.empty() && !where[static_cast<size_t>(y) * a.width + x]) continue;
            ++count;
            for (int c = 0; c < 3; ++c) sum += std::abs(a.At(x, y)[c] - b.At(x, y)[c]);
        }
    return count ? sum / (3.0 * static_cast<double>(count)) : 0.0;
}

}  // namespace pictures
