// The hull: the side lofted from the layout's lines in painted bands with
// baked, partly wave-lit lightmaps; keel, stem and stern post, rudder, the
// transom and stern walk; decks and bulwark insides; the head, quarter
// galleries, catheads; the stern lanterns; and the reference dummies.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "hull_lines.h"
#include "hull_mesh.h"
#include "hull_parts.h"
#include "hull_paint.h"
#include "layout.h"
#include "parts.h"
#include "stock_pictures.h"

namespace brisane::assets::ship {

namespace {

using namespace hull;
using layout::HalfBreadth;
using layout::RailZ;
using layout::SternX;
using layout::StemX;

constexpr int kSideCols = 104;
constexpr float kStemHeadZ = 78;  // top of the stem

float RabbetLine(float) { return kRabbetZ; }

std::string Numbered(const std::string& stem, int k) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", k);
  return stem + buf + ".jpg";
}

// The hull's pictures are stored upside down, so their v counts down from the
// top of the painting.
void Picture(SceneAuthor& scene, const std::string& name, const Image& img) { scene.image(name, FlipRows(img), 85); }

ArchiveMaterial Lightmapped(const std::string& diffuse, std::vector<std::string> lightmaps) {
  ArchiveMaterial m;
  m.description = LitMaterial({1, 1, 1}, 0.62f);
  m.layers = {Layer(1, {diffuse}), Layer(5, std::move(lightmaps), 1)};
  return m;
}

ArchiveMaterial Plain(const std::string& diffuse, float ambient = 0.62f) {
  ArchiveMaterial m;
  m.description = LitMaterial({1, 1, 1}, ambient);
  m.layers = {Layer(1, {diffuse})};
  return m;
}

// Lightmap frames of a part: one still frame, or the 16-frame loop of light
// thrown up by the waves. `still` is the light without the waves and `wave`
// the waves' share at frame k; both take lightmap coordinates.
template <typename Still, typename Wave>
std::vector<std::string> BakeLightmaps(SceneAuthor& scene, const std::string& part, int w, int h, bool waves,
                                       Still still, Wave wave) {
  std::vector<float> base(static_cast<std::size_t>(w) * h);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) base[static_cast<std::size_t>(j) * w + i] = still((i + 0.5f) / w, (j + 0.5f) / h);
  std::vector<std::string> names;
  const int frames = waves ? kWaveFrames : 1;
  for (int k = 0; k < frames; ++k) {
    const Image img = LightmapImage(w, h, [&](float u, float v) {
      const int i = std::min(w - 1, static_cast<int>(u * w)), j = std::min(h - 1, static_cast<int>(v * h));
      return base[static_cast<std::size_t>(j) * w + i] + (waves ? wave(u, v, k) : 0.0f);
    });
    names.push_back(Numbered("hull_lm_" + part + "_", k + 1));
    Picture(scene, names.back(), img);
  }
  return names;
}

// ------------------------------------------------------------------ side

Vec3 SideNormal(float s, float z, float side) {
  const float e = 1e-3f, ez = 0.05f;
  const Vec3 ds = SidePoint(std::min(s + e, 1.0f), z, side) - SidePoint(std::max(s - e, 0.0f), z, side);
  const Vec3 dz = SidePoint(s, z + ez, side) - SidePoint(s, z - ez, side);
  const Vec3 n = Normalize(Cross(ds, dz));
  return side < 0 ? n : -n;
}

// Girth from the band's top down to t, along its column (copper rows follow it).
float GirthFromTop(const Band& band, float s, float t) {
  float g = 0;
  Vec3 prev = SidePoint(s, BandZ(band, s, 1));
  for (int k = 1; k <= 16; ++k) {
    const float tt = 1 - (1 - t) * static_cast<float>(k) / 16;
    const Vec3 p = SidePoint(s, BandZ(band, s, tt));
    g += Length(p - prev);
    prev = p;
  }
  return g;
}

