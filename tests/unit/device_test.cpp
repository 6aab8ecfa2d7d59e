#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "render/device_frame.h"
#include "render/device_table.h"
#include "render/gamma.h"
#include "render/state_filter.h"
#include "support/device_fixtures.h"
#include "support/recording_device.h"

namespace brisane {
namespace {

using namespace testing;

const DisplayMode kDesktop = Mode(1024, 768, 32);

TEST(DeviceTableTest, ModesSortByWidthHeightAndDepthAndOnlyRenderableOnesAreKept) {
  std::vector<DisplayMode> modes = {Mode(800, 600, 32), Mode(640, 480, 32), Mode(800, 500, 16), Mode(640, 480, 16)};
  SortModes(modes);
  EXPECT_EQ(modes, (std::vector<DisplayMode>{Mode(640, 480, 16), Mode(640, 480, 32), Mode(800, 500, 16), Mode(800, 600, 32)}));
  DeviceTable table;
  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("only16", 1, 2, kDepthBit16), kDesktop));
  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("all", 2), kDesktop));
  EXPECT_EQ(table.devices[0].modes, (std::vector<DisplayMode>{Mode(640, 480, 16), Mode(800, 600, 16), Mode(1024, 768, 16)}));
  // Never eight bits. The default is the deepest 640x480, the desktop mode
  // matches exactly or is 0.
  EXPECT_EQ(std::tuple(table.devices[1].modes.size(), table.devices[1].defaultModeIndex, table.devices[1].desktopModeIndex,
                       table.devices[0].desktopModeIndex),
            std::tuple(std::size_t{6}, 1u, 5u, 0u));
  DriverRecord large = PrimaryDriver();
  large.modes = {Mode(800, 600, 32), Mode(1024, 768, 32)};
  ASSERT_TRUE(AddDevice(table, large, HardwareDevice("dev", 3), kDesktop));
  EXPECT_EQ(std::tuple(table.devices[2].selectedMode, table.devices[2].desktopModeIndex), std::tuple(DisplayMode{}, 1u));  // no 640x480
}

TEST(DeviceTableTest, SoftwareDevicesAndDevicesWithoutModesAreCountedButNotKeptAndSecondariesAreNotWindowed) {
  DeviceTable table;
  DeviceDescription software = HardwareDevice("ramp", 1);
  software.devCaps = 0;
  EXPECT_FALSE(AddDevice(table, PrimaryDriver(), software, kDesktop));
  EXPECT_FALSE(AddDevice(table, PrimaryDriver(), HardwareDevice("no depth", 2, 8, 0), kDesktop));
  EXPECT_EQ(std::tuple(table.NumDevices(), table.numEnumerated), std::tuple(0u, 2u));
  // At most twenty are kept.
  for (int i = 0; i < 25; ++i) AddDevice(table, PrimaryDriver(), HardwareDevice("dev", 1), kDesktop);
  EXPECT_EQ(std::tuple(table.NumDevices(), table.numEnumerated), std::tuple(kMaxDevices, 27u));
  // A secondary driver names its devices and cannot render windowed.
  DriverRecord secondary = PrimaryDriver();
  secondary.primary = false;
  secondary.driverGuid = testing::GuidOf(9);
  secondary.description = "A secondary adapter with a rather long description text";
  DeviceTable two;
  ASSERT_TRUE(AddDevice(two, secondary, HardwareDevice("Direct3D HAL", 1), kDesktop));
  ASSERT_TRUE(AddDevice(two, PrimaryDriver(), HardwareDevice("Direct3D HAL", 2), kDesktop));
  EXPECT_EQ(std::tuple(two.devices[0].name, two.devices[0].driverGuid), std::tuple(secondary.description.substr(0, 38), testing::GuidOf(9)));
  EXPECT_EQ(std::tuple(two.devices[0].windowedCapable, two.devices[1].windowedCapable), std::tuple(false, true));
}

TEST(SelectDefaultDeviceTest, PrefersTheLastTnLHalThenTheLastWindowedDevice) {
  DeviceTable table = testing::WineLikeTable();  // HAL, T&L HAL, RGB
  AddDevice(table, PrimaryDriver(), TnLHalDevice(), kDesktop);
  EXPECT_EQ(SelectDefaultDevice(table, nullptr), kOk);
  EXPECT_EQ(table.current, 3u);
  DeviceTable plain;
  AddDevice(plain, PrimaryDriver(), HardwareDevice("a", 1), kDesktop);
  AddDevice(plain, PrimaryDriver(), HardwareDevice("b", 2), kDesktop);
  DriverRecord secondary = PrimaryDriver();
  secondary.primary = false;
  AddDevice(plain, secondary, TnLHalDevice(), kDesktop);  // not windowed-capable
  EXPECT_EQ(SelectDefaultDevice(plain, nullptr), kOk);
  EXPECT_EQ(plain.current, 1u);
  // A primary driver that cannot render windowed offers no default.
  DriverRecord driver = PrimaryDriver();
  driver.halCaps2 = 0;
  DeviceTable none;
  AddDevice(none, driver, TnLHalDevice(), kDesktop);
  int reports = 0;
  EXPECT_EQ(SelectDefaultDevice(none, [&](const std::string&) { ++reports; }), kEFail);
  EXPECT_EQ(reports, 1);
}


struct Frame {
  RecordingDevice device;
  HResult presentResult = kOk;
  FrameStatus operator()() {
    return DrawFrame(device, 0x00123456u, [](Device& d) { d.SetRenderState(RenderState::Lighting, 1); },
                     [this] { return device.log.push_back("Present"), presentResult; });
  }
};

