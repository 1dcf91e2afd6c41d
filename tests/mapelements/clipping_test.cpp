#include <gtest/gtest.h>

#include <cmath>

#include "mapelements/clipping.h"
#include "test_support.h"

using namespace mapelements;
using testing_support::fatal_message;

namespace {

struct Poly {
    std::vector<float> x, y;
    int n() const { return static_cast<int>(x.size()); }
};

// Twice the signed area (positive counter-clockwise).
double area2(const std::vector<float>& x, const std::vector<float>& y) {
    double a = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        std::size_t j = (i + 1) % x.size();
        a += double(x[i]) * y[j] - double(x[j]) * y[i];
    }
    return a;
}

bool has_point(const std::vector<float>& x, const std::vector<float>& y, float px, float py) {
    for (std::size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i] - px) < 1e-4f && std::fabs(y[i] - py) < 1e-4f) return true;
    return false;
}

class Clipping : public ::testing::Test {
protected:
    void SetUp() override { set_clip_window(0.0f, 10.0f, 0.0f, 5.0f); }
    Poly clip(const Poly& p) {
        Poly out;
        int nout = -1;
        CUT_POL(p.x, p.y, p.n(), out.x, out.y, nout);
        EXPECT_EQ(nout, out.n());
        return out;
    }
};

TEST_F(Clipping, TooFewPointsStopTheRun) {
    std::vector<float> x = {1, 2}, y = {1, 2}, xo, yo;
    std::vector<int> ips;
    int n, nc;
    EXPECT_EQ(fatal_message([&] { CUT_POL(x, y, 2, xo, yo, n); }), "CUT_POL-F-kein Polygon, N<3");
    EXPECT_EQ(fatal_message([&] { CUT_CRV(x, y, 1, xo, yo, ips, nc); }), "CUT_CRV-F-kein Polygon, N<2");
}

TEST_F(Clipping, PolygonsInsideAndOutside) {
    Poly inside{{1, 4, 4, 1, 1}, {1, 1, 3, 3, 1}};
    Poly out = clip(inside);
    EXPECT_EQ(out.x, inside.x);
    EXPECT_EQ(out.y, inside.y);
    EXPECT_EQ(clip(Poly{{11, 14, 12}, {1, 1, 3}}).n(), 0);
    // Not a number: nothing drawn.
    EXPECT_EQ(clip(Poly{{1, NAN, 12}, {1, 1, 3}}).n(), 0);
}

TEST_F(Clipping, TriangleWithOneCornerBeyondTheRightBorder) {
    Poly out = clip(Poly{{6, 14, 6}, {1, 2, 3}});
    ASSERT_EQ(out.n(), 4);
    int on_right = 0;
    for (float x : out.x) on_right += std::fabs(x - 10.0f) < 1e-5f;
    EXPECT_EQ(on_right, 2);
    EXPECT_TRUE(has_point(out.x, out.y, 10.0f, 1.5f));
    EXPECT_TRUE(has_point(out.x, out.y, 10.0f, 2.5f));
    EXPECT_GT(area2(out.x, out.y), 0.0);  // the order of the points is kept
}

TEST_F(Clipping, LeavingThroughTheTopAndBackThroughTheRightGainsTheCorner) {
    Poly out = clip(Poly{{8, 9, 12, 12, 8}, {3, 7, 7, 3, 3}});
    EXPECT_TRUE(has_point(out.x, out.y, 10.0f, 5.0f));
    EXPECT_NEAR(std::fabs(area2(out.x, out.y)) / 2, 2.0 * 2.0 - 0.5 * 0.5 * 2.0, 1e-4);
    // Closed in, closed out.
    EXPECT_EQ(out.x.front(), out.x.back());
    EXPECT_EQ(out.y.front(), out.y.back());
}

TEST_F(Clipping, EnclosingPolygonGivesTheWindow) {
    Poly out = clip(Poly{{-5, 20, 20, -5}, {-5, -5, 20, 20}});
    ASSERT_EQ(out.n(), 4);
    for (auto [x, y] : {std::pair{0.0f, 0.0f}, {10.0f, 0.0f}, {10.0f, 5.0f}, {0.0f, 5.0f}})
        EXPECT_TRUE(has_point(out.x, out.y, x, y)) << x << "," << y;
    // A diamond around the window as well, with edges far beyond every corner.
    out = clip(Poly{{5, 30, 5, -20}, {-20, 2.5, 25, 2.5}});
    EXPECT_NEAR(area2(out.x, out.y), 100.0, 1e-3);
}

TEST_F(Clipping, EdgesThroughCornersAndAlongBorders) {
    // A triangle whose hypotenuse runs through two window corners.
    Poly out = clip(Poly{{-10, 20, -10}, {-5, 10, 10}});
    EXPECT_NEAR(area2(out.x, out.y) / 2, 0.5 * 10 * 5, 1e-3);
    // Horizontal and vertical edges on the borders.
    out = clip(Poly{{0, 10, 10, 0}, {0, 0, 7, 7}});
    EXPECT_NEAR(area2(out.x, out.y) / 2, 50.0, 1e-4);
    // A polygon wrapping three window corners (an L around the top right).
    out = clip(Poly{{-2, 12, 12, 8, 8, -2}, {7, 7, -2, -2, 3, 3}});
    EXPECT_NEAR(std::fabs(area2(out.x, out.y)) / 2, 10 * 2 + 2 * 3, 1e-3);
    for (auto [x, y] : {std::pair{0.0f, 5.0f}, {10.0f, 5.0f}, {10.0f, 0.0f}})
        EXPECT_TRUE(has_point(out.x, out.y, x, y)) << x << "," << y;
}