Coords BandCoords(const SideBand& b, Vec3 p, float s, float t, int half, float sHalf) {
  const std::string part = b.part;
  Coords c{0, 0, LmU(sHalf), LmV(half, t)};
  if (part == "board_high") {
    c.u = SideU(p.x);
    c.v = SpanV(p.z, kHighSpan);
  } else if (part == "board_mid") {
    c.u = SideU(p.x);
    c.v = SpanV(p.z, kMidSpan);
  } else if (part == "board_low") {
    c.u = p.x / kLowRepeat;
    c.v = (24 - p.z) / kLowRepeat;
  } else {
    c.u = p.x / kCopperRepeat;
    c.v = GirthFromTop(b.band, s, t) / kCopperRepeat;
  }
  return c;
}

}  // namespace

MeshBuilder hull::PortBand(const SideBand& b) {
  MeshBuilder mesh;
  for (int half = 0; half < 2; ++half) {
    auto sOf = [half](float sHalf) { return 0.5f * static_cast<float>(half) + 0.5f * sHalf; };
    Loft(
        mesh, [&](float sh, float t) { return SidePoint(sOf(sh), BandZ(b.band, sOf(sh), t)); }, kSideCols / 2, b.rows,
        [&](Vec3 p, float sh, float t) { return BandCoords(b, p, sOf(sh), t, half, sh); },
        [&](float sh, float t) { return SideNormal(sOf(sh), BandZ(b.band, sOf(sh), t), -1); });
  }
  if (std::string(b.part) == "board_high") {
    // The cap rail across the top of the side, in the picture's black.
    std::vector<Vec3> outer, inner;
    for (int i = 0; i <= kSideCols; ++i) {
      const float s = static_cast<float>(i) / kSideCols;
      const float z = LineZ(s, RailZ);
      const Vec3 o = SidePoint(s, z);
      outer.push_back(o);
      // Where the side is thinner than the bulwark (the stem) the cap covers it all.
      inner.push_back({o.x, std::max(o.y, -std::max(0.0f, HalfBreadth(o.x, z) - kSideThickness)), z});
    }
    Strip(mesh, outer, inner, [&](Vec3 p, int k, int) {
      const float s = static_cast<float>(k) / kSideCols;
      return Coords{SideU(p.x), SpanV(RailZ(p.x) + 4, kHighSpan), LmU(std::min(1.0f, 2 * s)), LmV(0, 1)};
    });
  }
  return mesh;
}

std::vector<hull::SideBand> hull::SideBands() {
  const std::vector<float> even4{0, 0.25f, 0.5f, 0.75f, 1}, even6{0, 1 / 6.f, 2 / 6.f, 0.5f, 4 / 6.f, 5 / 6.f, 1};
  std::vector<float> bottomRows;
  for (int j = 0; j <= 14; ++j) bottomRows.push_back(std::pow(static_cast<float>(j) / 14, 2.0f));
  // Middle band rows sit on the wales' edges, so their relief stays crisp.
  std::vector<float> midRows;
  for (float z : {0.0f, 0.8f, 7.2f, 8.0f, 12.0f, 16.0f, 20.0f, 23.0f, 23.8f, 27.2f, 28.0f}) midRows.push_back(z / 28);
  return {
      {"bottom", {RabbetLine, CopperTopZ, bottomRows}, 14, true},
      {"board_low", {CopperTopZ, MainWaleZ, even4}, 4, true},
      {"board_mid", {MainWaleZ, UpperWaleTopZ, midRows}, 10, true},
      {"board_high", {UpperWaleTopZ, RailZ, even6}, 6, false},
  };
}