// Clear, draw inside the scene, present. A lost display ends the show wherever
// it shows and never leaves a scene open; other failures cost one frame, and a
// failed Clear not even that.
TEST(DeviceFrameTest, ALostDisplayEndsTheShowOtherFailuresCostOneFrame) {
  Frame good;
  EXPECT_EQ(good(), FrameStatus::Presented);
  EXPECT_EQ(good.device.log, (std::vector<std::string>{"Clear(3, 00123456, 1, 0)", "BeginScene",
                                                       "SetRenderState(137, 1)", "EndScene", "Present"}));
  for (const char* step : {"Clear", "BeginScene", "EndScene", "Present"}) {
    for (HResult result : {kSurfaceLost, kWrongMode, kNoExclusiveMode, kEFail}) {
      SCOPED_TRACE(std::string(step) + " " + std::to_string(result));
      Frame frame;
      (std::string(step) == "Present" ? frame.presentResult : frame.device.failing[step]) = result;
      const FrameStatus status = frame();
      EXPECT_FALSE(frame.device.inScene);
      EXPECT_EQ(status, result != kEFail ? FrameStatus::DisplayLost
                                         : (std::string(step) == "Clear" ? FrameStatus::Presented : FrameStatus::Failed));
      EXPECT_TRUE(std::string(step) != "BeginScene" || frame.device.log.size() == 2u);  // no scene, no drawing
    }
  }
}

// What the device behind the filter has seen; a failing call is still
// logged, a repeat stopped by the filter is not.
TEST(StateFilter, OnlyChangesReachTheDeviceAndWhatIsUncertainIsAskedAgain) {
  RecordingDevice device;
  StateFilter filter(device);
  std::uint32_t value = 0;
  for (int i = 0; i < 2; ++i) ASSERT_EQ(filter.GetRenderState(RenderState::CullMode, value), kOk);
  EXPECT_EQ(device.Calls("GetRenderState").size(), 1u);
  filter.SetRenderState(RenderState::CullMode, value);
  for (int i = 0; i < 2; ++i) filter.SetRenderState(RenderState::CullMode, d3d::kCullCW);
  EXPECT_EQ(device.Calls("SetRenderState"), std::vector<std::string>{"SetRenderState(22, 2)"});
  EXPECT_EQ(filter.repeatsStopped(), 2u);
  // A set the device refuses leaves the state unknown: the same value goes through again.
  device.failing["SetTextureStageState"] = kEFail;
  EXPECT_EQ(filter.SetTextureStageState(1, TextureStageState::ColorOp, d3d::kTopModulate), kEFail);
  device.failing.clear();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(filter.SetTextureStageState(1, TextureStageState::ColorOp, d3d::kTopModulate), kOk);
  EXPECT_EQ(device.Calls("SetTextureStageState(1, 1").size(), 2u);
  // Stages and states beyond the tables pass straight through, every time.
  for (int i = 0; i < 2; ++i) EXPECT_EQ(filter.SetTextureStageState(9, TextureStageState::ColorOp, 1), kEFail);
  EXPECT_EQ(device.Calls("SetTextureStageState(bad stage)").size(), 2u);
}

// A gamma control over a ramp held in memory.
struct FakeDisplay : GammaSource {
  struct Control : GammaControl {
    explicit Control(FakeDisplay& d) : display(d) {}
    bool GetRamp(GammaRamp& ramp) override {
      ++display.gets;
      ramp = display.current;
      return display.getWorks;
    }
    bool SetRamp(const GammaRamp& ramp) override {
      display.sets.push_back(ramp);
      display.current = ramp;
      return true;
    }
    FakeDisplay& display;
  };
  std::unique_ptr<GammaControl> OpenGammaControl() override { return supported ? std::make_unique<Control>(*this) : nullptr; }
  bool supported = true, getWorks = true;
  int gets = 0;
  GammaRamp current = IdentityRamp();
  std::vector<GammaRamp> sets;
};

TEST(GammaTest, EveryRampIsBuiltFromTheRampReadAtTheFirstCallAndADegenerateOneIsIdentity) {
  FakeDisplay display;
  display.current.red[200] = 51500;  // a calibrated ramp, still rising, not the identity
  const GammaRamp original = display.current;
  Gamma gamma;
  gamma.Restore(display);  // nothing to restore before a change
  gamma.SetGamma(display, 0.5, GammaCurve::Brightness);
  gamma.SetGamma(display, 0.25, GammaCurve::Brightness);
  ASSERT_EQ(std::tuple(display.gets, display.sets.size()), std::tuple(1, 2u));
  EXPECT_EQ(display.sets[1], ComputeRamp(original, 0.25, GammaCurve::Brightness));
  gamma.Restore(display);
  EXPECT_EQ(display.current, original);
  // A zero ramp is what Wine reports on a bare X server: taken as identity,
  // so the screen is left visible, not black.
  for (bool getWorks : {true, false}) {
    FakeDisplay zero;
    zero.current = GammaRamp{};
    zero.getWorks = getWorks;
    Gamma fresh;
    fresh.SetGamma(zero, 1.0, GammaCurve::Power);
    fresh.Restore(zero);
    EXPECT_EQ(zero.sets, std::vector<GammaRamp>(2, IdentityRamp()));
  }
  // No control means no calls, until there is one.
  FakeDisplay none;
  none.supported = false;
  Gamma later;
  later.SetGamma(none, 0.0, GammaCurve::Brightness);
  later.Restore(none);
  EXPECT_EQ(none.gets, 0);
  none.supported = true;
  later.SetGamma(none, 0.0, GammaCurve::Brightness);
  EXPECT_EQ(none.sets.size(), 1u);
}

}  // namespace
}  // namespace brisane