TEST_F(Clipping, CutlineFindsTheBorderCrossings) {
    float xs[2], ys[2];
    int ns, ib[2];
    CUTLINE(3, -4, 3, 9, xs, ys, ns, ib);
    ASSERT_EQ(ns, 2);
    EXPECT_EQ(ib[0], kBottom);
    EXPECT_FLOAT_EQ(ys[0], 0.0f);
    EXPECT_EQ(ib[1], kTop);
    EXPECT_FLOAT_EQ(ys[1], 5.0f);
    // Horizontal: only left and right.
    CUTLINE(-3, 2, 13, 2, xs, ys, ns, ib);
    ASSERT_EQ(ns, 2);
    EXPECT_EQ(ib[0], kLeft);
    EXPECT_EQ(ib[1], kRight);
    EXPECT_FLOAT_EQ(ys[1], 2.0f);
    // Into the window through a corner: one point, not the same point twice.
    CUTLINE(-2, -1, 4, 2, xs, ys, ns, ib);
    ASSERT_EQ(ns, 1);
    EXPECT_FLOAT_EQ(xs[0], 0.0f);
    EXPECT_FLOAT_EQ(ys[0], 0.0f);
    // Through two corners.
    CUTLINE(-2, -1, 14, 7, xs, ys, ns, ib);
    ASSERT_EQ(ns, 2);
    EXPECT_FLOAT_EQ(xs[1], 10.0f);
    EXPECT_FLOAT_EQ(ys[1], 5.0f);
    // Ending before the window.
    CUTLINE(-5, 1, -1, 1, xs, ys, ns, ib);
    EXPECT_EQ(ns, 0);
}

TEST_F(Clipping, CurvesFallIntoVisiblePieces) {
    std::vector<float> xo, yo;
    std::vector<int> ips;
    int nc = -1;
    std::vector<float> x = {1, 4, 8}, y = {1, 2, 1};
    CUT_CRV(x, y, 3, xo, yo, ips, nc);
    EXPECT_EQ(nc, 1);
    EXPECT_EQ(xo, x);
    EXPECT_EQ(ips, (std::vector<int>{1, 4}));

    x = {-5, 5, 15, 15, 5};
    y = {1, 1, 1, 3, 3};
    CUT_CRV(x, y, 5, xo, yo, ips, nc);
    ASSERT_EQ(nc, 2);
    EXPECT_EQ(ips, (std::vector<int>{1, 4, 6}));
    EXPECT_EQ(xo, (std::vector<float>{0, 5, 10, 10, 5}));

    x = {-5, -1};
    y = {1, 1};
    CUT_CRV(x, y, 2, xo, yo, ips, nc);
    EXPECT_EQ(nc, 0);
    EXPECT_TRUE(xo.empty());

    // Touching the window in one corner and then entering elsewhere: the touch is dropped.
    x = {-2, 2, 12};
    y = {1, -1, 4};
    CUT_CRV(x, y, 3, xo, yo, ips, nc);
    ASSERT_EQ(nc, 1);
    EXPECT_EQ(ips, (std::vector<int>{1, 3}));
    EXPECT_FLOAT_EQ(xo[0], 4.0f);
    EXPECT_FLOAT_EQ(yo[0], 0.0f);
    EXPECT_FLOAT_EQ(xo[1], 10.0f);
    EXPECT_FLOAT_EQ(yo[1], 3.0f);
}

TEST(PointInPolygon, VerticesEdgesAndNearMisses) {
    std::vector<float> x = {0, 4, 4, 0, 0}, y = {0.2f, 0.2f, 3, 3, 0.2f};
    EXPECT_EQ(INPOLY(x, y, 5, 2, 1), 1);
    EXPECT_EQ(INPOLY(x, y, 5, 4, 3), 1);      // a vertex
    EXPECT_EQ(INPOLY(x, y, 5, 0, 0.2f), 1);   // the first vertex
    EXPECT_EQ(INPOLY(x, y, 5, 2, 0.19f), 0);  // just below the edge at y = 0.2
    EXPECT_EQ(INPOLY(x, y, 5, 5, 1), 0);
    EXPECT_EQ(INPOLY(x, y, 2, 1, 1), 0);      // not a polygon
    // A concave polygon: the notch is outside.
    std::vector<float> cx = {0, 6, 6, 4, 4, 2, 2, 0}, cy = {0, 0, 4, 4, 1, 1, 4, 4};
    EXPECT_EQ(INPOLY(cx, cy, 8, 3, 3), 0);
    EXPECT_EQ(INPOLY(cx, cy, 8, 5, 3), 1);
}

TEST_F(Clipping, CornerinAddsTheCornersInsideThePolygon) {
    std::vector<float> x = {8, 12, 12, 8}, y = {3, 3, 7, 7}, xo = {9}, yo = {5};
    int nout = 1;
    CORNERIN(kTop, kRight, x, y, 4, nout, xo, yo);
    ASSERT_EQ(nout, 2);
    EXPECT_FLOAT_EQ(xo[1], 10.0f);
    EXPECT_FLOAT_EQ(yo[1], 5.0f);
    // No corner inside: nothing added.
    std::vector<float> sx = {4, 6, 5}, sy = {-1, -1, 7};
    nout = 0;
    xo.clear();
    yo.clear();
    CORNERIN(kBottom, kTop, sx, sy, 3, nout, xo, yo);
    EXPECT_EQ(nout, 0);
}

}  // namespace
