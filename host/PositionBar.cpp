// The position bar's look (see PositionBar.h): a 5 by 7 pixel font of the
// few characters it writes, drawn two canvas pixels to a font pixel.
#include "PositionBar.h"

#include "host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace host {

namespace {

constexpr int kStripHeight = 32;
constexpr int kScale = 2;        // canvas pixels to a font pixel
constexpr int kAdvance = 6 * kScale;
constexpr int kTrackMargin = 12;
constexpr uint32_t kStripColour = 0x141414;
constexpr uint32_t kTextColour = 0xe0e0e0;
constexpr uint32_t kTrackColour = 0x505050;
constexpr uint32_t kPlayedColour = 0xd0d0d0;

struct Glyph {
    char c;
    const char* rows[7];
};

const Glyph kFont[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {':', {".....", "..#..", "..#..", ".....", "..#..", "..#..", "....."}},
    {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'c', {".....", ".....", ".###.", "#....", "#....", "#...#", ".###."}},
    {'d', {"....#", "....#", ".##.#", "##..#", "#...#", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'f', {"..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."}},
    {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'p', {".....", ".....", "####.", "#...#", "####.", "#....", "#...."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####."}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"}},
};

// The text's pixels as rectangles, one a run of a font row; characters
// without a glyph (the space) leave a gap.
void AddText(std::vector<d3d8_host::OverlayRect>& rects, const std::string& text, int x, int y)
{
    for (char c : text) {
        for (const Glyph& glyph : kFont) {
            if (glyph.c != c) continue;
            for (int row = 0; row < 7; ++row) {
                const char* line = glyph.rows[row];
                for (int col = 0; col < 5;) {
                    if (line[col] != '#') {
                        ++col;
                        continue;
                    }
                    int end = col;
                    while (end < 5 && line[end] == '#') ++end;
                    rects.push_back({x + col * kScale, y + row * kScale, (end - col) * kScale, kScale, kTextColour});
                    col = end;
                }
            }
        }
        x += kAdvance;
    }
}

int TextWidth(const std::string& text)
{
    return static_cast<int>(text.size()) * kAdvance - kScale;
}

struct Shown {
    bool shown = false;
    std::vector<d3d8_host::OverlayRect> rects;
};

Shown& Current()
{
    static Shown shown;
    return shown;
}

bool Same(const d3d8_host::OverlayRect& a, const d3d8_host::OverlayRect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height && a.rgb == b.rgb;
}

}  // namespace

std::string SceneLabel(double musicSeconds)
{
    const ShowFacts& show = Show();
    if (musicSeconds >= show.fadeStart) return "fade";
    int scene = 1;
    for (size_t i = 0; i < show.sceneStarts.size(); ++i)
        if (musicSeconds >= show.sceneStarts[i]) scene = static_cast<int>(i) + 1;
    return "scene " + std::to_string(scene);
}

std::string ClockText(double seconds)
{
    const int whole = std::max(0, static_cast<int>(std::floor(seconds)));
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
    return text;
}

std::vector<d3d8_host::OverlayRect> PositionBarRects(double musicSeconds, bool paused)
{
    const ShowFacts& show = Show();
    const int width = show.width, top = show.height - kStripHeight;
    std::vector<d3d8_host::OverlayRect> rects;
    rects.push_back({0, top, width, kStripHeight, kStripColour});
    const int textTop = top + 4;
    std::string left = ClockText(musicSeconds) + " / " + ClockText(show.end);
    if (paused) left += "   paused";
    AddText(rects, left, kTrackMargin, textTop);
    const std::string right = SceneLabel(musicSeconds);
    AddText(rects, right, width - kTrackMargin - TextWidth(right), textTop);
    const int trackWidth = width - 2 * kTrackMargin;
    const double fraction = show.end > 0.0 ? std::clamp(musicSeconds / show.end, 0.0, 1.0) : 0.0;
    const int played = static_cast<int>(std::lround(fraction * trackWidth));
    const int trackTop = top + kStripHeight - 9;
    rects.push_back({kTrackMargin, trackTop, trackWidth, 3, kTrackColour});
    rects.push_back({kTrackMargin, trackTop, played, 3, kPlayedColour});
    rects.push_back({kTrackMargin + played - 2, trackTop - 3, 4, 9, kPlayedColour});
    return rects;
}

bool PositionBarTarget(double x, double y, double& seconds)
{
    const ShowFacts& show = Show();
    if (y < show.height - kStripHeight || y > show.height || x < 0.0 || x > show.width) return false;
    const double fraction = (x - kTrackMargin) / (show.width - 2 * kTrackMargin);
    seconds = std::clamp(fraction, 0.0, 1.0) * show.end;
    return true;
}

void ShowPositionBar(bool shown, double musicSeconds, bool paused)
{
    Shown& current = Current();
    std::vector<d3d8_host::OverlayRect> rects;
    if (shown) rects = PositionBarRects(musicSeconds, paused);
    const bool same = std::equal(rects.begin(), rects.end(), current.rects.begin(), current.rects.end(), Same);
    if (shown == current.shown && same) return;
    current.shown = shown;
    current.rects = rects;
    d3d8_host::SetOverlay(rects, Show().width, Show().height);
}

}  // namespace host
