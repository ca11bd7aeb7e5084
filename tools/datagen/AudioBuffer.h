// Sample buffers for the soundtrack: a stereo pair of float tracks the
// instruments add into, with equal-power panning.
#pragma once

#include <cstddef>
#include <vector>

namespace datagen {

struct StereoBuffer {
    std::vector<float> l, r;
    explicit StereoBuffer(size_t frames = 0) : l(frames, 0.0f), r(frames, 0.0f) {}
    size_t Frames() const { return l.size(); }
    // Adds a mono sample at frame i, panned (-1 left .. 1 right).
    void AddPanned(size_t i, double v, double pan);
    void Add(size_t i, double vl, double vr)
    {
        if (i < l.size()) {
            l[i] += static_cast<float>(vl);
            r[i] += static_cast<float>(vr);
        }
    }
};

// Left and right gains of an equal-power pan position.
void PanGains(double pan, double& gl, double& gr);

}  // namespace datagen
