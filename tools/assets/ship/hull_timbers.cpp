// The keel, stem and stern post swept as one timber, the knee of the head
// under the figurehead, and the rudder on its pintles; both wave-lit.
#include <algorithm>
#include <cmath>
#include <vector>

#include "hull_mesh.h"
#include "hull_paint.h"
#include "hull_parts.h"

namespace brisane::assets::ship::hull {

namespace {

using layout::SternX;
using layout::StemX;

constexpr float kStemHeadZ = 78;  // top of the stem

constexpr float kKeelX0 = -290, kKeelX1 = 230, kKeelZTop = 90;

Coords TimberCoords(Vector3 p) {
  return {(p.x + p.y) / kWoodRepeat, (kKeelZTop - p.z + p.y * 0.5f) / kWoodRepeat,
          (p.x - kKeelX0) / (kKeelX1 - kKeelX0), (kKeelZTop - p.z) / (kKeelZTop - layout::kKeelZ)};
}

MeshBuilder KeelMesh() {
  std::vector<SweepPoint> path;
  // The stern post, from under the counter down to the heel.
  for (int k = 0; k <= 6; ++k) {
    const float z = 22 - (22 - kRabbetZ) * static_cast<float>(k) / 6;
    path.push_back({{SternX(z) - 0.05f, 0, z}, Normalize({1, 0, -0.26f}), 3.2f, 3});
  }
  // Round the heel onto the keel.
  for (int k = 1; k <= 3; ++k) {
    const float a = kPi / 2 * static_cast<float>(k) / 4;
    path.push_back({{SternX(kRabbetZ) - 3 * static_cast<float>(k), 0, kRabbetZ},
                    Normalize({std::cos(a + 0.26f), 0, -std::sin(a + 0.26f)}), 5, 3});
  }
  for (int k = 0; k <= 10; ++k) {
    const float x = SternX(kRabbetZ) - 12 - (SternX(kRabbetZ) - 12 - StemX(kRabbetZ) - 6) * static_cast<float>(k) / 10;
    path.push_back({{x, 0, kRabbetZ}, {0, 0, -1}, 5, 3});
  }
  // The forefoot, then up the stem; the knee of the head stands out under
  // the figurehead.
  for (int k = 0; k <= 16; ++k) {
    const float z = kRabbetZ + (kStemHeadZ - kRabbetZ) * static_cast<float>(k) / 16;
    const float e = 0.5f;
    const Vector3 tan = Normalize(Vector3{StemX(z + e) - StemX(z - e), 0, 2 * e});
    const Vector3 outward = Normalize(Cross(tan, Vector3{0, 1, 0}));
    const float knee = 9 * SmoothStep(10, 50, z) * (1 - SmoothStep(62, kStemHeadZ, z));
    const float foot = 5 - 1.5f * SmoothStep(kRabbetZ, kRabbetZ + 12, z);
    path.push_back({{StemX(z), 0, z}, outward, foot + knee, 3});
  }
  MeshBuilder mesh;
  SweepTimber(mesh, path, kKeelHalf, TimberCoords);
  return mesh;
}

// The rudder hangs on the stern post: broad at the heel, narrowing upwards,
// its head rising through the counter.
constexpr float kRudderX0 = 195, kRudderX1 = 250, kRudderTop = 40;
Coords RudderCoords(Vector3 p) {
  return {(p.x + p.y) / kWoodRepeat * 2, (kRudderTop - p.z) / kWoodRepeat,
          (p.x - kRudderX0) / (kRudderX1 - kRudderX0), (kRudderTop - p.z) / (kRudderTop - layout::kKeelZ)};
}

MeshBuilder RudderMesh() {
  MeshBuilder mesh;
  const int levels = 8;
  std::vector<std::vector<Vector3>> rings;
  for (int k = 0; k <= levels; ++k) {
    const float z = layout::kKeelZ + 1 + (kRudderTop - layout::kKeelZ - 1) * static_cast<float>(k) / levels;
    const float x0 = SternX(z) + 3.4f;
    const float chord = 15 - 9 * SmoothStep(layout::kKeelZ, 20, z);
    const float thick = 2.2f - 0.6f * SmoothStep(layout::kKeelZ, 20, z);
    // Leading edge, the port face, the trailing edge, the starboard face.
    rings.push_back({{x0, 0, z}, {x0 + 1.5f, -thick, z}, {x0 + chord, -thick * 0.55f, z},
                     {x0 + chord, thick * 0.55f, z}, {x0 + 1.5f, thick, z}, {x0, 0, z}});
  }
  for (std::size_t c = 0; c + 1 < rings[0].size(); ++c) {
    std::vector<Vector3> a, b;
    for (const auto& r : rings) {
      a.push_back(r[c]);
      b.push_back(r[c + 1]);
    }
    // Walking up the rudder, across from one corner to the next round it.
    Strip(mesh, b, a, [](Vector3 p, int, int) { return RudderCoords(p); });
  }
  // The sole.
  const auto& r = rings.front();
  std::vector<Vector3> a{r[1], r[2]}, b{r[4], r[3]};
  Strip(mesh, b, a, [](Vector3 p, int, int) { return RudderCoords(p); });
  // Pintles and gudgeons: iron straps round post and rudder.
  for (float z : {-36.0f, -22.0f, -8.0f, 6.0f, 18.0f}) {
    MeshBuilder strap;
    const float x = SternX(z);
    strap.box({x - 1.5f, -kKeelHalf - 0.5f, z - 0.9f}, {x + 8.5f, kKeelHalf + 0.5f, z + 0.9f});
    for (Vertex& v : strap.vertices()) {
      const Coords c = RudderCoords(v.p);
      // One spot of the dark keel picture serves as iron.
      v.u = 0.02f;
      v.v = 0.98f;
      v.u2 = c.u2;
      v.v2 = c.v2;
    }
    mesh.append(strap);
  }
  return mesh;
}

float TimberLight(Vector3 p) {
  return 0.5f * (BakedLight(p, {0, -1, 0}, 0.9f) + BakedLight(p, {0, 1, 0}, 0.9f));
}
float TimberWaves(Vector3 p, int k) {
  return 0.5f * (WaveLight(p, {0, -1, 0}, k) + WaveLight(p, {0, 1, 0}, k));
}

}  // namespace

void AuthorKeelAndRudder(SceneAuthor& scene) {
  {
    const MeshBuilder mesh = KeelMesh();
    auto at = [](float u, float v) {
      return Vector3{kKeelX0 + u * (kKeelX1 - kKeelX0), 0, kKeelZTop - v * (kKeelZTop - layout::kKeelZ)};
    };
    const auto maps = BakeLightmaps(
        scene, "kiel", 128, 64, true, [&](float u, float v) { return TimberLight(at(u, v)); },
        [&](float u, float v, int k) { return TimberWaves(at(u, v), k); });
    scene.material("hull_kiel", Lightmapped("hull_keel.jpg", maps));
    scene.object("kiel", layout::kShip, Matrix::Identity(), {mesh.build("hull_kiel", true)});
  }
  {
    const MeshBuilder mesh = RudderMesh();
    auto at = [](float u, float v) {
      return Vector3{kRudderX0 + u * (kRudderX1 - kRudderX0), 0, kRudderTop - v * (kRudderTop - layout::kKeelZ)};
    };
    const auto maps = BakeLightmaps(
        scene, "rudder", 64, 64, true, [&](float u, float v) { return TimberLight(at(u, v)); },
        [&](float u, float v, int k) { return TimberWaves(at(u, v), k); });
    scene.material("hull_rudder", Lightmapped("hull_keel.jpg", maps));
    scene.object("rudder", layout::kShip, Matrix::Identity(), {mesh.build("hull_rudder", true)});
  }
}

}  // namespace brisane::assets::ship::hull
