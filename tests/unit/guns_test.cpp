#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using namespace testing;

ArchiveNode Keyed(std::vector<std::uint32_t> times, const Matrix& at) {
  ArchiveNode node = NodeUnder("Scene Root", at);
  node.keys.clear();
  for (std::uint32_t t : times) node.keys.push_back({t, at});
  return node;
}

// Eight guns with their muzzles, fire meshes and ports; a camera, the lanterns and the sun.
SceneArchiveWriter ShipWithGuns() {
  SceneArchiveWriter w;
  const auto add = [&](std::string_view name, const ArchiveNode& node, std::vector<ArchiveFrame> frames = {}) {
    w.AddGeometry(std::string(name), node, std::move(frames));
  };
  w.AddMaterial("Fire", Layered({Layer(6, {"Gunfire.jpg"})}));
  w.AddImage("Gunfire.jpg", Bytes("Gunfire.jpg"));
  for (std::size_t i = 0; i < 8; ++i) {
    const float side = i < 4 ? -1.0f : 1.0f, x = -140.0f + 50.0f * static_cast<float>(i % 4);
    add(contract::kGuns[i], Keyed({0, 999, 1349, 1899, 2149, 2949}, Matrix::Translation(x, 50 * side, 40)));
    add(contract::kGunMuzzles[i], NodeUnder(std::string(contract::kGuns[i]), Matrix::Translation(0, 13 * side, 5)));
    for (std::string_view name : {contract::kGunFires1[i], contract::kGunFires2[i]})
      add(name, Keyed({0, 2939}, Matrix::Translation(x, 66 * side, 45)),
          {ArchiveFrame{0, {}}, ArchiveFrame{1339, {QuadMesh("Fire")}}, ArchiveFrame{1500, {}}});
    add(contract::kGunPorts[i], Keyed({0, 499, 2649, 3199}, Matrix::Translation(x, 62 * side, 50)));
  }
  w.AddCamera("Camera01", NodeUnder("Scene Root", Matrix::Translation(0, -500, 100)), Matrix::Identity());
  for (std::string_view name : contract::kLanterns) add(name, NodeUnder("Scene Root"));
  add(contract::kSun, NodeUnder("Scene Root", Matrix::Translation(-4000, -4000, 4000)));
  return w;
}

class GunsTest : public ::testing::Test {
 protected:
  GunsTest() {
    resources.add(147, kSceneResourceType, ShipWithGuns().Finish());
    for (std::uint16_t id = 168; id <= 180; ++id) resources.add(id, "JPEGFILE", Bytes("picture"));
    Set(key::EnableFiring, 1), Set(key::FiringPeriod, 0), Set(key::EnableLensFlares, 1);
    show.Setup(device, {});
    show.MakeGuns(contract::kGunShotSound);
  }
  void Set(std::string_view k, std::int32_t v) { settings.Get(k) = Value(v); }
  Guns& guns() { return *show.guns(); }
  void Frames(std::uint32_t span, std::uint32_t step) {
    for (const std::uint32_t until = clock.now() + span; clock.now() < until;) {
      clock.advance(step);
      ASSERT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented);
    }
  }
  void UpdateAll(std::uint32_t now) {
    for (int i = 1; i <= 8; ++i) guns().gun(i).Update(now);
  }
  void NextVolley() { clock.advance(4000), UpdateAll(clock.now()); }

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
      // The gun runs out 499 ms after its port opens; the port closes 800 ms after the gun runs in.
      const std::int32_t lag = static_cast<std::int32_t>(port.animation().animStart - gun.animation().animStart);
      EXPECT_EQ(std::tuple(lag, port.animation().speed, gun.animation().speed), std::tuple(closed ? 800 : -499, 0.3f, 0.5f));
    }
    if (guns().gun(1).firing() && !fired) events.emplace_back(t - start, "volley");
    fired = guns().gun(1).firing();
  }
  EXPECT_EQ(events, (std::vector<std::pair<std::uint32_t, std::string>>{
                        {50001, "open"}, {60001, "volley"}, {70002, "close"}, {110002, "open"}, {120002, "volley"}}));
  EXPECT_EQ(guns().period(), 60000u);
}

