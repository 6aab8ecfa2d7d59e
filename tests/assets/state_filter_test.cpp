// The filter of repeated states on the generated ship with the mirrored sea,
// the flares and a volley: every draw finds the same states and textures in
// force as without it, and most of the show's state calls never get through.
#include <map>

#include "platform/random.h"
#include "render/state_filter.h"
#include "settings/node.h"
#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/recording_device.h"
#include "support/sea_fixtures.h"
#include "ship_part_fixture.h"

namespace brisane::assets::ship {
namespace {

// For every draw, every state in force and the textures bound, numbered in
// the order first drawn: the runs make their own surfaces.
class SnapshotDevice final : public testing::RecordingDevice {
 public:
  std::vector<std::vector<std::uint32_t>> seen;
  int stateCalls = 0;

  HResult SetRenderState(RenderState s, std::uint32_t v) override {
    return ++stateCalls, RecordingDevice::SetRenderState(s, v);
  }
  HResult SetTextureStageState(std::uint32_t stage, TextureStageState s, std::uint32_t v) override {
    return ++stateCalls, RecordingDevice::SetTextureStageState(stage, s, v);
  }
  HResult DrawPrimitive(PrimitiveType t, std::uint32_t fvf, const void* v, std::uint32_t n) override {
    return Snapshot(), RecordingDevice::DrawPrimitive(t, fvf, v, n);
  }
  HResult DrawIndexedPrimitive(PrimitiveType t, std::uint32_t fvf, const void* v, std::uint32_t n,
                               const std::uint16_t* i, std::uint32_t ni) override {
    return Snapshot(), RecordingDevice::DrawIndexedPrimitive(t, fvf, v, n, i, ni);
  }
  HResult DrawIndexedPrimitiveVB(PrimitiveType t, VertexBuffer& b, std::uint32_t start, std::uint32_t n,
                                 const std::uint16_t* i, std::uint32_t ni) override {
    return Snapshot(), RecordingDevice::DrawIndexedPrimitiveVB(t, b, start, n, i, ni);
  }

 private:
  void Snapshot() {
    std::vector<std::uint32_t> values;
    for (std::uint32_t s = 0; s < 256; ++s) values.push_back(State(static_cast<RenderState>(s)));
    for (std::uint32_t stage = 0; stage < 8; ++stage)
      for (std::uint32_t s = 0; s < 32; ++s) values.push_back(StageState(stage, static_cast<TextureStageState>(s)));
    for (Surface* t : textures)
      values.push_back(t ? numbers_.try_emplace(t, static_cast<std::uint32_t>(numbers_.size() + 1)).first->second : 0);
    seen.push_back(std::move(values));
    log.clear();
  }
  std::map<Surface*, std::uint32_t> numbers_;
};

// A second and a half of the show with a volley under way.
struct Recorded {
  std::vector<std::vector<std::uint32_t>> draws;
  int deviceStateCalls = 0, showStateCalls = 0;
};
Recorded Record(bool filtered, const std::vector<std::uint8_t>& archive) {
  MemoryResourceSource resources;
  resources.add(contract::kSceneResource, kSceneResourceType, archive);
  ManualClock clock(1000);
  LcgRandom random;
  Node settings;
  for (const SettingSpec& spec : SettingSpecs())
    if (spec.type == TypeInt) settings.Get(spec.key) = Value(spec.defaultValue);
  settings.Get(key::EnableEnvWater) = Value(1);
  testing::TargetLoader loader;
  SnapshotDevice device;
  StateFilter filter(device);
  Device& drawn = filtered ? static_cast<Device&>(filter) : device;
  Show show({clock, random, resources, &loader, settings});
  EXPECT_TRUE(show.Setup(drawn, {768, false, ""}));
  show.MakeGuns(0);
  Guns::FireVolley(show.guns()->side(0), clock.now(), random);
  device.seen.clear();
  device.stateCalls = 0;
  const std::uint64_t stoppedBefore = filter.repeatsStopped();
  for (int i = 0; i < 30; ++i, clock.advance(50)) show.Frame(drawn, [] { return kOk; });
  const int stopped = static_cast<int>(filter.repeatsStopped() - stoppedBefore);
  return {std::move(device.seen), device.stateCalls, device.stateCalls + stopped};
}

TEST(StateFilterOnTheShip, EveryDrawFindsTheSameStatesAndFewCallsGetThrough) {
  const std::vector<std::uint8_t> archive = BuildShipScene().archive;
  const Recorded direct = Record(false, archive), filtered = Record(true, archive);
  ASSERT_EQ(direct.draws.size(), filtered.draws.size());
  ASSERT_GT(direct.draws.size(), 30u * 100u);
  for (std::size_t i = 0; i < direct.draws.size(); ++i) ASSERT_EQ(direct.draws[i], filtered.draws[i]) << "draw " << i;
  EXPECT_EQ(filtered.showStateCalls, direct.deviceStateCalls);
  EXPECT_LT(filtered.deviceStateCalls * 4, direct.deviceStateCalls);
}

}  // namespace
}  // namespace brisane::assets::ship
