// The stern: the transom's faces from the tuck to the taffrail, the stern
// walk with its balustrade and the quarter galleries' drops, and the stern
// lanterns with their brackets.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "hull_mesh.h"
#include "hull_paint.h"
#include "hull_parts.h"
#include "show/ship_contract.h"

namespace brisane::assets::ship::hull {

namespace {

using layout::HalfBreadth;
using layout::RailZ;
using layout::SternX;

constexpr float kTierZ = 76.5f;  // between the two tiers of windows

// Half width of the stern at z, where the side's planking ends.
float SternEdge(float z) { return std::fabs(SidePoint(1, z).y); }

}  // namespace

// Rounds aft a little towards the middle above the tuck.
float SternBulge(float y, float z) {
  const float w = SternEdge(z);
  const float f = w > 0 ? std::clamp(y / w, -1.0f, 1.0f) : 0;
  return 2.5f * (1 - f * f) * SmoothStep(15, 40, z);
}

namespace {

Vector3 SternPoint(float y, float z) { return {SternX(z) - 0.05f + SternBulge(y, z), y, z}; }

// The stern face between two heights (the upper one may follow the
// taffrail's crown), s across from port to starboard.
std::function<Vector3(float, float)> SternFace(float z0, float z1, bool toTaffrail) {
  return [=](float s, float t) {
    // Width follows the height, so solve the height first from the outline.
    const float top = toTaffrail ? TaffrailZ(0) : z1;
    float z = z0 + (top - z0) * t;
    if (toTaffrail) {
      const float w = SternEdge(z0 + (z1 - z0) * t);
      const float y = -w + 2 * w * s;
      z = z0 + (TaffrailZ(y) - z0) * t;
    }
    const float w = SternEdge(z);
    return SternPoint(-w + 2 * w * s, z);
  };
}

Coords SternCoords(Vector3 p, float s, float t) { return {SternU(p.y), SpanV(p.z, kSternSpan), s, 1 - t}; }

template <typename At>
std::vector<std::string> SternLightmaps(SceneAuthor& scene, const std::string& part, At at, bool waves) {
  auto normal = [&](float s, float t) {
    const float e = 1e-3f;
    const Vector3 ds = at(std::min(s + e, 1.0f), t) - at(std::max(s - e, 0.0f), t);
    const Vector3 dt = at(s, std::min(t + e, 1.0f)) - at(s, std::max(t - e, 0.0f));
    return Normalize(Cross(ds, dt));
  };
  return BakeLightmaps(
      scene, part, 64, 64, waves,
      [&](float u, float v) {
        const Vector3 p = at(u, 1 - v);
        // Under the stern walk the counter sees little sky.
        const float open = 1 - 0.45f * SmoothStep(kGalleryZ - 25, kGalleryZ - 1, p.z) *
                                   (p.z < kGalleryZ ? 1.0f : 0.0f);
        return BakedLight(p, normal(u, 1 - v), open);
      },
      [&](float u, float v, int k) { return WaveLight(at(u, 1 - v), normal(u, 1 - v), k); });
}

}  // namespace

void AuthorStern(SceneAuthor& scene) {
  struct Face {
    const char* part;
    float z0, z1;
    bool taffrail;
    int rows;
    bool waves;
  };
  const Face faces[] = {{"tranetc01", kTuckZ, kGalleryZ, false, 12, true},
                        {"tranetc03", kGalleryZ, kTierZ, false, 4, false},
                        {"tranetc_up", kTierZ, RailZ(SternX(90)), true, 4, false}};
  for (const Face& f : faces) {
    const auto at = SternFace(f.z0, f.z1, f.taffrail);
    MeshBuilder mesh;
    Loft(mesh, at, 12, f.rows, SternCoords);
    if (f.taffrail) {
      // The taffrail's cap.
      std::vector<Vector3> outer, inner;
      for (int i = 0; i <= 12; ++i) {
        const Vector3 o = at(static_cast<float>(i) / 12, 1);
        outer.push_back(o);
        inner.push_back(o - Vector3{kSideThickness, 0, 0});
      }
      Strip(mesh, inner, outer, [](Vector3 p, int k, int) {
        return Coords{SternU(p.y), SpanV(p.z + 1, kSternSpan), static_cast<float>(k) / 12, 0.01f};
      });
    }
    const std::string name = f.part;
    const auto maps = SternLightmaps(scene, name, at, f.waves);
    scene.material("hull_" + name, Lightmapped("hull_stern.jpg", maps));
    scene.object(name, layout::kShip, Matrix::Identity(), {mesh.build("hull_" + name, true)});
  }

  // The stern walk: its floor and brackets, the balustrade round it, and
  // below the quarter galleries their carved drops; one lightmap for all.
  MeshBuilder floor, rail;
  const float w = SternEdge(kGalleryZ) + 1.5f, x0 = SternX(kGalleryZ) - 2, x1 = SternX(kGalleryZ) + 9;
  floor.box({x0, -w, kGalleryZ - 1.8f}, {x1, w, kGalleryZ}, 0.05f);
  for (float side : {-1.0f, 1.0f})
    floor.box({x0, side * (w * 0.5f) - 1, kGalleryZ - 7}, {x1 - 2, side * (w * 0.5f) + 1, kGalleryZ - 1.8f}, 0.05f);
  rail.box({x1 - 1, -w, kGalleryZ}, {x1, w, kGalleryZ + 6}, 0);
  for (float side : {-1.0f, 1.0f})
    rail.box({x0 + 2, side < 0 ? -w : w - 1, kGalleryZ}, {x1 - 1, side < 0 ? -w + 1 : w, kGalleryZ + 6}, 0);
  floor.box({x1 - 1.4f, -w - 0.4f, kGalleryZ + 6}, {x1 + 0.4f, w + 0.4f, kGalleryZ + 7}, 0.05f);  // the rail's cap
  // Quarter gallery drops: the tapering finish under each gallery.
  for (float side : {-1.0f, 1.0f}) {
    const float xa = 212, xb = 244;
    const float hb = HalfBreadth(0.5f * (xa + xb), kGalleryZ);
    MeshBuilder drop;
    drop.cylinder({0.5f * (xa + xb), side * hb, kGalleryZ - 12}, {0.5f * (xa + xb), side * hb, kGalleryZ}, 2, 16, 12,
                  false, 0.08f);
    for (Vertex& v : drop.vertices()) v.p.y = side < 0 ? std::min(v.p.y, -hb + 3) : std::max(v.p.y, hb - 3);
    floor.append(drop);
  }
  auto lightmapCoords = [](MeshBuilder& m) {
    for (Vertex& v : m.vertices()) {
      v.u2 = SternU(v.p.y);
      v.v2 = std::clamp((kGalleryZ + 8 - v.p.z) / 22, 0.0f, 1.0f);
    }
  };
  // Balusters round the walk: u along the rail (8 a picture, one each 2
  // units), v over its height.
  for (Vertex& v : rail.vertices()) {
    const bool across = std::fabs(v.n.x) > 0.5f;
    v.u = (across ? v.p.y : v.p.x) / 16;
    v.v = (kGalleryZ + 6 - v.p.z) / 6;
  }
  lightmapCoords(floor);
  lightmapCoords(rail);
  const auto maps = BakeLightmaps(
      scene, "balkon_down", 64, 64, false,
      [&](float u, float v) {
        const Vector3 p{x1, -kSternHalf + 2 * kSternHalf * u, kGalleryZ + 8 - 22 * v};
        return BakedLight(p, Normalize({0.5f, 0, -0.85f}), 0.7f + 0.3f * (1 - v));
      },
      [](float, float, int) { return 0.0f; });
  scene.material("hull_balkon_down", Lightmapped("hull_keel.jpg", maps));
  scene.material("hull_balkon_rail", Lightmapped("hull_balusters.jpg", maps));
  scene.object("balkon_down", layout::kShip, Matrix::Identity(),
               {floor.build("hull_balkon_down", true), rail.build("hull_balkon_rail", true)});
}

void AuthorLanterns(SceneAuthor& scene) {
  using layout::kLantern;
  const Vector3 mid = (kLantern[0] + kLantern[1]) * 0.5f;
  MeshBuilder glass, top;
  for (const Vector3& c : kLantern) {
    const Vector3 l = c - mid;
    glass.cylinder(l - Vector3{0, 0, 5}, l + Vector3{0, 0, 5}, 3.0f, 4.0f, 6, true, 0.1f);
    top.cylinder(l + Vector3{0, 0, 5}, l + Vector3{0, 0, 9}, 4.6f, 0.8f, 6, true, 0.1f);
    top.sphere(l + Vector3{0, 0, 10}, 1.0f, 6, 4);
    top.cylinder(l - Vector3{0, 0, 6.2f}, l - Vector3{0, 0, 5}, 2.2f, 3.3f, 6, true, 0.1f);
    // Iron bracket back to the taffrail.
    const Vector3 rail{SternX(90) + 1, c.y, TaffrailZ(c.y) - 1.5f};
    top.tube({l - Vector3{0, 0, 6.2f}, l + Vector3{-2, 0, -9}, (l + rail - mid) * 0.5f + Vector3{0, 0, -4}, rail - mid},
             {0.6f, 0.6f, 0.6f, 0.6f}, 5, 0.1f);
  }
  ArchiveMaterial lamp;
  lamp.description = LitMaterial({1, 1, 1}, 0.6f, {0.85f, 0.6f, 0.3f});
  lamp.layers = {Layer(1, {"Lantern01.jpg"}), Layer(4, {"Lantern01alfa.jpg"})};
  scene.material("hull_lantern", lamp);
  scene.material("hull_iron", Plain("hull_iron.jpg", 0.6f));
  scene.object("lantern01", layout::kShip, Translate(mid), {glass.build("hull_lantern")});
  scene.object("lantern01_top", layout::kShip, Translate(mid), {top.build("hull_iron")});
  for (int i = 0; i < 2; ++i) scene.group(std::string(contract::kLanterns[i]), layout::kShip, Translate(kLantern[i]));
}

}  // namespace brisane::assets::ship::hull
