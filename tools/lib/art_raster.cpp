#include "art_raster.h"

#include <algorithm>
#include <cmath>

#include "common/numeric.h"

namespace marrow::art {

Rgb hex(uint32_t rgb) {
    return {static_cast<double>((rgb >> 16) & 0xFF) / 255.0, static_cast<double>((rgb >> 8) & 0xFF) / 255.0,
            static_cast<double>(rgb & 0xFF) / 255.0};
}

double smoothstep(double e0, double e1, double x) {
    double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

Gradient& Gradient::stop(double pos, Rgb colour) {
    stops_.push_back({pos, colour});
    return *this;
}

Rgb Gradient::sample(double t) const {
    if (stops_.empty()) return {};
    if (t <= stops_.front().pos) return stops_.front().colour;
    for (size_t i = 1; i < stops_.size(); ++i) {
        if (t <= stops_[i].pos) {
            double span = stops_[i].pos - stops_[i - 1].pos;
            double k = span > 0.0 ? (t - stops_[i - 1].pos) / span : 1.0;
            return mix(stops_[i - 1].colour, stops_[i].colour, k);
        }
    }
    return stops_.back().colour;
}

Rgb Gradient::sampleWrapped(double t) const {
    if (stops_.empty()) return {};
    t -= std::floor(t);
    const Stop& first = stops_.front();
    const Stop& last = stops_.back();
    // The stretch from the last stop round to the first closes the loop.
    double gap = first.pos + 1.0 - last.pos;
    if (t < first.pos) {
        double k = gap > 0.0 ? (t + 1.0 - last.pos) / gap : 0.0;
        return mix(last.colour, first.colour, k);
    }
    if (t > last.pos) {
        double k = gap > 0.0 ? (t - last.pos) / gap : 0.0;
        return mix(last.colour, first.colour, k);
    }
    return sample(t);
}

void stampMax(Mask& dst, const Mask& src, int x, int y, bool wrap) {
    for (int sy = 0; sy < src.height; ++sy) {
        int dy = y + sy;
        if (wrap) {
            dy = wrapIndex(dy, dst.height);
        } else if (dy < 0 || dy >= dst.height) {
            continue;
        }
        for (int sx = 0; sx < src.width; ++sx) {
            float v = src.at(sx, sy);
            if (v <= 0.0f) continue;
            int dx = x + sx;
            if (wrap) {
                dx = wrapIndex(dx, dst.width);
            } else if (dx < 0 || dx >= dst.width) {
                continue;
            }
            float& d = dst.at(dx, dy);
            d = std::max(d, v);
        }
    }
}

namespace {

// One box pass along a line of `n` samples spaced `stride` apart: each output
// is the mean of the 2r+1 inputs centred on it (running sum, O(n)).
void boxLine(const float* in, float* out, int n, int stride, int r, bool wrap) {
    auto get = [&](int i) -> double {
        if (wrap) return in[static_cast<ptrdiff_t>(wrapIndex(i, n)) * stride];
        return (i < 0 || i >= n) ? 0.0 : in[static_cast<ptrdiff_t>(i) * stride];
    };
    double sum = 0.0;
    for (int i = -r; i <= r; ++i) sum += get(i);
    const double norm = 1.0 / (2 * r + 1);
    for (int i = 0; i < n; ++i) {
        out[static_cast<ptrdiff_t>(i) * stride] = static_cast<float>(sum * norm);
        sum += get(i + r + 1) - get(i - r);
    }
}

}  // namespace

Mask blur(const Mask& src, int radius, bool wrap) {
    Mask a = src;
    if (radius <= 0) return a;
    Mask b(src.width, src.height);
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < a.height; ++y)
            boxLine(&a.a[static_cast<size_t>(y) * a.width], &b.a[static_cast<size_t>(y) * a.width], a.width, 1,
                    radius, wrap);
        for (int x = 0; x < a.width; ++x) boxLine(&b.a[x], &a.a[x], a.height, a.width, radius, wrap);
    }
    return a;
}

namespace {

template <typename Op>
void forMask(Canvas& dst, const Mask& mask, int x, int y, bool wrap, Op op) {
    for (int my = 0; my < mask.height; ++my) {
        int dy = y + my;
        if (wrap) {
            dy = wrapIndex(dy, dst.height);
        } else if (dy < 0 || dy >= dst.height) {
            continue;
        }
        for (int mx = 0; mx < mask.width; ++mx) {
            double a = mask.at(mx, my);
            if (a <= 0.0) continue;
            int dx = x + mx;
            if (wrap) {
                dx = wrapIndex(dx, dst.width);
            } else if (dx < 0 || dx >= dst.width) {
                continue;
            }
            op(dst.at(dx, dy), a);
        }
    }
}

}  // namespace

void paintOver(Canvas& dst, const Mask& mask, Rgb colour, int x, int y, double opacity, bool wrap) {
    forMask(dst, mask, x, y, wrap, [&](Rgb& d, double a) { d = mix(d, colour, std::min(1.0, a * opacity)); });
}

void paintAdd(Canvas& dst, const Mask& mask, Rgb colour, int x, int y, double strength, bool wrap) {
    forMask(dst, mask, x, y, wrap, [&](Rgb& d, double a) { d = d + colour * (a * strength); });
}

Image toImage(const Canvas& canvas) {
    Image out(canvas.width, canvas.height);
    // Clamp to 0..1 (NaN counts as 0, so no stray bits reach the top byte),
    // then round to nearest: +0.5 before the truncation.
    auto byte = [](double v) -> uint32_t {
        double c = v > 0.0 ? std::min(v, 1.0) : 0.0;
        return static_cast<uint32_t>(truncToInt32(c * 255.0 + 0.5));
    };
    for (size_t i = 0; i < canvas.px.size(); ++i) {
        const Rgb& c = canvas.px[i];
        out.pixels[i] = byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
    }
    return out;
}

int clearDarkBlocks(Image& image, int size, int threshold) {
    int cleared = 0;
    for (int by = 0; by < image.height; by += size) {
        for (int bx = 0; bx < image.width; bx += size) {
            int ye = std::min(by + size, image.height), xe = std::min(bx + size, image.width);
            int peak = 0;
            bool anyNonZero = false;
            for (int y = by; y < ye; ++y)
                for (int x = bx; x < xe; ++x) {
                    uint32_t p = image.pixels[static_cast<size_t>(y) * image.width + x];
                    peak = std::max(peak, maxChannel(p));
                    anyNonZero |= p != 0;
                }
            if (peak > threshold || !anyNonZero) continue;
            for (int y = by; y < ye; ++y)
                for (int x = bx; x < xe; ++x) image.pixels[static_cast<size_t>(y) * image.width + x] = 0;
            ++cleared;
        }
    }
    return cleared;
}

}  // namespace marrow::art
