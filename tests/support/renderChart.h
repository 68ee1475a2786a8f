// A chessboard rendered from its own geometry, independent of the program: the truth the
// corner finder is measured against. The board lies in a plane; a homography maps plane
// units to frame pixels, the centre of frame pixel (x, y) being the point (x, y). Each pixel
// is the mean of the scene over its area (8 × 8 samples where the scene is not uniform over
// it), then Gaussian blur and Gaussian noise (seeded) are added.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace chart {

using Homography = std::array<std::array<double, 3>, 3>;
struct Xy {
    double x, y;
};
// A convex polygon in plane units (corners in either turning order), filled with grey.
struct Occluder {
    std::vector<Xy> corners;
    double grey;
};

// Inner corner (i, j) is at plane point (i · square, j · square), i < cols, j < rows; the
// squares around them reach one square beyond, the dark one at (-1, -1), and the white
// margin a further margin units; beyond lies the background.
struct Scene {
    int cols = 9, rows = 6;
    double square = 1.0, margin = 0.5;
    Homography planeToFrame{};
    int width = 1280, height = 720;
    double blur = 0.8, noise = 2.0;  // σ in pixels and in grey levels, above 0
    unsigned seed = 1;
    double dark = 30, light = 220, background = 90;
    std::vector<Occluder> occluders;
};

struct Frame {
    std::vector<unsigned char> grey;  // width × height, stride width
    std::vector<Xy> corners;          // true frame positions, row by row (j), i along a row
};

inline Xy apply(const Homography& h, Xy p) {
    const double w = h[2][0] * p.x + h[2][1] * p.y + h[2][2];
    return {(h[0][0] * p.x + h[0][1] * p.y + h[0][2]) / w,
            (h[1][0] * p.x + h[1][1] * p.y + h[1][2]) / w};
}

inline Homography product(const Homography& a, const Homography& b) {
    Homography c{};
    for (int i = 0; i < 27; ++i)  // row i / 9, column i % 3, summed over i / 3 % 3
        c[i / 9][i % 3] += a[i / 9][i / 3 % 3] * b[i / 3 % 3][i % 3];
    return c;
}

// The inverse up to scale: the adjugate.
inline Homography inverse(const Homography& m) {
    Homography a;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            a[c][r] = m[(r + 1) % 3][(c + 1) % 3] * m[(r + 2) % 3][(c + 2) % 3] -
                      m[(r + 1) % 3][(c + 2) % 3] * m[(r + 2) % 3][(c + 1) % 3];
    return a;
}

// A camera of focal length f pixels at distance d plane units from the point `centre` of
// the plane, looking at it tilted by tiltDegrees about the frame's x axis after turning the
// plane by rollDegrees in itself; `centre` lands on the frame's centre.
inline Homography tiltedView(int width, int height, double tiltDegrees, double f, double d,
                             Xy centre, double rollDegrees = 0) {
    const double t = tiltDegrees * M_PI / 180, r = rollDegrees * M_PI / 180;
    const Homography camera = {{{f, 0, (width - 1) / 2.0}, {0, f, (height - 1) / 2.0}, {0, 0, 1}}};
    const Homography tilt = {{{1, 0, 0}, {0, std::cos(t), 0}, {0, std::sin(t), d}}};
    const Homography roll = {
        {{std::cos(r), -std::sin(r), 0}, {std::sin(r), std::cos(r), 0}, {0, 0, 1}}};
    const Homography shift = {{{1, 0, -centre.x}, {0, 1, -centre.y}, {0, 0, 1}}};
    return product(camera, product(tilt, product(roll, shift)));
}

inline double sceneGrey(const Scene& s, Xy p) {
    for (const Occluder& o : s.occluders) {
        int sides = 0;
        for (std::size_t k = 0; k < o.corners.size(); ++k) {
            const Xy a = o.corners[k], b = o.corners[(k + 1) % o.corners.size()];
            sides += (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x) > 0 ? 1 : -1;
        }
        if (std::abs(sides) == int(o.corners.size()))
            return o.grey;
    }
    const double u = p.x / s.square + 1, v = p.y / s.square + 1;  // 0 at the board's edge
    if (u >= 0 && v >= 0 && u < s.cols + 1 && v < s.rows + 1)
        return (int(u) + int(v)) % 2 ? s.light : s.dark;
    const double m = s.margin / s.square;
    return u >= -m && v >= -m && u < s.cols + 1 + m && v < s.rows + 1 + m ? s.light : s.background;
}

inline Frame render(const Scene& s) {
    const Homography toPlane = inverse(s.planeToFrame);
    const int w = s.width, h = s.height;
    auto greyAt = [&](double x, double y) { return sceneGrey(s, apply(toPlane, {x, y})); };
    // The scene at every pixel's corners; a pixel whose corners and centre agree is uniform.
    std::vector<double> at((w + 1) * (h + 1)), image(w * h);
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x)
            at[y * (w + 1) + x] = greyAt(x - 0.5, y - 0.5);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double* c = &at[y * (w + 1) + x];
            const double centre = greyAt(x, y);
            const bool uniform =
                c[0] == centre && c[1] == centre && c[w + 1] == centre && c[w + 2] == centre;
            double sum = 0;
            for (int k = 0; !uniform && k < 64; ++k)
                sum += greyAt(x - 0.5 + (k % 8 + 0.5) / 8, y - 0.5 + (k / 8 + 0.5) / 8);
            image[y * w + x] = uniform ? centre : sum / 64;
        }
    // Separable Gaussian blur, edges clamped, then the noise.
    const int radius = int(std::ceil(4 * s.blur));
    std::vector<double> kernel(2 * radius + 1);
    double total = 0;
    for (int k = -radius; k <= radius; ++k)
        total += kernel[k + radius] = std::exp(-k * k / (2 * s.blur * s.blur));
    const auto blurred = [&](const std::vector<double>& in, bool down) {
        std::vector<double> out(w * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = -radius; k <= radius; ++k)
                    out[y * w + x] += kernel[k + radius] / total *
                                      (down ? in[std::clamp(y + k, 0, h - 1) * w + x]
                                            : in[y * w + std::clamp(x + k, 0, w - 1)]);
        return out;
    };
    std::mt19937 random(s.seed);
    std::normal_distribution<double> noise(0, s.noise);
    Frame frame{std::vector<unsigned char>(w * h), {}};
    const std::vector<double> smooth = blurred(blurred(image, false), true);
    for (std::size_t i = 0; i < smooth.size(); ++i)
        frame.grey[i] = static_cast<unsigned char>(
            std::clamp(std::lround(smooth[i] + noise(random)), 0L, 255L));
    for (int j = 0; j < s.rows; ++j)
        for (int i = 0; i < s.cols; ++i)
            frame.corners.push_back(apply(s.planeToFrame, {i * s.square, j * s.square}));
    return frame;
}

}  // namespace chart
