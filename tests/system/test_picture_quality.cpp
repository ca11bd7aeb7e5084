// The forced picture quality on the show itself, made by the content
// generator: the pictures of each option keep the default's brightness, and
// against a 4x4-supersampled, filtered rendering of the same frame the
// polyhedron's edges come closer with --msaa 4 and the distant circuit
// ground of the terrain with --filter, which also shimmers less from frame
// to frame. Without the options the pictures are those of a plain run.
#include "Generator.h"
#include "Pictures.h"
#include "RunProgram.h"
#include "SceneData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using pictures::Picture;
using pictures::Region;

namespace {

// The show's own size.
constexpr int kWidth = 800, kHeight = 600;
const Region kWhole{0, 0, kWidth, kHeight};
const char* const kReference = "--supersample 4 --filter";

class PictureQuality : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new fs::path(scene_data::FreshFolder("quality"));
        datagen::Options options;
        options.outDir = (*folder / "Data").string();
        std::FILE* log = std::fopen("/dev/null", "w");
        ASSERT_EQ(datagen::RunGenerator(options, log), 0);
        std::fclose(log);
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*folder);
        delete folder;
    }

    // The frames at `seconds` and `frames - 1` frames after it (at 30 a
    // second), rendered with the options from a start just before.
    static std::vector<Picture> Frames(const std::string& options, double seconds, int frames = 1)
    {
        static int runs = 0;
        const fs::path out = *folder / ("run" + std::to_string(++runs));
        fs::create_directories(out);
        std::string shots;
        char text[32];
        for (int i = 0; i < frames; ++i) {
            std::snprintf(text, sizeof text, "%s%.4f", i ? "," : "", seconds + i / 30.0);
            shots += text;
        }
        char arguments[512];
        std::snprintf(arguments, sizeof arguments,
                      "--headless --fps 30 --size %dx%d --start %g --until %g --shots %s --out %s %s", kWidth,
                      kHeight, seconds, seconds + (frames + 1) / 30.0, shots.c_str(), out.c_str(), options.c_str());
        const auto result = run_program::Run(run_program::BuiltProgram("bralmond"), arguments, *folder);
        EXPECT_EQ(result.status, 0) << arguments << "\n" << result.stderrText;
        std::vector<Picture> pictures;
        for (int i = 0; i < frames; ++i) {
            std::snprintf(text, sizeof text, "shot-%.4f.png", seconds + i / 30.0);
            pictures.push_back(pictures::ReadPng(out / text));
            EXPECT_FALSE(pictures.back().Empty()) << text << " of " << arguments;
        }
        fs::remove_all(out);
        return pictures;
    }
    static Picture Frame(const std::string& options, double seconds) { return Frames(options, seconds)[0]; }

    static fs::path* folder;
};
fs::path* PictureQuality::folder = nullptr;

// Where the reference changes sharply: the pixels beside an edge.
std::vector<bool> EdgesOf(const Picture& reference, int threshold)
{
    std::vector<bool> edges(static_cast<size_t>(reference.width) * reference.height, false);
    for (int y = 1; y + 1 < reference.height; ++y)
        for (int x = 1; x + 1 < reference.width; ++x) {
            int most = 0;
            for (int c = 0; c < 3; ++c) {
                most = std::max(most, std::abs(reference.At(x + 1, y)[c] - reference.At(x - 1, y)[c]));
                most = std::max(most, std::abs(reference.At(x, y + 1)[c] - reference.At(x, y - 1)[c]));
            }
            edges[static_cast<size_t>(y) * reference.width + x] = most >= threshold;
        }
    return edges;
}

