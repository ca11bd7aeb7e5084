// Tests of the generated meshes and the ".msh" writer: the writer's bytes
// follow the format and load back through the system's mesh loader, and
// every mesh of the show stays within the effects' limits, is closed,
// manifold and wound outwards.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>
#include <unistd.h>

#include "Mesh.h"
#include "MeshWriter.h"
#include "Meshes.h"

using namespace datagen;

namespace {
uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

struct Check {
    double volume = 0.0;
    int edges = 0;
    bool manifold = true;
    bool outward = true;
    bool indicesValid = true;
    bool distinctPoints = true;
};

Check Analyse(const MeshData& m)
{
    Check c;
    const size_t v = m.xyz.size() / 3;
    std::map<std::pair<int, int>, int> directed;
    for (size_t f = 0; f < m.faces.size(); f += 3) {
        const int a = m.faces[f], b = m.faces[f + 1], d = m.faces[f + 2];
        if (a < 0 || b < 0 || d < 0 || static_cast<size_t>(a) >= v || static_cast<size_t>(b) >= v ||
            static_cast<size_t>(d) >= v || a == b || b == d || a == d) {
            c.indicesValid = false;
            continue;
        }
        const float* p0 = &m.xyz[3 * a];
        const float* p1 = &m.xyz[3 * b];
        const float* p2 = &m.xyz[3 * d];
        // det(p0, p1, p2) = p0 . (p1 x p2): six times the signed volume of
        // the tetrahedron with the origin; positive when the face, wound
        // (p1 - p0) x (p2 - p0), faces away from the origin.
        const double det = p0[0] * (double(p1[1]) * p2[2] - double(p1[2]) * p2[1]) -
                           p0[1] * (double(p1[0]) * p2[2] - double(p1[2]) * p2[0]) +
                           p0[2] * (double(p1[0]) * p2[1] - double(p1[1]) * p2[0]);
        c.volume += det / 6.0;
        if (det <= 0.0) c.outward = false;
        for (auto e : {std::make_pair(a, b), std::make_pair(b, d), std::make_pair(d, a)}) ++directed[e];
    }
    for (const auto& [e, n] : directed) {
        // Each directed edge once, and its reverse once: closed and
        // consistently oriented.
        auto rev = directed.find({e.second, e.first});
        if (n != 1 || rev == directed.end() || rev->second != 1) c.manifold = false;
    }
    c.edges = static_cast<int>(directed.size() / 2);
    std::set<std::tuple<float, float, float>> points;
    for (size_t i = 0; i < v; ++i) points.insert({m.xyz[3 * i], m.xyz[3 * i + 1], m.xyz[3 * i + 2]});
    c.distinctPoints = points.size() == v;
    return c;
}

double MaxRadius(const MeshData& m)
{
    double r = 0.0;
    for (size_t i = 0; i < m.xyz.size(); i += 3)
        r = std::fmax(r, std::sqrt(double(m.xyz[i]) * m.xyz[i] + double(m.xyz[i + 1]) * m.xyz[i + 1] + double(m.xyz[i + 2]) * m.xyz[i + 2]));
    return r;
}

void ExpectWellFormed(const MeshData& m, const char* name)
{
    SCOPED_TRACE(name);
    const Check c = Analyse(m);
    const int v = static_cast<int>(m.xyz.size() / 3), f = static_cast<int>(m.faces.size() / 3);
    EXPECT_TRUE(c.indicesValid);
    EXPECT_TRUE(c.manifold);
    EXPECT_TRUE(c.outward);
    EXPECT_TRUE(c.distinctPoints);
    EXPECT_EQ(v - c.edges + f, 2);  // a sphere-like surface
    EXPECT_GT(c.volume, 0.0);
    EXPECT_LE(f, 20000);
    EXPECT_LT(v, 65536);
}
}  // namespace

TEST(MeshWriter, BytesFollowTheFormat)
{
    const std::vector<float> xyz = {1.0f, -2.5f, 3.0f, 0.0f, 0.5f, -1.0f, 7.0f, 8.0f, 9.0f};
    const std::vector<int32_t> faces = {0, 1, 2};
    const std::vector<uint8_t> b = EncodeMesh(xyz, faces);
    ASSERT_EQ(b.size(), 3u + 4 + 36 + 4 + 12);
    EXPECT_EQ(std::memcmp(b.data(), "EMV", 3), 0);
    EXPECT_EQ(U32(b, 3), 3u);
    float y;
    const uint32_t bits = U32(b, 7 + 4);
    std::memcpy(&y, &bits, 4);
    EXPECT_EQ(y, -2.5f);
    EXPECT_EQ(U32(b, 43), 1u);
    EXPECT_EQ(U32(b, 47), 0u);
    EXPECT_EQ(U32(b, 55), 2u);
}

