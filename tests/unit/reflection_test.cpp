// The mirrored view and the reflection pass: the view looks at the scene
// mirrored in the sea's plane from the mirrored eye; the pass draws into the
// map without the deck parts and leaves the device and the scene as the
// normal frame needs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scene/view.h"
#include "settings/settings_keys.h"
#include "show/water.h"
#include "support/sea_fixtures.h"

namespace brisane {
namespace {

using testing::RecordingDevice;

// The camera turned about its own forward axis.
Matrix Rolled(Matrix camera, float angle) {
  const Matrix turn = AxisRotation({-camera(2, 0), -camera(2, 1), -camera(2, 2)}, angle);
  for (std::size_t r = 0; r < 3; ++r) {
    const Vector3 row = TransformDirection({camera(r, 0), camera(r, 1), camera(r, 2)}, turn);
    camera(r, 0) = row.x, camera(r, 1) = row.y, camera(r, 2) = row.z;
  }
  return camera;
}

float Determinant(const Matrix& m) {
  float det = 0;
  for (std::size_t i = 0; i < 3; ++i)
    det += m(0, i) * (m(1, (i + 1) % 3) * m(2, (i + 2) % 3) - m(1, (i + 2) % 3) * m(2, (i + 1) % 3));
  return det;
}

// Pitched or rolled but not both, the two turns mirror the view exactly;
// both at once only nearly (the show's cameras do not roll).
TEST(ReflectedView, SeesTheSceneMirroredInTheSeaFromTheMirroredEye) {
  const std::pair<Matrix, bool> cases[] = {
      {testing::LookingAt({0, -600, 300}, {0, 0, 0}), true},
      {testing::LookingAt({-420, 250, 12}, {30, -40, 180}), true},
      {testing::LookingAt({-500, 0, 200}, {0, 0, 0}), true},  // no world x in its right axis: a zero pivot
      {Rolled(testing::LookingAt({300, 420, 60}, {-20, 10, 60}), 0.3f), true},
      {Rolled(testing::LookingAt({300, 420, 150}, {-20, 10, 40}), 0.1f), false},
  };
  const Vector3 points[] = {{0, 0, 0}, {120, -40, 75}, {-200, 90, 160}, {35, 300, -20}};
  for (const auto& [camera, exact] : cases) {
    SCOPED_TRACE(::testing::Message() << camera(3, 0) << ", " << camera(3, 1) << ", " << camera(3, 2));
    const Matrix view = *CameraView(camera);
    const Matrix mirrored = ReflectedView(view);
    const Vector3 atEye = TransformPoint({camera(3, 0), camera(3, 1), -camera(3, 2)}, mirrored);
    EXPECT_NEAR(Length(atEye), 0.0f, 1e-4f);
    EXPECT_NEAR(Determinant(mirrored), Determinant(view), 1e-9f);  // triangles keep their winding
    if (!exact) continue;
    // A point's mirror image lies where the point does in the normal view,
    // upside down: the sea turns it back with its coordinates.
    for (const Vector3& p : points) {
      const Vector3 seen = TransformPoint(p, view), image = TransformPoint({p.x, p.y, -p.z}, mirrored);
      EXPECT_NEAR(image.x, seen.x, 1e-3f) << p.x << ", " << p.y << ", " << p.z;
      EXPECT_NEAR(image.y, -seen.y, 1e-3f) << p.x << ", " << p.y << ", " << p.z;
      EXPECT_NEAR(image.z, seen.z, 1e-3f) << p.x << ", " << p.y << ", " << p.z;
    }
  }
}

// Remembers the view in force at every draw.
class ViewRecordingDevice : public RecordingDevice {
 public:
  HResult DrawIndexedPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices, std::uint32_t count,
                               const std::uint16_t* indices, std::uint32_t indexCount) override {
    views.push_back(transforms[TransformState::View]);
    targets.push_back(SurfaceName(renderTarget));
    return RecordingDevice::DrawIndexedPrimitive(type, fvf, vertices, count, indices, indexCount);
  }
  std::vector<DeviceMatrix> views;
  std::vector<std::string> targets;
};

class ReflectionPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resources.add(147, kSceneResourceType, testing::SeaWriter().finish());
    scene->setResourceSource(&resources);
    scene->setTextureLoader(&loader);
    ASSERT_TRUE(scene->load("", 147));
    scene->root().updateSubtree();
    camera = testing::Find<Camera>(*scene, "Camera01");
    scene->setCurrentCamera(camera);
    device.viewport = {0, 0, 800, 600, 0.0f, 1.0f};
  }
  std::unique_ptr<EnvWater> Make(std::int32_t enable) {
    settings.Get(key::EnableEnvWater) = Value(enable);
    return MakeEnvWater(*scene, device, &loader, settings, false, clock.now(),
                        [&](const std::string& message) { fatal.push_back(message); });
  }
  bool Visible(const std::string& name) { return testing::Find<GeometryObject>(*scene, name)->visible(); }

  ManualClock clock{5000};
  MemoryResourceSource resources;
  testing::TargetLoader loader;
  std::unique_ptr<Scene> scene = std::make_unique<Scene>(clock);
  Camera* camera = nullptr;
  ViewRecordingDevice device;
  Node settings;
  std::vector<std::string> fatal;
};