TEST_F(PictureQuality, EveryOptionKeepsTheBrightnessOfEachScene)
{
    // The title, the polyhedron, the tunnel, the terrain and the star field.
    for (double seconds : {40.4, 45.0, 125.0, 140.0, 180.0}) {
        const double plain = pictures::Mean(Frame("", seconds), kWhole);
        for (const char* options : {"--msaa 4", "--supersample 2", "--filter", "--best-picture"}) {
            const double mean = pictures::Mean(Frame(options, seconds), kWhole);
            std::printf("mean at %g s: %.2f plain, %.2f with %s\n", seconds, plain, mean, options);
            // Filtering alone makes the star field's thousands of tiny
            // additive sprites a little brighter (about 3 levels): each
            // sprite then shows its texture's mean rather than the few
            // texels a pixel centre happens to hit. Supersampled, they come
            // back to within a level.
            const bool sprites = seconds == 180.0 && std::string(options) == "--filter";
            EXPECT_NEAR(mean, plain, sprites ? 4.0 : 2.0) << options << " at " << seconds << " s";
        }
    }
}

TEST_F(PictureQuality, MultisamplingBringsThePolyhedronsEdgesTowardsTheReference)
{
    const double seconds = 52.0;
    const Picture reference = Frame(kReference, seconds);
    const std::vector<bool> edges = EdgesOf(reference, 32);
    long count = 0;
    for (bool edge : edges) count += edge;
    ASSERT_GT(count, 1500) << "a frame full of edges";
    const double plain = pictures::MeanDifference(Frame("", seconds), reference, kWhole, edges);
    const double msaa = pictures::MeanDifference(Frame("--msaa 4", seconds), reference, kWhole, edges);
    std::printf("edges of the polyhedron at %g s (%ld pixels): %.2f levels from the reference plain, %.2f with --msaa 4\n",
                seconds, count, plain, msaa);
    EXPECT_LT(msaa, plain * 0.75);
    EXPECT_GT(plain - msaa, 3.0) << "well above the rasteriser's noise of a level";
}

TEST_F(PictureQuality, FilteringBringsTheDistantGroundTowardsTheReferenceAndCalmsIt)
{
    // The circuit ground left of the mesh, as it recedes to the horizon.
    const double seconds = 140.0;
    const Region ground{0, 220, 160, 580};
    const std::vector<Picture> reference = Frames(kReference, seconds, 2);
    const std::vector<Picture> plain = Frames("", seconds, 2);
    const std::vector<Picture> filtered = Frames("--filter", seconds, 2);
    const double plainOff = pictures::MeanDifference(plain[0], reference[0], ground);
    const double filteredOff = pictures::MeanDifference(filtered[0], reference[0], ground);
    // The shimmer: how much the region changes from one frame to the next.
    const double plainShimmer = pictures::MeanDifference(plain[0], plain[1], ground);
    const double filteredShimmer = pictures::MeanDifference(filtered[0], filtered[1], ground);
    const double referenceShimmer = pictures::MeanDifference(reference[0], reference[1], ground);
    std::printf("distant ground at %g s: %.2f levels from the reference plain, %.2f with --filter; "
                "from frame to frame %.2f plain, %.2f with --filter, %.2f in the reference\n",
                seconds, plainOff, filteredOff, plainShimmer, filteredShimmer, referenceShimmer);
    EXPECT_LT(filteredOff, plainOff * 0.75);
    EXPECT_GT(plainOff - filteredOff, 1.5);
    EXPECT_LT(filteredShimmer, plainShimmer * 0.75);
    EXPECT_GT(plainShimmer - filteredShimmer, 2.0);
}

TEST_F(PictureQuality, BadValuesAreRefusedWithTheirMessageAndStatusTwo)
{
    const std::map<std::string, std::string> bad = {
        {"--msaa 3", "Invalid number of samples for --msaa (2, 4 or 8): 3"},
        {"--supersample 8", "Invalid factor for --supersample (2, 3 or 4): 8"},
        {"--filter=cubic", "Invalid level for --filter"},
    };
    for (const auto& [options, message] : bad) {
        const auto result = run_program::Run(run_program::BuiltProgram("bralmond"), "--headless " + options, *folder);
        EXPECT_EQ(result.status, 2) << options;
        EXPECT_NE(result.stderrText.find(message), std::string::npos) << result.stderrText;
    }
}

}  // namespace