namespace {

void AuthorSide(SceneAuthor& scene) {
  const std::map<std::string, std::string> diffuse = {{"bottom", "hull_copper.jpg"},
                                                      {"board_low", "hull_board_low.jpg"},
                                                      {"board_mid", "hull_board_mid.jpg"},
                                                      {"board_high", "hull_board_high.jpg"}};
  for (const SideBand& b : SideBands()) {
    const MeshBuilder port = PortBand(b);
    for (int sideNo = 1; sideNo <= 2; ++sideNo) {
      const float side = sideNo == 1 ? -1.0f : 1.0f;
      const std::string name = std::string(b.part) + (sideNo == 1 ? "01" : "02");
      MeshBuilder mesh;
      mesh.append(port, Scale(1, side < 0 ? 1 : -1, 1));
      auto still = [&](float u, float v) {
        const auto [s, t] = LmTexel(u, v);
        const float z = BandZ(b.band, s, t);
        const Vec3 p = SidePoint(s, z, side);
        const float open = std::string(b.part) == "bottom" ? 0.55f + 0.45f * t : 1.0f;
        return BakedLight(p, SideNormal(s, z, side), open);
      };
      auto wave = [&](float u, float v, int k) {
        const auto [s, t] = LmTexel(u, v);
        const float z = BandZ(b.band, s, t);
        return WaveLight(SidePoint(s, z, side), SideNormal(s, z, side), k);
      };
      const auto maps = BakeLightmaps(scene, name, kLmW, kLmH, b.waves, still, wave);
      scene.material("hull_" + name, Lightmapped(diffuse.at(b.part), maps));
      scene.object(name, layout::kShip, Matrix::identity(), {mesh.build("hull_" + name, true)});
    }
  }
}

// ------------------------------------------------------ keel and rudder

constexpr float kKeelX0 = -290, kKeelX1 = 230, kKeelZTop = 90;

Coords TimberCoords(Vec3 p) {
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
    const Vec3 tan = Normalize(Vec3{StemX(z + e) - StemX(z - e), 0, 2 * e});
    const Vec3 outward = Normalize(Cross(tan, Vec3{0, 1, 0}));
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
Coords RudderCoords(Vec3 p) {
  return {(p.x + p.y) / kWoodRepeat * 2, (kRudderTop - p.z) / kWoodRepeat,
          (p.x - kRudderX0) / (kRudderX1 - kRudderX0), (kRudderTop - p.z) / (kRudderTop - layout::kKeelZ)};
}

MeshBuilder RudderMesh() {
  MeshBuilder mesh;
  const int levels = 8;
  std::vector<std::vector<Vec3>> rings;
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
    std::vector<Vec3> a, b;
    for (const auto& r : rings) {
      a.push_back(r[c]);
      b.push_back(r[c + 1]);
    }
    // Walking up the rudder, across from one corner to the next round it.
    Strip(mesh, b, a, [](Vec3 p, int, int) { return RudderCoords(p); });
  }
  // The sole.
  const auto& r = rings.front();
  std::vector<Vec3> a{r[1], r[2]}, b{r[4], r[3]};
  Strip(mesh, b, a, [](Vec3 p, int, int) { return RudderCoords(p); });
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

float TimberLight(Vec3 p) {
  return 0.5f * (BakedLight(p, {0, -1, 0}, 0.9f) + BakedLight(p, {0, 1, 0}, 0.9f));
}
float TimberWaves(Vec3 p, int k) {
  return 0.5f * (WaveLight(p, {0, -1, 0}, k) + WaveLight(p, {0, 1, 0}, k));
}

void AuthorKeelAndRudder(SceneAuthor& scene) {
  {
    const MeshBuilder mesh = KeelMesh();
    auto at = [](float u, float v) {
      return Vec3{kKeelX0 + u * (kKeelX1 - kKeelX0), 0, kKeelZTop - v * (kKeelZTop - layout::kKeelZ)};
    };
    const auto maps = BakeLightmaps(
        scene, "kiel", 128, 64, true, [&](float u, float v) { return TimberLight(at(u, v)); },
        [&](float u, float v, int k) { return TimberWaves(at(u, v), k); });
    scene.material("hull_kiel", Lightmapped("hull_keel.jpg", maps));
    scene.object("kiel", layout::kShip, Matrix::identity(), {mesh.build("hull_kiel", true)});
  }
  {
    const MeshBuilder mesh = RudderMesh();
    auto at = [](float u, float v) {
      return Vec3{kRudderX0 + u * (kRudderX1 - kRudderX0), 0, kRudderTop - v * (kRudderTop - layout::kKeelZ)};
    };
    const auto maps = BakeLightmaps(
        scene, "rudder", 64, 64, true, [&](float u, float v) { return TimberLight(at(u, v)); },
        [&](float u, float v, int k) { return TimberWaves(at(u, v), k); });
    scene.material("hull_rudder", Lightmapped("hull_keel.jpg", maps));
    scene.object("rudder", layout::kShip, Matrix::identity(), {mesh.build("hull_rudder", true)});
  }
}

// ------------------------------------------------------------- the stern

constexpr float kGalleryZ = 60;     // stern walk floor, top of the counter
constexpr float kTierZ = 76.5f;     // between the two tiers of windows

// Half width of the stern at z, where the side's planking ends.
float SternEdge(float z) { return std::fabs(SidePoint(1, z).y); }
// The transom rounds aft a little towards the middle above the tuck.
float SternBulge(float y, float z) {
  const float w = SternEdge(z);
  const float f = w > 0 ? std::clamp(y / w, -1.0f, 1.0f) : 0;
  return 2.5f * (1 - f * f) * SmoothStep(15, 40, z);
}
Vec3 SternPoint(float y, float z) { return {SternX(z) - 0.05f + SternBulge(y, z), y, z}; }

// The stern face between two heights (the upper one may follow the
// taffrail's crown), s across from port to starboard.
std::function<Vec3(float, float)> SternFace(float z0, float z1, bool toTaffrail) {
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

Coords SternCoords(Vec3 p, float s, float t) { return {SternU(p.y), SpanV(p.z, kSternSpan), s, 1 - t}; }

template <typename At>
std::vector<std::string> SternLightmaps(SceneAuthor& scene, const std::string& part, At at, bool waves) {
  auto normal = [&](float s, float t) {
    const float e = 1e-3f;
    const Vec3 ds = at(std::min(s + e, 1.0f), t) - at(std::max(s - e, 0.0f), t);
    const Vec3 dt = at(s, std::min(t + e, 1.0f)) - at(s, std::max(t - e, 0.0f));
    return Normalize(Cross(ds, dt));
  };
  return BakeLightmaps(
      scene, part, 64, 64, waves,
      [&](float u, float v) {
        const Vec3 p = at(u, 1 - v);
        // Under the stern walk the counter sees little sky.
        const float open = 1 - 0.45f * SmoothStep(kGalleryZ - 25, kGalleryZ - 1, p.z) *
                                   (p.z < kGalleryZ ? 1.0f : 0.0f);
        return BakedLight(p, normal(u, 1 - v), open);
      },
      [&](float u, float v, int k) { return WaveLight(at(u, 1 - v), normal(u, 1 - v), k); });
}

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
      std::vector<Vec3> outer, inner;
      for (int i = 0; i <= 12; ++i) {
        const Vec3 o = at(static_cast<float>(i) / 12, 1);
        outer.push_back(o);
        inner.push_back(o - Vec3{kSideThickness, 0, 0});
      }
      Strip(mesh, inner, outer, [](Vec3 p, int k, int) {
        return Coords{SternU(p.y), SpanV(p.z + 1, kSternSpan), static_cast<float>(k) / 12, 0.01f};
      });
    }
    const std::string name = f.part;
    const auto maps = SternLightmaps(scene, name, at, f.waves);
    scene.material("hull_" + name, Lightmapped("hull_stern.jpg", maps));
    scene.object(name, layout::kShip, Matrix::identity(), {mesh.build("hull_" + name, true)});
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
        const Vec3 p{x1, -kSternHalf + 2 * kSternHalf * u, kGalleryZ + 8 - 22 * v};
        return BakedLight(p, Normalize({0.5f, 0, -0.85f}), 0.7f + 0.3f * (1 - v));
      },
      [](float, float, int) { return 0.0f; });
  scene.material("hull_balkon_down", Lightmapped("hull_keel.jpg", maps));
  scene.material("hull_balkon_rail", Lightmapped("hull_balusters.jpg", maps));
  scene.object("balkon_down", layout::kShip, Matrix::identity(),
               {floor.build("hull_balkon_down", true), rail.build("hull_balkon_rail", true)});
}