TEST_F(ReflectionPassTest, DrawsTheMirroredSceneWithoutTheDeckPartsAndRestoresTheNormalFrame) {
  auto off = Make(0);
  device.log.clear();
  off->RenderReflection(device);
  EXPECT_TRUE(device.log.empty());
  EXPECT_FALSE(off->hiddenListsFound());

  auto water = Make(1);
  device.BeginScene();
  camera->apply(device);
  const DeviceMatrix view = device.transforms[TransformState::View];
  const DeviceMatrix projection = device.transforms[TransformState::Projection];
  // Hidden before the first pass: visible after it all the same.
  scene->findNode("lantern01")->setVisible(false);
  device.log.clear();
  water->RenderReflection(device);
  // The listed parts the scene has; the names it lacks are skipped.
  ASSERT_EQ(water->hiddenInReflection().size(), 2u);
  EXPECT_EQ(water->hiddenInReflection()[0]->name(), "Box01");
  EXPECT_EQ(water->hiddenInReflection()[1]->name(), "lantern01");
  // Only the hull: not the box, the lid below it, the lantern or the sea.
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.targets, (std::vector<std::string>{"envmap"}));
  EXPECT_EQ(device.views[0], ToDevice(ReflectedView(*CameraView(camera->world()))));
  EXPECT_EQ(device.Calls("Clear"), (std::vector<std::string>{"Clear(3, FF000000, 1, 0)"}));
  EXPECT_EQ(device.Calls("SetRenderTarget"),
            (std::vector<std::string>{"SetRenderTarget(envmap)", "SetRenderTarget(backbuffer)"}));
  // The map's viewport is set before its target.
  const auto at = [&](const std::string& call) { return std::ranges::find(device.log, call) - device.log.begin(); };
  EXPECT_LT(at("SetViewport"), at("SetRenderTarget(envmap)"));
  for (const char* name : {"Box01", "Box01_lid", "lantern01", "hull"}) EXPECT_TRUE(Visible(name)) << name;
  EXPECT_FALSE(camera->reflect);
  EXPECT_EQ(device.viewport.width, 800u);
  EXPECT_EQ(device.transforms[TransformState::View], view);
  EXPECT_EQ(device.transforms[TransformState::Projection], projection);
  EXPECT_TRUE(fatal.empty());
  water->RenderReflection(device);
  EXPECT_EQ(water->hiddenInReflection().size(), 2u);
  EXPECT_EQ(device.draws.size(), 2u);
}

TEST_F(ReflectionPassTest, RefusedTargetsAreFatalAndLeaveTheSceneAsItWas) {
  auto water = Make(1);
  device.BeginScene();
  device.failing["SetRenderTarget"] = kEFail;
  water->RenderReflection(device);
  EXPECT_EQ(fatal, (std::vector<std::string>{"SetRenderTarget(m_pEnvironmentMapTexture, 0) FAILED!"}));
  EXPECT_TRUE(device.draws.empty());
  EXPECT_TRUE(device.Calls("Clear").empty());
  EXPECT_EQ(device.viewport.width, 800u);
  EXPECT_FALSE(camera->reflect);
  EXPECT_TRUE(Visible("Box01"));

  // The map is taken, the back buffer refused.
  struct Refusing : ViewRecordingDevice {
    HResult SetRenderTarget(Surface* target) override {
      const HResult r = ViewRecordingDevice::SetRenderTarget(target);
      return target ? r : kEFail;
    }
  } refusing;
  refusing.viewport = device.viewport;
  refusing.BeginScene();
  fatal.clear();
  water->RenderReflection(refusing);
  EXPECT_EQ(fatal, (std::vector<std::string>{"SetRenderTarget(g_pddsBackBuffer, 0) FAILED!"}));
  EXPECT_TRUE(Visible("Box01"));
  EXPECT_EQ(refusing.viewport, device.viewport);
}

}  // namespace
}  // namespace brisane
