// Tests of the D3DX maths: each function against matrices worked out by hand
// from its published definition (row vectors, left-handed), aliasing of the
// output, and the degenerate inputs (singular matrix, zero vector, w = 0).
#include <d3dx8.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const float kEps = 1e-5f;

void ExpectMatrixNear(const D3DXMATRIX& expected, const D3DXMATRIX& actual, float eps = kEps)
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(expected(r, c), actual(r, c), eps) << "element _" << r + 1 << c + 1;
        }
    }
}

void ExpectVectorNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, float eps = kEps)
{
    EXPECT_NEAR(expected.x, actual.x, eps);
    EXPECT_NEAR(expected.y, actual.y, eps);
    EXPECT_NEAR(expected.z, actual.z, eps);
}

D3DXVECTOR3 Transform(D3DXVECTOR3 v, const D3DXMATRIX& m)
{
    D3DXVec3TransformCoord(&v, &v, &m);
    return v;
}

const D3DXMATRIX kA(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
const D3DXMATRIX kB(2, 0, 1, 0, 0, 1, 0, 3, 1, 0, 0, 1, 0, 2, 1, 0);

}  // namespace

TEST(D3DXMatrixProducts, IdentityHasOnesOnTheDiagonalOnly)
{
    D3DXMATRIX m = kA;
    EXPECT_EQ(&m, D3DXMatrixIdentity(&m));
    ExpectMatrixNear(D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1), m, 0.0f);
}

TEST(D3DXMatrixProducts, MultiplyTakesTheFirstMatrixOnTheLeft)
{
    // Worked by hand: row i of A times column j of B.
    const D3DXMATRIX ab(5, 10, 5, 9, 17, 22, 13, 25, 29, 34, 21, 41, 41, 46, 29, 57);
    const D3DXMATRIX ba(11, 14, 17, 20, 44, 48, 52, 56, 14, 16, 18, 20, 19, 22, 25, 28);
    D3DXMATRIX out;
    EXPECT_EQ(&out, D3DXMatrixMultiply(&out, &kA, &kB));
    ExpectMatrixNear(ab, out, 0.0f);
    D3DXMatrixMultiply(&out, &kB, &kA);
    ExpectMatrixNear(ba, out, 0.0f);
}

TEST(D3DXMatrixProducts, MultiplyMayWriteOverEitherInput)
{
    const D3DXMATRIX ab(5, 10, 5, 9, 17, 22, 13, 25, 29, 34, 21, 41, 41, 46, 29, 57);
    D3DXMATRIX left = kA;
    D3DXMatrixMultiply(&left, &left, &kB);
    ExpectMatrixNear(ab, left, 0.0f);
    D3DXMATRIX right = kB;
    D3DXMatrixMultiply(&right, &kA, &right);
    ExpectMatrixNear(ab, right, 0.0f);
    D3DXMATRIX square = kB;
    D3DXMatrixMultiply(&square, &square, &square);
    D3DXMATRIX expected;
    D3DXMatrixMultiply(&expected, &kB, &kB);
    ExpectMatrixNear(expected, square, 0.0f);
}

TEST(D3DXMatrixInverse, InvertsAGeneralMatrixAndReportsItsDeterminant)
{
    // kB = rows (2 0 1 0)(0 1 0 3)(1 0 0 1)(0 2 1 0); its determinant by cofactors is 4.
    float det = 0;
    D3DXMATRIX inverse;
    ASSERT_EQ(&inverse, D3DXMatrixInverse(&inverse, &det, &kB));
    EXPECT_NEAR(4.0f, det, kEps);
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, &kB, &inverse);
    D3DXMATRIX identity;
    ExpectMatrixNear(*D3DXMatrixIdentity(&identity), product);
    D3DXMatrixMultiply(&product, &inverse, &kB);
    ExpectMatrixNear(identity, product);
}

