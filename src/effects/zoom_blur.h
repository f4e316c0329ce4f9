// zoom_blur.h: radial zoom blur and zoom feedback, in place on a frame.
//
// Both split the 320x200 frame into four quadrants at a centre and walk each
// quadrant from the centre outward, replacing every pixel by a mix of itself
// and the frame sampled at the pixel's position scaled towards the centre.
// The sample is usually a pixel already rewritten in the same pass, so the
// smear grows along each ray.
//
// ZoomBlur: bilinear sample (16x16 sub-pixel weights from buildZoomWeights),
// keeping keepWeight/256 of the old pixel. Any centre and factor are safe:
// rectangles are clamped to the frame and no sample is read outside it.
// Cost per pixel: one weight look-up, five reads, three 16-bit multiply-adds
// over the channels (SSE2). Where the factor is near 1 each pixel samples the
// one just written; that sample is kept in a register and two rows are walked
// side by side, so the wait on it overlaps with other work.
//
// zoomFeedback: nearest sample about the fixed centre (160, 100), averaged
// half and half with the old pixel. Cost per pixel: shifts and masks.
#pragma once

#include <cstdint>

namespace marrow {

// Bilinear weights in 1/256 for each sub-pixel position, [j][i] with j the
// vertical and i the horizontal sixteenth, in the order top-left, top-right,
// bottom-left, bottom-right; with keepWeight they sum to exactly 256. Three
// of the four are rounded up, so the fourth can be -1 (25 entries for k 12).
// The values are whole numbers, kept as floats and as integers.
struct ZoomWeights {
    float w[16][16][4];
    float keepWeight;
    int32_t wInt[16][16][4];
    int32_t keepInt;
};

// The weights in force; zero (a blur that blackens) until the first build.
extern ZoomWeights zoomWeights;

// keepWeight = k; e = 1 - k/256; w0 = ceil(e*(16-i)*(16-j)),
// w1 = ceil(e*i*(16-j)), w2 = ceil(e*(16-i)*j), w3 = (256-k) - w0 - w1 - w2.
// k is the share of the old pixel in 1/256; values outside 0..256 are
// clamped into it (the weights would otherwise leave the range the pixel
// arithmetic is exact for). Called at start with 20, then 12.
void buildZoomWeights(int32_t k);

// Blurs frame (64000 pixels, read and written) outward from (centreX,
// centreY) with the sample position scaled by max(factor, 0.95); a factor
// above 0.999 leaves the frame unchanged, NaN counts as 0.95.
void ZoomBlur(uint32_t* frame, int32_t centreX, int32_t centreY, double factor);

// The span routines of ZoomBlur: count pixels from dst (stepping +1 or -1
// pixel), sample position (sx, sy) in 16.16 for the first pixel, sx stepping
// by stepX per pixel (sy stays). Per channel
// S = w0*P0 + w1*P1 + w2*P2 + w3*P3 + keep*D over the samples at
// (row, col), (row, col+1), (row+1, col), (row+1, col+1), col = (sx >> 16)
// & 0x1FF, row = (sy >> 16) & 0xFF, addressed row*320 + col (col + 1 may be
// the next row's first pixel); a sample whose address passes the frame's
// end takes the pixel at row min(r, 199), column min(c, 319). Red and green
// are S >> 8, blue S/256 rounded to nearest, ties to even, each 0 for a
// negative S and at most 255; the top byte is the low 8 bits of green's S.
// count <= 0 does nothing.
void blurSpanRight(uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sx, int32_t sy, int32_t stepX);
void blurSpanLeft(uint32_t* dst, const uint32_t* frame, int32_t count, int32_t sx, int32_t sy, int32_t stepX);

// Zoom feedback about (160, 100) with the sample offset scaled by
// k = trunc(amount * 65535) / 65536: each pixel becomes the per-byte average
// (each byte halved, then added) of the sample and itself. amount above
// 0.999, or NaN, leaves the frame unchanged; below 0 counts as 0.
void zoomFeedback(uint32_t* frame, double amount);

}  // namespace marrow
