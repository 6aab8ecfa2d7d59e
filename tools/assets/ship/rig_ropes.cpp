// Standing and running rigging, the ropes that wave with the sails and the
// anchor cables, and the coils on deck.
#include <cmath>
#include <span>
#include <stdexcept>
#include <string_view>

#include "rig_common.h"

namespace brisane::assets::ship::rig {

using namespace layout;

std::vector<Vector3> Hang(Vector3 a, Vector3 b, float sag, int points, Vector3 sway) {
  std::vector<Vector3> path;
  for (int i = 0; i < points; ++i) {
    const float u = static_cast<float>(i) / static_cast<float>(points - 1);
    const float dip = 4 * u * (1 - u);
    path.push_back(Lerp(a, b, u) + Vector3{0, 0, -sag * dip} + sway * std::sin(kPi * u));
  }
  return path;
}

void Rope(MeshBuilder& mesh, const std::vector<Vector3>& path, float radius, int sides) {
  const std::size_t base = mesh.vertexCount();
  Vector3 t0 = Normalize(path[1] - path[0]);
  Vector3 side = Normalize(Cross(t0, std::fabs(t0.z) < 0.9f ? Vector3{0, 0, 1} : Vector3{1, 0, 0}));
  float along = 0;
  for (std::size_t k = 0; k < path.size(); ++k) {
    const Vector3 t = Normalize(k + 1 < path.size() ? path[k + 1] - path[k] : path[k] - path[k - 1]);
    const Vector3 tAvg = k == 0 || k + 1 == path.size() ? t : Normalize(Normalize(path[k] - path[k - 1]) + t);
    side = Normalize(side - tAvg * Dot(side, tAvg));  // carried along, so the rope does not twist
    const Vector3 other = Cross(tAvg, side);
    if (k > 0) along += Length(path[k] - path[k - 1]);
    for (int i = 0; i < sides; ++i) {
      const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(sides);
      const Vector3 n = side * std::cos(a) + other * std::sin(a);
      mesh.add(path[k] + n * radius, n, static_cast<float>(i) / static_cast<float>(sides), along * 0.08f);
    }
  }
  for (std::size_t k = 0; k + 1 < path.size(); ++k)
    for (int i = 0; i < sides; ++i) {
      const int j = (i + 1) % sides;
      const auto at = [&](std::size_t ring, int s) { return static_cast<std::uint16_t>(base + ring * sides + s); };
      mesh.quad(at(k, i), at(k, j), at(k + 1, j), at(k + 1, i));
    }
}

void Strip(MeshBuilder& mesh, Vector3 p0, Vector3 p1, float width, Vector3 normal) {
  const Vector3 up{0, 0, width};
  const float len = Length(p1 - p0) * 0.08f;
  const auto a = mesh.add(p0, normal, 0, 0), b = mesh.add(p1, normal, len, 0), c = mesh.add(p1 + up, normal, len, 0.1f),
             d = mesh.add(p0 + up, normal, 0, 0.1f);
  if (Dot(Cross(p1 - p0, up), normal) >= 0) mesh.quad(a, b, c, d);
  else mesh.quad(a, d, c, b);
}

std::vector<Vector3> ChannelStations(const MastPlan& p, float side) {
  const float zc = ChannelZ(p), x = p.mast->x(zc);
  std::vector<float> xs;
  const int n = p.lowerShrouds;
  const float span = 8.0f * static_cast<float>(n + 1);
  for (int i = 0; i < n; ++i) xs.push_back(x - 6 + span * static_cast<float>(i) / static_cast<float>(n - 1));
  for (int i = 0; i < 3; ++i) xs.push_back(x - 6 + span + 10 + 8 * static_cast<float>(i));
  std::vector<Vector3> out;
  for (float sx : xs) out.push_back({sx, side * (HalfBreadth(sx, zc) + 6), zc + 11});
  return out;
}

void ChannelFittings(MeshBuilder& deadeyes, MeshBuilder& plates) {
  for (int m = 0; m < kMastCount; ++m) {
    const MastPlan& p = Plan(m);
    const float zc = ChannelZ(p);
    for (int side = -1; side <= 1; side += 2)
      for (const Vector3& up : ChannelStations(p, static_cast<float>(side))) {
        const Vector3 low{up.x, up.y, zc + 3.8f};
        for (const Vector3& c : {low, up}) deadeyes.cylinder(c - Vector3{0, 0.7f, 0}, c + Vector3{0, 0.7f, 0}, 2.2f, 2.2f, 6, true, 0.1f);
        for (int k = -1; k <= 1; k += 2)  // lanyards
          Rope(plates, {low + Vector3{k * 1.1f, 0, 1.8f}, up + Vector3{k * 1.1f, 0, -1.8f}}, 0.35f, 3);
        const float zb = zc - 16;
        Rope(plates, {low + Vector3{0, 0, -2.0f}, {up.x, side * (HalfBreadth(up.x, zb) + 0.6f), zb}}, 0.6f, 4);
      }
  }
}

namespace {

// Point on the line a-b at height z.
Vector3 AtHeight(Vector3 a, Vector3 b, float z) { return Lerp(a, b, (z - a.z) / (b.z - a.z)); }

// Shrouds between feet and heads, with ratlines between the outermost.
void Shrouds(MeshBuilder& ropes, MeshBuilder& ratlines, const std::vector<Vector3>& feet, const std::vector<Vector3>& heads,
             float radius, float ratFrom, float ratTo, float step, float side) {
  for (std::size_t i = 0; i < feet.size(); ++i) Rope(ropes, {feet[i], heads[i]}, radius, 4);
  if (step <= 0) return;
  for (float z = ratFrom; z < ratTo; z += step) {
    const Vector3 a = AtHeight(feet.front(), heads.front(), z), b = AtHeight(feet.back(), heads.back(), z);
    Strip(ratlines, a + Vector3{0, side * 0.2f, 0}, b + Vector3{0, side * 0.2f, 0}, 0.45f, {0, side, 0});
  }
}

struct YardInfo {
  Vector3 centre, along;
  float half;
  int mast;   // 0 fore, 1 main, 2 mizzen
  int level;  // 0 lower, 1 topsail, 2 topgallant
};

std::vector<YardInfo> Yards() {
  static const int mastOf[kSailCount] = {0, 0, 1, 1, 2, 1};
  static const int levelOf[kSailCount] = {0, 1, 2, 0, 0, 1};
  std::vector<YardInfo> out;
  for (int id = 0; id < kSailCount; ++id) {
    const HungSail& s = Sail(static_cast<SailId>(id));
    out.push_back({s.YardCentre(), s.YardAlong(), s.HalfHead() * 1.08f + 3, mastOf[id], levelOf[id]});
  }
  const Matrix frame = SailFrame(kMizzen.at(172));
  out.push_back({RigToShip(TransformPoint(Vector3{0, 0, -kHeadForward}, frame)),
                 Normalize(TransformDirection(Vector3{1, 0, 0}, frame)), 42, 2, 1});
  return out;
}

// Rail point on one side at x, just inside the rail.
Vector3 RailAt(float x, float side) { return {x, side * (HalfBreadth(x, RailZ(x)) - 1.5f), RailZ(x) + 1}; }

// Yard-arm sheave at `offset` along a sail's yard (ship frame).
Vector3 YardPoint(const HungSail& s, float offset) { return s.YardCentre() + s.YardAlong() * offset + Vector3{0, 0, -1.5f}; }

void Standing(MeshBuilder& shrouds, MeshBuilder& ratlines, MeshBuilder& stays) {
  for (int m = 0; m < kMastCount; ++m) {
    const MastPlan& p = Plan(m);
    const Mast& mast = *p.mast;
    const float R = p.lowerRadius, rTop = TopmastRadius(p), rTg = TopgallantRadius(p);
    const float hounds = TopgallantHoundsZ(p);
    for (int side = -1; side <= 1; side += 2) {
      const float sd = static_cast<float>(side);
      const std::vector<Vector3> st = ChannelStations(p, sd);
      const int n = p.lowerShrouds;
      // Lower shrouds to the masthead under the top.
      std::vector<Vector3> feet, heads;
      for (int i = 0; i < n; ++i) {
        feet.push_back(st[i] + Vector3{0, 0, 2.2f});
        heads.push_back(mast.at(p.topZ - 3) + Vector3{-2 + 4.0f * i / (n - 1), sd * (0.8f * R + 0.8f), 0});
      }
      Shrouds(shrouds, ratlines, feet, heads, 0.75f, feet[0].z + 8, p.topZ - 14, 4, sd);
      // Futtock shrouds from the rim of the top in to the mast.
      for (int k = 0; k < 3; ++k) {
        const Vector3 rim = mast.at(p.topZ) + Vector3{-4 + 5.0f * k, sd * (p.topHalfWidth - 1.5f), -0.8f};
        Rope(shrouds, {rim, mast.at(p.topZ - 20) + Vector3{-1 + 1.0f * k, sd * 0.9f * R, 0}}, 0.5f, 3);
      }
      // Topmast shrouds from the rim of the top to the crosstrees.
      feet.clear();
      heads.clear();
      const int tn = p.topmastShrouds;
      for (int i = 0; i < tn; ++i) {
        const float f = static_cast<float>(i) / static_cast<float>(tn - 1);
        feet.push_back(mast.at(p.topZ) + Vector3{-3 + 10 * f, sd * (p.topHalfWidth - 1), 1.5f});
        heads.push_back(mast.at(p.crosstreesZ - 2) + Vector3{-1 + 2 * f, sd * (0.8f * rTop + 0.5f), 0});
      }
      Shrouds(shrouds, ratlines, feet, heads, 0.55f, p.topZ + 5, p.crosstreesZ - 8, 3.5f, sd);
      // Topgallant shrouds from the ends of the crosstrees.
      for (int k = -1; k <= 1; k += 2)
        Rope(shrouds,
             {mast.at(p.crosstreesZ) + Vector3{4.5f * k + 1.5f, sd * (p.crossHalfWidth - 0.5f), 0.6f},
              mast.at(hounds) + Vector3{0, sd * (0.7f * rTg + 0.3f), 0}},
             0.4f, 3);
      // Backstays down to the aft end of the channel.
      for (int k = 0; k < 2; ++k)
        Rope(shrouds, Hang(st[n + k] + Vector3{0, 0, 2.2f}, mast.at(p.crosstreesZ + 1) + Vector3{1, sd * (rTop + 0.5f), 0}, 1.5f, 6),
             0.6f, 4);
      Rope(shrouds, Hang(st[n + 2] + Vector3{0, 0, 2.2f}, mast.at(hounds + 1) + Vector3{0.5f, sd * (rTg + 0.3f), 0}, 1.5f, 6),
           0.45f, 3);
    }
  }

  // Stays, each mast's to the next forward; the fore's to the bowsprit.
  const Spar bs = Bowsprit(), jb = JibBoom();
  const MastPlan &fore = Plan(0), &main = Plan(1), &mizzen = Plan(2);
  const float stemAlong = (bs.heel.x - StemX(80)) / -bs.dir.x;
  const Vector3 onTop{0, 0, 4.0f};  // stays set up on top of the bowsprit
  auto stay = [&](Vector3 from, Vector3 to, float radius, float sag) { Rope(stays, Hang(from, to, sag, 9), radius, 5); };
  stay(kFore.at(fore.topZ - 2) - Vector3{fore.lowerRadius, 0, 0}, bs.at(stemAlong + 14) + onTop, 1.2f, 2);
  stay(kFore.at(fore.crosstreesZ - 1) - Vector3{TopmastRadius(fore), 0, 0}, bs.at(bs.length - 5) + onTop, 0.8f, 2.5f);
  stay(kFore.at(TopgallantHoundsZ(fore)), jb.at(jb.length - 4) + Vector3{0, 0, 2}, 0.55f, 3);
  stay(kMain.at(main.topZ - 2) - Vector3{main.lowerRadius, 0, 0}, kFore.at(kForecastleDeckZ + 8) + Vector3{6, 0, 0}, 1.3f, 3);
  stay(kMain.at(main.crosstreesZ - 1) - Vector3{TopmastRadius(main), 0, 0}, kFore.at(fore.topZ + 4) + Vector3{6, 0, 0}, 0.8f, 2.5f);
  stay(kMain.at(TopgallantHoundsZ(main)), kFore.at(fore.crosstreesZ + 2) + Vector3{2, 0, 0}, 0.55f, 2.5f);
  stay(kMizzen.at(mizzen.topZ - 2) - Vector3{mizzen.lowerRadius, 0, 0}, kMain.at(kWaistDeckZ + 22) + Vector3{main.lowerRadius, 0, 0},
       0.9f, 2);
  stay(kMizzen.at(mizzen.crosstreesZ - 1), kMain.at(main.topZ + 3) + Vector3{10, 0, 0}, 0.6f, 2);
  // Bobstay down to the cutwater, and the bowsprit shrouds to the bows.
  stay(bs.at(bs.length - 20) - Vector3{0, 0, 3}, {StemX(15) + 3, 0, 15}, 0.9f, 0.5f);
  for (int side = -1; side <= 1; side += 2) {
    const float x = StemX(55) + 24;
    stay(bs.at(100) + Vector3{0, side * 2.5f, -1}, {x, side * (HalfBreadth(x, 55) + 0.5f), 55}, 0.7f, 1);
  }
}

void Running(MeshBuilder& ropes) {
  const std::vector<YardInfo> yards = Yards();
  auto line = [&](Vector3 a, Vector3 b, float sag) { Rope(ropes, Hang(a, b, sag, 7), 0.45f, 3); };
  for (std::size_t y = 0; y < yards.size(); ++y) {
    const YardInfo& yd = yards[y];
    const MastPlan& p = Plan(yd.mast);
    const Mast& mast = *p.mast;
    for (int sgn = -1; sgn <= 1; sgn += 2) {
      const Vector3 arm = yd.centre + yd.along * (sgn * yd.half * 0.95f);
      const float side = arm.y > yd.centre.y ? 1.0f : -1.0f;
      // Lifts to the cap above the yard.
      const float capZ = yd.level == 0 ? p.lowerHeadZ + 1 : yd.level == 1 ? p.topmastHeadZ + 1 : mast.truckZ - 6;
      const float capR = yd.level == 0 ? 0.8f * p.lowerRadius : yd.level == 1 ? TopmastRadius(p) : TopgallantRadius(p);
      line(arm, mast.at(capZ) + Vector3{0, side * (capR + 0.6f), 0}, 0.5f);
      // Braces, led aft (the mizzen's forward) to where they are belayed.
      Vector3 lead;
      if (yd.mast == 0 && yd.level == 0) lead = RailAt(kMain.footX - 90, side);
      else if (yd.mast == 0) lead = kMain.at(Plan(1).topZ - 4) + Vector3{0, side * 8, 0};
      else if (yd.mast == 1 && yd.level == 0) {
        if (side > 0) continue;  // the starboard main brace is "Line257", which sways
        lead = RailAt(135, side);
      } else if (yd.mast == 1 && yd.level == 1) lead = kMizzen.at(Plan(2).topZ + 2) + Vector3{0, side * 6, 0};
      else if (yd.mast == 1) lead = kMizzen.at(Plan(2).crosstreesZ) + Vector3{0, side * 4, 0};
      else if (yd.level == 0) lead = kMain.at(Plan(1).topZ - 30) + Vector3{Plan(1).lowerRadius + 1, side * 4, 0};
      else lead = kMain.at(Plan(1).crosstreesZ - 10) + Vector3{TopmastRadius(Plan(1)), side * 3, 0};
      line(arm, lead, 0.015f * Length(lead - arm) + 1);
    }
  }
}

// Coil of rope lying on deck: a flat spiral, turns stacked a little.
void Coil(MeshBuilder& m, Vector3 centre, float r0, float r1, float turns) {
  std::vector<Vector3> path;
  const int points = static_cast<int>(turns * 14);
  for (int i = 0; i <= points; ++i) {
    const float f = static_cast<float>(i) / static_cast<float>(points);
    const float a = 2 * kPi * turns * f;
    const float r = r0 + (r1 - r0) * f;
    path.push_back(centre + Vector3{r * std::cos(a), r * std::sin(a), 0.55f + 0.05f * std::sin(3 * a)});
  }
  Rope(m, path, 0.55f, 3);
}

}  // namespace

void AuthorRigging(SceneAuthor& scene) {
  MeshBuilder shrouds, ratlines, stays, running;
  Standing(shrouds, ratlines, stays);
  Running(running);
  scene.object("rig_shrouds", kShip, Matrix::Identity(), {shrouds.build(kTarred), ratlines.build(kTarred)});
  scene.object("rig_stays", kShip, Matrix::Identity(), {stays.build(kTarred)});
  scene.object("rig_running", kShip, Matrix::Identity(), {running.build(kHemp)});

  // Ropes that move: each frame of the loop is rebuilt at that key time.
  const float tau = 2 * kPi;
  auto animated = [&](const std::string& name, const char* material,
                      const std::function<void(MeshBuilder&, std::uint32_t, float)>& build) {
    std::vector<MeshBuilder> shapes;
    for (int k = 0; k < kClothFrames; ++k) {
      MeshBuilder m;
      build(m, static_cast<std::uint32_t>(k) * (kClothLoop / kClothFrames), LoopPhase(k, kClothFrames));
      shapes.push_back(std::move(m));
    }
    scene.object(name, kShip, {TransformKey{0, Matrix::Identity()}}, LoopFrames(shapes, kClothLoop, material));
  };

  // The show waves these ropes: the two anchor cables, the slack brace, then
  // the sheets.
  const auto ropes = std::span(contract::kRopes);
  const auto cables = ropes.first<2>();
  const std::string_view brace = ropes[2];
  const auto sheetNames = ropes.subspan<3>();

  // Anchor cables out of the hawse holes and down into the sea.
  for (int c = 0; c < 2; ++c) {
    const float side = c == 0 ? -1.0f : 1.0f;
    const float zh = 48, xh = StemX(zh) + 26;
    const Vector3 hawse{xh, side * (HalfBreadth(xh, zh) + 0.5f), zh};
    const Vector3 sea{xh - 95, side * (HalfBreadth(xh, zh) + 16), -45};
    animated(std::string(cables[c]), kTarred, [&](MeshBuilder& m, std::uint32_t, float ph) {
      const Vector3 sway{-3.0f * std::sin(tau * ph + c), side * 1.5f * std::cos(tau * ph + 0.5f * c), 1.2f * std::sin(tau * 2 * ph)};
      Rope(m, Hang(hawse, sea + Vector3{2.5f * std::sin(tau * ph + c), 0, 0}, 16, 11, sway), 1.7f, 4);
    });
  }

  // The starboard main brace, hanging slack.
  {
    const HungSail& course = Sail(kMainCourse);
    const Vector3 arm = course.YardCentre() - course.YardAlong() * (0.95f * (course.HalfHead() * 1.08f + 3));
    const Vector3 lead = RailAt(135, 1);
    animated(std::string(brace), kHemp, [&](MeshBuilder& m, std::uint32_t, float ph) {
      const Vector3 sway{1.5f * std::sin(tau * ph), 2.5f * std::sin(tau * ph + 0.8f), 0.8f * std::cos(tau * 2 * ph)};
      Rope(m, Hang(arm, lead, 5, 10, sway), 0.5f, 3);
    });
  }

  // Sheets that follow the sails' clews: s = 1 is the port clew, s = 0 starboard.
  struct Sheet {
    SailId sail;
    float s;
  };
  auto sheetTo = [&](const Sheet& sh) -> Vector3 {
    const HungSail& sail = Sail(sh.sail);
    const float side = sh.s > 0.5f ? -1.0f : 1.0f;
    const float halfFoot = 0.5f * sail.cut.foot * sail.HalfHead() / (0.5f * sail.cut.head);
    switch (sh.sail) {
      case kForeTopsail: return YardPoint(Sail(kForeCourse), -side * halfFoot);
      case kMainTopsail: return YardPoint(Sail(kMainCourse), -side * halfFoot);
      case kMainTopgallant: return YardPoint(Sail(kMainTopsail), -side * halfFoot);
      default: {
        const Vector3 clew = sail.At(sh.s, 1, 0);
        return RailAt(clew.x + (sh.sail == kMizzenCourse ? 50.0f : 70.0f), side);
      }
    }
  };
  const std::vector<std::vector<Sheet>> sheets = {
      {{kForeCourse, 1}}, {{kForeCourse, 0}},      {{kMainCourse, 1}},     {{kMainCourse, 0}},
      {{kForeTopsail, 1}}, {{kForeTopsail, 0}},    {{kMainTopsail, 1}},    {{kMainTopsail, 0}},
      {{kMainTopgallant, 1}, {kMainTopgallant, 0}, {kMizzenCourse, 1}, {kMizzenCourse, 0}},
  };
  if (sheets.size() != sheetNames.size()) throw std::logic_error("a sheet for every rope the show waves");
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    animated(std::string(sheetNames[i]), kHemp, [&](MeshBuilder& m, std::uint32_t time, float) {
      for (const Sheet& sh : sheets[i]) {
        const Vector3 clew = Sail(sh.sail).At(sh.s, 1, time);
        const Vector3 to = sheetTo(sh);
        Rope(m, Hang(clew, to, 0.02f * Length(to - clew) + 0.5f, 7), 0.55f, 3);
      }
    });
  }

  // Coils on deck by the masts.
  const struct {
    const char* name;
    Vector3 at;
  } coils[] = {
      {"Line01", {kFore.footX + 12, -12, kForecastleDeckZ}},
      {"Line02", {kMain.footX - 12, 11, kWaistDeckZ}},
      {"Line03", {kMain.footX - 12, -11, kWaistDeckZ}},
      {"Line04", {kMizzen.footX + 11, 10, kQuarterdeckZ}},
  };
  for (const auto& c : coils) {
    MeshBuilder m;
    Coil(m, c.at, 2.2f, 5.5f, 2.6f);
    scene.object(c.name, kShip, Matrix::Identity(), {m.build(kHemp)});
  }
}

}  // namespace brisane::assets::ship::rig
