#include "effects/zoom_blur.h"

#include <cmath>

#include "common/frame_workers.h"
#include "common/framebuffer.h"
#include "common/numeric.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marrow {

ZoomWeights zoomWeights;

void buildZoomWeights(int32_t k) {
    // The keep share is a part of 256: outside 0..256 the other weights
    // would turn negative or pass 256 and the channel sums leave the range
    // the span arithmetic is exact for.
    if (k < 0) k = 0;
    if (k > 256) k = 256;
    const float keep = static_cast<float>(k);
    const float e = 1.0f - keep / 256.0f;
    zoomWeights.keepWeight = keep;
    zoomWeights.keepInt = k;
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i) {
            // Rounded up, so the three can overshoot their share by up to
            // 3 in total and the last one absorbs it (it may become -1 or -2).
            const float w0 = std::ceil(e * static_cast<float>((16 - i) * (16 - j)));
            const float w1 = std::ceil(e * static_cast<float>(i * (16 - j)));
            const float w2 = std::ceil(e * static_cast<float>((16 - i) * j));
            const float w3 = (256.0f - keep) - w0 - w1 - w2;
            float* w = zoomWeights.w[j][i];
            w[0] = w0;
            w[1] = w1;
            w[2] = w2;
            w[3] = w3;
            for (int n = 0; n < 4; ++n) zoomWeights.wInt[j][i][n] = truncToInt32(w[n]);
        }
}

