// Keyframe tracks: reading, attaching, tangents, search, ease and Hermite
// evaluation, hide and morph tracks, wrapping.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "scene_util.h"

using namespace scenetest;

namespace {

w::Track posTrack(std::vector<w::Key> keys, w::TrackMode mode = w::TrackMode::Once) {
    return {w::TrackKind::Position, mode, std::move(keys)};
}

w::Spline tcb(float t, float c, float b, float easeTo = 0, float easeFrom = 0) {
    return {t, c, b, easeTo, easeFrom};
}

void expectVec(const orin_vector& v, float x, float y, float z, const std::string& what = "") {
    EXPECT_EQ(v.x, x) << what;
    EXPECT_EQ(v.y, y) << what;
    EXPECT_EQ(v.z, z) << what;
}

orin_vector evalVec(orin_track* t, float frame) {
    orin_vector v{-1, -1, -1};
    EXPECT_EQ(orin_eval_vector(t, frame, &v), ORIN_OK) << frame;
    return v;
}

// ---- an independent Kochanek-Bartels spline in double precision ----------------------------

struct RefKey {
    double f;
    double v[3];
    double tension, continuity, bias, easeTo, easeFrom;
    double tin[3] = {0, 0, 0}, tout[3] = {0, 0, 0};
};

RefKey refKey(const w::Key& k) {
    // Library order: (x, z, y) of the file.
    return {double(k.frame), {k.v.x, k.v.z, k.v.y}, k.spline.tension, k.spline.continuity,
            k.spline.bias, k.spline.easeTo, k.spline.easeFrom};
}

// Tangents of K from its neighbours: a and b are the spacings of P and N
// relative to half their distance.
void refTangents(RefKey& k, const RefKey& p, const RefKey& n, double half, double dIn, double dOut) {
    double a = dIn / half, b = dOut / half, C = std::fabs(k.continuity);
    double adjIn = C + a - C * a, adjOut = C + b - C * b;
    double T = (1 - k.tension) / 2, c = k.continuity, s = k.bias;
    for (int i = 0; i < 3; ++i) {
        double g1 = k.v[i] - p.v[i], g2 = n.v[i] - k.v[i];
        k.tin[i] = adjIn * T * (1 - c) * (1 + s) * g1 + adjIn * T * (1 + c) * (1 - s) * g2;
        k.tout[i] = adjOut * T * (1 + c) * (1 + s) * g1 + adjOut * T * (1 - c) * (1 - s) * g2;
    }
}

std::vector<RefKey> refSpline(const std::vector<w::Key>& keys, bool loop) {
    std::vector<RefKey> k;
    for (const w::Key& key : keys) k.push_back(refKey(key));
    size_t n = k.size();
    for (size_t i = 1; i + 1 < n; ++i)
        refTangents(k[i], k[i - 1], k[i + 1], (k[i + 1].f - k[i - 1].f) / 2, k[i].f - k[i - 1].f,
                    k[i + 1].f - k[i].f);
    double L = k[n - 1].f;
    if (loop) {
        const RefKey p = k[n - 2], nx = k[1];
        refTangents(k[0], p, nx, (nx.f - p.f + L) / 2, k[0].f - p.f + L, nx.f - k[0].f);
        refTangents(k[n - 1], p, nx, (nx.f - p.f + L) / 2, k[n - 1].f - p.f, nx.f - k[n - 1].f + L);
    } else {
        // Open ends, as the rule is written: first key K0 from K1 and K2,
        // last key Kn from Kn-1 and Kn-2, every difference taken forward in
        // time.
        const RefKey &k0 = k[0], &k1 = k[1], &k2 = k[2];
        const RefKey &kn = k[n - 1], &kn1 = k[n - 2], &kn2 = k[n - 3];
        double s0 = 0.25 - (k1.f - k0.f) / (2 * (k2.f - k0.f));
        double sn = 0.25 - (kn.f - kn1.f) / (2 * (kn.f - kn2.f));
        for (int i = 0; i < 3; ++i) {
            double D = k2.v[i] - k0.v[i], E = k1.v[i] - k0.v[i];
            k[0].tout[i] = (1 - k0.tension) * (D / 2 + 1.5 * (E - D / 2) + s0 * D);
            D = kn.v[i] - kn2.v[i];
            E = kn.v[i] - kn1.v[i];
            k[n - 1].tin[i] = (1 - kn.tension) * (D / 2 + 1.5 * (E - D / 2) + sn * D);
            k[0].tin[i] = k[n - 1].tout[i] = 0;
        }
    }
    return k;
}

double refEase(double t, double eFrom, double eTo) {
    double sum = eFrom + eTo;
    if (sum > 1) {
        eFrom /= sum;
        eTo /= sum;
    }
    if (sum == 0) return t;
    double k = 1 / (2 - eFrom - eTo);
    if (t < eFrom) return k / eFrom * t * t;
    if (t < 1 - eTo) return k * (2 * t - eFrom);
    return 1 - k / eTo * (1 - t) * (1 - t);
}

void refEval(const std::vector<RefKey>& k, double frame, double* out) {
    if (frame <= k[0].f) {
        for (int i = 0; i < 3; ++i) out[i] = k[0].v[i];
        return;
    }
    size_t s = 0;
    while (s + 1 < k.size() && frame > k[s + 1].f) ++s;
    if (s + 1 == k.size()) {
        for (int i = 0; i < 3; ++i) out[i] = k[s].v[i];
        return;
    }
    const RefKey &a = k[s], &b = k[s + 1];
    double t = refEase((frame - a.f) / (b.f - a.f), a.easeFrom, b.easeTo);
    double h1 = 2 * t * t * t - 3 * t * t + 1, h2 = 3 * t * t - 2 * t * t * t;
    double h3 = t * t * t - 2 * t * t + t, h4 = t * t * t - t * t;
    for (int i = 0; i < 3; ++i) out[i] = h1 * a.v[i] + h2 * b.v[i] + h3 * a.tout[i] + h4 * b.tin[i];
}

const std::vector<w::Key> kSplineKeys = {
    w::vecKey(0, {0, 0, 0}, tcb(-0.2f, 0, 0, 0, 0.25f)),
    w::vecKey(10, {4, 2, -1}, tcb(0.2f, -0.3f, 0.4f, 0.3f, 0.2f)),
    w::vecKey(25, {1, 5, 3}, tcb(0.1f, 0.5f, -0.25f, 0.5f, 0)),
    w::vecKey(40, {-2, 1, 0.5f}, tcb(0, 0.2f, 0, 0.4f, 0)),
};

void checkAgainstReference(w::TrackMode mode) {
    Loaded l(trackScene({posTrack(kSplineKeys, mode)}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->position;
    ASSERT_NE(t, nullptr);
    auto ref = refSpline(kSplineKeys, mode == w::TrackMode::Loop);
    for (size_t s = 0; s + 1 < kSplineKeys.size(); ++s) {
        double f0 = kSplineKeys[s].frame, f1 = kSplineKeys[s + 1].frame;
        for (double frac : {0.0, 0.1, 0.25, 0.5, 0.8, 0.95, 1.0}) {
            double frame = f0 + (f1 - f0) * frac;
            double want[3];
            // A looping track reads frame last_frame as frame 0.
            refEval(ref, mode == w::TrackMode::Once ? frame : std::fmod(frame, 40.0), want);
            orin_vector got = evalVec(t, float(frame));
            EXPECT_NEAR(got.x, want[0], 2e-5) << "frame " << frame;
            EXPECT_NEAR(got.y, want[1], 2e-5) << "frame " << frame;
            EXPECT_NEAR(got.z, want[2], 2e-5) << "frame " << frame;
            if (mode == w::TrackMode::Once) continue;
            orin_vector again = evalVec(t, float(frame + 80));  // two cycles on
            EXPECT_NEAR(again.x, want[0], 2e-5) << "frame " << frame + 80;
        }
    }
}

}  // namespace

TEST(Track, OneKeyGivesItsValueEverywhere) {
    Loaded l(trackScene({posTrack({w::vecKey(5, {1, 2, 3})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->position;
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->num_keys, 1);
    EXPECT_EQ(t->last_frame, 5.0f);
    for (float f : {0.0f, 5.0f, 7.5f, 1000.0f}) expectVec(evalVec(t, f), 1, 3, 2, std::to_string(f));
}

TEST(Track, HoldsFirstValueBeforeAndLastValueAfter) {
    Loaded l(trackScene({posTrack({w::vecKey(10, {1, 2, 3}), w::vecKey(20, {-4, 5, 6})}),
                         {w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(10, {1, 1, 1}), w::vecKey(20, {2, 2, 2})}}}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->position;
    expectVec(evalVec(t, 0), 1, 3, 2, "before");
    expectVec(evalVec(t, 10), 1, 3, 2, "first key");
    expectVec(evalVec(t, 20), -4, 6, 5, "last key");
    expectVec(evalVec(t, 30), -4, 6, 5, "after");
    // Going back restarts the search: the same frame gives the same value.
    expectVec(evalVec(t, 10), 1, 3, 2, "back");
}

TEST(Track, ScalarTracksReadTheFirstSlot) {
    w::Scene3ds s;
    s.objects.push_back({"Camera01", w::Camera{}});
    w::Keyframer k;
    w::Node cn;
    cn.kind = w::NodeKind::Camera;
    cn.id = 0;
    cn.name = "Camera01";
    cn.tracks = {{w::TrackKind::Fov, w::TrackMode::Once, {w::scalarKey(0, 40), w::scalarKey(10, 60)}},
                 {w::TrackKind::Roll, w::TrackMode::Once, {w::scalarKey(3, -15)}}};
    k.nodes = {cn};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto* tracks = static_cast<orin_camera_tracks*>(l.scene->nodes->tracks);
    float v = 0;
    ASSERT_EQ(orin_eval_scalar(tracks->fov, 5, &v), ORIN_OK);
    EXPECT_NEAR(v, 50.0f, 1e-5);  // two default keys: a straight line
    ASSERT_EQ(orin_eval_scalar(tracks->roll, 50, &v), ORIN_OK);
    EXPECT_EQ(v, -15.0f);
}

// Repeat and loop read the track at fmod(frame, last_frame): last_frame is
// frame 0 again. A colour track never wraps.
TEST(Track, RepeatAndLoopWrapColourHolds) {
    for (w::TrackMode mode : {w::TrackMode::Repeat, w::TrackMode::Loop}) {
        std::vector<w::Key> keys = {w::vecKey(0, {0, 0, 0}), w::vecKey(10, {5, 1, 2}), w::vecKey(20, {3, 3, 9})};
        Loaded l(trackScene({posTrack(keys, mode), {w::TrackKind::Color, mode, {w::vecKey(0, {0, 0, 0}), w::vecKey(10, {0.5f, 0.25f, 1})}}}));
        ASSERT_EQ(l.motion, ORIN_OK);
        orin_object_tracks* ts = firstObjectTracks(l);
        // A colour track is not an object track: the reader dropped it.
        EXPECT_EQ(ts->position->mode, mode == w::TrackMode::Loop ? ORIN_TRACK_LOOP : ORIN_TRACK_REPEAT);
        orin_vector at0 = evalVec(ts->position, 0), at5 = evalVec(ts->position, 5);
        orin_vector at20 = evalVec(ts->position, 20), at25 = evalVec(ts->position, 25);
        orin_vector at45 = evalVec(ts->position, 45);
        expectVec(at20, at0.x, at0.y, at0.z, "last_frame is frame 0");
        expectVec(at25, at5.x, at5.y, at5.z, "last_frame + 5 is frame 5");
        expectVec(at45, at5.x, at5.y, at5.z, "two cycles on");
    }
    // Colour on an omni light, mode loop, past its last key: the last colour.
    w::Scene3ds s;
    s.objects.push_back({"Omni", w::Light{}});
    w::Keyframer k;
    w::Node ln;
    ln.kind = w::NodeKind::Light;
    ln.id = 0;
    ln.name = "Omni";
    ln.tracks = {{w::TrackKind::Color, w::TrackMode::Loop, {w::vecKey(0, {0, 0, 0}), w::vecKey(10, {0.5f, 0.25f, 1})}}};
    k.nodes = {ln};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* color = static_cast<orin_light_tracks*>(l.scene->nodes->tracks)->color;
    ASSERT_NE(color, nullptr);
    orin_color c{};
    ASSERT_EQ(orin_eval_color(color, 15, &c), ORIN_OK);
    EXPECT_EQ(c.r, 0.5f);
    EXPECT_EQ(c.g, 0.25f);  // colours keep their order (no y/z exchange)
    EXPECT_EQ(c.b, 1.0f);
}

TEST(Track, HideKeysToggleFromHidden) {
    w::Key h0, h1, h2;
    h0.frame = 0;
    h1.frame = 10;
    h2.frame = 30;
    Loaded l(trackScene({{w::TrackKind::Hide, w::TrackMode::Once, {h0, h1, h2}}}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->hide;
    ASSERT_NE(t, nullptr);
    auto hidden = [&](float f) {
        int32_t h = -1;
        EXPECT_EQ(orin_eval_hide(t, f, &h), ORIN_OK);
        return h;
    };
    // Frames 0..10 hidden, shown after 10 until the third key hides again.
    EXPECT_EQ(hidden(0), 1);
    EXPECT_EQ(hidden(5), 1);
    EXPECT_EQ(hidden(10), 1);
    EXPECT_EQ(hidden(10.5f), 0);
    EXPECT_EQ(hidden(30), 0);
    EXPECT_EQ(hidden(31), 1);
    // The answer does not depend on the frames visited before.
    EXPECT_EQ(hidden(10), 1);

    // Keys from frame 5: nothing hidden before the first key.
    w::Key a, b;
    a.frame = 5;
    b.frame = 10;
    Loaded l2(trackScene({{w::TrackKind::Hide, w::TrackMode::Once, {a, b}}}));
    int32_t h = -1;
    ASSERT_EQ(orin_eval_hide(firstObjectTracks(l2)->hide, 2, &h), ORIN_OK);
    EXPECT_EQ(h, 0);
    // Through the update: the object's hidden flag.
    orin_set_scene(l2.scene);
    ASSERT_EQ(orin_set_frame(7), ORIN_OK);
    ASSERT_EQ(orin_update(), ORIN_OK);
    EXPECT_TRUE(l2.record<orin_object>("A")->flags & ORIN_OBJ_HIDDEN);
    ASSERT_EQ(orin_set_frame(12), ORIN_OK);
    ASSERT_EQ(orin_update(), ORIN_OK);
    EXPECT_FALSE(l2.record<orin_object>("A")->flags & ORIN_OBJ_HIDDEN);
}

// Eases of 0.75 and 0.75 pass the whole segment: they become 0.5 and 0.5,
// k = 1, so t' = 2t^2 up to the middle and 1 - 2(1 - t)^2 after it. Two
// default keys make the cubic a straight line in t'.
TEST(Track, EasesAboveOneAreScaled) {
    Loaded l(trackScene({posTrack({w::vecKey(0, {0, 0, 0}, tcb(0, 0, 0, 0, 0.75f)),
                                   w::vecKey(10, {8, 0, 0}, tcb(0, 0, 0, 0.75f, 0))})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->position;
    EXPECT_NEAR(evalVec(t, 2.5f).x, 8 * 2 * 0.25 * 0.25, 1e-5);
    EXPECT_NEAR(evalVec(t, 5.0f).x, 8 * 0.5, 1e-5);
    EXPECT_NEAR(evalVec(t, 7.5f).x, 8 * (1 - 2 * 0.25 * 0.25), 1e-5);
}

// No ease into the next key but an ease out of this one: at the next key's
// own frame the last ease branch would divide by that ease of 0.
TEST(Track, EaseIntoAKeyOfZeroGivesItsValue) {
    Loaded l(trackScene({posTrack({w::vecKey(0, {0, 0, 0}, tcb(0, 0, 0, 0, 0.5f)),
                                   w::vecKey(10, {8, 4, 2}, tcb(0, 0, 0, 0, 0)),
                                   w::vecKey(20, {1, 1, 1})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->position;
    expectVec(evalVec(t, 10), 8, 2, 4, "at the key");
    orin_vector v = evalVec(t, 9.99f);
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    // And in the update, the object's matrix carries no NaN.
    orin_set_scene(l.scene);
    ASSERT_EQ(orin_set_frame(10), ORIN_OK);
    ASSERT_EQ(orin_update(), ORIN_OK);
    EXPECT_EQ(l.record<orin_object>("A")->translate.x, 8.0f);
}

TEST(Track, NegativeFrameAndMissingTrack) {
    Loaded l(trackScene({posTrack({w::vecKey(0, {1, 2, 3})})}));
    orin_track* t = firstObjectTracks(l)->position;
    orin_vector v{7, 7, 7};
    orin_color c{7, 7, 7};
    float f = 7;
    int32_t h = 7, from = 7, to = 7;
    float alpha = 7;
    orin_quat q{7, 7, 7, 7};
    EXPECT_EQ(orin_eval_vector(t, -1, &v), ORIN_ERR_FRAME);
    EXPECT_EQ(orin_eval_color(t, -0.5f, &c), ORIN_ERR_FRAME);
    EXPECT_EQ(orin_eval_scalar(t, -1, &f), ORIN_ERR_FRAME);
    EXPECT_EQ(orin_eval_hide(t, -1, &h), ORIN_ERR_FRAME);
    EXPECT_EQ(orin_eval_morph(t, -1, &from, &to, &alpha), ORIN_ERR_FRAME);
    EXPECT_EQ(orin_eval_rotation(t, -1, &q), ORIN_ERR_FRAME);
    expectVec(v, 7, 7, 7);
    EXPECT_EQ(c.r, 7.0f);
    EXPECT_EQ(f, 7.0f);
    EXPECT_EQ(h, 7);
    EXPECT_EQ(from + to, 14);
    EXPECT_EQ(q.w, 7.0f);
    EXPECT_EQ(t->cursor, t->keys);  // the cursor did not move either

    EXPECT_EQ(orin_eval_vector(nullptr, 1, &v), ORIN_ERR_NULL);
    expectVec(v, 7, 7, 7);
    EXPECT_EQ(orin_eval_hide(nullptr, 1, &h), ORIN_ERR_NULL);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(orin_eval_rotation(nullptr, 1, &q), ORIN_ERR_NULL);
    EXPECT_EQ(orin_add_key(nullptr, nullptr, 0), ORIN_ERR_NULL);
}

TEST(Track, MorphKeysNameTargets) {
    w::Scene3ds s;
    w::Mesh m;
    m.vertices = {{0, 0, 0}};
    for (const char* n : {"A", "B", "C"}) s.objects.push_back({n, m});
    w::Keyframer k;
    w::Node n = w::objectNode("A", 0);
    w::Key k0, k1;
    k0.frame = 10;
    k0.target = "B";
    k1.frame = 20;
    k1.target = "C";
    k1.spline.easeTo = 0.5f;
    n.tracks = {{w::TrackKind::Morph, w::TrackMode::Once, {k0, k1}}};
    k.nodes = {n};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->morph;
    int32_t idB = l.record<orin_object>("B")->id, idC = l.record<orin_object>("C")->id;
    int32_t from = -1, to = -1;
    float alpha = -1;
    // Before the first key: that key alone, fully.
    ASSERT_EQ(orin_eval_morph(t, 5, &from, &to, &alpha), ORIN_OK);
    EXPECT_EQ(from, idB);
    EXPECT_EQ(to, idB);
    EXPECT_EQ(alpha, 1.0f);
    // Between: eased t with an ease of 0.5 into C: k = 1 / 1.5, t = 0.25
    // is on the straight part, k (2t - 0) = 1/3.
    ASSERT_EQ(orin_eval_morph(t, 12.5f, &from, &to, &alpha), ORIN_OK);
    EXPECT_EQ(from, idB);
    EXPECT_EQ(to, idC);
    EXPECT_NEAR(alpha, (1 / 1.5) * 0.5, 1e-6);
    // After the last key: from the key before it to the last, fully.
    ASSERT_EQ(orin_eval_morph(t, 50, &from, &to, &alpha), ORIN_OK);
    EXPECT_EQ(from, idB);
    EXPECT_EQ(to, idC);
    EXPECT_EQ(alpha, 1.0f);

    // A key naming an object that does not exist fails the motion pass.
    s.keyframer->nodes[0].tracks[0].keys[1].target = "Nobody";
    Loaded bad(w::build3ds(s));
    EXPECT_EQ(bad.world, ORIN_OK);
    EXPECT_EQ(bad.motion, ORIN_ERR_LOOKUP);
    EXPECT_EQ(bad.scene->nodes, nullptr);
}

TEST(Track, HermiteOpenTrackMatchesReference) { checkAgainstReference(w::TrackMode::Once); }
TEST(Track, HermiteLoopTrackMatchesReference) { checkAgainstReference(w::TrackMode::Loop); }

// Two keys: straight tangents, the difference scaled by (1 - tension) of
// each key; the outer ends stay 0.
TEST(Track, TwoKeyTangents) {
    Loaded l(trackScene({posTrack({w::vecKey(0, {1, 0, 0}, tcb(0.5f, 0.3f, 0.2f)),
                                   w::vecKey(10, {5, 0, 2}, tcb(-0.5f, 0, 0))})}));
    orin_key* k0 = firstObjectTracks(l)->position->keys;
    orin_key* k1 = k0->next;
    EXPECT_EQ(k0->tangent_in[0], 0.0f);
    EXPECT_FLOAT_EQ(k0->tangent_out[0], 4 * 0.5f);
    EXPECT_FLOAT_EQ(k0->tangent_out[1], 2 * 0.5f);  // library y is the file's z
    EXPECT_FLOAT_EQ(k0->tangent_out[2], 0.0f);
    EXPECT_FLOAT_EQ(k1->tangent_in[0], 4 * 1.5f);
    EXPECT_FLOAT_EQ(k1->tangent_in[1], 2 * 1.5f);
    EXPECT_EQ(k1->tangent_out[0], 0.0f);
    EXPECT_FLOAT_EQ(k0->tension, 0.5f);
    EXPECT_FLOAT_EQ(k0->continuity, 0.3f);
    EXPECT_FLOAT_EQ(k0->bias, 0.2f);

    // Evaluated by hand: x runs 1 -> 5 with tangents 2 and 6. At t = 1/2
    // the Hermite weights are 1/2, 1/2, 1/8, -1/8: 3 + 0.25 - 0.75 = 2.5.
    // At t = 1/4 they are 27/32, 5/32, 9/64, -3/64:
    // 27/32 + 25/32 + 18/64 - 18/64 = 1.625.
    orin_track* t = firstObjectTracks(l)->position;
    EXPECT_NEAR(evalVec(t, 5).x, 2.5, 1e-6);
    EXPECT_NEAR(evalVec(t, 2.5f).x, 1.625, 1e-6);
}

// Three keys on a straight line at frames 0, 10, 20, no parameters: both
// ends get the tangent +10 (D = 20, E = 10, k = 0), so the motion is the
// line itself: 15 at frame 15, not a swing past the last key and back.
TEST(Track, ThreeKeysOnALineHandWorked) {
    Loaded l(trackScene({posTrack({w::vecKey(0, {0, 0, 0}), w::vecKey(10, {10, 0, 0}), w::vecKey(20, {20, 0, 0})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->position;
    EXPECT_FLOAT_EQ(t->keys->tangent_out[0], 10);
    EXPECT_FLOAT_EQ(t->keys->next->next->tangent_in[0], 10);
    EXPECT_NEAR(evalVec(t, 15).x, 15, 1e-5);
    EXPECT_NEAR(evalVec(t, 5).x, 5, 1e-5);
}

// Tension, continuity and bias worked on paper. Keys x = 0, 10, 40 at
// frames 0, 10, 30; the middle key has tension 0.5, continuity 0.5, bias
// 0.5 (all exact in binary).
//   middle: g1 = 10, g2 = 30, half = 15, a = 2/3, b = 4/3, C = 0.5,
//     adjIn = 0.5 + 2/3 - 1/3 = 5/6, adjOut = 0.5 + 4/3 - 2/3 = 7/6,
//     T = 0.25; weights 5/6 * 0.25 * 0.5 * 1.5 = 0.15625,
//     5/6 * 0.25 * 1.5 * 0.5 = 0.15625, 7/6 * 0.25 * 1.5 * 1.5 = 0.65625,
//     7/6 * 0.25 * 0.5 * 0.5 = 0.0729167;
//     in = 0.15625 * 40 = 6.25, out = 6.5625 + 2.1875 = 8.75.
//   first: D = 40, E = 10, k = 1/4 - 10/60 = 1/12:
//     out = 20 + 1.5 * (10 - 20) + 40/12 = 8.33333.
//   last: D = 40 - 0 = 40, E = 40 - 10 = 30, k = 1/4 - 20/60 = -1/12:
//     in = 20 + 1.5 * (30 - 20) - 40/12 = 31.66667.
//   frame 5 (t = 1/2): 5 + (8.33333 - 6.25) / 8 = 5.26042;
//   frame 20 (t = 1/2): 25 + (8.75 - 31.66667) / 8 = 22.13542.
TEST(Track, TensionContinuityBiasHandWorked) {
    Loaded l(trackScene({posTrack({w::vecKey(0, {0, 0, 0}), w::vecKey(10, {10, 0, 0}, tcb(0.5f, 0.5f, 0.5f)),
                                   w::vecKey(30, {40, 0, 0})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->position;
    const orin_key *k0 = t->keys, *k1 = k0->next, *k2 = k1->next;
    EXPECT_NEAR(k0->tangent_out[0], 8.33333, 1e-4);
    EXPECT_NEAR(k1->tangent_in[0], 6.25, 1e-4);
    EXPECT_NEAR(k1->tangent_out[0], 8.75, 1e-4);
    EXPECT_NEAR(k2->tangent_in[0], 31.66667, 1e-4);
    EXPECT_NEAR(evalVec(t, 5).x, 5.26042, 1e-4);
    EXPECT_NEAR(evalVec(t, 20).x, 22.13542, 1e-4);
}

// ---- properties every spline kind must have -------------------------------------------------

namespace {

const w::TrackKind kSplineKinds[] = {w::TrackKind::Position, w::TrackKind::Scale, w::TrackKind::Color,
                                     w::TrackKind::Fov, w::TrackKind::Roll};

// One track of `kind` on a node that takes it (position and scale on an
// object, colour on an omni light, FOV and roll on the camera), evaluated
// through that kind's own operation. Scalar kinds use the keys' x.
struct KindTrack {
    w::TrackKind kind;
    std::unique_ptr<Loaded> loaded;
    orin_track* track = nullptr;

    KindTrack(w::TrackKind k, w::TrackMode mode, const std::vector<w::Key>& keys) : kind(k) {
        w::Track tr{k, mode, keys};
        if (k == w::TrackKind::Position || k == w::TrackKind::Scale) {
            loaded = std::make_unique<Loaded>(trackScene({tr}));
        } else {
            w::Scene3ds s;
            w::Node n;
            n.id = 0;
            if (k == w::TrackKind::Color) {
                s.objects.push_back({"Omni", w::Light{}});
                n.kind = w::NodeKind::Light;
                n.name = "Omni";
            } else {
                s.objects.push_back({"Camera01", w::Camera{}});
                n.kind = w::NodeKind::Camera;
                n.name = "Camera01";
            }
            n.tracks = {tr};
            w::Keyframer kf;
            kf.nodes = {n};
            s.keyframer = kf;
            loaded = std::make_unique<Loaded>(w::build3ds(s));
        }
        EXPECT_EQ(loaded->motion, ORIN_OK);
        void* ts = loaded->scene->nodes->tracks;
        switch (k) {
        case w::TrackKind::Position: track = static_cast<orin_object_tracks*>(ts)->position; break;
        case w::TrackKind::Scale: track = static_cast<orin_object_tracks*>(ts)->scale; break;
        case w::TrackKind::Color: track = static_cast<orin_light_tracks*>(ts)->color; break;
        case w::TrackKind::Fov: track = static_cast<orin_camera_tracks*>(ts)->fov; break;
        default: track = static_cast<orin_camera_tracks*>(ts)->roll; break;
        }
        EXPECT_NE(track, nullptr);
    }
    int components() const { return kind == w::TrackKind::Fov || kind == w::TrackKind::Roll ? 1 : 3; }
    // Components in file order (x, y, z) or (r, g, b).
    std::array<double, 3> at(float frame) const {
        std::array<double, 3> r{0, 0, 0};
        if (kind == w::TrackKind::Fov || kind == w::TrackKind::Roll) {
            float v = 0;
            EXPECT_EQ(orin_eval_scalar(track, frame, &v), ORIN_OK);
            r[0] = v;
        } else if (kind == w::TrackKind::Color) {
            orin_color c{};
            EXPECT_EQ(orin_eval_color(track, frame, &c), ORIN_OK);
            r = {c.r, c.g, c.b};
        } else {
            orin_vector v{};
            EXPECT_EQ(orin_eval_vector(track, frame, &v), ORIN_OK);
            r = {v.x, v.z, v.y};
        }
        return r;
    }
};

std::string kindName(w::TrackKind k) {
    switch (k) {
    case w::TrackKind::Position: return "position";
    case w::TrackKind::Scale: return "scale";
    case w::TrackKind::Color: return "colour";
    case w::TrackKind::Fov: return "fov";
    default: return "roll";
    }
}

}  // namespace

// Keys on a straight line passed at a constant speed give that line at
// every frame, in every segment, first and last included: equally spaced
// (0, 10, 20) and unequally spaced (20, 40, 45, 60) alike.
TEST(TrackProperty, KeysAtConstantSpeedGiveLinearMotion) {
    const w::Vec3 a{3, -2, 40}, b{0.5f, -0.25f, 1.5f};  // value = a + b * frame
    std::vector<w::Key> keys;
    for (uint32_t f : {0u, 10u, 20u, 40u, 45u, 60u})
        keys.push_back(w::vecKey(f, {a.x + b.x * f, a.y + b.y * f, a.z + b.z * f}));
    for (w::TrackKind kind : kSplineKinds) {
        KindTrack t(kind, w::TrackMode::Once, keys);
        for (float f = 0; f <= 60; f += 0.5f) {
            std::array<double, 3> got = t.at(f);
            const double want[3] = {a.x + b.x * f, a.y + b.y * f, a.z + b.z * f};
            for (int i = 0; i < t.components(); ++i)
                EXPECT_NEAR(got[i], want[i], 1e-4 * (1 + std::fabs(want[i]))) << kindName(kind) << " frame " << f;
        }
    }
}

// Played backwards (keys mirrored about the middle frame; bias changes
// sign and the two eases of a key trade places, as both are directional)
// an open track traces the same curve backwards: the first segment is the
// mirror image of the last, and so on inwards.
TEST(TrackProperty, ReversedOpenTrackMirrorsItsCurve) {
    const std::vector<w::Key> keys = {
        w::vecKey(0, {0, 5, 1}, tcb(0.3f, 0, 0, 0, 0.2f)),
        w::vecKey(8, {6, -2, 4}, tcb(0.2f, -0.4f, 0.3f, 0.1f, 0.3f)),
        w::vecKey(20, {2, 7, -3}, tcb(-0.3f, 0.5f, -0.2f, 0.25f, 0)),
        w::vecKey(27, {9, 1, 0}, tcb(0, 0.2f, 0.6f, 0, 0.4f)),
        w::vecKey(40, {4, 4, 12}, tcb(0.4f, 0, 0, 0.3f, 0)),
    };
    const uint32_t F = 40;
    std::vector<w::Key> mirrored;
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        w::Key m = *it;
        m.frame = F - it->frame;
        m.spline.bias = -it->spline.bias;
        std::swap(m.spline.easeTo, m.spline.easeFrom);
        mirrored.push_back(m);
    }
    for (w::TrackKind kind : kSplineKinds) {
        KindTrack fwd(kind, w::TrackMode::Once, keys), back(kind, w::TrackMode::Once, mirrored);
        for (float f = 0; f <= F; f += 0.25f) {
            std::array<double, 3> p = fwd.at(f), q = back.at(float(F) - f);
            for (int i = 0; i < fwd.components(); ++i)
                EXPECT_NEAR(p[i], q[i], 1e-4 * (1 + std::fabs(p[i]))) << kindName(kind) << " frame " << f;
        }
    }
}

// A looping track whose last key repeats its first is continuous across
// the loop point, in value and in speed: the last segment's speed into the
// last key (tangent over segment length) is the first segment's out of the
// first key. Colour tracks never wrap, so they are not asked.
TEST(TrackProperty, LoopingTrackIsContinuousAcrossTheLoopPoint) {
    const std::vector<w::Key> keys = {w::vecKey(0, {2, -3, 5}), w::vecKey(12, {8, 1, 0}, tcb(0.2f, 0.1f, -0.3f)),
                                      w::vecKey(25, {-4, 6, 2}), w::vecKey(40, {2, -3, 5})};
    for (w::TrackKind kind : kSplineKinds) {
        if (kind == w::TrackKind::Color) continue;
        KindTrack t(kind, w::TrackMode::Loop, keys);
        const orin_key* first = t.track->keys;
        const orin_key* last = first;
        while (last->next) last = last->next;
        for (int i = 0; i < t.components(); ++i) {
            double into = last->tangent_in[i] / (40.0 - 25.0), outOf = first->tangent_out[i] / 12.0;
            EXPECT_NEAR(into, outOf, 1e-5) << kindName(kind) << " slot " << i;
        }
        // Just before and just after the loop point, one or two cycles on.
        for (float base : {40.0f, 80.0f}) {
            std::array<double, 3> before = t.at(base - 0.01f), after = t.at(base + 0.01f), at = t.at(base);
            for (int i = 0; i < t.components(); ++i) {
                EXPECT_NEAR(before[i], at[i], 0.02) << kindName(kind) << " " << base;
                EXPECT_NEAR(after[i], at[i], 0.02) << kindName(kind) << " " << base;
                // Equal steps either side: the point sits on a smooth curve.
                EXPECT_NEAR(after[i] - at[i], at[i] - before[i], 2e-3) << kindName(kind) << " " << base;
            }
        }
    }
}


// A repeating track whose last key is at frame 0: fmod gives no number and
// every comparison fails, so the first key's value comes out (hide: shown,
// rotation: the first key's), and no NaN reaches the object.
TEST(Track, WrapByLastFrameZeroGivesFirstKey) {
    w::Key h0, h1;
    h0.frame = 4;
    h1.frame = 0;
    Loaded l(trackScene({posTrack({w::vecKey(5, {1, 2, 3}), w::vecKey(0, {9, 9, 9})}, w::TrackMode::Repeat),
                         {w::TrackKind::Scale, w::TrackMode::Repeat, {w::vecKey(0, {2, 2, 2})}},
                         {w::TrackKind::Rotation, w::TrackMode::Loop, {w::rotKey(3, 0.5f, {0, 0, 1}), w::rotKey(0, 1, {0, 0, 1})}},
                         {w::TrackKind::Hide, w::TrackMode::Repeat, {h0, h1}}}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_object_tracks* ts = firstObjectTracks(l);
    EXPECT_EQ(ts->position->last_frame, 0.0f);
    expectVec(evalVec(ts->position, 3), 1, 3, 2);
    int32_t h = -1;
    ASSERT_EQ(orin_eval_hide(ts->hide, 3, &h), ORIN_OK);
    EXPECT_EQ(h, 0);
    orin_quat q{};
    ASSERT_EQ(orin_eval_rotation(ts->rotation, 3, &q), ORIN_OK);
    EXPECT_FLOAT_EQ(q.w, std::cos(0.25f));
    EXPECT_FLOAT_EQ(q.y, std::sin(0.25f));

    orin_set_scene(l.scene);
    ASSERT_EQ(orin_set_frame(3), ORIN_OK);
    ASSERT_EQ(orin_update(), ORIN_OK);
    auto* o = l.record<orin_object>("A");
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_TRUE(std::isfinite(o->matrix.m[i][j])) << i << j;
    EXPECT_FALSE(o->flags & ORIN_OBJ_HIDDEN);
}

// ---- reading and attaching ------------------------------------------------------------------

namespace {

// Object node 0 for mesh "A" holding the raw track chunk `track`.
std::vector<uint8_t> rawTrackFile(const std::vector<uint8_t>& track) {
    w::ChunkWriter e;
    w::Mesh m;
    m.vertices = {{0, 0, 0}};
    w::writeObject(e, {"A", m});
    w::ChunkWriter k;
    k.begin(0xB000);
    k.begin(0xB008);
    k.u32(0);
    k.u32(100);
    k.end();
    k.begin(0xB002);
    k.begin(0xB030);
    k.u16(0);
    k.end();
    k.begin(0xB010);
    k.str("A");
    k.u16(0);
    k.u16(0);
    k.s16(-1);
    k.end();
    k.bytes(track.data(), track.size());
    k.end();
    k.end();
    return wrapFile(e.data(), k.data());
}

void trackHeader(w::ChunkWriter& c, uint16_t id, uint16_t flags, uint16_t keys) {
    c.begin(id);
    c.u16(flags);
    c.u32(0);
    c.u32(0);
    c.u16(keys);
    c.u16(0);
}

}  // namespace

// Spline flag bits 5..15 each bring a real that is read and dropped.
TEST(Track, UnusedSplineParametersAreSkipped) {
    w::ChunkWriter c;
    trackHeader(c, 0xB020, 0, 1);
    c.u16(7);   // frame
    c.u16(0);   // high half of the frame
    c.u16(0x8021);  // tension, bit 5, bit 15
    c.f32(0.25f);
    c.f32(111.0f);
    c.f32(222.0f);
    c.f32(1);
    c.f32(2);
    c.f32(3);
    c.end();
    Loaded l(rawTrackFile(c.data()));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = firstObjectTracks(l)->position;
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->keys->frame, 7.0f);
    EXPECT_EQ(t->keys->tension, 0.25f);
    EXPECT_EQ(t->keys->continuity, 0.0f);
    expectVec(evalVec(t, 0), 1, 3, 2);
}

TEST(Track, ShortTrackFailsTheMotionPass) {
    w::ChunkWriter c;
    trackHeader(c, 0xB020, 0, 2);  // two keys announced, one written
    c.u16(0);
    c.u16(0);
    c.u16(0);
    c.f32(1);
    c.f32(2);
    c.f32(3);
    c.u16(5);
    c.end();
    Loaded l(rawTrackFile(c.data()));
    EXPECT_EQ(l.motion, ORIN_ERR_READ);
    EXPECT_EQ(l.scene->nodes, nullptr);
}

TEST(Track, ModeFromHeaderFlags) {
    const struct {
        uint16_t flags;
        int32_t mode;
    } cases[] = {{0, ORIN_TRACK_ONCE}, {1, ORIN_TRACK_ONCE}, {2, ORIN_TRACK_REPEAT}, {3, ORIN_TRACK_LOOP}, {0x13, ORIN_TRACK_LOOP}};
    for (const auto& cs : cases) {
        w::ChunkWriter c;
        trackHeader(c, 0xB022, cs.flags, 0);  // a scale track without keys
        c.end();
        Loaded l(rawTrackFile(c.data()));
        ASSERT_EQ(l.motion, ORIN_OK);
        orin_track* t = firstObjectTracks(l)->scale;
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->mode, cs.mode) << cs.flags;
        EXPECT_EQ(t->num_keys, 0);
        orin_vector v{};
        EXPECT_EQ(orin_eval_vector(t, 0, &v), ORIN_ERR_NULL);
    }
}

// A second track of one kind replaces the first (which is freed); a track
// the node does not take is dropped (and freed) without failing the pass.
TEST(Track, AssignReplacesAndDropsTracks) {
    w::Scene3ds s;
    s.objects.push_back({"Camera01", w::Camera{}});
    w::Mesh m;
    m.vertices = {{0, 0, 0}};
    s.objects.push_back({"A", m});
    w::Keyframer k;
    w::Node cn;
    cn.kind = w::NodeKind::Camera;
    cn.id = 0;
    cn.name = "Camera01";
    cn.tracks = {{w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {1, 1, 1})}},
                 {w::TrackKind::Hide, w::TrackMode::Once, {w::Key{}}},
                 {w::TrackKind::Fov, w::TrackMode::Once, {w::scalarKey(0, 30)}}};
    w::Node on = w::objectNode("A", 1);
    on.tracks = {posTrack({w::vecKey(0, {1, 1, 1})}), posTrack({w::vecKey(0, {2, 2, 2})})};
    k.nodes = {cn, on};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto* ct = static_cast<orin_camera_tracks*>(l.scene->nodes->tracks);
    EXPECT_EQ(ct->position, nullptr);
    EXPECT_EQ(ct->roll, nullptr);
    ASSERT_NE(ct->fov, nullptr);
    auto* ot = static_cast<orin_object_tracks*>(l.scene->nodes->next->tracks);
    expectVec(evalVec(ot->position, 0), 2, 2, 2);

    // The operation itself: codes and ownership.
    orin_track* t = static_cast<orin_track*>(calloc(1, sizeof(orin_track)));
    int placed = -1;
    EXPECT_EQ(orin_place_track(ORIN_TRACK_POSITION, 99, t, &placed), ORIN_ERR_LOOKUP);
    EXPECT_EQ(placed, 0);
    EXPECT_EQ(orin_place_track(ORIN_TRACK_MORPH, 0, t, &placed), ORIN_OK);  // camera: no morph slot
    EXPECT_EQ(placed, 0);
    EXPECT_EQ(orin_assign_track(ORIN_TRACK_ROLL, 0, t), ORIN_OK);
    EXPECT_EQ(ct->roll, t);  // the node owns it now
    orin_set_scene(nullptr);
    orin_init(15);
    EXPECT_EQ(orin_assign_track(ORIN_TRACK_ROLL, 0, nullptr), ORIN_ERR_NOT_LOADED);
}
