#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using testing::Bytes;
using testing::FakeTextureLoader;
using testing::Layer;
using testing::NodeUnder;
using testing::QuadMesh;
using testing::RecordingDevice;
using testing::ScriptedRandom;

ArchiveNode Keyed(const std::string& parent, std::vector<std::uint32_t> times, const Matrix& at) {
  ArchiveNode node = NodeUnder(parent, at);
  node.keys.clear();
  for (std::uint32_t t : times) node.keys.push_back({t, at});
  return node;
}

// Eight guns with their muzzles, fire meshes and ports; a camera, the
// lanterns and the sun.
SceneArchiveWriter ShipWithGuns() {
  SceneArchiveWriter w;
  ArchiveMaterial fire;
  fire.layers = {Layer(6, {"Gunfire.jpg"})};
  w.addMaterial("Fire", fire);
  w.addImage("Gunfire.jpg", Bytes("Gunfire.jpg"));
  for (std::size_t i = 0; i < 8; ++i) {
    const float side = i < 4 ? -1.0f : 1.0f, x = -140.0f + 50.0f * static_cast<float>(i % 4);
    w.addGeometry(std::string(contract::kGuns[i]),
                  Keyed("Scene Root", {0, 999, 1349, 1899, 2149, 2949}, Matrix::translation(x, 50 * side, 40)), {});
    w.addGeometry(std::string(contract::kGunMuzzles[i]),
                  NodeUnder(std::string(contract::kGuns[i]), Matrix::translation(0, 13 * side, 5)), {});
    for (std::string_view name : {contract::kGunFires1[i], contract::kGunFires2[i]})
      w.addGeometry(std::string(name), Keyed("Scene Root", {0, 2939}, Matrix::translation(x, 66 * side, 45)),
                    {ArchiveFrame{0, {}}, ArchiveFrame{1339, {QuadMesh("Fire")}}, ArchiveFrame{1500, {}}});
    w.addGeometry(std::string(contract::kGunPorts[i]),
                  Keyed("Scene Root", {0, 499, 2649, 3199}, Matrix::translation(x, 62 * side, 50)), {});
  }
  w.addCamera("Camera01", NodeUnder("Scene Root", Matrix::translation(0, -500, 100)), Matrix::identity());
  for (std::string_view name : contract::kLanterns) w.addGeometry(std::string(name), NodeUnder("Scene Root"), {});
  w.addGeometry(std::string(contract::kSun), NodeUnder("Scene Root", Matrix::translation(-4000, -4000, 4000)), {});
  return w;
}

class GunsTest : public ::testing::Test {
 protected:
  GunsTest() {
    resources.add(147, kSceneResourceType, ShipWithGuns().finish());
    for (std::uint16_t id = 168; id <= 180; ++id) resources.add(id, "JPEGFILE", Bytes("picture"));
    settings.Get(key::EnableFiring) = Value(std::int32_t{1});
    settings.Get(key::FiringPeriod) = Value(std::int32_t{0});
    settings.Get(key::EnableLensFlares) = Value(std::int32_t{1});
    show.Setup(device, {});
    show.MakeGuns(contract::kGunShotSound);
  }
  Guns& guns() { return *show.guns(); }
  void Frames(std::uint32_t until, std::uint32_t step) {
    while (clock.now() < until) {
      clock.advance(step);
      ASSERT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented);
    }
  }
  void UpdateAll(std::uint32_t now) {
    for (int i = 1; i <= 8; ++i) guns().gun(i).Update(now);
  }
  // The side's guns in the order they fire (latest offset first).
  std::array<int, 4> Order(int side) {
    std::array<int, 4> order{};
    std::array<Gun*, 4> g = guns().side(side);
    std::sort(g.begin(), g.end(), [](Gun* a, Gun* b) { return a->delay() > b->delay(); });
    for (std::size_t i = 0; i < 4; ++i) order[i] = g[i]->index();
    return order;
  }

  ManualClock clock{5000};
  ScriptedRandom random{{16384}};
  MemoryResourceSource resources;
  FakeTextureLoader loader;
  Node settings;
  RecordingDevice device;
  Show show{{clock, random, resources, &loader, settings}};
};