namespace {

// The three channels of a pixel spread into 21-bit fields of a 64-bit word
// (blue at bit 0, green at 21, red at 42), so one multiply-add weighs all
// three. A field's weighted sum lies in -510..65790 for any weights
// buildZoomWeights makes; the bias below lifts it into 0..2^21 so no field
// borrows from or carries into its neighbour.
constexpr int kFieldBits = 21;
constexpr uint64_t kFieldMask = (uint64_t{1} << kFieldBits) - 1;
constexpr int32_t kSumBias = 1024;
constexpr uint64_t kPackedBias =
    uint64_t{kSumBias} | uint64_t{kSumBias} << kFieldBits | uint64_t{kSumBias} << (2 * kFieldBits);

// spread, channelOf, truncatedChannel and roundedChannel serve the plain
// span, which builds without SSE2 use.
[[maybe_unused]] inline uint64_t spread(uint32_t p) {
    return (p & 0xFF) | static_cast<uint64_t>(p & 0xFF00) << (kFieldBits - 8) |
           static_cast<uint64_t>(p & 0xFF0000) << (2 * kFieldBits - 16);
}

// A sample of the frame at (row, col) given by address row*320 + col, as the
// blur addresses it (col 320 is the next row's first pixel);
// only an address past the frame's end is pulled back to the nearest pixel
// inside it.
inline uint32_t clampedSample(const uint32_t* frame, uint32_t row, uint32_t col) {
    const uint32_t address = row * kFrameWidth + col;
    if (address < static_cast<uint32_t>(kFramePixels)) return frame[address];
    const uint32_t r = row < kFrameHeight - 1 ? row : kFrameHeight - 1;
    const uint32_t c = col < kFrameWidth - 1 ? col : kFrameWidth - 1;
    return frame[r * kFrameWidth + c];
}

[[maybe_unused]] inline uint32_t channelOf(uint64_t sum, int field) {
    return static_cast<uint32_t>((sum >> (field * kFieldBits)) & kFieldMask);
}

// S >> 8, 0 for a negative sum, at most 255.
[[maybe_unused]] inline uint32_t truncatedChannel(int32_t s) {
    const int32_t v = (s < 0 ? 0 : s) >> 8;
    return static_cast<uint32_t>(v > 255 ? 255 : v);
}

// S / 256 rounded to nearest with ties to even, 0 for a negative sum, at
// most 255 (65535 would round to 256). Adding 127 plus the lowest bit of the
// quotient carries exactly when the rest passes 128, or equals 128 with an
// odd quotient.
[[maybe_unused]] inline uint32_t roundedChannel(int32_t s) {
    const int32_t p = s < 0 ? 0 : s;
    const int32_t v = (p + 127 + ((p >> 8) & 1)) >> 8;
    return static_cast<uint32_t>(v > 255 ? 255 : v);
}

template <int Direction>
[[maybe_unused]] void blurSpanPlain(uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sx, int32_t sy, int32_t stepX) {
    if (count <= 0) return;
    // stepY is always 0, so the row and its sixteenth hold for the whole span.
    const uint32_t usy = static_cast<uint32_t>(sy);
    const uint32_t row = (usy >> 16) & 0xFF;     // 8 bits of row: 0..255
    const uint32_t j = (usy >> 12) & 0xF;        // vertical sixteenth
    const int32_t (*weights)[4] = zoomWeights.wInt[j];
    const uint64_t keep = static_cast<uint64_t>(static_cast<int64_t>(zoomWeights.keepInt));
    uint32_t usx = static_cast<uint32_t>(sx);
    for (int32_t n = 0; n < count; ++n) {
        const uint32_t col = (usx >> 16) & 0x1FF;  // 9 bits of column: 0..511
        const int32_t* w = weights[(usx >> 12) & 0xF];
        const uint32_t top = row * kFrameWidth + col;
        uint32_t p0, p1, p2, p3;
        if (top + kFrameWidth + 1 < static_cast<uint32_t>(kFramePixels)) {
            p0 = frame[top];
            p1 = frame[top + 1];
            p2 = frame[top + kFrameWidth];
            p3 = frame[top + kFrameWidth + 1];
        } else {
            p0 = clampedSample(frame, row, col);
            p1 = clampedSample(frame, row, col + 1);
            p2 = clampedSample(frame, row + 1, col);
            p3 = clampedSample(frame, row + 1, col + 1);
        }
        // Weights may be negative: the unsigned products wrap, and the
        // biased sum is exact modulo 2^64 with every field in range.
        const uint64_t sum = static_cast<uint64_t>(static_cast<int64_t>(w[0])) * spread(p0) +
                             static_cast<uint64_t>(static_cast<int64_t>(w[1])) * spread(p1) +
                             static_cast<uint64_t>(static_cast<int64_t>(w[2])) * spread(p2) +
                             static_cast<uint64_t>(static_cast<int64_t>(w[3])) * spread(p3) + keep * spread(*dst) +
                             kPackedBias;
        const int32_t sb = static_cast<int32_t>(channelOf(sum, 0)) - kSumBias;
        const int32_t sg = static_cast<int32_t>(channelOf(sum, 1)) - kSumBias;
        const int32_t sr = static_cast<int32_t>(channelOf(sum, 2)) - kSumBias;
        *dst = (static_cast<uint32_t>(sg) & 0xFF) << 24 | truncatedChannel(sr) << 16 | truncatedChannel(sg) << 8 |
               roundedChannel(sb);
        dst += Direction;
        usx += static_cast<uint32_t>(stepX);
    }
}

#if defined(__SSE2__)
// Which sample slot (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right)
// lies `diff` pixels after the top-left sample; 4 for none.
constexpr uint8_t kNoSlot = 4;
constexpr auto kSlotAt = [] {
    struct Table {
        uint8_t slot[kFrameWidth + 2];
    } t{};
    for (uint8_t& s : t.slot) s = kNoSlot;
    t.slot[0] = 0;
    t.slot[1] = 1;
    t.slot[kFrameWidth] = 2;
    t.slot[kFrameWidth + 1] = 3;
    return t;
}();

// Whether any sample of a span may be one of its own pixels. The samples lie
// at addresses row*320 + 0..832 (col up to 511, plus the bottom-right's
// 321), or are pulled into the last row; the span's pixels are count
// addresses from dst in its direction.
bool samplesOwnPixels(const uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sy, int direction) {
    const uint32_t row = (static_cast<uint32_t>(sy) >> 16) & 0xFF;
    const uint32_t lowest = (row < kFrameHeight - 1 ? row : kFrameHeight - 1) * kFrameWidth;
    const uint32_t highest = row * kFrameWidth + 0x1FF + kFrameWidth + 1;
    const uint32_t start = static_cast<uint32_t>(dst - frame);
    const uint32_t first = direction > 0 ? start : start - static_cast<uint32_t>(count - 1);
    const uint32_t last = first + static_cast<uint32_t>(count - 1);
    return first <= highest && last >= lowest;
}

// The same span with the five weighted sums taken by SSE2 multiply-adds:
// the samples are laid out channel by channel as 16-bit values, each next to
// the sample it is paired with (top-left with bottom-left, top-right with
// bottom-right, the old pixel with nothing), and each pair of weights is laid
// out alike, so one _mm_madd_epi16 gives the exact 32-bit weighted sum of
// each channel for two samples. Channels are at most 255 and weights in
// -2..256, so every product and sum is exact; the rounding and clamping below
// are those of truncatedChannel and roundedChannel, lane by lane. Same
// integers, same pixels.
//
// Near the centre, and everywhere when the factor is close to 1, one of the
// four samples is the pixel this span has just written, so each pixel waits
// for the one before it. That sample is taken from the previous pixel's
// channel lanes, still in a register, rather than from memory: the wait is
// then one multiply-add and the rounding instead of packing, storing and
// reloading the pixel. Its memory read goes to the current pixel instead
// (with weight 0), which no pending store holds up. Spans whose samples
// cannot reach their own pixels (SamplesOwnPixels false) skip the check;
// either way every sample has the value memory holds, so the choice only
// decides the speed.
template <int Direction, bool SamplesOwnPixels>
class SpanWalker {
public:
    SpanWalker(uint32_t* dst, const uint32_t* frame, int32_t sx, int32_t sy, int32_t stepX)
        : dst_(dst), frame_(frame), here_(static_cast<uint32_t>(dst - frame)), usx_(static_cast<uint32_t>(sx)),
          stepX_(static_cast<uint32_t>(stepX)) {
        const uint32_t usy = static_cast<uint32_t>(sy);
        row_ = (usy >> 16) & 0xFF;
        weights_ = zoomWeights.wInt[(usy >> 12) & 0xF];
        // The weight pairs of this row's sixteenth for every horizontal
        // sixteenth: (w0, w2) and (w1, w3), repeated over the four channels.
        for (int i = 0; i < 16; ++i) {
            const int32_t* w = weights_[i];
            leftWeights_[i] = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(w[2]) << 16) |
                                                                  (static_cast<uint32_t>(w[0]) & 0xFFFF)));
            rightWeights_[i] = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(w[3]) << 16) |
                                                                   (static_cast<uint32_t>(w[1]) & 0xFFFF)));
        }
    }

    // Blurs the next pixel of the span.
    [[gnu::always_inline]] inline void step() {
        // Per slot taken from the register: the weight pair masks that leave
        // its weight out of the memory sums (the top row's weights are the
        // low halves, the bottom row's the high halves).
        const __m128i all = _mm_set1_epi32(-1);
        const __m128i withoutTop = _mm_set1_epi32(static_cast<int32_t>(0xFFFF0000u));
        const __m128i withoutBottom = _mm_set1_epi32(0x0000FFFF);
        const __m128i keepWeight = _mm_set1_epi32(zoomWeights.keepInt & 0xFFFF);  // (keep, 0)
        const __m128i zero = _mm_setzero_si128();
        const __m128i limit = _mm_set1_epi32(255);
        // Blue is rounded to nearest (127 plus the quotient's lowest bit),
        // green and red truncated.
        const __m128i roundBias = _mm_setr_epi32(127, 0, 0, 0);
        const __m128i roundBit = _mm_setr_epi32(1, 0, 0, 0);

        const uint32_t col = (usx_ >> 16) & 0x1FF;
        const uint32_t i = (usx_ >> 12) & 0xF;
        const uint32_t top = row_ * kFrameWidth + col;
        auto pair = [](uint32_t a, uint32_t b) {
            return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int32_t>(a)),
                                      _mm_cvtsi32_si128(static_cast<int32_t>(b)));
        };
        __m128i upper, lower;  // low 8 bytes: top-left then top-right; bottom-left then bottom-right
        uint32_t slot = kNoSlot;
        if (top + kFrameWidth + 1 < static_cast<uint32_t>(kFramePixels)) {
            if constexpr (SamplesOwnPixels) {
                const uint32_t diff = previous_ - top;
                slot = diff < kFrameWidth + 2 ? kSlotAt.slot[diff] : kNoSlot;
            }
            // Pixel by pixel: a 64-bit load over a pending 32-bit store could
            // not be forwarded from it either.
            const uint32_t a0 = slot == 0 ? here_ : top;
            const uint32_t a1 = slot == 1 ? here_ : top + 1;
            const uint32_t a2 = slot == 2 ? here_ : top + kFrameWidth;
            const uint32_t a3 = slot == 3 ? here_ : top + kFrameWidth + 1;
            upper = pair(frame_[a0], frame_[a1]);
            lower = pair(frame_[a2], frame_[a3]);
        } else {
            upper = pair(clampedSample(frame_, row_, col), clampedSample(frame_, row_, col + 1));
            lower = pair(clampedSample(frame_, row_ + 1, col), clampedSample(frame_, row_ + 1, col + 1));
        }
        // Bytes: top-left and bottom-left channel by channel, then top-right
        // and bottom-right; widened to 16 bits.
        const __m128i interleaved = _mm_unpacklo_epi8(upper, lower);
        const __m128i left = _mm_unpacklo_epi8(interleaved, zero);
        const __m128i right = _mm_unpackhi_epi8(interleaved, zero);
        const __m128i old =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int32_t>(*dst_)), zero), zero);
        const __m128i leftMask = slot == 0 ? withoutTop : (slot == 2 ? withoutBottom : all);
        const __m128i rightMask = slot == 1 ? withoutTop : (slot == 3 ? withoutBottom : all);
        // Lanes: blue, green, red, top byte.
        const __m128i fromMemory =
            _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(left, _mm_and_si128(leftWeights_[i], leftMask)),
                                        _mm_madd_epi16(right, _mm_and_si128(rightWeights_[i], rightMask))),
                          _mm_madd_epi16(old, keepWeight));
        // A branch, not a multiply by 0: elsewhere the pixels do not wait
        // on each other, and must not through the register either.
        __m128i sum = fromMemory;
        if (SamplesOwnPixels && slot != kNoSlot)
            sum = _mm_add_epi32(sum, _mm_madd_epi16(previousLanes_, _mm_set1_epi32(weights_[i][slot] & 0xFFFF)));
        const __m128i positive = _mm_andnot_si128(_mm_srai_epi32(sum, 31), sum);  // negative sums to 0
        const __m128i rounded =
            _mm_add_epi32(_mm_add_epi32(positive, roundBias), _mm_and_si128(_mm_srli_epi32(positive, 8), roundBit));
        // At most 257 in the low half of each lane, 0 in the high half: the
        // 16-bit minimum clamps the lane to 255.
        const __m128i channel = _mm_min_epi16(_mm_srli_epi32(rounded, 8), limit);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(channel, channel), zero);
        const uint32_t green = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(sum, 1)));
        *dst_ = (green & 0xFF) << 24 | (static_cast<uint32_t>(_mm_cvtsi128_si32(bytes)) & 0xFFFFFF);
        dst_ += Direction;
        previous_ = here_;
        previousLanes_ = channel;
        here_ += static_cast<uint32_t>(Direction);
        usx_ += stepX_;
    }

