// The multimedia clock wraps after 2^32 ms (49.7 days of uptime): the whole
// show on the generated ship, run across that wrap 40 ms a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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

TEST(ShowAcrossTheClockWrap, NothingJumpsOrStops) {
  MemoryResourceSource resources;
  resources.add(contract::kSceneResource, kSceneResourceType, BuildShipScene().archive);
  // 65 s before the wrap: the first volley comes before it, the second after;
  // the light starts to change 5 s before it.
  ManualClock clock(0u - 65000u);
  LcgRandom random;
  Node settings;
  for (const SettingSpec& spec : SettingSpecs())
    if (spec.type == TypeInt) settings.Get(spec.key) = Value(spec.defaultValue);
  for (const auto& [name, value] : {std::pair{key::EnableFiring, 1}, {key::FiringPeriod, 0}, {key::SwitchPeriod, 5},
                                    {key::EnableLighting, 1}, {key::LightDelay, 1}, {key::ChangeDelay, 1}})
    settings.Get(name) = Value(value);
  testing::NullDevice device;
  Show show({clock, random, resources, nullptr, settings});
  ASSERT_TRUE(show.Setup(device, {768, false, ""}));
  show.MakeGuns(0);
  ASSERT_TRUE(show.water() && show.guns());
  std::vector<Sample> samples;
  for (std::uint32_t i = 0; i < 130000 / kStep; ++i) {
    show.Frame(device, [] { return kOk; });
    bool firing = false;
    for (int g = 1; g <= 8; ++g) firing = firing || show.guns()->gun(g).firing();
    const Matrix& eye = show.scene().currentCamera()->world();
    samples.push_back({i * kStep / 1000.0, show.scene().currentCamera(), {eye(3, 0), eye(3, 1), eye(3, 2)},
                       show.lightCycle().daylight(), show.water()->phase(), firing});
    clock.advance(kStep);
  }
  const double wrap = 65.0;  // seconds in
  // The tour: a new viewpoint every few seconds on both sides of the wrap.
  std::vector<double> switches;
  for (std::size_t i = 1; i < samples.size(); ++i)
    if (samples[i].camera != samples[i - 1].camera) switches.push_back(samples[i].t);
  ASSERT_GE(switches.size(), 15u);
  double longest = switches.front();
  for (std::size_t i = 1; i < switches.size(); ++i) longest = std::max(longest, switches[i] - switches[i - 1]);
  EXPECT_LT(longest, 8.0);
  EXPECT_TRUE(std::any_of(switches.begin(), switches.end(), [&](double t) { return t > wrap && t < wrap + 8; }));
  // A camera on its path moves a little each frame: no leap back to its start.
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i].camera != samples[i - 1].camera) continue;
    const Vector3& a = samples[i - 1].eye;
    const Vector3& b = samples[i].eye;
    EXPECT_LT(std::hypot(b.x - a.x, b.y - a.y, b.z - a.z), 40.0f) << samples[i].t;
  }
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
    EXPECT_NEAR(samples[i].phase - samples[i - 1].phase, kStep * 0.012, 1e-3) << samples[i].t;
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

}  // namespace
}  // namespace brisane::assets::ship
