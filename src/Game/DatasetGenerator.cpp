#include "DatasetGenerator.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "DatasetCatalogue.h"
#include "FilePath.h"

namespace FallowTide {

namespace {

using VantorEngine::vec3;
using VantorEngine::VolumeDescription;

constexpr float pi = 3.14159265f;
constexpr float maxValue12 = 4095.0f;
// Noise amplitude in 12-bit units: about one density step (32) so surfaces stay readable.
constexpr float noiseAmplitude = 40.0f;
// Values below this get proportionally less noise, so soft edges fade out cleanly.
constexpr float noiseFullValue = 400.0f;

// One solid of a synthetic scene, in display coordinates: x right, y up, z toward the viewer,
// the volume's box spanning -1..1 on every axis.
struct Solid {
    enum Kind { ellipsoid, capsule, box, torus };
    Kind kind = ellipsoid;
    vec3 centre{0.0f};   // ellipsoid, box, torus centre; capsule start
    vec3 end{0.0f};      // capsule end
    vec3 size{0.0f};     // ellipsoid radii, box half sizes, torus (major, minor, -)
    float radiusStart = 0.0f, radiusEnd = 0.0f;  // capsule radii (tapered)
    float rounding = 0.0f;                       // box corner radius
    float angle = 0.0f;  // rotation (radians) about `axis`
    int axis = 1;        // 0 x, 1 y, 2 z
    float value = 0.0f;  // 12-bit CT value
    bool additive = false;  // add value * coverage instead of painting over
    vec3 low{0.0f}, high{0.0f};  // bounds, set by finish()
};

vec3 rotateInto(const Solid& s, vec3 p) {
    if (s.angle == 0.0f) return p;
    const float c = std::cos(-s.angle), n = std::sin(-s.angle);
    if (s.axis == 0) return vec3(p.x, c * p.y - n * p.z, n * p.y + c * p.z);
    if (s.axis == 1) return vec3(c * p.x + n * p.z, p.y, -n * p.x + c * p.z);
    return vec3(c * p.x - n * p.y, n * p.x + c * p.y, p.z);
}

float distanceTo(const Solid& s, vec3 p) {
    switch (s.kind) {
        case Solid::ellipsoid: {
            const vec3 q = rotateInto(s, p - s.centre) / s.size;
            const float k = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
            return (k - 1.0f) * std::min(s.size.x, std::min(s.size.y, s.size.z));
        }
        case Solid::capsule: {
            const vec3 ba = s.end - s.centre, pa = p - s.centre;
            const float h = std::clamp(glm::dot(pa, ba) / glm::dot(ba, ba), 0.0f, 1.0f);
            return glm::length(pa - ba * h) - (s.radiusStart + (s.radiusEnd - s.radiusStart) * h);
        }
        case Solid::box: {
            const vec3 q = glm::abs(rotateInto(s, p - s.centre)) - (s.size - vec3(s.rounding));
            const vec3 outside = glm::max(q, vec3(0.0f));
            return glm::length(outside) + std::min(std::max(q.x, std::max(q.y, q.z)), 0.0f) - s.rounding;
        }
        case Solid::torus: {
            const vec3 q = rotateInto(s, p - s.centre);
            const float ring = std::sqrt(q.x * q.x + q.z * q.z) - s.size.x;
            return std::sqrt(ring * ring + q.y * q.y) - s.size.y;
        }
    }
    return 1.0f;
}

void finish(Solid& s, float margin) {
    vec3 reach(0.0f);
    switch (s.kind) {
        case Solid::ellipsoid: reach = vec3(std::max(s.size.x, std::max(s.size.y, s.size.z))); break;
        case Solid::box: reach = vec3(glm::length(s.size)); break;
        case Solid::torus: reach = vec3(s.size.x + s.size.y); break;
        case Solid::capsule: {
            const float r = std::max(s.radiusStart, s.radiusEnd);
            s.low = glm::min(s.centre, s.end) - vec3(r + margin);
            s.high = glm::max(s.centre, s.end) + vec3(r + margin);
            return;
        }
    }
    if (s.kind == Solid::ellipsoid && s.angle == 0.0f) reach = s.size;
    if (s.kind == Solid::box && s.angle == 0.0f) reach = s.size;
    s.low = s.centre - reach - vec3(margin);
    s.high = s.centre + reach + vec3(margin);
}

// Builders, in paint order.
struct Scene {
    std::vector<Solid> solids;

