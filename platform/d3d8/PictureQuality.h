// The picture quality that the run's options force on the device, the way a
// graphics driver's control panel forces it on a program: the size and
// samples of the picture the device draws into before reducing it to the
// target, and the texture filters that replace the system's own. Without
// those options everything here leaves the device as the system set it.
#pragma once

#include "GlBackend.h"

#include "runtime.h"

#include <string>

namespace picture_quality {

// What the device draws into: `factor` times the target's size a side, with
// `samples` samples a pixel (0: one). A factor of 1 and no samples: the
// target itself.
struct DrawSurface {
    int factor = 1;
    int samples = 0;
    bool OwnPicture() const { return factor > 1 || samples > 0; }
};
DrawSurface SurfaceFor(const runtime::Options& options);

// Whether the device can draw such a picture for a target of width by height;
// otherwise false with the reason ("--msaa 8: ...").
bool DeviceAllows(const DrawSurface& surface, int width, int height, std::string& reason);

// The filters the system asked for, made better as the options say: point
// filters become linear, the mip levels are used (nearest or blended), and
// anisotropy comes where the level asks for it. Addressing, the border and
// the most detailed level are the system's.
void ForceFiltering(gl_backend::SamplerState& sampler, const runtime::Options& options);

// Whether textures need their whole chain of mip levels (forced filtering
// samples them).
inline bool NeedsWholeMipChains(const runtime::Options& options)
{
    return options.filter != runtime::TextureFilter::AsSet;
}

}  // namespace picture_quality
