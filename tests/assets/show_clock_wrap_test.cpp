// The whole show on the generated ship over long times: across the
// multimedia clock's wrap after 2^32 ms (49.7 days of uptime), and on day 49
// of a show that never stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/random.h"
#include "settings/settings_keys.h"
#include "ship/parts.h"
#include "show/show.h"
#include "support/null_device.h"

namespace brisane::assets::ship {
namespace {

constexpr std::uint32_t kStep = 40;

struct Sample {
  double t;  // seconds since the start
  const Camera* camera;
  Vector3 eye;
  float daylight;
  double phase;
  bool anyGunFiring;
};

// The show with every default setting but those given, started at the clock's reading.
struct ShipShow {
  ShipShow(std::uint32_t start, std::initializer_list<std::pair<std::string_view, int>> changed) : clock(start) {
    resources.add(contract::kSceneResource, kSceneResourceType, BuildShipScene().archive);
    for (const SettingSpec& spec : SettingSpecs())
      if (spec.type == ValueType::Int) settings.Get(spec.key) = Value(spec.defaultValue);
    for (const auto& [name, value] : changed) settings.Get(name) = Value(value);
    started = show.Setup(device, {768, false, ""});
    show.MakeGuns(0);
  }
  void Frame() { show.Frame(device, [] { return kOk; }); }

