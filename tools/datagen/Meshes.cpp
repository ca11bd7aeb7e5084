// Geodesic subdivision, the stellated polyhedron and the spiky ball (see
// Meshes.h).
#include "Meshes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "DetMath.h"
#include "Random.h"

namespace datagen {

namespace {
struct V3 {
    double x, y, z;
};
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Unit(V3 a) { return a * (1.0 / std::sqrt(Dot(a, a))); }

const double kPhi = 1.6180339887498949;

// Builds an indexed mesh, merging points that coincide (to 1e-6 of the
// shape's size) so shared edges are shared vertices.
class Builder {
public:
    int Point(V3 p)
    {
        const auto key = std::make_tuple(std::llround(p.x * 1e6), std::llround(p.y * 1e6), std::llround(p.z * 1e6));
        auto it = index.find(key);
        if (it != index.end()) return it->second;
        const int id = static_cast<int>(points.size());
        points.push_back(p);
        index.emplace(key, id);
        return id;
    }
    // Adds a triangle wound so its normal points away from the origin.
    void Face(int a, int b, int c)
    {
        if (Dot(points[a], Cross(points[b], points[c])) < 0) std::swap(b, c);
        faces.push_back(a);
        faces.push_back(b);
        faces.push_back(c);
    }
    MeshData Finish(double scale) const
    {
        MeshData m;
        for (const V3& p : points) {
            m.xyz.push_back(static_cast<float>(p.x * scale));
            m.xyz.push_back(static_cast<float>(p.y * scale));
            m.xyz.push_back(static_cast<float>(p.z * scale));
        }
        m.faces = faces;
        return m;
    }
    std::vector<V3> points;
    std::vector<int32_t> faces;

private:
    std::map<std::tuple<long long, long long, long long>, int> index;
};

void Icosahedron(std::vector<V3>& v, std::vector<int>& f)
{
    v = {{-1, kPhi, 0}, {1, kPhi, 0}, {-1, -kPhi, 0}, {1, -kPhi, 0}, {0, -1, kPhi}, {0, 1, kPhi},
         {0, -1, -kPhi}, {0, 1, -kPhi}, {kPhi, 0, -1}, {kPhi, 0, 1}, {-kPhi, 0, -1}, {-kPhi, 0, 1}};
    f = {0, 11, 5, 0, 5, 1, 0, 1, 7, 0, 7, 10, 0, 10, 11, 1, 5, 9, 5, 11, 4, 11, 10, 2, 10, 7, 6, 7, 1, 8,
         3, 9, 4, 3, 4, 2, 3, 2, 6, 3, 6, 8, 3, 8, 9, 4, 9, 5, 2, 4, 11, 6, 2, 10, 8, 6, 7, 9, 8, 1};
}

// Splits each triangle (a, b, c) into k*k and adds the points as given by
// place (which maps a point of the flat face to the surface).
template <typename Place>
void Subdivide(Builder& b, V3 a, V3 p, V3 c, int k, Place place)
{
    std::vector<std::vector<int>> row(k + 1);
    for (int i = 0; i <= k; ++i) {
        for (int j = 0; j <= k - i; ++j) {
            // Barycentric point; computed from integer weights so that the
            // same edge point comes out bit-identical from both faces.
            const double wa = static_cast<double>(k - i - j) / k, wb = static_cast<double>(i) / k, wc = static_cast<double>(j) / k;
            const V3 q = {a.x * wa + p.x * wb + c.x * wc, a.y * wa + p.y * wb + c.y * wc, a.z * wa + p.z * wb + c.z * wc};
            row[i].push_back(b.Point(place(q)));
        }
    }
    for (int i = 0; i < k; ++i) {
        for (int j = 0; j < k - i; ++j) {
            b.Face(row[i][j], row[i + 1][j], row[i][j + 1]);
            if (j + 1 < k - i) b.Face(row[i + 1][j], row[i + 1][j + 1], row[i][j + 1]);
        }
    }
}
}  // namespace

MeshData MakeBol()
{
    std::vector<V3> v;
    std::vector<int> f;
    Icosahedron(v, f);
    Builder b;
    const double r = 133.3;
    for (size_t i = 0; i < f.size(); i += 3)
        Subdivide(b, v[f[i]], v[f[i + 1]], v[f[i + 2]], 28, [&](V3 q) { return Unit(q) * r; });
    return b.Finish(1.0);
}

MeshData MakeHedra()
{
    // Dodecahedron vertices; each pentagonal face gets a pyramid whose apex
    // lies on the face normal at sqrt(5) times the inradius, giving the small
    // stellated dodecahedron. Each pyramid side is tessellated flat so the
    // object effect's deformations can bend the spikes.
    const double ip = 1.0 / kPhi;
    std::vector<V3> d;
    for (int sx = -1; sx <= 1; sx += 2)
        for (int sy = -1; sy <= 1; sy += 2)
            for (int sz = -1; sz <= 1; sz += 2) d.push_back({double(sx), double(sy), double(sz)});
    for (int s1 = -1; s1 <= 1; s1 += 2)
        for (int s2 = -1; s2 <= 1; s2 += 2) {
            d.push_back({0, s1 * ip, s2 * kPhi});
            d.push_back({s1 * ip, s2 * kPhi, 0});
            d.push_back({s2 * kPhi, 0, s1 * ip});
        }
    // Face normals: cyclic permutations of (0, +-phi, +-1).
    std::vector<V3> normals;
    for (int s1 = -1; s1 <= 1; s1 += 2)
        for (int s2 = -1; s2 <= 1; s2 += 2) {
            normals.push_back(Unit({0, s1 * kPhi, s2 * 1.0}));
            normals.push_back(Unit({s1 * kPhi, s2 * 1.0, 0}));
            normals.push_back(Unit({s2 * 1.0, 0, s1 * kPhi}));
        }
    const double inradius = 1.3763819204711736;
    const double apexDist = std::sqrt(5.0) * inradius;
    const double outer = apexDist;  // the apexes are the outermost points
    const double scale = 133.0 / outer;
    Builder b;
    for (const V3& n : normals) {
        // The five vertices of this face: those at the inradius along n.
        std::vector<V3> ring;
        for (const V3& p : d)
            if (std::fabs(Dot(p, n) - inradius) < 1e-6) ring.push_back(p);
        // Order them around the normal.
        const V3 c = n * inradius;
        const V3 ax = Unit(ring[0] - c), ay = Cross(n, ax);
        std::sort(ring.begin(), ring.end(), [&](V3 a, V3 q) {
            return Atan2(Dot(a - c, ay), Dot(a - c, ax)) < Atan2(Dot(q - c, ay), Dot(q - c, ax));
        });
        const V3 apex = n * apexDist;
        for (int i = 0; i < 5; ++i)
            Subdivide(b, ring[i], ring[(i + 1) % 5], apex, 6, [&](V3 q) { return q * scale; });
    }
    return b.Finish(1.0);
}

MeshData MakeStekels()
{
    // Geodesic sphere of frequency 8; the vertices of its frequency-4
    // sub-lattice (even barycentric coordinates) become spike tips, so every
    // spike is a cone over the six (or five) neighbours of its tip.
    std::vector<V3> v;
    std::vector<int> f;
    Icosahedron(v, f);
    Builder b;
    const int k = 8;
    std::vector<bool> tip;
    for (size_t t = 0; t < f.size(); t += 3) {
        const V3 a = v[f[t]], p = v[f[t + 1]], c = v[f[t + 2]];
        std::vector<std::vector<int>> row(k + 1);
        for (int i = 0; i <= k; ++i)
            for (int j = 0; j <= k - i; ++j) {
                const double wa = static_cast<double>(k - i - j) / k, wb = static_cast<double>(i) / k, wc = static_cast<double>(j) / k;
                const V3 q = {a.x * wa + p.x * wb + c.x * wc, a.y * wa + p.y * wb + c.y * wc, a.z * wa + p.z * wb + c.z * wc};
                const int id = b.Point(Unit(q));
                if (static_cast<int>(tip.size()) <= id) tip.resize(id + 1, false);
                if (i % 2 == 0 && j % 2 == 0) tip[id] = true;
                row[i].push_back(id);
            }
        for (int i = 0; i < k; ++i)
            for (int j = 0; j < k - i; ++j) {
                b.Face(row[i][j], row[i + 1][j], row[i][j + 1]);
                if (j + 1 < k - i) b.Face(row[i + 1][j], row[i + 1][j + 1], row[i][j + 1]);
            }
    }
    Pcg32 rng("Stekels.msh");
    const double core = 40.0;
    for (size_t i = 0; i < b.points.size(); ++i) {
        const double len = tip[i] ? rng.Range(1.55, 2.0) : 1.0;
        b.points[i] = b.points[i] * (core * len);
    }
    return b.Finish(1.0);
}

}  // namespace datagen
