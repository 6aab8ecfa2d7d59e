// The ship's boat, upright on the skid beams over the waist: a lofted hull
// painted inside and out, thwarts, transom and stem, rubbing strakes.
#include <cmath>

#include "deck_parts.h"
#include "deck_shapes.h"

namespace brisane::assets::ship::deck {

namespace {

constexpr float kLength = 70, kHalfBeam = 9;
constexpr float kCentreX = (kSkidX[0] + kSkidX[1]) / 2;

// Half breadth at the gunwale, s = 0 at the stem, 1 at the transom.
float BoatHalf(float s) {
  if (s < 0.55f) return kHalfBeam * std::pow(std::sin(kPi / 2 * s / 0.55f), 0.75f);
  const float f = (s - 0.55f) / 0.45f;
  return kHalfBeam * (1 - 0.4f * f * f);
}
float Gunwale(float s) { return 7 + 2.2f * std::pow(1 - s, 3.0f) + 0.9f * s * s * s; }
float KeelZ(float s) { return s < 0.18f ? 3.0f * (1 - s / 0.18f) * (1 - s / 0.18f) : 0.0f; }
float BoatX(float s) { return -kLength / 2 + kLength * s; }

// Hull point: t runs from the port gunwale (0) round the keel to starboard (1).
Vector3 Hull(float s, float t) {
  const float phi = kPi * t;
  const float keel = KeelZ(s), top = Gunwale(s);
  const float down = std::pow(std::fabs(std::sin(phi)), 1.5f);
  return {BoatX(s), -BoatHalf(s) * std::cos(phi), keel + (top - keel) * (1 - down)};
}

}  // namespace

void AuthorBoat(SceneAuthor& scene) {
  const Matrix at = Translate({kCentreX, 0, kSkidTopZ + 0.6f});
  const int cols = 24, rows = 8;
  {
    MeshBuilder shell;
    shell.surface(Hull, cols, rows, 3, 1);
    float score = 0;
    for (const Vertex& v : shell.vertices()) score += Dot(v.n, v.p - Vector3{v.p.x, 0, 4});
    if (score < 0) {
      shell = MeshBuilder();
      shell.surface([](float s, float t) { return Hull(s, 1 - t); }, cols, rows, 3, 1);
    }
    // The dark sheer strake at the gunwale: v = 1 at the gunwale, 0 at the keel.
    for (std::size_t k = 0; k < shell.vertexCount(); ++k) {
      const float t = static_cast<float>(k / (cols + 1)) / rows;
      shell.vertices()[k].v = std::fabs(2 * t - 1);
    }
    shell.addBackFaces();
    Parts hull;
    hull[kBoatPaint].append(shell);
    std::vector<Vector3> keel;
    std::vector<float> radius;
    for (int i = 0; i <= 12; ++i) {
      const float s = 0.02f + 0.98f * i / 12;
      keel.push_back({BoatX(s), 0, KeelZ(s) - 0.3f});
      radius.push_back(0.45f);
    }
    hull[kOak].tube(keel, radius, 4, 0.05f);
    scene.object("boat_1_01", layout::kShip, at, hull.build());
  }
  const float thwart[5] = {0.24f, 0.4f, 0.55f, 0.7f, 0.84f};
  for (int k = 0; k < 5; ++k) {
    const float s = thwart[k];
    const float z = Gunwale(s) - 2.0f;
    const float half = std::fabs(Hull(s, 0.12f).y) - 0.3f;
    Parts p;
    p[kOak].box({BoatX(s) - 1.2f, -half, z - 0.5f}, {BoatX(s) + 1.2f, half, z}, 0.12f);
    scene.object("banka" + Two(k + 1), layout::kShip, at, p.build());
  }
  {
    Parts p;
    MeshBuilder& m = p[kOak];
    // Transom: a fan over the stern section, facing aft.
    const Vector3 centre{BoatX(1) + 0.05f, 0, (KeelZ(1) + Gunwale(1)) / 2};
    const Vector3 n{1, 0, 0};
    const auto c = m.add(centre, n, 0.5f, 0.5f);
    std::vector<std::uint16_t> rim;
    for (int j = 0; j <= rows; ++j) {
      const Vector3 q = Hull(1, static_cast<float>(j) / rows) + Vector3{0.05f, 0, 0};
      rim.push_back(m.add(q, n, 0.5f + q.y / 20, q.z / 10));
    }
    rim.push_back(m.add(Hull(1, 0) + Vector3{0.05f, 0, 0}, n, 0, 0));
    for (std::size_t j = 0; j + 1 < rim.size(); ++j) {
      // Fronts towards +x.
      const Vector3 a = m.vertices()[rim[j]].p, b = m.vertices()[rim[j + 1]].p;
      if (Cross(a - centre, b - centre).x > 0) m.tri(c, rim[j], rim[j + 1]);
      else m.tri(c, rim[j + 1], rim[j]);
    }
    m.box({BoatX(1) + 0.05f, -BoatHalf(1) - 0.2f, Gunwale(1) - 0.2f}, {BoatX(1) + 0.6f, BoatHalf(1) + 0.2f, Gunwale(1) + 0.4f},
          0.2f);
    // Stem post, rising from the forefoot to above the gunwale.
    std::vector<Vector3> stem;
    std::vector<float> radius;
    for (int i = 0; i <= 6; ++i) {
      const float s = 0.18f * (1 - i / 6.0f);
      stem.push_back({BoatX(s) - 0.2f, 0, KeelZ(s) + (i == 6 ? Gunwale(0) + 0.6f - KeelZ(0) : 0)});
      radius.push_back(0.5f);
    }
    m.tube(stem, radius, 4, 0.05f);
    scene.object("boat_toretc", layout::kShip, at, p.build());
  }
  for (int side = 0; side < 2; ++side) {
    const float sign = side == 0 ? -1.0f : 1.0f;
    std::vector<Vector3> path;
    std::vector<float> radius;
    for (int i = 0; i <= 20; ++i) {
      const float s = 0.01f + 0.985f * i / 20;
      path.push_back({BoatX(s), sign * (BoatHalf(s) + 0.25f), Gunwale(s) - 0.3f});
      radius.push_back(0.38f);
    }
    Parts p;
    p[kOak].tube(path, radius, 5, 0.05f);
    scene.object(side == 0 ? "boat_rubber01" : "boat_rubber02", layout::kShip, at, p.build());
  }
}

}  // namespace brisane::assets::ship::deck