TEST(D3DXMatrixInverse, InvertsARigidTransformToItsTransposeAndNegatedTranslation)
{
    D3DXMATRIX rotation;
    D3DXMatrixRotationZ(&rotation, 0.5f);
    rotation._41 = 3;
    rotation._42 = -2;
    rotation._43 = 7;
    D3DXMATRIX inverse;
    ASSERT_NE(nullptr, D3DXMatrixInverse(&inverse, nullptr, &rotation));  // no determinant wanted
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    // Rotation by -0.5, and the translation taken back through it.
    const D3DXMATRIX expected(c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, -(3 * c - 2 * s), 3 * s + 2 * c, -7, 1);
    ExpectMatrixNear(expected, inverse);
}

TEST(D3DXMatrixInverse, SingularMatrixGivesNullAndLeavesTheOutputAlone)
{
    D3DXMATRIX out = kB;
    float det = 99;
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&out, &det, &kA));  // rows in arithmetic progression
    EXPECT_EQ(0.0f, det);
    ExpectMatrixNear(kB, out, 0.0f);
    const D3DXMATRIX zero(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&out, nullptr, &zero));
}

TEST(D3DXMatrixInverse, MayWriteOverItsInput)
{
    D3DXMATRIX m = kB;
    D3DXMatrixInverse(&m, nullptr, &m);
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, &kB, &m);
    D3DXMATRIX identity;
    ExpectMatrixNear(*D3DXMatrixIdentity(&identity), product);
}

TEST(D3DXMatrixRotation, RotationsFollowTheLeftHandedRowVectorLayout)
{
    const float c = std::cos(0.3f), s = std::sin(0.3f);
    D3DXMATRIX m;
    D3DXMatrixRotationX(&m, 0.3f);
    ExpectMatrixNear(D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1), m);
    D3DXMatrixRotationY(&m, 0.3f);
    ExpectMatrixNear(D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1), m);
    D3DXMatrixRotationZ(&m, 0.3f);
    ExpectMatrixNear(D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1), m);
}

TEST(D3DXMatrixRotation, QuarterTurnsMoveTheAxesClockwiseSeenAlongTheAxis)
{
    const float quarter = D3DX_PI / 2;
    D3DXMATRIX m;
    // Left-handed: +y goes to +z about x, +z to +x about y, +x to +y about z.
    ExpectVectorNear({0, 0, 1}, Transform({0, 1, 0}, *D3DXMatrixRotationX(&m, quarter)));
    ExpectVectorNear({1, 0, 0}, Transform({0, 0, 1}, *D3DXMatrixRotationY(&m, quarter)));
    ExpectVectorNear({0, 1, 0}, Transform({1, 0, 0}, *D3DXMatrixRotationZ(&m, quarter)));
}

TEST(D3DXMatrixCamera, LookAtBuildsTheViewBasisAndMovesTheEyeToTheOrigin)
{
    // Eye at (0, 0, -5) looking at the origin: the identity basis, translated by +5 in z.
    const D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    EXPECT_EQ(&view, D3DXMatrixLookAtLH(&view, &eye, &at, &up));
    ExpectMatrixNear(D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1), view);
}

TEST(D3DXMatrixCamera, LookAtFromTheSideWorkedByHand)
{
    // Eye (3, 0, 0) looking at (0, 0, 0): z = (-1, 0, 0), x = up x z = (0, 0, 1), y = z x x = (0, 1, 0).
    const D3DXVECTOR3 eye(3, 0, 0), at(0, 0, 0), up(0, 2, 0);  // the length of up does not matter
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ExpectMatrixNear(D3DXMATRIX(0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 3, 1), view);
    ExpectVectorNear({0, 0, 3}, Transform(at, view));             // the target lies straight ahead
    ExpectVectorNear({0, 0, 0}, Transform(eye, view));            // the eye at the origin
    ExpectVectorNear({1, 0, 3}, Transform({0, 0, 1}, view));      // world +z is to the right
}