TEST_F(GunsTest, FiringPeriodZeroOpensAt50FiresAt60ClosesAt70AndOpensAgainAt110) {
  const std::uint32_t start = clock.now();
  std::vector<std::pair<std::uint32_t, std::string>> events;
  bool closed = true, fired = false;
  const SceneNode &port = *guns().gun(5).port(), &gun = *guns().gun(5).gunNode();
  for (std::uint32_t t = start; t <= start + 121000; ++t) {
    guns().RunSchedule(t, 0, random);
    UpdateAll(t);
    if (guns().portsClosed() != closed) {
      closed = guns().portsClosed();
      events.emplace_back(t - start, closed ? "close" : "open");
      // The gun runs out 499 ms after its port opens; the port closes 800 ms
      // after the gun runs in.
      const auto lag = static_cast<std::int32_t>(closed ? port.animation().animStart - gun.animation().animStart
                                                        : gun.animation().animStart - port.animation().animStart);
      EXPECT_EQ(lag, closed ? 800 : 499);
      EXPECT_EQ(port.animation().speed, 0.3f);
      EXPECT_EQ(gun.animation().speed, 0.5f);
    }
    const bool firing = guns().gun(1).firing();
    if (firing && !fired) events.emplace_back(t - start, "volley");
    fired = firing;
  }
  const std::vector<std::pair<std::uint32_t, std::string>> expected = {
      {50001, "open"}, {60001, "volley"}, {70002, "close"}, {110002, "open"}, {120002, "volley"}};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(guns().period(), 60000u);
}

// Guns 1-2 and 3-4 fire as pairs back to back; the tosses pick every order
// that keeps each pair in neighbouring turns, counted round the four turns.
TEST_F(GunsTest, ASidesFourShotsFallInDisjointBandsInEveryOrderTheTossesAllow) {
  std::set<std::array<int, 4>> orders;
  for (int bits = 0; bits < 16; ++bits) {
    std::vector<std::int32_t> draws = {16384, 16384, 16384, 16384};
    for (int k = 0; k < 4; ++k) draws.push_back(bits >> k & 1 ? 16384 : 16383);  // just over half wins
    ScriptedRandom script(draws);
    Guns::FireVolley(guns().side(0), clock.now(), script);
    const std::array<int, 4> order = Order(0);
    orders.insert(order);
    std::array<std::size_t, 5> turn{};
    for (std::size_t i = 0; i < 4; ++i) turn[static_cast<std::size_t>(order[i])] = i;
    EXPECT_TRUE((turn[1] + 1) % 4 == turn[2] || (turn[2] + 1) % 4 == turn[1]) << bits;
    EXPECT_TRUE((turn[3] + 1) % 4 == turn[4] || (turn[4] + 1) % 4 == turn[3]) << bits;
    if (bits == 0) {
      EXPECT_EQ(order, (std::array<int, 4>{2, 1, 4, 3}));
    } else if (bits == 15) {
      EXPECT_EQ(order, (std::array<int, 4>{4, 2, 1, 3})) << "3-4 first, 1-2 turned round, then rotated";
    }
    clock.advance(4000);
    UpdateAll(clock.now());
  }
  EXPECT_EQ(orders.size(), 16u);

  LcgRandom lcg(12345);
  for (int volley = 0; volley < 300; ++volley) {
    Guns::FireVolley(guns().side(1), clock.now(), lcg);
    std::array<std::int32_t, 4> delays{};
    for (std::size_t i = 0; i < 4; ++i) delays[i] = guns().side(1)[i]->delay();
    std::sort(delays.rbegin(), delays.rend());
    for (std::int32_t k = 0; k < 4; ++k) {
      EXPECT_GE(delays[static_cast<std::size_t>(k)], -100 - 400 * k);
      EXPECT_LE(delays[static_cast<std::size_t>(k)], 100 - 400 * k);
    }
    clock.advance(4000);
    UpdateAll(clock.now());
  }
}

TEST_F(GunsTest, AVolleySkipsOnlyTheGunsStillFiring) {
  Guns::FireVolley(guns().side(0), clock.now(), random);  // offsets 0, -400, -800, -1200
  clock.advance(2550);
  UpdateAll(clock.now());
  std::array<std::uint32_t, 4> shots{};
  for (std::size_t i = 0; i < 4; ++i) shots[i] = guns().side(0)[i]->fireTime();
  Guns::FireVolley(guns().side(0), clock.now(), random);
  int fired = 0;
  for (std::size_t i = 0; i < 4; ++i) fired += guns().side(0)[i]->fireTime() != shots[i];
  EXPECT_EQ(fired, 1) << "the first to fire is free again; the others are still in their shots";
}