private:
    uint32_t* dst_;
    const uint32_t* frame_;
    // The previous pixel of the span: its address and its channels as
    // 32-bit lanes (blue, green, red, unused), each 0..255. No address
    // matches before the first pixel.
    uint32_t previous_ = 0xFFFFFFFFu;
    __m128i previousLanes_ = _mm_setzero_si128();
    uint32_t here_;  // address of the pixel being blurred
    uint32_t usx_, stepX_;
    uint32_t row_;
    const int32_t (*weights_)[4];
    __m128i leftWeights_[16], rightWeights_[16];
};

template <int Direction, bool SamplesOwnPixels>
void blurSpanSse(uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sx, int32_t sy, int32_t stepX) {
    SpanWalker<Direction, SamplesOwnPixels> walker(dst, frame, sx, sy, stepX);
    for (int32_t n = 0; n < count; ++n) walker.step();
}

// Two spans of a quadrant that follow each other, walked together: B runs
// lag pixels behind A, so while each waits on its own previous pixel the
// other has work. The caller has checked (spanPairLag) that A never samples
// B's row and that B only samples pixels of A's that are done by then, so
// every pixel sees what it would have seen with A walked before B.
template <int Direction>
void blurSpanPair(uint32_t* dstA, uint32_t* dstB, const uint32_t* frame, int32_t count, int32_t sx, int32_t syA,
                  int32_t syB, int32_t stepX, int32_t lag) {
    SpanWalker<Direction, true> a(dstA, frame, sx, syA, stepX), b(dstB, frame, sx, syB, stepX);
    int32_t n = 0;
    for (; n < lag; ++n) a.step();
    for (; n < count; ++n) {
        a.step();
        b.step();
    }
    for (n = count - lag; n < count; ++n) b.step();
}