// ---------------------------------------- quarter galleries, head, catheads

// A quad with its own texture coordinates (a b c d counter-clockwise from the front).
void Quad(MeshBuilder& m, Vec3 a, Vec3 b, Vec3 c, Vec3 d, float u0, float v0, float u1, float v1) {
  const Vec3 n = Normalize(Cross(b - a, d - a));
  m.quad(m.add(a, n, u0, v1), m.add(b, n, u1, v1), m.add(c, n, u1, v0), m.add(d, n, u0, v0));
}

void AuthorGalleriesAndHead(SceneAuthor& scene) {
  // Quarter galleries: a glazed bay on each quarter, both tiers of the stern
  // windows carried round, up to the rail, with a domed roof.
  MeshBuilder galleries, gilt;
  {
    MeshBuilder port;
    const float xa = 212, xb = 244, z0 = kGalleryZ, z1 = RailZ(xb);
    const float yIn = -(HalfBreadth(0.5f * (xa + xb), 68) - 3), yOut = -(HalfBreadth(0.5f * (xa + xb), 68) + 5);
    const float u0 = SternU(-9.4f), u1 = SternU(9.4f), v0 = SpanV(z1, kSternSpan), v1 = SpanV(z0, kSternSpan);
    Quad(port, {xa + 3, yOut, z0}, {xb - 3, yOut, z0}, {xb - 3, yOut, z1}, {xa + 3, yOut, z1}, u0, v0, u1, v1);
    // Canted ends back to the side.
    Quad(port, {xa, yIn, z0}, {xa + 3, yOut, z0}, {xa + 3, yOut, z1}, {xa, yIn, z1}, u0, v0, u0 + 0.05f, v1);
    Quad(port, {xb - 3, yOut, z0}, {xb, yIn, z0}, {xb, yIn, z1}, {xb - 3, yOut, z1}, u1 - 0.05f, v0, u1, v1);
    galleries.append(port);
    galleries.append(port, Scale(1, -1, 1));
    // Roof and its finial, in the carving.
    MeshBuilder roof;
    roof.cylinder({0.5f * (xa + xb), yIn, z1}, {0.5f * (xa + xb), yIn, z1 + 6}, 16, 3, 12, false, 0.08f);
    // Only the outboard half shows: the rest folds flat against the side.
    for (Vertex& v : roof.vertices()) v.p.y = yIn + 0.6f * std::min(0.0f, v.p.y - yIn);
    roof.computeNormals();
    roof.sphere({0.5f * (xa + xb), yIn - 2, z1 + 7}, 1.3f, 6, 4);
    gilt.append(roof);
    gilt.append(roof, Scale(1, -1, 1));
  }
  scene.material("hull_gallery", Plain("hull_stern.jpg"));
  scene.object("hull_quarter_galleries", layout::kShip, Matrix::identity(),
               {galleries.build("hull_gallery")});

  // The head: a figurehead on the knee, headrails sweeping back to the bow.
  const float figZ = 60, figX = StemX(figZ) - 11;
  gilt.cylinder({figX + 2, 0, figZ - 11}, {figX - 3, 0, figZ + 6}, 4.2f, 3.0f, 8, true, 0.05f);  // body
  gilt.cylinder({figX + 3, 0, figZ - 14}, {figX + 2, 0, figZ - 11}, 2.5f, 4.2f, 8, false, 0.05f);  // scroll foot
  gilt.sphere({figX - 4.5f, 0, figZ + 9.5f}, 3.0f, 8, 6);                                            // head
  for (float side : {-1.0f, 1.0f})  // arms, one raised
    gilt.cylinder({figX - 1.5f, side * 3.2f, figZ + 3}, {figX - 8, side * 2.4f, figZ + (side < 0 ? 11 : 4)}, 1.1f, 0.8f,
                  6, true, 0.05f);
  MeshBuilder rails;
  for (float side : {-1.0f, 1.0f})
    for (int r = 0; r < 3; ++r) {
      const float z0 = figZ - 6 + 5.0f * r, xb = -222 - 3.0f * r, zb = 56 + 6.0f * r;
      const Vec3 a{figX + 3, side * 1.5f, z0}, c{xb, side * (HalfBreadth(xb, zb) + 0.6f), zb};
      const Vec3 b{0.5f * (a.x + c.x), side * (0.45f * c.y * side + 2), std::min(a.z, c.z) - 5};
      std::vector<Vec3> path;
      std::vector<float> radius;
      for (int k = 0; k <= 10; ++k) {
        const float t = static_cast<float>(k) / 10;
        path.push_back(a * ((1 - t) * (1 - t)) + b * (2 * t * (1 - t)) + c * (t * t));
        radius.push_back(0.9f);
      }
      rails.tube(path, radius, 6, 0.1f);
    }
  gilt.append(rails);
  // Catheads: stout beams out over the bow at the forecastle rail.
  MeshBuilder cat;
  for (float side : {-1.0f, 1.0f}) {
    const float x = -228, z = RailZ(x) - 2;
    const Vec3 in{x + 6, side * (HalfBreadth(x + 6, z) - 4), z}, out{x - 5, side * (HalfBreadth(x, z) + 9), z + 2};
    cat.cylinder(in, out, 1.6f, 1.5f, 4, true, 0.1f);
  }
  scene.material("hull_carved", Plain("hull_carving.jpg", 0.65f));
  scene.material("hull_timber", Plain("hull_keel.jpg", 0.6f));
  scene.object("hull_head", layout::kShip, Matrix::identity(), {gilt.build("hull_carved"), cat.build("hull_timber")});
}

