// The picture quality forced by the run's options (see PictureQuality.h).
#include "PictureQuality.h"

#include <algorithm>

namespace picture_quality {

namespace {

// The anisotropy of a level asked for without a number: the most that
// graphics devices offer; the back end clamps it to this one's.
constexpr uint32_t kMostAnisotropy = 16;

}  // namespace

DrawSurface SurfaceFor(const runtime::Options& options)
{
    DrawSurface surface;
    surface.factor = std::max(options.supersample, 1);
    surface.samples = std::max(options.msaa, 0);
    return surface;
}

bool DeviceAllows(const DrawSurface& surface, int width, int height, std::string& reason)
{
    if (surface.samples > 0 && surface.samples > gl_backend::MaxSamples()) {
        reason = "--msaa " + std::to_string(surface.samples) + ": this graphics device multisamples at most " +
                 std::to_string(gl_backend::MaxSamples()) + " samples a pixel";
        return false;
    }
    const int most = gl_backend::MaxTargetSide();
    if (surface.factor > 1 && (width * surface.factor > most || height * surface.factor > most)) {
        reason = "--supersample " + std::to_string(surface.factor) + " at " + std::to_string(width) + "x" +
                 std::to_string(height) + " needs a picture of " + std::to_string(width * surface.factor) + "x" +
                 std::to_string(height * surface.factor) + "; this graphics device draws at most " +
                 std::to_string(most) + " pixels a side";
        return false;
    }
    return true;
}

void ForceFiltering(gl_backend::SamplerState& sampler, const runtime::Options& options)
{
    if (options.filter == runtime::TextureFilter::AsSet) return;
    sampler.magFilter = std::max<uint32_t>(sampler.magFilter, D3DTEXF_LINEAR);
    sampler.minFilter = std::max<uint32_t>(sampler.minFilter, D3DTEXF_LINEAR);
    const uint32_t mip = options.filter == runtime::TextureFilter::Bilinear ? D3DTEXF_POINT : D3DTEXF_LINEAR;
    sampler.mipFilter = std::max<uint32_t>(sampler.mipFilter, mip);
    if (options.filter == runtime::TextureFilter::Anisotropic) {
        const uint32_t asked = options.anisotropy > 0 ? static_cast<uint32_t>(options.anisotropy) : kMostAnisotropy;
        sampler.maxAnisotropy = std::max(sampler.maxAnisotropy, asked);
    }
}

}  // namespace picture_quality
