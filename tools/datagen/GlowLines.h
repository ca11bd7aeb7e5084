// Glowing line art for the dark pictures and the card ornaments: segments and
// arcs are collected into a distance field (the distance from every pixel to
// the nearest stroke of a layer), then shaded as a sharp core plus a soft
// glow and added to a picture.
#pragma once

#include <vector>

#include "Image.h"

namespace datagen {

class GlowLayer {
public:
    // reach: how far (pixels) the glow can extend from a stroke.
    GlowLayer(int width, int height, double reach);

    void Segment(double x0, double y0, double x1, double y1);
    // An arc of circle from angle a0 to a1 (radians, y down).
    void Arc(double cx, double cy, double r, double a0, double a1);
    void Circle(double cx, double cy, double r) { Arc(cx, cy, r, 0.0, 6.283185307179586); }
    // A filled disc counts as distance 0 inside.
    void Disc(double cx, double cy, double r);

    // Adds core exp(-d^2 / 2 sigma^2) + glowAmount exp(-d / glowScale), both
    // in the given colour, to img.
    void Paint(Image& img, Rgb colour, double sigma, double glowAmount, double glowScale) const;

    double DistanceAt(int x, int y) const { return dist[static_cast<size_t>(y) * width + x]; }

private:
    int width, height;
    double reach;
    std::vector<float> dist;
};

}  // namespace datagen