// -------------------------------------------------- decks and the insides

float InnerHalf(float x, float z) { return std::max(0.2f, HalfBreadth(x, z) - kSideThickness); }

MeshBuilder DeckMesh(float xa, float xb, float z, int cols) {
  MeshBuilder m;
  Loft(
      m,
      [&](float s, float t) {
        const float x = xa + (xb - xa) * s;
        const float w = InnerHalf(x, z);
        return Vec3{x, -w + 2 * w * t, z};
      },
      cols, 4, [](Vec3 p, float, float) { return Coords{p.x / kDeckRepeat, p.y / kDeckRepeat, 0, 0}; },
      [](float, float) { return Vec3{0, 0, 1}; });
  return m;
}

// Port bulwark inside between xa and xb above the deck at z; the starboard
// one is its mirror.
MeshBuilder InsideMesh(float xa, float xb, float deckZ, int cols) {
  MeshBuilder m;
  Loft(
      m,
      [&](float s, float t) {
        const float x = xb - (xb - xa) * s;
        const float z = deckZ + (std::max(deckZ + 0.5f, RailZ(x)) - deckZ) * t;
        return Vec3{x, -InnerHalf(x, z), z};
      },
      cols, 3, [](Vec3 p, float, float) { return Coords{p.x / kWoodRepeat, (100 - p.z) / kWoodRepeat, 0, 0}; });
  return m;
}