// A side's four shots fall 400 ms apart, each within 100 ms of its turn.
TEST_F(GunsTest, ASidesFourShotsFallInDisjointBands) {
  LcgRandom lcg(12345);
  for (int volley = 0; volley < 300; ++volley) {
    Guns::FireVolley(guns().side(1), clock.now(), lcg);
    std::array<std::int32_t, 4> delays{};
    for (std::size_t i = 0; i < 4; ++i) delays[i] = guns().side(1)[i]->delay();
    std::sort(delays.rbegin(), delays.rend());
    for (std::size_t k = 0; k < 4; ++k)
      EXPECT_LE(std::abs(delays[k] + 400 * static_cast<std::int32_t>(k)), 100) << k;
    NextVolley();
  }
}

TEST_F(GunsTest, TheShotStartsFireFlashSmokeAndSoundAndAVolleySkipsOnlyTheGunsStillFiring) {
  Gun& gun = guns().gun(6);
  const std::uint32_t t0 = clock.now();
  ASSERT_TRUE(gun.Fire(-200, t0));
  EXPECT_FALSE(gun.Fire(0, t0)) << "busy";
  EXPECT_TRUE(gun.gunNode()->animation().animating) << "the recoil is set going";
  gun.Update(t0 + 200);
  EXPECT_TRUE(gun.shotPending()) << "not before its moment";
  gun.Update(t0 + 201);
  EXPECT_FALSE(gun.shotPending());
  for (SmokeEmitter* puff : {&gun.smoke(), &gun.smokeTrail()})
    EXPECT_EQ(std::tuple(puff->pendingCount(), puff->maximumCount()), std::tuple(10u, 10u));
  EXPECT_EQ(gun.smoke().startTime(), t0 + 201);
  const auto node = [&](std::string_view name) { return show.scene().FindNode(std::string(name)); };
  EXPECT_TRUE(static_cast<GeometryObject*>(node(contract::kGunFires1[5]))->geometryAnimation().animating);
  const Vector3 muzzle = node(contract::kGunMuzzles[5])->position();
  EXPECT_EQ(TranslationOf(gun.flash().matrix), muzzle) << "the flash stands at the muzzle";
  for (const auto& [t, flash, firing] : {std::tuple{201u, true, true}, {360u, true, true}, {361u, false, true},
                                         {2700u, false, true}, {2701u, false, false}}) {
    gun.Update(t0 + t);
    EXPECT_EQ(std::tuple(gun.flashOn(), gun.firing()), std::tuple(flash, firing)) << t;
  }

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

TEST_F(GunsTest, WithFiringOffTheScheduleStopsButAShotUnderWayFinishes) {
  Frames(100, 50);
  Gun& gun = guns().gun(2);
  gun.Fire(-300, clock.now());
  Set(key::EnableFiring, 0);
  Frames(400, 50);
  EXPECT_FALSE(gun.shotPending()) << "the updates run regardless";
  Frames(73000, 1000);
  EXPECT_TRUE(!gun.firing() && !guns().gun(1).firing() && guns().portsClosed()) << "no schedule while firing is off";
  // On again more than a period after the schedule began: the volley comes at once, the ports close ten seconds on.
  Set(key::EnableFiring, 1);
  Frames(1000, 1000);
  EXPECT_TRUE(guns().gun(1).firing());
  Frames(11000, 1000);
  EXPECT_TRUE(guns().portsClosed());
}

TEST_F(GunsTest, TheGunsArePassesUntilDestroyedAndDecodeTheirPicturesOnce) {
  const auto count = [&](std::string_view name) {
    const std::vector<FramePasses::Entry>& entries = show.passes().entries();
    return std::ranges::count_if(entries, [&](const FramePasses::Entry& e) { return e.pass->Name() == name; });
  };
  for (const char* pass : {"guns", "gun effects", "firing schedule", "lantern glows", "sun flare"})
    EXPECT_EQ(count(pass), 1) << pass;
  EXPECT_EQ(std::tuple(show.lights()->lanterns().size(), show.lights()->flare()->flareCount()), std::tuple(2u, 7u));
  const int before = loader.calls;
  show.MakeGuns(0);
  EXPECT_EQ(std::tuple(loader.calls - before, count("guns")), std::tuple(3, 1)) << "three pictures decoded once; made again, not twice";
  show.DestroyGuns();
  EXPECT_EQ(count("gun effects"), 0);
  Frames(100, 50);

  Set(key::EnableLensFlares, 0);
  Show dark{{clock, random, resources, &loader, settings}};
  dark.Setup(device, {});
  EXPECT_TRUE(dark.lights()->lanterns().size() == 0 && !dark.lights()->flare()) << "the empty set";
}

}  // namespace
}  // namespace brisane
