// The sea in the show: set up from the scene and the settings, moved before
// the clear, drawn with its reflection before the scene, darkened by the
// light cycle, and the ship riding it from the first frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/scripted_random.h"
#include "support/sea_fixtures.h"

namespace brisane {
namespace {

class ShowWaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resources.add(147, kSceneResourceType, testing::SeaWriter().finish());
    settings.Get(key::EnableEnvWater) = Value(std::int32_t{1});
    settings.Get(key::EnableLightmaps) = Value(std::int32_t{1});
    settings.Get(key::Camera1) = Value(std::int32_t{1});
    device.viewport = {0, 0, 640, 480, 0.0f, 1.0f};
  }
  std::vector<std::string> Frame() {
    device.log.clear();
    EXPECT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented);
    return device.log;
  }

  ManualClock clock{5000};
  testing::ScriptedRandom random{{7}};
  MemoryResourceSource resources;
  testing::TargetLoader loader;
  Node settings;
  testing::RecordingDevice device;
  std::vector<std::string> fatal;
  Show show{{clock, random, resources, &loader, settings, nullptr, nullptr, nullptr,
             [this](const std::string& message) { fatal.push_back(message); }}};
};

TEST_F(ShowWaterTest, TheSeaIsAPassBeforeTheSceneAndTheShipMovesBeforeTheClear) {
  ASSERT_TRUE(show.Setup(device, {}));
  ASSERT_NE(show.shipMotion(), nullptr);
  EXPECT_EQ(show.water()->environmentMapSize(), (MapSize{512, 256}));
  ASSERT_NE(show.water()->mixedTexture(), nullptr);
  std::vector<std::string> order;
  for (const FramePasses::Entry& e : show.passes().entries()) order.emplace_back(e.pass->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"light cycle", "director", "ship motion", "water", "scene",
                                             "lantern glows", "sun flare", "frame-rate text"}));
  const Matrix loaded = show.scene().findNode(std::string(contract::kShipRoot))->local();
  clock.advance(40);
  const std::vector<std::string> log = Frame();
  const auto at = [&](const std::string& call) { return std::ranges::find(log, call) - log.begin(); };
  // After the clear: the reflection, the mixed texture, the sea, then the scene's own draws.
  EXPECT_LT(at("Clear(3, 00000000, 1, 0)"), at("SetRenderTarget(envmap)"));
  EXPECT_LT(at("SetRenderTarget(envmap)"), at("SetRenderTarget(mixed)"));
  const auto sea = at("DrawIndexedPrimitiveVB(4, 91, 432)");
  EXPECT_LT(at("SetRenderTarget(mixed)"), sea);
  // The deck parts are left out of the mirror only.
  EXPECT_EQ(std::count_if(log.begin() + sea, log.end(),
                          [](const std::string& c) { return c.rfind("DrawIndexedPrimitive(", 0) == 0; }), 4);
  EXPECT_NE(show.scene().findNode(std::string(contract::kShipRoot))->local(), loaded);
  EXPECT_TRUE(fatal.empty());
}

TEST_F(ShowWaterTest, TheLightCycleDarkensTheWater) {
  settings.Get(key::EnableLighting) = Value(std::int32_t{1});
  settings.Get(key::ChangeDelay) = Value(std::int32_t{0});
  settings.Get(key::LightDelay) = Value(std::int32_t{1});
  ASSERT_TRUE(show.Setup(device, {}));
  EXPECT_EQ(show.water()->alpha(), 200);
  Frame();
  clock.advance(1);
  Frame();  // the hold ends
  clock.advance(30000);
  Frame();  // half way to night
  EXPECT_EQ(show.water()->alpha(), 225);
}

TEST_F(ShowWaterTest, WithoutTheMirrorSettingTheSeaHasNoMapAndNoReflection) {
  settings.Get(key::EnableEnvWater) = Value(std::int32_t{2});
  settings.Get(key::EnableLightmaps) = Value(std::int32_t{0});
  ASSERT_TRUE(show.Setup(device, {}));
  EXPECT_FALSE(show.water()->environmentWater());
  EXPECT_TRUE(loader.asked.empty());
  const std::vector<std::string> log = Frame();
  EXPECT_TRUE(std::ranges::none_of(log, [](const std::string& c) { return c.rfind("SetRenderTarget", 0) == 0; }));
}

TEST_F(ShowWaterTest, AShowWithoutASeaHasNeitherWaterNorMotion) {
  resources.add(147, kSceneResourceType, testing::SampleArchive());
  ASSERT_TRUE(show.Setup(device, {}));
  EXPECT_EQ(show.water(), nullptr);
  EXPECT_EQ(show.shipMotion(), nullptr);
  Frame();
  EXPECT_TRUE(fatal.empty());
}

}  // namespace
}  // namespace brisane