// A bulkhead across the ship at x between two heights, facing aft (+x) or forward.
MeshBuilder Breastwork(float x, float z0, float z1, bool facingAft) {
  MeshBuilder m;
  Loft(
      m,
      [&](float s, float t) {
        const float z = z0 + (z1 - z0) * t;
        const float w = InnerHalf(x, z);
        const float y = facingAft ? -w + 2 * w * s : w - 2 * w * s;
        return Vec3{x, y, z};
      },
      6, 2, [](Vec3 p, float, float) { return Coords{p.y / kWoodRepeat, (100 - p.z) / kWoodRepeat, 0, 0}; });
  return m;
}

// The rail along a deck's break: a cap on turned posts, above the bulkhead.
MeshBuilder BreakRail(float x, float deckZ) {
  MeshBuilder m;
  const float w = InnerHalf(x, deckZ + 4);
  const float dx = x < 0 ? -0.5f : 0.5f;  // stands on the upper deck's edge
  m.box({x - 0.6f + dx, -w, deckZ + 4}, {x + 0.6f + dx, w, deckZ + 5}, 0.05f);
  const int posts = static_cast<int>(2 * w / 7);
  for (int k = 0; k <= posts; ++k) {
    const float y = -w + 0.6f + (2 * w - 1.2f) * static_cast<float>(k) / posts;
    m.box({x - 0.4f + dx, y - 0.4f, deckZ}, {x + 0.4f + dx, y + 0.4f, deckZ + 4}, 0.05f);
  }
  return m;
}

float ForemostDeckX(float z) {
  float x = StemX(z) + 0.5f;
  while (InnerHalf(x, z) < 0.4f && x < 0) x += 0.25f;
  return x;
}

