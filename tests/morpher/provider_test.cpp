// The tangent-space provider, called through the functions the host
// publishes: its frames, its tangent spaces and its loading.
#include <cmath>

#include "messages.h"
#include "strainshaper_fixture.h"

namespace kestrin::test {
namespace {

// The five published functions, typed as the effect calls them.
struct TangentFunctions {
#define TANGENT_FUNCTION(name) HostFunction name = nullptr;
#define TANGENT_CALL(name, result, parameters) result(*name) parameters = nullptr;
#include "tangent_functions.def"
};

using Matrix4 = std::array<double, 16>;

class Provider : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host.provider.load(tangentSpacePath, &error)) << error;
#define TANGENT_FUNCTION(name) \
    functions.name = reinterpret_cast<decltype(functions.name)>(host.lookup(#name, BIND_PUBLISHED));
#include "tangent_functions.def"
    }

    // Frames of every point of mesh, through a tangent space made for it.
    std::vector<Matrix4> frames(HostHandle mesh) {
        TangentSpaceHandle space = functions.useful_CreateTangentSpace(mesh, 0);
        EXPECT_EQ(functions.useful_TangentSpaceCalculate(space), 1);
        const int32_t n = host.scene.object(mesh)->mesh.pointCount();
        std::vector<Matrix4> result(n);
        for (int32_t i = 0; i < n; ++i) functions.useful_TangentGetMatrix(space, i, result[i].data());
        return result;
    }

    host::Host host;
    TangentFunctions functions;
};

// A bumpy 5 x 4 grid, heights from a smooth function.
std::vector<Point3> bumpyGrid() {
    return mapped(gridPoints(5, 4), [](Point3 p) {
        return Point3{p.x, p.y, 0.4 * std::sin(1.3 * p.x) * std::cos(0.9 * p.y)};
    });
}

bool isIdentity(const Matrix4& m) {
    for (int k = 0; k < 16; ++k) {
        if (m[k] != ((k % 5 == 0) ? 1.0 : 0.0)) return false;
    }
    return true;
}

TEST_F(Provider, FramesAreOrthonormalAndRightHanded) {
    const HostHandle mesh = host.scene.addObject("Bumps", host::Mesh(bumpyGrid(), gridQuads(5, 4)));
    for (const Matrix4& m : frames(mesh)) {
        for (int r = 0; r < 3; ++r) {
            for (int s = 0; s < 3; ++s) {
                const double dot = m[4 * r] * m[4 * s] + m[4 * r + 1] * m[4 * s + 1] +
                                   m[4 * r + 2] * m[4 * s + 2];
                EXPECT_NEAR(dot, r == s ? 1.0 : 0.0, 1e-12);
            }
        }
        const double det = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
                           m[2] * (m[4] * m[9] - m[5] * m[8]);
        EXPECT_NEAR(det, 1.0, 1e-12);
        EXPECT_EQ(m[3], 0.0);
        EXPECT_EQ(m[7], 0.0);
        EXPECT_EQ(m[11], 0.0);
        EXPECT_EQ(m[12], 0.0);
        EXPECT_EQ(m[15], 1.0);
    }
}

// On the flat grid: normal +z, tangent toward the first edge neighbour.
// Point 4 (middle) meets polygon 0 first, where its neighbours are 1 and 3.
TEST_F(Provider, FlatGridFramesFaceUpAlongTheFirstEdge) {
    const HostHandle mesh = host.scene.addObject("Flat", host::Mesh(gridPoints(3, 3), gridQuads(3, 3)));
    const Matrix4 m = frames(mesh)[4];
    const Matrix4 expected = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(m[k], expected[k], 1e-15) << k;
}

// Rotating, moving and uniformly scaling the mesh turns every frame with the
// rotation: the new frame is the old one times R transposed.
TEST_F(Provider, FramesTurnWithTheMesh) {
    const std::vector<Point3> points = bumpyGrid();
    const HostHandle mesh = host.scene.addObject("Bumps", host::Mesh(points, gridQuads(5, 4)));
    const std::vector<Matrix4> before = frames(mesh);
    const struct {
        Point3 axis;
        double angle, factor;
        Point3 shift;
    } motions[] = {
        {{0.48, 0.6, 0.64}, 2.1, 2.0, {1, 2, 3}},
        {{1, 0, 0}, M_PI, 0.5, {-40, 0, 7}},
        {{-0.8, 0, 0.6}, 0.3, 1000.0, {0, 0, 0}},
    };
    for (const auto& motion : motions) {
        const Matrix3 R = rotation(motion.axis, motion.angle);
        host.scene.object(mesh)->mesh.setCurrent(mapped(points, [&](Point3 p) {
            return add(apply(R, scale(p, motion.factor)), motion.shift);
        }));
        const std::vector<Matrix4> after = frames(mesh);
        for (size_t i = 0; i < points.size(); ++i) {
            for (int r = 0; r < 3; ++r) {
                const Point3 axis = {before[i][4 * r], before[i][4 * r + 1], before[i][4 * r + 2]};
                const Point3 turned = apply(R, axis);
                EXPECT_NEAR(after[i][4 * r], turned.x, 1e-9) << i;
                EXPECT_NEAR(after[i][4 * r + 1], turned.y, 1e-9) << i;
                EXPECT_NEAR(after[i][4 * r + 2], turned.z, 1e-9) << i;
            }
        }
    }
}

// A large mesh's frames are shared out between threads; a polygon naming a
// point beyond the mesh (whose position only the host gives) keeps the
// calculation on the calling thread. Every other point's frame is the same
// either way, bit for bit.
TEST_F(Provider, FramesOfALargeMeshAreTheSameOnOneThreadAndOnSeveral) {
    constexpr int side = 200;  // 40,000 points: shares for two threads and more
    const std::vector<Point3> points = mapped(gridPoints(side, side), [](Point3 p) {
        return Point3{p.x, p.y, 0.4 * std::sin(1.3 * p.x) * std::cos(0.9 * p.y)};
    });
    auto polygons = gridQuads(side, side);
    const HostHandle shared = host.scene.addObject("Shared", host::Mesh(points, polygons));
    polygons.push_back({0, 1, side * side + 5});
    const HostHandle alone = host.scene.addObject("Alone", host::Mesh(points, polygons));
    const std::vector<Matrix4> several = frames(shared);
    const std::vector<Matrix4> one = frames(alone);
    EXPECT_FALSE(isIdentity(several[points.size() / 2]));
    for (size_t i = 2; i < points.size(); ++i) ASSERT_EQ(several[i], one[i]) << "point " << i;
}

// A point used by no polygon and the corners of a polygon without area have
// no usable frame.
TEST_F(Provider, PointsWithoutANormalOrTangentGetTheIdentity) {
    std::vector<Point3> points = gridPoints(2, 2);
    points.push_back({9, 9, 9});  // 4: alone
    for (int k = 0; k < 3; ++k) points.push_back({5, 5, 0});  // 5, 6, 7: collapsed
    const HostHandle mesh = host.scene.addObject(
        "Odd", host::Mesh(points, {{0, 1, 3, 2}, {5, 6, 7}}));
    const std::vector<Matrix4> m = frames(mesh);
    EXPECT_FALSE(isIdentity(m[0]));
    for (int i = 4; i < 8; ++i) EXPECT_TRUE(isIdentity(m[i])) << i;
}

TEST_F(Provider, OneTangentSpacePerMeshAndTargetAndCreatingAgainReplacesIt) {
    const HostHandle a = host.scene.addObject("A", host::Mesh(gridPoints(3, 3), gridQuads(3, 3)));
    const HostHandle b = host.scene.addObject("B", host::Mesh(gridPoints(2, 2), gridQuads(2, 2)));
    EXPECT_EQ(functions.useful_FetchTangentSpace(a, 0), nullptr);
    const TangentSpaceHandle first = functions.useful_CreateTangentSpace(a, 0);
    const TangentSpaceHandle other = functions.useful_CreateTangentSpace(a, 1);
    const TangentSpaceHandle onB = functions.useful_CreateTangentSpace(b, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, other);
    EXPECT_NE(first, onB);
    EXPECT_EQ(functions.useful_FetchTangentSpace(a, 0), first);
    EXPECT_EQ(functions.useful_FetchTangentSpace(b, 0), onB);

    const TangentSpaceHandle second = functions.useful_CreateTangentSpace(a, 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(functions.useful_FetchTangentSpace(a, 0), second);
    // The replaced handle names nothing any more.
    EXPECT_EQ(functions.useful_TangentSpaceCalculate(first), 0);
    Matrix4 m;
    m.fill(7.0);
    EXPECT_EQ(functions.useful_TangentGetMatrix(first, 0, m.data()), 0);
    EXPECT_TRUE(isIdentity(m));
}

TEST_F(Provider, UnknownHandlesAndPointsGiveTheIdentity) {
    const HostHandle mesh = host.scene.addObject("A", host::Mesh(gridPoints(3, 3), gridQuads(3, 3)));
    const TangentSpaceHandle space = functions.useful_CreateTangentSpace(mesh, 0);
    Matrix4 m;
    m.fill(7.0);
    EXPECT_EQ(functions.useful_TangentGetMatrix(space, 0, m.data()), 0) << "not calculated yet";
    EXPECT_TRUE(isIdentity(m));
    functions.useful_TangentSpaceCalculate(space);
    for (const int32_t point : {-1, 9, 1 << 30}) {
        m.fill(7.0);
        EXPECT_EQ(functions.useful_TangentGetMatrix(space, point, m.data()), 0) << point;
        EXPECT_TRUE(isIdentity(m));
    }
    EXPECT_EQ(functions.useful_TangentGetMatrix(nullptr, 0, m.data()), 0);
    EXPECT_EQ(functions.useful_TangentGetMatrix(space, 0, nullptr), 0);
    EXPECT_EQ(functions.useful_TangentSpaceCalculate(nullptr), 0);
}

TEST_F(Provider, UnloadingWithdrawsTheFunctionsAndLoadingAgainPublishesThem) {
    host.provider.unload();
    EXPECT_FALSE(host.provider.loaded());
    EXPECT_EQ(host.lookup("useful_TangentGetMatrix", BIND_PUBLISHED), nullptr);
    std::string error;
    ASSERT_TRUE(host.provider.load(tangentSpacePath, &error)) << error;
    EXPECT_NE(host.lookup("useful_TangentGetMatrix", BIND_PUBLISHED), nullptr);
}

TEST(ProviderLoading, AFileThatIsNoProviderIsRefusedAndPublishesNothing) {
    host::Host host;
    std::string error;
    EXPECT_FALSE(host.provider.load("/nonexistent/TangentSpace.so", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(host.provider.load(rimshaperPath, &error));
    EXPECT_NE(error.find("not a tangent-space provider"), std::string::npos) << error;
    EXPECT_FALSE(host.provider.loaded());
    EXPECT_EQ(host.lookup("useful_CreateTangentSpace", BIND_PUBLISHED), nullptr);
}

// Without the host's mesh services the provider cannot work: its entry fails
// and nothing is published.
TEST(ProviderLoading, AProviderWithoutMeshServicesPublishesNothing) {
    host::Host host;
    host.withhold("fxMeshPoint");
    std::string error;
    EXPECT_FALSE(host.provider.load(tangentSpacePath, &error));
    EXPECT_EQ(host.lookup("useful_CreateTangentSpace", BIND_PUBLISHED), nullptr);
    EXPECT_EQ(host.lookup("useful_TangentGetMatrix", BIND_PUBLISHED), nullptr);
}

}  // namespace
}  // namespace kestrin::test