TEST(D3DXMatrixCamera, PerspectiveFovMapsTheNearAndFarPlanesToDepthZeroAndOne)
{
    D3DXMATRIX proj;
    EXPECT_EQ(&proj, D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 2, 2.0f, 1.0f, 101.0f));
    // cot(45 degrees) = 1; x scaled by 1/aspect; zf/(zf-zn) = 1.01; -zn*zf/(zf-zn) = -1.01.
    ExpectMatrixNear(D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0), proj);
    ExpectVectorNear({0, 0, 0}, Transform({0, 0, 1}, proj));
    ExpectVectorNear({0, 0, 1}, Transform({0, 0, 101}, proj));
    ExpectVectorNear({1, 1, 1}, Transform({202, 101, 101}, proj));  // the top right edge of the frustum
}

TEST(D3DXMatrixCamera, OrthoOffCenterMapsTheBoxToTheUnitCube)
{
    D3DXMATRIX proj;
    EXPECT_EQ(&proj, D3DXMatrixOrthoOffCenterLH(&proj, 0, 800, 600, 0, 0, 1));  // y down, as for screen quads
    ExpectMatrixNear(D3DXMATRIX(2.0f / 800, 0, 0, 0, 0, -2.0f / 600, 0, 0, 0, 0, 1, 0, -1, 1, 0, 1), proj);
    ExpectVectorNear({-1, 1, 0}, Transform({0, 0, 0}, proj));
    ExpectVectorNear({1, -1, 1}, Transform({800, 600, 1}, proj));
    D3DXMatrixOrthoOffCenterLH(&proj, -2, 6, -1, 3, 2, 4);
    ExpectMatrixNear(D3DXMATRIX(0.25f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, -0.5f, -0.5f, -1, 1), proj);
}

TEST(D3DXVectors, NormalizeGivesUnitLengthAndKeepsZeroAtZero)
{
    D3DXVECTOR3 v(3, 0, -4);
    EXPECT_EQ(&v, D3DXVec3Normalize(&v, &v));
    ExpectVectorNear({0.6f, 0, -0.8f}, v);
    const D3DXVECTOR3 zero(0, 0, 0);
    D3DXVECTOR3 out(7, 7, 7);
    D3DXVec3Normalize(&out, &zero);
    EXPECT_EQ(D3DXVECTOR3(0, 0, 0), out);
}

TEST(D3DXVectors, TransformCoordDividesByW)
{
    const D3DXMATRIX m(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 1, 1, 2, 3, 1);  // w = z + 1
    D3DXVECTOR3 out;
    const D3DXVECTOR3 v(1, 1, 1);
    EXPECT_EQ(&out, D3DXVec3TransformCoord(&out, &v, &m));
    ExpectVectorNear({3.0f / 2, 5.0f / 2, 7.0f / 2}, out);
    ExpectVectorNear({3, 5, 3}, Transform({1, 1, 0}, m));  // w = 1
}

TEST(D3DXVectors, TransformCoordWithZeroWDividesAnyway)
{
    const D3DXMATRIX m(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);  // w = z
    const D3DXVECTOR3 out = Transform({1, 0, 0}, m);
    EXPECT_TRUE(std::isinf(out.x));
    EXPECT_TRUE(std::isnan(out.y));  // 0 / 0
}

TEST(D3DXColour, ConvertsFromAndToPackedArgb)
{
    const D3DXCOLOR c(0x80FF4000u);
    EXPECT_FLOAT_EQ(1.0f, c.r);
    EXPECT_FLOAT_EQ(64.0f / 255.0f, c.g);
    EXPECT_FLOAT_EQ(0.0f, c.b);
    EXPECT_FLOAT_EQ(128.0f / 255.0f, c.a);
    EXPECT_EQ(0x80FF4000u, static_cast<DWORD>(c));
    // Out-of-range channels are clamped on the way back.
    EXPECT_EQ(0xFF00FF80u, static_cast<DWORD>(D3DXCOLOR(-0.5f, 2.0f, 0.5f, 1.5f)));
}