void AuthorDecks(SceneAuthor& scene) {
  using namespace layout;
  scene.material("hull_deck", Plain("hull_deck.jpg", 0.65f));
  scene.material("hull_inside", Plain("hull_inside.jpg", 0.65f));
  const float foreX = ForemostDeckX(kForecastleDeckZ);
  const float poopEnd = SternX(kPoopDeckZ) - kSideThickness;
  auto deck = [&](const std::string& name, const MeshBuilder& m) {
    scene.object(name, kShip, Matrix::identity(), {m.build("hull_deck")});
  };
  deck("desc01", DeckMesh(kForecastleBreakX, kQuarterdeckBreakX, kWaistDeckZ, 24));
  deck("desck02", DeckMesh(foreX, kForecastleBreakX, kForecastleDeckZ, 12));
  deck("desck03", DeckMesh(kQuarterdeckBreakX, kPoopBreakX, kQuarterdeckZ, 12));
  {
    // The poop deck's after edge follows the transom's round-up.
    MeshBuilder poopDeck = DeckMesh(kPoopBreakX, poopEnd, kPoopDeckZ, 10);
    for (Vertex& v : poopDeck.vertices())
      if (v.p.x >= poopEnd - 0.01f) v.p.x += SternBulge(v.p.y, kPoopDeckZ);
    deck("desck04", poopDeck);
  }
  {
    // The head's grating platform, over the knee behind the figurehead.
    MeshBuilder head;
    const float z = 62, xa = StemX(z) - 10, xb = StemX(z) + 3;
    Loft(
        head,
        [&](float s, float t) {
          const float x = xa + (xb - xa) * s;
          const float w = 1.5f + 6 * s;
          return Vec3{x, -w + 2 * w * t, z};
        },
        3, 2, [](Vec3 p, float, float) { return Coords{p.x / 20, p.y / 20, 0, 0}; },
        [](float, float) { return Vec3{0, 0, 1}; });
    head.box({xa, -7.5f, z - 1.2f}, {xb, 7.5f, z - 0.05f}, 0.05f);
    deck("desck05", head);
  }

  auto inside = [&](const std::string& name, std::vector<MeshBuilder> parts) {
    MeshBuilder all;
    for (const MeshBuilder& p : parts) all.append(p);
    scene.object(name, kShip, Matrix::identity(), {all.build("hull_inside")});
  };
  auto mirrored = [](const MeshBuilder& port) {
    MeshBuilder m;
    m.append(port, Scale(1, -1, 1));
    return m;
  };
  const MeshBuilder waist = InsideMesh(kForecastleBreakX, kQuarterdeckBreakX, kWaistDeckZ, 24);
  inside("board_high_inside", {waist});
  inside("ard_high_inside02", {mirrored(waist)});
  const MeshBuilder fore = InsideMesh(foreX, kForecastleBreakX, kForecastleDeckZ, 12);
  inside("f_board01in", {fore, mirrored(fore), Breastwork(kForecastleBreakX, kWaistDeckZ, kForecastleDeckZ, true),
                         BreakRail(kForecastleBreakX, kForecastleDeckZ)});
  const MeshBuilder quarter = InsideMesh(kQuarterdeckBreakX, kPoopBreakX, kQuarterdeckZ, 12);
  inside("f_board02in01", {quarter, Breastwork(kQuarterdeckBreakX, kWaistDeckZ, kQuarterdeckZ, false),
                           BreakRail(kQuarterdeckBreakX, kQuarterdeckZ)});
  inside("f_board02in02", {mirrored(quarter)});
  const MeshBuilder poop = InsideMesh(kPoopBreakX, poopEnd, kPoopDeckZ, 8);
  // The transom's inside above the poop deck.
  MeshBuilder transom;
  Loft(
      transom,
      [&](float s, float t) {
        // Up to the taffrail's crown, so nothing of the stern is open from inboard.
        const float zRail = kPoopDeckZ + (RailZ(SternX(90)) - kPoopDeckZ) * t;
        const float w = InnerHalf(poopEnd, zRail);
        const float y = w - 2 * w * s;
        const float z = kPoopDeckZ + (TaffrailZ(y) - kPoopDeckZ) * t;
        return Vec3{SternX(z) - kSideThickness + SternBulge(y, z), y, z};
      },
      8, 2, [](Vec3 p, float, float) { return Coords{p.y / kWoodRepeat, (100 - p.z) / kWoodRepeat, 0, 0}; });
  inside("f_board03in", {poop, mirrored(poop), Breastwork(kPoopBreakX, kQuarterdeckZ, kPoopDeckZ, false), transom,
                         BreakRail(kPoopBreakX, kPoopDeckZ)});
}

// ------------------------------------------------------------- lanterns