// How far B must run behind A for blurSpanPair to give the pixels of A
// walked before B, or -1 when the pair is better left to one span at a time.
// Only spans well inside the frame are paired: every sample column in
// 0..318 (so the right-hand sample is in the same row and none is clamped)
// and sample rows in 0..198. Then A samples only its rows rowA and rowA + 1,
// which must not be B's; B may sample A's row, at columns that move at most
// one pixel per pixel along the span, so the first pixel's columns bound
// how far ahead of B A must be.
// Spans that do not sample their own pixels do not wait on each other's
// pixels either, and gain nothing from the pairing.
int32_t spanPairLag(const uint32_t* frame, const uint32_t* dstA, const uint32_t* dstB, int32_t count, int32_t sx,
                    int32_t syA, int32_t syB, int32_t stepX, int direction) {
    if (!samplesOwnPixels(dstA, frame, count, syA, direction) || !samplesOwnPixels(dstB, frame, count, syB, direction))
        return -1;
    const int64_t firstSample = sx;
    const int64_t lastSample = firstSample + static_cast<int64_t>(stepX) * (count - 1);
    constexpr int64_t kLastColumn = (kFrameWidth - 2) << 16 | 0xFFFF;  // up to column 318 with its fraction
    constexpr int64_t kLastRow = (kFrameHeight - 2) << 16 | 0xFFFF;    // up to row 198 with its fraction
    if (firstSample < 0 || lastSample < 0 || firstSample > kLastColumn || lastSample > kLastColumn) return -1;
    if (syA < 0 || syB < 0 || syA > kLastRow || syB > kLastRow) return -1;
    const int32_t rowA = syA >> 16, rowB = syB >> 16;
    const int32_t yA = static_cast<int32_t>((dstA - frame) / kFrameWidth);
    const int32_t yB = static_cast<int32_t>((dstB - frame) / kFrameWidth);
    const int32_t firstX = static_cast<int32_t>((dstA - frame) % kFrameWidth);
    if (rowA == yB || rowA + 1 == yB) return -1;
    if (rowB != yA && rowB + 1 != yA) return 0;
    // B's pixel m reads A's columns col(m) and col(m) + 1; walking right A
    // has done columns up to firstX + m + lag by then, walking left down to
    // firstX - m - lag.
    const int32_t col = sx >> 16;
    const int32_t lag = direction > 0 ? col + 1 - firstX : firstX - col;
    return lag < 0 ? 0 : (lag < count ? lag : -1);
}