TEST_F(GunsTest, TheShotStartsFireFlashSmokeAndSoundAndTheFlashIsOnFor160Ms) {
  Gun& gun = guns().gun(6);
  const std::uint32_t t0 = clock.now();
  ASSERT_TRUE(gun.Fire(-200, t0));
  EXPECT_FALSE(gun.Fire(0, t0)) << "busy";
  EXPECT_TRUE(gun.gunNode()->animation().animating) << "the recoil is set going";
  gun.Update(t0 + 200);
  EXPECT_TRUE(gun.shotPending()) << "not before its moment";
  gun.Update(t0 + 201);
  EXPECT_FALSE(gun.shotPending());
  EXPECT_TRUE(gun.flashOn());
  for (SmokeEmitter* puff : {&gun.smoke(), &gun.smokeTrail()}) {
    EXPECT_EQ(puff->pendingCount(), 10u);
    EXPECT_EQ(puff->maximumCount(), 10u);
  }
  EXPECT_EQ(gun.smoke().startTime(), t0 + 201);
  auto* fire1 = static_cast<GeometryObject*>(show.scene().findNode(std::string(contract::kGunFires1[5])));
  EXPECT_TRUE(fire1->geometryAnimation().animating);
  const Vector3 muzzle = show.scene().findNode(std::string(contract::kGunMuzzles[5]))->position();
  EXPECT_EQ(TranslationOf(gun.flash().matrix), muzzle) << "the flash stands at the muzzle";
  for (const auto& [t, flash, firing] : {std::tuple{360u, true, true}, std::tuple{361u, false, true},
                                         std::tuple{2700u, false, true}, std::tuple{2701u, false, false}}) {
    gun.Update(t0 + t);
    EXPECT_EQ(gun.flashOn(), flash) << t;
    EXPECT_EQ(gun.firing(), firing) << t;
  }
  // Smoke leaves the muzzle outwards: starboard guns blow towards +y.
  gun.smoke().Update(t0 + 300, random);
  gun.smoke().Update(t0 + 400, random);
  ASSERT_EQ(gun.smoke().particles().size(), 10u);
  EXPECT_GT(gun.smoke().particles()[0].position.y, muzzle.y);
}

TEST_F(GunsTest, WithFiringOffTheScheduleStopsButAShotUnderWayFinishes) {
  Frames(clock.now() + 100, 50);
  Gun& gun = guns().gun(2);
  gun.Fire(-300, clock.now());
  settings.Get(key::EnableFiring) = Value(std::int32_t{0});
  Frames(clock.now() + 400, 50);
  EXPECT_FALSE(gun.shotPending()) << "the updates run regardless";
  Frames(clock.now() + 73000, 1000);
  EXPECT_FALSE(gun.firing());
  EXPECT_TRUE(guns().portsClosed()) << "no schedule while firing is off";
  EXPECT_FALSE(guns().gun(1).firing());
  // Firing on again: more than a period has passed since the schedule
  // began, so the volley comes at once and the ports close ten seconds on.
  settings.Get(key::EnableFiring) = Value(std::int32_t{1});
  Frames(clock.now() + 1000, 1000);
  EXPECT_TRUE(guns().gun(1).firing());
  Frames(clock.now() + 11000, 1000);
  EXPECT_TRUE(guns().portsClosed());
}

TEST_F(GunsTest, TheGunsArePassesUntilDestroyedAndDecodeTheirPicturesOnce) {
  const auto count = [&](std::string_view name) {
    const std::vector<FramePasses::Entry>& entries = show.passes().entries();
    return std::count_if(entries.begin(), entries.end(), [&](const FramePasses::Entry& e) { return e.pass->Name() == name; });
  };
  for (const char* pass : {"guns", "gun effects", "firing schedule", "lantern glows", "sun flare"})
    EXPECT_EQ(count(pass), 1) << pass;
  EXPECT_EQ(show.lights()->lanterns().size(), 2u);
  EXPECT_EQ(show.lights()->flare()->flareCount(), 7u);
  const int before = loader.calls;
  show.MakeGuns(0);
  EXPECT_EQ(loader.calls - before, 3) << "the eight guns decode their three pictures once";
  EXPECT_EQ(count("guns"), 1) << "made again, not twice";
  show.DestroyGuns();
  EXPECT_EQ(count("gun effects"), 0);
  Frames(clock.now() + 100, 50);

  settings.Get(key::EnableLensFlares) = Value(std::int32_t{0});
  Show dark{{clock, random, resources, &loader, settings}};
  dark.Setup(device, {});
  EXPECT_EQ(dark.lights()->lanterns().size(), 0u) << "the empty set";
  EXPECT_EQ(dark.lights()->flare(), nullptr);
}

}  // namespace
}  // namespace brisane
