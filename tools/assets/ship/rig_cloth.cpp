// Sails and flags: cloth shapes as periodic functions of the loop phase, so
// that every frame, and every rope that follows a sail's corner, agrees.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "rig_common.h"

namespace brisane::assets::ship::rig {

std::vector<std::uint32_t> LoopTimes(std::uint32_t loop, int frames) {
  if (frames < 1) throw std::invalid_argument("a loop needs frames");
  std::vector<std::uint32_t> times;
  for (int k = 0; k <= frames; ++k)
    times.push_back(static_cast<std::uint32_t>((static_cast<std::uint64_t>(loop) * k + frames / 2) / frames));
  return times;
}

std::vector<ArchiveFrame> LoopFrames(const std::vector<MeshBuilder>& shapes, std::uint32_t loop,
                                     const std::string& material) {
  const int n = static_cast<int>(shapes.size());
  const std::vector<std::uint32_t> times = LoopTimes(loop, n);
  std::vector<ArchiveFrame> frames;
  for (int k = 0; k <= n; ++k) {
    ArchiveFrame f;
    f.time = times[k];
    f.meshes.push_back(shapes[k % n].build(material));  // the last repeats the first
    frames.push_back(std::move(f));
  }
  return frames;
}

// ---------------------------------------------------------------- sails

SailCut Cut(float head, float foot, float height, std::uint32_t seed) {
  return SailCut{head, foot, height, 0.2f * height + 0.05f * (head + foot) * 0.5f, seed};
}

namespace {

// A fixed phase offset per seed, so that sails do not ripple in lockstep.
float SeedAngle(std::uint32_t seed, int which) {
  const std::uint32_t h = (seed * 2654435761u) ^ (static_cast<std::uint32_t>(which) * 40503u);
  return static_cast<float>(h % 6283u) * 0.001f;
}

}  // namespace

Vec3 SailPoint(const SailCut& cut, float s, float t, float phase) {
  const float tau = 2 * kPi;
  const float w = cut.head + (cut.foot - cut.head) * t;
  const float across = std::max(0.0f, std::sin(kPi * s));  // 0 at the leeches (sin(pi) dips below 0)
  Vec3 p{(s - 0.5f) * w, -cut.height * t, 0};
  // The wind lifts the middle of the foot a little.
  p.y += cut.height * 0.05f * across * t * t;

  const float breathe = 1 + 0.05f * std::sin(tau * phase) + 0.025f * std::sin(tau * 2 * phase + 1.1f);
  const float fill = std::sin(kPi * 0.5f * t) * (1 - 0.22f * t);
  float belly = cut.depth * breathe * (std::pow(across, 0.85f) * fill + 0.22f * std::sin(kPi * t) * (1 - across));

  // Everything that moves fades in below the yard, which holds the head.
  const float free = SmoothStep(0.0f, 0.18f, t);
  const float ripple = 0.045f * cut.depth * (0.3f + 0.7f * t) * std::pow(across, 0.3f) *
                       std::sin(tau * (1.5f * s + 0.8f * t - 2 * phase) + SeedAngle(cut.seed, 1));
  const float edge = std::pow(std::max(0.0f, 1 - std::min(s, 1 - s) / 0.18f), 2.0f);
  const float leech = 0.09f * cut.depth * edge * (0.4f + 0.6f * t) *
                      std::sin(tau * (3 * t - 5 * phase) + SeedAngle(cut.seed, 2) + (s > 0.5f ? 1.7f : 0.0f));
  const float footEdge = std::pow(std::max(0.0f, 1 - (1 - t) / 0.15f), 2.0f);
  const float footFlutter =
      0.06f * cut.depth * footEdge * across * std::sin(tau * (2.5f * s - 4 * phase) + SeedAngle(cut.seed, 3));
  belly += free * (ripple + leech + footFlutter);
  p.z = -(kHeadForward + belly);
  return p;
}

// Cloth hangs from its top: the surface's t counts down the picture.
void PictureUpright(MeshBuilder& m) {
  for (Vertex& v : m.vertices()) v.v = TextureV(v.v);
}

MeshBuilder SailMesh(const SailCut& cut, float phase, int cols, int rows) {
  MeshBuilder m;
  m.surface([&](float s, float t) { return SailPoint(cut, s, t, phase); }, cols, rows);
  PictureUpright(m);
  return m;
}

namespace {

float RowLength(const Matrix& m, int row) { return Length({m(row, 0), m(row, 1), m(row, 2)}); }

}  // namespace

const contract::Waving& Waving(std::string_view node) {
  for (const contract::Waving& w : contract::kCloths)
    if (w.node == node) return w;
  throw std::invalid_argument("the show waves no '" + std::string(node) + "'");
}

Matrix CloneMatrix(std::string_view suffix) {
  for (const contract::CloneSpec& c : contract::kClones)
    if (c.suffix == suffix) {
      Matrix m;
      std::copy(c.local.begin(), c.local.end(), m.m.begin());
      return m;
    }
  throw std::invalid_argument("no clone '" + std::string(suffix) + "'");
}

Vec3 HungSail::At(float s, float t, std::uint32_t time) const {
  const float phase = static_cast<float>((time + lead) % kClothLoop) / static_cast<float>(kClothLoop);
  return layout::RigToShip(TransformPoint(SailPoint(cut, s, t, phase), local));
}

Vec3 HungSail::YardCentre() const { return layout::RigToShip(TransformPoint(Vec3{0, 0, -kHeadForward}, local)); }
Vec3 HungSail::YardAlong() const { return Normalize(TransformDirection(Vec3{1, 0, 0}, local)); }
float HungSail::HalfHead() const { return 0.5f * cut.head * RowLength(local, 0); }

const HungSail& Sail(SailId id) {
  using namespace layout;
  static const SailCut course = Cut(kCourseHead, kCourseFoot, kCourseHeight, 11);
  static const SailCut topsail = Cut(kTopsailHead, kTopsailFoot, kTopsailHeight, 23);
  static const SailCut topgallant = Cut(kTopgallantHead, kTopgallantFoot, kTopgallantHeight, 37);
  // The show starts each sail its offset (ms) ahead and plays it at the
  // waving speed, so its key time runs offset x speed ahead of the ropes'.
  auto lead = [](std::string_view node) {
    return static_cast<std::uint32_t>(static_cast<float>(Waving(node).offset) * contract::kWavingSpeed);
  };
  static const HungSail sails[kSailCount] = {
      {SailFrame(kFore.at(kForeCourseYardZ)), course, lead("sail01")},
      {SailFrame(kFore.at(kForeTopsailYardZ)), topsail, lead("sailx01")},
      {SailFrame(kMain.at(kMainTopgallantYardZ)), topgallant, lead("sailxx01")},
      {CloneMatrix("sail02clone"), course, lead("sail01sail02clone")},
      {CloneMatrix("sail03clone"), course, lead("sail01sail03clone")},
      {CloneMatrix("sailx02clone"), topsail, lead("sailx01sailx02clone")},
  };
  return sails[id];
}

void AuthorSails(SceneAuthor& scene) {
  struct Authored {
    const char* node;
    const char* material;
    SailId id;
  };
  const Authored authored[] = {
      {"sail01", "sail01_sail01_1", kForeCourse},
      {"sailx01", "sail02_sailx01_1", kForeTopsail},
      {"sailxx01", kTopgallantCloth, kMainTopgallant},
  };
  for (const Authored& a : authored) {
    const HungSail& sail = Sail(a.id);
    std::vector<MeshBuilder> shapes;
    for (int k = 0; k < kClothFrames; ++k)
      shapes.push_back(SailMesh(sail.cut, LoopPhase(k, kClothFrames), kSailCols, kSailRows));
    scene.object(a.node, layout::kRig, {TransformKey{0, sail.local}}, LoopFrames(shapes, kClothLoop, a.material));
  }
  // The clones' own cloths. The loader reads a material only when a mesh
  // names it, so one zero-area triangle each keeps them in the scene for the
  // show to find; nothing of it is drawn.
  std::vector<ArchiveMesh> cloths;
  for (const contract::CloneSpec& clone : contract::kClones) {
    if (clone.cloth.empty()) continue;
    MeshBuilder m;
    const auto v = m.add({0, 0, 0}, {0, 0, 1}, 0, 0);
    m.tri(v, m.add({0, 0, 0}, {0, 0, 1}, 0, 0), m.add({0, 0, 0}, {0, 0, 1}, 0, 0));
    cloths.push_back(m.build(std::string(clone.cloth)));
  }
  scene.object("rig_clone_cloths", layout::kRig, Translate(layout::ShipToRig(layout::kMain.at(layout::kMainCourseYardZ))),
               std::move(cloths));
}

// ---------------------------------------------------------------- flags

MeshBuilder FlagMesh(float fly, float hoist, float tipHoist, float phase, int cols, int rows, std::uint32_t seed) {
  const float tau = 2 * kPi;
  const float a1 = SeedAngle(seed, 4), a2 = SeedAngle(seed, 5);
  MeshBuilder m;
  m.surface(
      [&](float s, float t) {
        const float h = hoist + (tipHoist - hoist) * s;
        const float droop = 0.05f * fly * s * s;
        const float top = -0.5f * (hoist - h) - droop;
        const float amp = (0.03f + 0.13f * s) * fly;
        const float wave = std::sin(tau * (1.4f * s - 3 * phase) + 0.5f * t + a1);
        const float flap = std::sin(tau * (3.1f * s - 5 * phase) + 1.3f * t + a2);
        Vec3 p;
        p.x = -fly * s * (0.97f + 0.02f * std::cos(tau * (1.4f * s - 3 * phase) + a1));
        p.y = amp * (wave + 0.3f * flap) * std::min(1.0f, s * 8 + 0.1f);
        p.z = top - t * h + 0.04f * amp * std::sin(tau * (2 * s - 3 * phase) + a2);
        return p;
      },
      cols, rows);
  PictureUpright(m);
  return m;
}

void AuthorFlags(SceneAuthor& scene) {
  using namespace layout;
  // The ensign flies from near the head of the taffrail staff.
  const Staff staff = EnsignStaff();
  const Vec3 upStaff = Normalize(staff.head - staff.foot);
  const Matrix ensign = Frame(Normalize(Cross({0, 1, 0}, upStaff)), {0, 1, 0}, upStaff,
                              ShipToRig(staff.head - upStaff * 2));
  std::vector<MeshBuilder> flag, pennant;
  for (int k = 0; k < kFlagFrames; ++k) {
    const float phase = LoopPhase(k, kFlagFrames);
    flag.push_back(FlagMesh(kFlagFly, kFlagHoist, kFlagHoist, phase, 12, 8, 5));
    pennant.push_back(FlagMesh(kPennantFly, kPennantHoist, kPennantHoist * 0.25f, phase, 18, 2, 9));
  }
  scene.object("flag01", kRig, {TransformKey{0, ensign}}, LoopFrames(flag, kFlagLoop, "Flag_flag01_1"));
  // The pennant at the mizzen truck, its hoist along the raked mast.
  const Vec3 up = Normalize({kMastRake, 0, 1});
  const Matrix pennantAt = Frame(Normalize(Cross({0, 1, 0}, up)), {0, 1, 0}, up,
                                 ShipToRig(kMizzen.at(kMizzen.truckZ - 4)));
  scene.object("flagx01", kRig, {TransformKey{0, pennantAt}}, LoopFrames(pennant, kFlagLoop, "Flag2"));
}

}  // namespace brisane::assets::ship::rig