void AuthorLanterns(SceneAuthor& scene) {
  using layout::kLantern;
  const Vec3 mid = (kLantern[0] + kLantern[1]) * 0.5f;
  MeshBuilder glass, top;
  for (const Vec3& c : kLantern) {
    const Vec3 l = c - mid;
    glass.cylinder(l - Vec3{0, 0, 5}, l + Vec3{0, 0, 5}, 3.0f, 4.0f, 6, true, 0.1f);
    top.cylinder(l + Vec3{0, 0, 5}, l + Vec3{0, 0, 9}, 4.6f, 0.8f, 6, true, 0.1f);
    top.sphere(l + Vec3{0, 0, 10}, 1.0f, 6, 4);
    top.cylinder(l - Vec3{0, 0, 6.2f}, l - Vec3{0, 0, 5}, 2.2f, 3.3f, 6, true, 0.1f);
    // Iron bracket back to the taffrail.
    const Vec3 rail{SternX(90) + 1, c.y, TaffrailZ(c.y) - 1.5f};
    top.tube({l - Vec3{0, 0, 6.2f}, l + Vec3{-2, 0, -9}, (l + rail - mid) * 0.5f + Vec3{0, 0, -4}, rail - mid},
             {0.6f, 0.6f, 0.6f, 0.6f}, 5, 0.1f);
  }
  ArchiveMaterial lamp;
  lamp.description = LitMaterial({1, 1, 1}, 0.6f, {0.85f, 0.6f, 0.3f});
  lamp.layers = {Layer(1, {"Lantern01.jpg"}), Layer(4, {"Lantern01alfa.jpg"})};
  scene.material("hull_lantern", lamp);
  scene.material("hull_iron", Plain("hull_iron.jpg", 0.6f));
  scene.object("lantern01", layout::kShip, Translate(mid), {glass.build("hull_lantern")});
  scene.object("lantern01_top", layout::kShip, Translate(mid), {top.build("hull_iron")});
  scene.group("Dummy_lantern01", layout::kShip, Translate(kLantern[0]));
  scene.group("Dummy_lantern02", layout::kShip, Translate(kLantern[1]));
}

void AuthorDummies(SceneAuthor& scene) {
  using namespace layout;
  for (int i = 0; i < 3; ++i) scene.group("Dummy_water0" + std::to_string(i + 1), kShip, Translate(kWaterPoint[i]));
  // Creaks low in the hull, fore and aft.
  scene.group("Dummy_skrip01", kShip, Translate({-150, 0, -20}));
  scene.group("Dummy_skrip02", kShip, Translate({150, 0, -20}));
  // One metre on the waist deck.
  scene.group("Dummy_metr01", kShip, Translate({-20, 0, kWaistDeckZ}));
  scene.group("Dummy_metr02", kShip, Translate({-20 + kUnitsPerMetre, 0, kWaistDeckZ}));
}

void AuthorPictures(SceneAuthor& scene) {
  Picture(scene, "hull_board_high.jpg", PaintUpperWorks());
  Picture(scene, "hull_board_mid.jpg", PaintMiddleBand());
  Picture(scene, "hull_board_low.jpg", PaintBootTopping());
  Picture(scene, "hull_copper.jpg", PaintCopper());
  Picture(scene, "hull_keel.jpg", PaintKeelWood());
  Picture(scene, "hull_stern.jpg", PaintStern());
  Picture(scene, "hull_deck.jpg", PaintDeck());
  Picture(scene, "hull_inside.jpg", PaintInside());
  Picture(scene, "hull_carving.jpg", PaintCarving());
  Picture(scene, "hull_balusters.jpg", PaintBalusters());
  Picture(scene, "Lantern01.jpg", PaintLanternGlass());
  Picture(scene, "Lantern01alfa.jpg", PaintLanternAlpha());
  Picture(scene, "hull_iron.jpg", WroughtIron());
}

}  // namespace

void AuthorHull(SceneAuthor& scene) {
  scene.setFamily("hull");
  AuthorPictures(scene);
  AuthorSide(scene);
  AuthorKeelAndRudder(scene);
  AuthorStern(scene);
  AuthorGalleriesAndHead(scene);
  AuthorDecks(scene);
  AuthorLanterns(scene);
  AuthorDummies(scene);
}

}  // namespace brisane::assets::ship
