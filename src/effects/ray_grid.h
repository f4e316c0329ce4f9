// ray_grid.h: ray-cast texture mapping over a grid of 8x8-pixel blocks: the
// inside of a sphere, a tunnel, a plane seen from above, or a flat sheet.
//
// One ray per block corner (41 columns x 26 rows, screen x = -160..160 and
// y = -100..100 in steps of 8, at a focal length of 120), rotated by three
// angles (indices 0..511 into a 512-step sine table, about x, then y, then z)
// and intersected with the chosen surface. Each hit becomes a 16.16 texture
// coordinate pair and a shade 0..63 at the corner; drawBlocks() and
// drawBlocksShaded() fill the blocks between the corners with the same block
// stepping as the plasma.
//
// A frame: set angleX, angleY, angleZ; call one shape step (raySphere, rayFlat,
// rayPlane, rayTunnel); optionally scrollCoords; then one renderer. The corner
// records persist between calls: rayFlat leaves the shades of the previous
// shape step in place, and scrollCoords adds to what the shape step wrote.
//
// Cost: rotation, square roots and trigonometry at the 1066 corners only; per
// pixel two (three when shaded) additions and one texel look-up.
#pragma once

#include <cstdint>

namespace marrow {

class RayGrid {
public:
    static constexpr int kColumns = 41;
    static constexpr int kRows = 26;
    static constexpr int kCorners = kColumns * kRows;  // 1066
    static constexpr int kAngleSteps = 512;            // a full turn

    struct Vec3 {
        double x, y, z;
    };
    // u, v: 16.16 texture coordinates; shade: 0 (black) .. 63 (full).
    struct Corner {
        int32_t u, v, shade;
    };

    // SinTable[i] = sin(i x 6.28318 / 512), CosTable likewise; filled by the
    // construction (every construction writes the same values).
    static double SinTable[kAngleSteps];
    static double CosTable[kAngleSteps];

    RayGrid();
    virtual ~RayGrid();
    RayGrid(const RayGrid&) = delete;
    RayGrid& operator=(const RayGrid&) = delete;

    // Shape steps: cast every corner's ray and overwrite its u, v and shade
    // (rayFlat: u and v only).
    void raySphere();
    void rayFlat();
    void rayPlane();
    void rayTunnel();

    // Scrolls the texture: adds (a & 0xFF) x 8.0 to every u and (b & 0xFF) x
    // 8.0 to every v, wrapping in 32 bits.
    void scrollCoords(int32_t a, int32_t b);

    // Fill all 64000 pixels of dst from the 256x256 texture; the shaded form
    // scales each channel by shade / 64.
    void drawBlocks(uint32_t* dst, const uint32_t* texture) const;
    void drawBlocksShaded(uint32_t* dst, const uint32_t* texture) const;

    // The per-ray parts of the shape steps, for one ray d given after
    // rotation. Each sets `hit` and returns the corner record (castFlat keeps
    // the shade of `previous`).
    Vec3 rotate(Vec3 d) const;
    Corner castSphere(Vec3 d);
    Corner castFlat(Vec3 d, const Corner& previous);
    Corner castPlane(Vec3 d);
    Corner castTunnel(Vec3 d);

    // Column-major index: all 26 rows of column 0 first.
    static constexpr int cornerIndex(int column, int row) { return column * kRows + row; }

    int32_t angleX, angleY, angleZ;  // 0..511
    Vec3 origin;                     // (0, 0, 0): the eye
    Vec3 hit;                        // last intersection (scratch)
    Corner corners[kCorners];        // column-major
    Vec3 rays[kCorners];             // unit screen rays, column-major, never changed

private:
    // The same, setting `at` instead of `hit`.
    Corner castSphere(Vec3 d, Vec3& at) const;
    Corner castFlat(Vec3 d, const Corner& previous, Vec3& at) const;
    Corner castPlane(Vec3 d, Vec3& at) const;
    Corner castTunnel(Vec3 d, Vec3& at) const;

    template <typename Cast>
    void castAll(Cast cast);
};

// The program's one grid; the timeline sets its angles and calls its steps.
extern RayGrid rayGrid;

}  // namespace marrow