  MemoryResourceSource resources;
  ManualClock clock;
  LcgRandom random;
  Node settings;
  testing::NullDevice device;
  Show show{{clock, random, resources, nullptr, settings}};
  bool started = false;
};

TEST(ShowAcrossTheClockWrap, NothingJumpsOrStops) {
  // 65 s before the wrap: the first volley comes before it, the second after;
  // the light starts to change 5 s before it.
  ShipShow ship(0u - 65000u, {{key::EnableFiring, 1}, {key::FiringPeriod, 0}, {key::SwitchPeriod, 5},
                              {key::EnableLighting, 1}, {key::LightDelay, 1}, {key::ChangeDelay, 1}});
  ManualClock& clock = ship.clock;
  Show& show = ship.show;
  ASSERT_TRUE(ship.started);
  ASSERT_TRUE(show.water() && show.guns());
  std::vector<Sample> samples;
  for (std::uint32_t i = 0; i < 130000 / kStep; ++i) {
    ship.Frame();
    bool firing = false;
    for (int g = 1; g <= 8; ++g) firing = firing || show.guns()->gun(g).firing();
    const Matrix& eye = show.scene().currentCamera()->world();
    samples.push_back({i * kStep / 1000.0, show.scene().currentCamera(), {eye(3, 0), eye(3, 1), eye(3, 2)},
                       show.lightCycle().daylight(), show.water()->phase(), firing});
    clock.advance(kStep);
  }
  const double wrap = 65.0;  // seconds in
  // The tour: a new viewpoint every few seconds on both sides of the wrap, and
  // a camera on its path moves a little each frame: no leap back to its start.
  std::vector<double> switches;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    const Vector3 &a = samples[i - 1].eye, &b = samples[i].eye;
    if (samples[i].camera != samples[i - 1].camera) switches.push_back(samples[i].t);
    else EXPECT_LT(std::hypot(b.x - a.x, b.y - a.y, b.z - a.z), 40.0f) << samples[i].t;
  }
  ASSERT_GE(switches.size(), 15u);
  for (std::size_t i = 1; i < switches.size(); ++i) EXPECT_LT(switches[i] - switches[i - 1], 8.0) << switches[i];
  EXPECT_LT(switches.front(), 8.0);
  EXPECT_TRUE(std::any_of(switches.begin(), switches.end(), [&](double t) { return t > wrap && t < wrap + 8; }));
  // The light holds a minute, then darkens through the wrap without a step.
  for (std::size_t i = 1; i < samples.size(); ++i) {
    EXPECT_LE(samples[i].daylight, samples[i - 1].daylight + 1e-6f) << samples[i].t;
    EXPECT_LT(samples[i - 1].daylight - samples[i].daylight, 2.0f * kStep / 60000.0f) << samples[i].t;
  }
  EXPECT_FLOAT_EQ(samples[static_cast<std::size_t>(55000 / kStep)].daylight, 1.0f);
  EXPECT_LT(samples[static_cast<std::size_t>(75000 / kStep)].daylight, 0.9f);
  EXPECT_LT(samples.back().daylight, 0.15f);
  // The sea's phase moves on by the frame's milliseconds, the wrap's frame too.
  for (std::size_t i = 2; i < samples.size(); ++i)
    EXPECT_NEAR(std::remainder(samples[i].phase - samples[i - 1].phase, kWavePeriod), kStep * 0.012, 1e-3)
        << samples[i].t;
  // A volley a minute in, before the wrap, and the next a minute later, after it.
  std::vector<double> volleys;
  for (std::size_t i = 1; i < samples.size(); ++i)
    if (samples[i].anyGunFiring && !samples[i - 1].anyGunFiring &&
        (volleys.empty() || samples[i].t - volleys.back() > 10))
      volleys.push_back(samples[i].t);
  ASSERT_EQ(volleys.size(), 2u);
  EXPECT_NEAR(volleys[0], 60.0, 3.0);
  EXPECT_NEAR(volleys[1], 120.0, 3.0);
}

// What moves with time, one row a frame: sea heights at fixed points, the
// foam's scroll, the ship's pitch, roll and heave, the camera's eye.
constexpr std::size_t kQuantities = 9;
constexpr const char* kNames[kQuantities] = {"sea 1", "sea 2", "sea 3", "sea 4", "foam",
                                             "pitch", "roll",  "heave", "eye"};
struct Window {
  // Per quantity: the largest second difference a frame apart (how uneven
  // the steps are) and the mean step (that it moves at all).
  std::array<double, kQuantities> uneven{}, moved{};
};

// Four seconds of frames at 60 fps from the clock's reading; the last three measured.
Window Measure(ShipShow& ship) {
  const std::uint32_t from = ship.clock.now();
  std::vector<std::array<double, kQuantities + 2>> rows;
  for (std::uint32_t k = 0; k < 240; ++k) {
    ship.clock.set(from + k * 1000 / 60);
    ship.Frame();
    if (k < 60) continue;
    std::array<Vector3, 4> sea{{{0, 0, 0}, {150, 0, 0}, {0, -90, 0}, {2, 3, 0}}};
    ship.show.water()->WaveHeight(sea);
    const ShipMotion& motion = *ship.show.shipMotion();
    const Matrix& eye = ship.show.scene().currentCamera()->world();
    rows.push_back({sea[0].z, sea[1].z, sea[2].z, sea[3].z, ship.show.water()->foamTextureMatrix().m[2][1],
                    motion.pitch(), motion.roll(), motion.heave(), eye(3, 0), eye(3, 1), eye(3, 2)});
  }
  Window w;
  const auto step = [&](std::size_t k, std::size_t q) {
    const double d = rows[k + 1][q] - rows[k][q];
    return q == 4 ? d - std::round(d) : d;  // the foam drops whole repeats
  };
  for (std::size_t k = 1; k + 1 < rows.size(); ++k) {
    for (std::size_t q = 0; q < kQuantities; ++q) {
      double change = std::fabs(step(k, q) - step(k - 1, q)), length = std::fabs(step(k, q));
      if (q == 8) {  // the eye's steps as vectors
        change = std::hypot(change, step(k, 9) - step(k - 1, 9), step(k, 10) - step(k - 1, 10));
        length = std::hypot(length, step(k, 9), step(k, 10));
      }
      w.uneven[q] = std::max(w.uneven[q], change);
      w.moved[q] += length / static_cast<double>(rows.size() - 2);
    }
  }
  return w;
}

// A show left running for weeks: between the measured windows a frame an
// hour, then 60 fps. Each quantity must move in steps as even as in minute 1
// (its largest second difference at most twice minute 1's) and keep moving.
TEST(ShowForWeeks, Day49MovesAsEvenlyAsMinute1) {
  constexpr std::uint32_t kStart = 5000, kHour = 3600000, kDay = 24 * kHour;
  // One camera: its path loops on the animation clock for the whole run.
  ShipShow ship(kStart, {{key::EnableFiring, 0}, {key::Camera2, 0}, {key::Camera3, 0}, {key::Camera4, 0},
                         {key::Camera5, 0}, {key::Camera6, 0}, {key::Camera7, 0}});
  ASSERT_TRUE(ship.started);
  ASSERT_TRUE(ship.show.water() && ship.show.shipMotion());
  ship.clock.set(kStart + 60000);
  const Window minute1 = Measure(ship);
  std::uint32_t elapsed = ship.clock.now() - kStart;
  for (std::uint32_t day : {1u, 7u, 30u, 49u}) {
    for (; elapsed + kHour < day * kDay; elapsed += kHour) {
      ship.clock.set(kStart + elapsed);
      ship.Frame();
    }
    elapsed = day * kDay;
    ship.clock.set(kStart + elapsed);
    const Window w = Measure(ship);
    for (std::size_t q = 0; q < kQuantities; ++q) {
      const double uneven = w.uneven[q] / minute1.uneven[q], moved = w.moved[q] / minute1.moved[q];
      EXPECT_LE(uneven, 2.0) << "day " << day << ", " << kNames[q] << ": second differences against minute 1";
      EXPECT_GE(moved, 0.25) << "day " << day << ", " << kNames[q] << ": mean step against minute 1";
      if (q == 4) { EXPECT_NEAR(moved, 1.0, 0.01) << "day " << day << ": the foam keeps its speed"; }
    }
    elapsed = ship.clock.now() - kStart;
  }
}

}  // namespace
}  // namespace brisane::assets::ship