TEST(MeshWriter, EmptyMeshHasBothCountsZero)
{
    const std::vector<uint8_t> b = EncodeMesh({}, {});
    ASSERT_EQ(b.size(), 11u);
    EXPECT_EQ(U32(b, 3), 0u);
    EXPECT_EQ(U32(b, 7), 0u);
}

TEST(MeshWriter, RoundTripThroughTheMeshLoader)
{
    const MeshData m = MakeHedra();
    const std::string path = (std::filesystem::temp_directory_path() / ("datagen_mesh_" + std::to_string(getpid()) + ".msh")).string();
    ASSERT_TRUE(WriteMesh(path, m.xyz, m.faces));
    Mesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), 2.0f));
    std::filesystem::remove(path);
    ASSERT_EQ(mesh.vertexCount, static_cast<int32_t>(m.xyz.size() / 3));
    ASSERT_EQ(mesh.faceCount, static_cast<int32_t>(m.faces.size() / 3));
    for (size_t i = 0; i < m.xyz.size(); ++i) ASSERT_EQ(mesh.vertices[i], m.xyz[i] * 2.0f);
    for (size_t i = 0; i < m.faces.size(); ++i) ASSERT_EQ(mesh.faces[i], m.faces[i]);
}

TEST(MeshWriter, UnwritablePathFails)
{
    EXPECT_FALSE(WriteMesh("/nonexistent-folder/x.msh", {0, 0, 0}, {}));
}

TEST(Meshes, BolIsAnEvenBallWithinTheParticleBudget)
{
    const MeshData m = MakeBol();
    const int v = static_cast<int>(m.xyz.size() / 3);
    EXPECT_LE(v, 8000);
    EXPECT_GT(v, 6000);  // uses most of the particle budget
    ExpectWellFormed(m, "Bol.msh");
    const Check c = Analyse(m);
    const double r = 133.3;
    EXPECT_NEAR(c.volume, 4.0 / 3.0 * 3.14159265358979 * r * r * r, 0.01 * 4.0 / 3.0 * 3.14159265358979 * r * r * r);
    // Every vertex on the sphere, and neighbours evenly spaced: the longest
    // edge at most 1.5 times the shortest.
    double lo = 1e9, hi = 0;
    for (size_t i = 0; i < m.xyz.size(); i += 3) {
        const double d = std::sqrt(double(m.xyz[i]) * m.xyz[i] + double(m.xyz[i + 1]) * m.xyz[i + 1] + double(m.xyz[i + 2]) * m.xyz[i + 2]);
        ASSERT_NEAR(d, r, 0.01);
    }
    for (size_t f = 0; f < m.faces.size(); f += 3)
        for (int k = 0; k < 3; ++k) {
            const float* a = &m.xyz[3 * m.faces[f + k]];
            const float* b = &m.xyz[3 * m.faces[f + (k + 1) % 3]];
            const double e = std::sqrt(double(a[0] - b[0]) * (a[0] - b[0]) + double(a[1] - b[1]) * (a[1] - b[1]) + double(a[2] - b[2]) * (a[2] - b[2]));
            lo = std::fmin(lo, e);
            hi = std::fmax(hi, e);
        }
    EXPECT_LT(hi / lo, 1.5);
}

TEST(Meshes, HedraIsAStellatedSolidOfOuterRadius133)
{
    const MeshData m = MakeHedra();
    ExpectWellFormed(m, "Hedra.msh");
    EXPECT_NEAR(MaxRadius(m), 133.0, 0.01);
    // Faceted: its volume is well below that of its circumscribed ball.
    EXPECT_LT(Analyse(m).volume, 0.5 * 4.0 / 3.0 * 3.14159265 * 133.0 * 133.0 * 133.0);
}

TEST(Meshes, StekelsIsASpikyBallOfAbout80Units)
{
    const MeshData m = MakeStekels();
    ExpectWellFormed(m, "Stekels.msh");
    const double r = MaxRadius(m);
    EXPECT_GT(r, 70.0);
    EXPECT_LT(r, 90.0);
    // Many spikes: plenty of vertices far out and the core well inside.
    int tips = 0, core = 0;
    for (size_t i = 0; i < m.xyz.size(); i += 3) {
        const double d = std::sqrt(double(m.xyz[i]) * m.xyz[i] + double(m.xyz[i + 1]) * m.xyz[i + 1] + double(m.xyz[i + 2]) * m.xyz[i + 2]);
        if (d > 60.0) ++tips;
        if (d < 45.0) ++core;
    }
    EXPECT_GE(tips, 60);
    EXPECT_GT(core, tips);
}

TEST(Meshes, SameBytesEveryTime)
{
    const MeshData a = MakeStekels(), b = MakeStekels();
    EXPECT_EQ(EncodeMesh(a.xyz, a.faces), EncodeMesh(b.xyz, b.faces));
}
