// The side: lofted from the hull's lines in painted bands, the port side's
// mirrored to starboard, with baked and partly wave-lit lightmaps.
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "hull_mesh.h"
#include "hull_paint.h"
#include "hull_parts.h"

namespace brisane::assets::ship::hull {

namespace {

using layout::HalfBreadth;
using layout::RailZ;

constexpr int kSideCols = 104;

float RabbetLine(float) { return kRabbetZ; }

Vector3 SideNormal(float s, float z, float side) {
  const float e = 1e-3f, ez = 0.05f;
  const Vector3 ds = SidePoint(std::min(s + e, 1.0f), z, side) - SidePoint(std::max(s - e, 0.0f), z, side);
  const Vector3 dz = SidePoint(s, z + ez, side) - SidePoint(s, z - ez, side);
  const Vector3 n = Normalize(Cross(ds, dz));
  return side < 0 ? n : -n;
}

// Girth from the band's top down to t, along its column (copper rows follow it).
float GirthFromTop(const Band& band, float s, float t) {
  float g = 0;
  Vector3 prev = SidePoint(s, BandZ(band, s, 1));
  for (int k = 1; k <= 16; ++k) {
    const float tt = 1 - (1 - t) * static_cast<float>(k) / 16;
    const Vector3 p = SidePoint(s, BandZ(band, s, tt));
    g += Length(p - prev);
    prev = p;
  }
  return g;
}

Coords BandCoords(const SideBand& b, Vector3 p, float s, float t, int half, float sHalf) {
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

MeshBuilder PortBand(const SideBand& b) {
  MeshBuilder mesh;
  for (int half = 0; half < 2; ++half) {
    auto sOf = [half](float sHalf) { return 0.5f * static_cast<float>(half) + 0.5f * sHalf; };
    Loft(
        mesh, [&](float sh, float t) { return SidePoint(sOf(sh), BandZ(b.band, sOf(sh), t)); }, kSideCols / 2, b.rows,
        [&](Vector3 p, float sh, float t) { return BandCoords(b, p, sOf(sh), t, half, sh); },
        [&](float sh, float t) { return SideNormal(sOf(sh), BandZ(b.band, sOf(sh), t), -1); });
  }
  if (std::string(b.part) == "board_high") {
    // The cap rail across the top of the side, in the picture's black.
    std::vector<Vector3> outer, inner;
    for (int i = 0; i <= kSideCols; ++i) {
      const float s = static_cast<float>(i) / kSideCols;
      const float z = LineZ(s, RailZ);
      const Vector3 o = SidePoint(s, z);
      outer.push_back(o);
      // Where the side is thinner than the bulwark (the stem) the cap covers it all.
      inner.push_back({o.x, std::max(o.y, -std::max(0.0f, HalfBreadth(o.x, z) - kSideThickness)), z});
    }
    Strip(mesh, outer, inner, [&](Vector3 p, int k, int) {
      const float s = static_cast<float>(k) / kSideCols;
      return Coords{SideU(p.x), SpanV(RailZ(p.x) + 4, kHighSpan), LmU(std::min(1.0f, 2 * s)), LmV(0, 1)};
    });
  }
  return mesh;
}

std::vector<SideBand> SideBands() {
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
        const Vector3 p = SidePoint(s, z, side);
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
      scene.object(name, layout::kShip, Matrix::Identity(), {mesh.build("hull_" + name, true)});
    }
  }
}

}  // namespace brisane::assets::ship::hull
