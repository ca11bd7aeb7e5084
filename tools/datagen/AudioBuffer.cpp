// Stereo buffer and panning (see AudioBuffer.h).
#include "AudioBuffer.h"

#include "DetMath.h"
#include "Synth.h"

namespace datagen {

void PanGains(double pan, double& gl, double& gr)
{
    const double a = (Clamp(pan, -1.0, 1.0) + 1.0) * 0.125;  // quarter cycle
    gl = SineCycles(a + 0.25) * 1.41421356;
    gr = SineCycles(a) * 1.41421356;
}

void StereoBuffer::AddPanned(size_t i, double v, double pan)
{
    double gl, gr;
    PanGains(pan, gl, gr);
    Add(i, v * gl, v * gr);
}

}  // namespace datagen