    Solid& add(Solid s) {
        solids.push_back(s);
        return solids.back();
    }
    void ellipsoid(vec3 c, vec3 r, float value, float angle = 0.0f, int axis = 1, bool additive = false) {
        Solid s;
        s.kind = Solid::ellipsoid;
        s.centre = c;
        s.size = r;
        s.value = value;
        s.angle = angle;
        s.axis = axis;
        s.additive = additive;
        add(s);
    }
    void capsule(vec3 a, vec3 b, float ra, float rb, float value) {
        Solid s;
        s.kind = Solid::capsule;
        s.centre = a;
        s.end = b;
        s.radiusStart = ra;
        s.radiusEnd = rb;
        s.value = value;
        add(s);
    }
    void box(vec3 c, vec3 half, float value, float rounding = 0.0f, float angle = 0.0f, int axis = 1) {
        Solid s;
        s.kind = Solid::box;
        s.centre = c;
        s.size = half;
        s.rounding = rounding;
        s.value = value;
        s.angle = angle;
        s.axis = axis;
        add(s);
    }
    void torus(vec3 c, float major, float minor, float value, float angle, int axis) {
        Solid s;
        s.kind = Solid::torus;
        s.centre = c;
        s.size = vec3(major, minor, 0.0f);
        s.value = value;
        s.angle = angle;
        s.axis = axis;
        add(s);
    }
    // A chain of capsules through `points`, radius tapering from ra to rb.
    void tube(const std::vector<vec3>& points, float ra, float rb, float value) {
        const size_t n = points.size();
        for (size_t i = 0; i + 1 < n; ++i) {
            const float t0 = float(i) / float(n - 1), t1 = float(i + 1) / float(n - 1);
            capsule(points[i], points[i + 1], ra + (rb - ra) * t0, ra + (rb - ra) * t1, value);
        }
    }
};

// A modified Shepp-Logan head: skull, brain, ventricles and small lesions, added together.
void sheppLoganHead(Scene& scene) {
    struct E { float a, x, y, z, rx, ry, rz, phi; };
    // Phantom coordinates: x left-right, y front-back, z up; values in units of the skull.
    const E parts[] = {
        {1.0f, 0.0f, 0.0f, 0.0f, 0.69f, 0.92f, 0.81f, 0.0f},
        {-0.7f, 0.0f, -0.0184f, 0.0f, 0.6624f, 0.874f, 0.78f, 0.0f},
        {-0.1f, 0.22f, 0.0f, 0.0f, 0.11f, 0.31f, 0.22f, -18.0f},
        {-0.1f, -0.22f, 0.0f, 0.0f, 0.16f, 0.41f, 0.28f, 18.0f},
        {0.1f, 0.0f, 0.35f, -0.15f, 0.21f, 0.25f, 0.41f, 0.0f},
        {0.1f, 0.0f, 0.1f, 0.25f, 0.046f, 0.046f, 0.05f, 0.0f},
        {0.1f, 0.0f, -0.1f, 0.25f, 0.046f, 0.046f, 0.05f, 0.0f},
        {0.1f, -0.08f, -0.605f, 0.0f, 0.046f, 0.023f, 0.05f, 0.0f},
        {0.1f, 0.0f, -0.606f, 0.0f, 0.023f, 0.023f, 0.02f, 0.0f},
        {0.1f, 0.06f, -0.605f, 0.0f, 0.023f, 0.046f, 0.02f, 0.0f},
    };
    constexpr float skullValue = 2800.0f;
    for (const E& e : parts) {
        // Phantom y (front-back) becomes the display z, phantom z (up) the display y.
        scene.ellipsoid(vec3(e.x, e.z, e.y), vec3(e.rx, e.rz, e.ry), e.a * skullValue, e.phi * pi / 180.0f, 1, true);
    }
}

void stagBeetle(Scene& scene) {
    constexpr float shell = 2600.0f, flesh = 900.0f, limb = 2100.0f;
    // Body along x, head toward +x, back up.
    scene.ellipsoid(vec3(-0.22f, 0.0f, 0.0f), vec3(0.45f, 0.2f, 0.3f), shell);      // wing cases
    scene.ellipsoid(vec3(-0.22f, -0.01f, 0.0f), vec3(0.41f, 0.16f, 0.26f), flesh);  // abdomen inside
    scene.capsule(vec3(-0.22f, 0.18f, 0.0f), vec3(0.2f, 0.19f, 0.0f), 0.012f, 0.012f, shell);  // wing seam
    scene.ellipsoid(vec3(0.3f, 0.01f, 0.0f), vec3(0.14f, 0.16f, 0.26f), shell);     // thorax
    scene.ellipsoid(vec3(0.3f, 0.0f, 0.0f), vec3(0.1f, 0.12f, 0.22f), flesh);
    scene.ellipsoid(vec3(0.52f, 0.02f, 0.0f), vec3(0.11f, 0.1f, 0.21f), shell);     // head
    for (int side = -1; side <= 1; side += 2) {
        const float s = float(side);
        // Mandibles: long curved jaws with an inner tooth, the stag's antlers.
        std::vector<vec3> jaw;
        for (int i = 0; i <= 8; ++i) {
            const float t = float(i) / 8.0f;
            jaw.push_back(vec3(0.58f + 0.36f * t, 0.02f + 0.06f * t, s * (0.14f + 0.16f * std::sin(pi * t) - 0.12f * t * t)));
        }
        scene.tube(jaw, 0.045f, 0.018f, shell);
        scene.capsule(jaw[4], jaw[4] + vec3(0.02f, 0.0f, -s * 0.09f), 0.02f, 0.008f, shell);
        // Antennae.
        scene.tube({vec3(0.58f, 0.04f, s * 0.1f), vec3(0.66f, 0.1f, s * 0.26f), vec3(0.74f, 0.12f, s * 0.3f)},
                   0.012f, 0.016f, limb);
        // Three legs: femur out and up, tibia down to the ground, foot forward.
        const float roots[3] = {0.32f, 0.1f, -0.18f};
        const float sweep[3] = {0.12f, 0.0f, -0.16f};
        for (int leg = 0; leg < 3; ++leg) {
            const vec3 hip(roots[leg], -0.1f, s * 0.18f);
            const vec3 knee(roots[leg] + sweep[leg], 0.02f, s * 0.52f);
            const vec3 ankle(roots[leg] + 1.6f * sweep[leg], -0.42f, s * 0.66f);
            const vec3 toe(roots[leg] + 1.6f * sweep[leg] + 0.08f, -0.5f, s * 0.74f);
            scene.capsule(hip, knee, 0.035f, 0.028f, limb);
            scene.capsule(knee, ankle, 0.026f, 0.02f, limb);
            scene.capsule(ankle, toe, 0.016f, 0.012f, limb);
        }
    }
}

void present(Scene& scene) {
    constexpr float ribbon = 2300.0f, card = 1000.0f, toy = 1600.0f;
    const vec3 half(0.6f, 0.42f, 0.6f);
    const vec3 centre(0.0f, -0.25f, 0.0f);
    constexpr float ribbonThickness = 0.025f, ribbonHalfWidth = 0.09f;
    // Two bands crossing over the lid; the box painted after them hides their inner part.
    scene.box(centre, vec3(ribbonHalfWidth, half.y + ribbonThickness, half.z + ribbonThickness), ribbon);
    scene.box(centre, vec3(half.x + ribbonThickness, half.y + ribbonThickness, ribbonHalfWidth), ribbon);
    scene.box(centre, half, card, 0.02f);
    scene.box(centre, half - vec3(0.035f), 0.0f, 0.01f);  // hollow inside
    scene.ellipsoid(centre + vec3(0.0f, -0.12f, 0.0f), vec3(0.28f), toy);  // a ball in the box
    scene.ellipsoid(centre + vec3(0.0f, -0.12f, 0.0f), vec3(0.24f), 0.0f);
    // Bow on the lid: two loops and a knot.
    const vec3 top = centre + vec3(0.0f, half.y + 0.02f, 0.0f);
    scene.torus(top + vec3(0.16f, 0.13f, 0.0f), 0.15f, 0.03f, ribbon, 0.5f * pi, 2);
    scene.torus(top + vec3(-0.16f, 0.13f, 0.0f), 0.15f, 0.03f, ribbon, 0.5f * pi, 2);
    scene.ellipsoid(top + vec3(0.0f, 0.05f, 0.0f), vec3(0.07f, 0.06f, 0.07f), ribbon);
    scene.capsule(top + vec3(0.02f, 0.02f, 0.0f), top + vec3(0.22f, -0.02f, 0.12f), 0.025f, 0.02f, ribbon);
    scene.capsule(top + vec3(-0.02f, 0.02f, 0.0f), top + vec3(-0.22f, -0.02f, 0.14f), 0.025f, 0.02f, ribbon);
}

void christmasTree(Scene& scene) {
    constexpr float needles = 700.0f, wood = 1400.0f, bauble = 3400.0f, star = 4000.0f, pot = 1900.0f;
    scene.box(vec3(0.0f, -0.85f, 0.0f), vec3(0.22f, 0.12f, 0.22f), pot, 0.03f);
    scene.capsule(vec3(0.0f, -0.8f, 0.0f), vec3(0.0f, 0.6f, 0.0f), 0.07f, 0.03f, wood);
    // Stacked cones of needles, each a tapered capsule from a wide base to a point.
    struct Tier { float base, top, radius; };
    const Tier tiers[] = {{-0.7f, -0.15f, 0.62f}, {-0.35f, 0.2f, 0.5f}, {-0.02f, 0.5f, 0.38f}, {0.28f, 0.78f, 0.26f}};
    for (const Tier& t : tiers) scene.capsule(vec3(0.0f, t.base, 0.0f), vec3(0.0f, t.top, 0.0f), t.radius, 0.01f, needles);
    // Baubles on the cone surfaces.
    std::mt19937 random(4);
    for (const Tier& t : tiers) {
        for (int i = 0; i < 9; ++i) {
            const float h = 0.15f + 0.6f * float(random() % 1000) / 1000.0f;
            const float a = 2.0f * pi * float(random() % 1000) / 1000.0f;
            const float r = t.radius * (1.0f - h) + 0.01f;
            const float y = t.base + (t.top - t.base) * h;
            scene.ellipsoid(vec3(r * std::cos(a), y - 0.03f, r * std::sin(a)), vec3(0.045f), bauble);
        }
    }
    // A five-pointed star on top, facing the viewer.
    const vec3 tip(0.0f, 0.86f, 0.0f);
    for (int i = 0; i < 5; ++i) {
        const float a = 0.5f * pi + 2.0f * pi * float(i) / 5.0f;
        scene.capsule(tip, tip + vec3(0.11f * std::cos(a), 0.11f * std::sin(a), 0.0f), 0.03f, 0.008f, star);
    }
}

void stent(Scene& scene) {
    constexpr float metal = 4000.0f, vessel = 500.0f, blood = 300.0f;
    constexpr float radius = 0.5f, halfLength = 0.85f;
    // A faint vessel around the stent.
    scene.capsule(vec3(0.0f, -0.95f, 0.0f), vec3(0.0f, 0.95f, 0.0f), radius + 0.08f, radius + 0.08f, vessel);
    scene.capsule(vec3(0.0f, -0.95f, 0.0f), vec3(0.0f, 0.95f, 0.0f), radius + 0.04f, radius + 0.04f, blood);
    // Two families of helical wires crossing into a diamond mesh, and an end ring each side.
    constexpr int wires = 12, steps = 40;
    for (int family = -1; family <= 1; family += 2) {
        for (int w = 0; w < wires; ++w) {
            std::vector<vec3> points;
            for (int i = 0; i <= steps; ++i) {
                const float t = float(i) / float(steps);
                const float a = 2.0f * pi * float(w) / float(wires) + float(family) * 1.5f * pi * t;
                points.push_back(vec3(radius * std::cos(a), -halfLength + 2.0f * halfLength * t, radius * std::sin(a)));
            }
            scene.tube(points, 0.014f, 0.014f, metal);
        }
    }
    for (int end = -1; end <= 1; end += 2) scene.torus(vec3(0.0f, float(end) * halfLength, 0.0f), radius, 0.016f, metal, 0.0f, 1);
}

void backpack(Scene& scene) {
    constexpr float fabric = 500.0f, plastic = 1500.0f, liquid = 1000.0f, metal = 4000.0f, electronics = 2600.0f;
    scene.box(vec3(0.0f, -0.05f, 0.0f), vec3(0.55f, 0.8f, 0.32f), fabric, 0.2f);
    scene.box(vec3(0.0f, -0.05f, 0.0f), vec3(0.52f, 0.77f, 0.29f), 0.0f, 0.18f);
    scene.box(vec3(0.0f, -0.35f, 0.38f), vec3(0.4f, 0.3f, 0.08f), fabric, 0.07f);  // front pocket
    for (int side = -1; side <= 1; side += 2) {  // shoulder straps on the back
        const float x = 0.25f * float(side);
        scene.tube({vec3(x, 0.7f, -0.32f), vec3(x, 0.75f, -0.48f), vec3(x * 1.2f, 0.1f, -0.5f), vec3(x * 1.4f, -0.7f, -0.34f)},
                   0.05f, 0.04f, fabric);
    }
    scene.capsule(vec3(-0.5f, 0.86f, 0.0f), vec3(0.5f, 0.86f, 0.0f), 0.03f, 0.03f, fabric);  // handle
    // Contents: a bottle, a laptop, a box of coins, a cable.
    scene.capsule(vec3(0.3f, -0.6f, 0.05f), vec3(0.3f, 0.2f, 0.05f), 0.14f, 0.14f, plastic);
    scene.capsule(vec3(0.3f, -0.58f, 0.05f), vec3(0.3f, 0.1f, 0.05f), 0.12f, 0.12f, liquid);
    scene.box(vec3(-0.15f, 0.0f, -0.18f), vec3(0.32f, 0.6f, 0.03f), electronics, 0.02f);
    for (int i = 0; i < 6; ++i) scene.ellipsoid(vec3(-0.2f + 0.07f * float(i), -0.55f, 0.12f), vec3(0.04f, 0.01f, 0.04f), metal);
    std::vector<vec3> cable;
    for (int i = 0; i <= 24; ++i) {
        const float t = float(i) / 24.0f;
        cable.push_back(vec3(-0.3f + 0.4f * t, -0.3f + 0.1f * std::sin(6.0f * pi * t), 0.1f + 0.08f * std::cos(6.0f * pi * t)));
    }
    scene.tube(cable, 0.015f, 0.015f, metal);
}

void vertebrae(Scene& scene) {
    constexpr float bone = 2400.0f, marrow = 1200.0f, disc = 800.0f, tissue = 300.0f;
    scene.capsule(vec3(0.0f, -0.95f, -0.1f), vec3(0.0f, 0.95f, -0.1f), 0.62f, 0.62f, tissue);
    for (int i = 0; i < 5; ++i) {
        const float y = -0.72f + 0.36f * float(i);
        scene.capsule(vec3(0.0f, y - 0.12f, 0.15f), vec3(0.0f, y + 0.12f, 0.15f), 0.22f, 0.22f, bone);  // body
        scene.capsule(vec3(0.0f, y - 0.1f, 0.15f), vec3(0.0f, y + 0.1f, 0.15f), 0.17f, 0.17f, marrow);
        scene.torus(vec3(0.0f, y, -0.12f), 0.12f, 0.045f, bone, 0.0f, 1);  // arch around the canal
        scene.capsule(vec3(0.0f, y, -0.22f), vec3(0.0f, y - 0.1f, -0.5f), 0.05f, 0.03f, bone);  // spinous process
        scene.capsule(vec3(-0.1f, y, -0.1f), vec3(-0.38f, y + 0.02f, -0.08f), 0.045f, 0.03f, bone);  // transverse
        scene.capsule(vec3(0.1f, y, -0.1f), vec3(0.38f, y + 0.02f, -0.08f), 0.045f, 0.03f, bone);
        if (i < 4) scene.capsule(vec3(0.0f, y + 0.14f, 0.15f), vec3(0.0f, y + 0.22f, 0.15f), 0.2f, 0.2f, disc);
    }
}

void colon(Scene& scene) {
    constexpr float tissue = 1000.0f, wall = 1500.0f, fat = 700.0f;
    scene.ellipsoid(vec3(0.0f, 0.0f, 0.0f), vec3(0.9f, 0.95f, 0.65f), tissue);
    scene.ellipsoid(vec3(0.0f, 0.0f, 0.0f), vec3(0.84f, 0.9f, 0.59f), fat);
    // The colon: a winding air-filled tube with a denser wall.
    std::vector<vec3> path;
    for (int i = 0; i <= 60; ++i) {
        const float t = float(i) / 60.0f;
        const float a = 2.0f * pi * 1.1f * t;
        path.push_back(vec3(0.55f * std::cos(a), -0.6f + 1.2f * t + 0.1f * std::sin(5.0f * a), 0.25f * std::sin(a)));
    }
    scene.tube(path, 0.17f, 0.17f, wall);
    scene.tube(path, 0.13f, 0.13f, 0.0f);
}

void bonsai(Scene& scene) {
    constexpr float ceramic = 3200.0f, soil = 1300.0f, wood = 1800.0f, leaves = 650.0f;
    scene.box(vec3(0.0f, -0.8f, 0.0f), vec3(0.6f, 0.16f, 0.42f), ceramic, 0.06f);
    scene.box(vec3(0.0f, -0.76f, 0.0f), vec3(0.55f, 0.14f, 0.37f), soil, 0.04f);
    std::mt19937 random(11);
    auto uniform = [&](float lo, float hi) { return lo + (hi - lo) * float(random() % 10000) / 10000.0f; };
    // A trunk that forks into thinner branches, with foliage pads at the tips.
    struct Branch { vec3 start, direction; float length, radius; int depth; };
    std::vector<Branch> open = {{vec3(0.0f, -0.66f, 0.0f), glm::normalize(vec3(0.15f, 1.0f, 0.0f)), 0.5f, 0.09f, 0}};
    while (!open.empty()) {
        const Branch b = open.back();
        open.pop_back();
        const vec3 end = b.start + b.direction * b.length;
        scene.capsule(b.start, end, b.radius, b.radius * 0.72f, wood);
        if (b.depth >= 4) {
            scene.ellipsoid(end + vec3(0.0f, 0.04f, 0.0f), vec3(0.16f, 0.07f, 0.14f), leaves);
            continue;
        }
        const int children = b.depth == 0 ? 3 : 2;
        for (int c = 0; c < children; ++c) {
            const float around = 2.0f * pi * (float(c) + uniform(0.0f, 0.5f)) / float(children);
            vec3 d = b.direction + vec3(0.7f * std::cos(around), uniform(0.1f, 0.4f), 0.7f * std::sin(around));
            open.push_back({end, glm::normalize(d), b.length * 0.7f, b.radius * 0.68f, b.depth + 1});
        }
    }
}

Scene sceneFor(int index) {
    Scene scene;
    switch (index) {
        case 0: case 1: stagBeetle(scene); break;
        case 2: case 3: present(scene); break;
        case 4: christmasTree(scene); break;
        case 5: stent(scene); break;
        case 6: backpack(scene); break;
        case 7: vertebrae(scene); break;
        case 8: case 9: sheppLoganHead(scene); break;
        case 10: colon(scene); break;
        default: bonsai(scene); break;
    }
    return scene;
}

// Sizes of the header entries, as their file names give them.
struct HeaderSize { int index, width, height, depth; };
constexpr HeaderSize headerSizes[] = {
    {0, 277, 277, 164}, {1, 416, 416, 247}, {2, 246, 246, 221}, {3, 492, 492, 442}, {4, 256, 249, 256},
};

uint32_t hash3(uint32_t x, uint32_t y, uint32_t z) {
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ z * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

// Display coordinate of each file index along one axis: the texture index after the flip,
// centred into -1..1, then the display axis' sign.
std::vector<float> axisCoordinates(int count, bool flip, float sign) {
    std::vector<float> c(static_cast<size_t>(count));
    for (int f = 0; f < count; ++f) {
        const int t = flip ? count - 1 - f : f;
        c[size_t(f)] = sign * (2.0f * (float(t) + 0.5f) / float(count) - 1.0f);
    }
    return c;
}

// File indices whose coordinate lies in [low, high].
void indexRange(const std::vector<float>& c, float low, float high, int& first, int& last) {
    first = int(c.size());
    last = -1;
    // Coordinates are monotonic; both ends are found by a scan that stops early.
    for (int i = 0; i < int(c.size()); ++i) {
        if (c[size_t(i)] >= low && c[size_t(i)] <= high) {
            first = std::min(first, i);
            last = std::max(last, i);
        }
    }
}

}  // namespace

VolumeDescription generatedDatasetDescription(int index) {
    VolumeDescription d = datasetDescription(index);
    for (const HeaderSize& h : headerSizes) {
        if (h.index == index) {
            d._width = h.width;
            d._height = h.height;
            d._depth = h.depth;
        }
    }
    return d;
}

std::vector<uint16_t> generateDatasetSamples(int index, int threads) {
    const VolumeDescription d = generatedDatasetDescription(index);
    const int w = d._width, h = d._height, depth = d._depth;
    Scene scene = sceneFor(index);
    // Soft edges about two voxels wide on the finest axis.
    const float edge = 2.0f * 2.0f / float(std::min(w, std::min(h, depth)));
    for (Solid& s : scene.solids) finish(s, edge);

    // Texture x runs to display -x, texture y to display -z (away from the viewer) and texture
    // z to display -y (down), which is how the demo turns the volume into the scene.
    const std::vector<float> xs = axisCoordinates(w, d._flipX, -1.0f);
    const std::vector<float> zs = axisCoordinates(h, d._flipY, -1.0f);
    const std::vector<float> ys = axisCoordinates(depth, d._flipZ, -1.0f);
    const float valueScale = float(1 << (d._bitsPerSample - 12 > 0 ? d._bitsPerSample - 12 : 0));
    const float maxValue = maxValue12 * valueScale;

    std::vector<uint16_t> samples(size_t(w) * h * depth);
    if (threads <= 0) threads = std::max(1u, std::thread::hardware_concurrency());
    std::atomic<int> nextSlice{0};
    auto work = [&]() {
        std::vector<float> slice(size_t(w) * h);
        std::vector<const Solid*> active;
        for (int z; (z = nextSlice.fetch_add(1)) < depth;) {
            std::fill(slice.begin(), slice.end(), 0.0f);
            const float py = ys[size_t(z)];
            active.clear();
            for (const Solid& s : scene.solids)
                if (py >= s.low.y && py <= s.high.y) active.push_back(&s);
            for (const Solid* s : active) {
                int y0, y1, x0, x1;
                indexRange(zs, s->low.z, s->high.z, y0, y1);
                indexRange(xs, s->low.x, s->high.x, x0, x1);
                for (int y = y0; y <= y1; ++y) {
                    float* row = slice.data() + size_t(w) * y;
                    for (int x = x0; x <= x1; ++x) {
                        const float dist = distanceTo(*s, vec3(xs[size_t(x)], py, zs[size_t(y)]));
                        const float coverage = std::clamp(0.5f - dist / edge, 0.0f, 1.0f);
                        if (coverage <= 0.0f) continue;
                        if (s->additive) row[x] += coverage * s->value;
                        else row[x] += coverage * (s->value - row[x]);
                    }
                }
            }
            uint16_t* out = samples.data() + size_t(w) * h * size_t(z);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    float v = slice[size_t(w) * y + x];
                    if (v > 0.5f) {
                        // Triangular noise in -1..1, weaker toward the soft edges.
                        const uint32_t r = hash3(uint32_t(x), uint32_t(y), uint32_t(z) + uint32_t(index) * 7919u);
                        const float n = (float(r & 0xFFFF) + float(r >> 16)) / 65535.0f - 1.0f;
                        v += noiseAmplitude * n * std::min(1.0f, v / noiseFullValue);
                        v = std::clamp(v * valueScale, 0.0f, maxValue);
                    } else {
                        v = 0.0f;
                    }
                    out[size_t(w) * y + x] = uint16_t(v + 0.5f);
                }
            }
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) workers.emplace_back(work);
    work();
    for (std::thread& t : workers) t.join();
    return samples;
}

std::string generatedDatasetPath(int index, const std::string& root) {
    const std::string relative = VantorEngine::nativePath(datasetDescription(index)._path);
    return root.empty() || root == "." ? relative : (std::filesystem::path(root) / relative).string();
}

bool writeGeneratedDataset(int index, const std::string& root, std::string& error, int threads) {
    const VolumeDescription d = generatedDatasetDescription(index);
    const std::vector<uint16_t> samples = generateDatasetSamples(index, threads);
    const std::string path = generatedDatasetPath(index, root);
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    // Written under a temporary name and renamed, so an interrupted run leaves no short file.
    const std::string partial = path + ".part";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        error = "cannot create " + partial;
        return false;
    }
    std::vector<unsigned char> bytes;
    bytes.reserve(samples.size() * 2 + 6);
    auto put16 = [&](uint32_t v) {
        bytes.push_back(uint8_t(v & 0xFF));
        bytes.push_back(uint8_t((v >> 8) & 0xFF));
    };
    if (d._hasHeader) {
        put16(uint32_t(d._width));
        put16(uint32_t(d._height));
        put16(uint32_t(d._depth));
    }
    for (uint16_t s : samples) put16(s);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::filesystem::remove(partial, ec);
        error = "cannot write " + partial;
        return false;
    }
    std::filesystem::rename(partial, path, ec);
    if (ec) {
        error = "cannot rename " + partial + " to " + path + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace FallowTide