template <int Direction>
void blurSpan(uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sx, int32_t sy, int32_t stepX) {
    if (count <= 0) return;
    if (samplesOwnPixels(dst, frame, count, sy, Direction))
        blurSpanSse<Direction, true>(dst, frame, count, sx, sy, stepX);
    else
        blurSpanSse<Direction, false>(dst, frame, count, sx, sy, stepX);
}
#else
template <int Direction>
void blurSpan(uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sx, int32_t sy, int32_t stepX) {
    blurSpanPlain<Direction>(dst, frame, count, sx, sy, stepX);
}
#endif

int32_t clampTo(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

void blurSpanRight(uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sx, int32_t sy, int32_t stepX) {
    blurSpan<1>(dst, frame, count, sx, sy, stepX);
}

void blurSpanLeft(uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sx, int32_t sy, int32_t stepX) {
    blurSpan<-1>(dst, frame, count, sx, sy, stepX);
}

namespace {

// One quadrant of the blur: the rectangle x0..x1-1, y0..y1-1, walked from
// the centre outward.
struct Quadrant {
    bool right;   // walks right from the centre (else left)
    bool upward;  // walks rows from the centre up (else down)
    int32_t x0, x1, y0, y1;
};

struct BlurGeometry {
    uint32_t* frame;
    int32_t cx, cy;      // centre in pixels
    int32_t cx16, cy16;  // centre in 16.16
    int32_t d;           // 16.16 sample step per pixel
};

// Blurs the quadrant's rows from the centre outward; with skipFirstPixel
// the first row starts one pixel further out (its first pixel is done).
void blurQuadrant(const BlurGeometry& g, const Quadrant& q, bool skipFirstPixel) {
    const int32_t count = q.x1 - q.x0;
    if (count <= 0 || q.y1 <= q.y0) return;
    const int32_t firstX = q.right ? q.x0 : q.x1 - 1;
    const int32_t sx = wrapAdd(g.cx16, wrapMul(wrapSub(firstX, g.cx), g.d));
    const int32_t stepX = q.right ? g.d : wrapNeg(g.d);
    const int32_t rows = q.y1 - q.y0;
    auto rowOf = [&q](int32_t m) { return q.upward ? q.y1 - 1 - m : q.y0 + m; };
    auto syOf = [&g](int32_t y) { return wrapAdd(g.cy16, wrapMul(wrapSub(y, g.cy), g.d)); };
    auto span = [&q, &g](uint32_t* dst, int32_t pixels, int32_t x, int32_t y, int32_t step) {
        if (q.right)
            blurSpanRight(dst, g.frame, pixels, x, y, step);
        else
            blurSpanLeft(dst, g.frame, pixels, x, y, step);
    };
    int32_t n = 0;
    if (skipFirstPixel) {
        const int32_t y = rowOf(n);
        span(g.frame + y * kFrameWidth + firstX + (q.right ? 1 : -1), count - 1, wrapAdd(sx, stepX), syOf(y), stepX);
        ++n;
    }
    while (n < rows) {
        const int32_t y = rowOf(n);
        const int32_t sy = syOf(y);
        uint32_t* dst = g.frame + y * kFrameWidth + firstX;
#if defined(__SSE2__)
        if (n + 1 < rows) {
            const int32_t nextY = rowOf(n + 1);
            const int32_t nextSy = syOf(nextY);
            uint32_t* next = g.frame + nextY * kFrameWidth + firstX;
            const int32_t lag = spanPairLag(g.frame, dst, next, count, sx, sy, nextSy, stepX, q.right ? 1 : -1);
            if (lag >= 0) {
                if (q.right)
                    blurSpanPair<1>(dst, next, g.frame, count, sx, sy, nextSy, stepX, lag);
                else
                    blurSpanPair<-1>(dst, next, g.frame, count, sx, sy, nextSy, stepX, lag);
                n += 2;
                continue;
            }
        }
#endif
        span(dst, count, sx, sy, stepX);
        ++n;
    }
}

// Two quadrants blurred side by side by the frame's threads (one after the
// other when there is one thread); the caller has made sure neither reads
// what the other writes. The second may skip its first pixel.
struct QuadrantPair {
    const BlurGeometry* g;
    Quadrant first, second;
    bool secondSkipsFirstPixel;

    void operator()(int part, int parts) const {
        if (part == 0) blurQuadrant(*g, first, false);
        if (part == (parts > 1 ? 1 : 0)) blurQuadrant(*g, second, secondSkipsFirstPixel);
    }
};

}  // namespace

void ZoomBlur(uint32_t* frame, int32_t centreX, int32_t centreY, double factor) {
    if (factor > 0.999) return;
    // Below 0.95 the smear would be too long; NaN takes the same floor.
    const double scale = factor > 0.95 ? factor : 0.95;
    const int32_t cx = centreX, cy = centreY;
    // Centre in 16.16; wrapping arithmetic because a centre far outside the
    // frame may pass 16 bits (every sample is clamped into the frame anyway).
    const BlurGeometry g{frame, cx, cy, wrapMul(cx, 65536), wrapMul(cy, 65536), truncToInt32(scale * 65536)};
    const int32_t xl = clampTo(cx, 0, kFrameWidth), yl = clampTo(cy, 0, kFrameHeight);
    // Top right, bottom left, bottom right, top left: the order decides which
    // already-blurred pixels each quadrant samples along the centre lines.
    const Quadrant topRight{true, true, xl, kFrameWidth, 0, yl}, bottomLeft{false, false, 0, xl, yl, kFrameHeight},
        bottomRight{true, false, xl, kFrameWidth, yl, kFrameHeight}, topLeft{false, true, 0, xl, 0, yl};

    // With the centre inside the frame (a pixel's margin on every side) and
    // a step below one pixel, a pixel's four samples lie between it and the
    // centre, at most one column and one row past it towards the centre: a
    // quadrant reads only itself plus the centre row and column. So the top
    // right and the bottom left touch nothing of each other; both read the
    // bottom right's first row or column before it is blurred, as in the
    // order above. The bottom right reads only itself, and the top left
    // reads the others only along the centre lines, all blurred by then
    // except the bottom right's corner pixel (cx, cy), which is done first.
    // Two pairs of independent quadrants: the same pixels as the four one
    // after another.
    if (cx >= 1 && cx <= kFrameWidth - 2 && cy >= 1 && cy <= kFrameHeight - 2) {
        forEachPart(QuadrantPair{&g, topRight, bottomLeft, false});
        blurSpanRight(frame + cy * kFrameWidth + cx, frame, 1, g.cx16, g.cy16, g.d);
        forEachPart(QuadrantPair{&g, topLeft, bottomRight, true});
        return;
    }
    const Quadrant inOrder[4] = {topRight, bottomLeft, bottomRight, topLeft};
    for (const Quadrant& q : inOrder) blurQuadrant(g, q, false);
}

void zoomFeedback(uint32_t* frame, double amount) {
    if (!(amount <= 0.999)) return;  // also NaN
    if (amount < 0) amount = 0;
    // Offset scale in 0.16: at most 65469, so k * 160 stays far inside 32 bits.
    const int32_t k = truncToInt32(amount * 65535);

    // Halve each byte, then add: the per-byte average, rounding down.
    auto average = [](uint32_t a, uint32_t b) { return ((a >> 1) & 0x7F7F7F7F) + ((b >> 1) & 0x7F7F7F7F); };

    // Sample offsets use arithmetic shifts, rounding toward minus infinity,
    // so they never pass the quadrant's own side of the centre.
    // 1: top left, rows 100 up to 0, columns 160 left to 0.
    for (int32_t m = 0; m <= 100; ++m) {
        const uint32_t* sampleRow = frame + (100 + ((-k * m) >> 16)) * kFrameWidth;
        uint32_t* row = frame + (100 - m) * kFrameWidth;
        for (int32_t n = 0; n <= 160; ++n) row[160 - n] = average(sampleRow[160 + ((-k * n) >> 16)], row[160 - n]);
    }
    // 2: top right, rows 100 up to 0, columns 161 right to 319.
    for (int32_t m = 0; m <= 100; ++m) {
        const uint32_t* sampleRow = frame + (100 + ((-k * m) >> 16)) * kFrameWidth;
        uint32_t* row = frame + (100 - m) * kFrameWidth;
        for (int32_t n = 0; n < 159; ++n) row[161 + n] = average(sampleRow[161 + ((k * n) >> 16)], row[161 + n]);
    }
    // 3: bottom left, rows 101 down to 199, columns 160 left to 0.
    for (int32_t m = 0; m < 99; ++m) {
        const uint32_t* sampleRow = frame + (100 + ((k * m) >> 16)) * kFrameWidth;
        uint32_t* row = frame + (101 + m) * kFrameWidth;
        for (int32_t n = 0; n <= 160; ++n) row[160 - n] = average(sampleRow[160 + ((-k * n) >> 16)], row[160 - n]);
    }
    // 4: bottom right, rows 101 down to 199, columns 161 right to 319.
    for (int32_t m = 0; m < 99; ++m) {
        const uint32_t* sampleRow = frame + (100 + ((k * m) >> 16)) * kFrameWidth;
        uint32_t* row = frame + (101 + m) * kFrameWidth;
        for (int32_t n = 0; n < 159; ++n) row[161 + n] = average(sampleRow[160 + ((k * n) >> 16)], row[161 + n]);
    }
}

}  // namespace marrow
