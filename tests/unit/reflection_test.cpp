// The mirrored view and the reflection pass: the view looks at the scene
// mirrored in the sea's plane from the mirrored eye; the pass draws into the
// map without the deck parts and leaves the device and the scene as the
// normal frame needs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "scene/view.h"
#include "settings/settings_keys.h"
#include "show/water.h"
#include "support/sea_fixtures.h"

namespace brisane {
namespace {

using testing::RecordingDevice;

Vector3 Transform(const Vector3& p, const Matrix& m) {
  return {p.x * m(0, 0) + p.y * m(1, 0) + p.z * m(2, 0) + m(3, 0),
          p.x * m(0, 1) + p.y * m(1, 1) + p.z * m(2, 1) + m(3, 1),
          p.x * m(0, 2) + p.y * m(1, 2) + p.z * m(2, 2) + m(3, 2)};
}

// The camera turned about its own forward axis.
Matrix Rolled(Matrix camera, float angle) {
  const Matrix turn = AxisRotation({-camera(2, 0), -camera(2, 1), -camera(2, 2)}, angle);
  for (std::size_t r = 0; r < 3; ++r) {
    const Vector3 row = Transform({camera(r, 0), camera(r, 1), camera(r, 2)}, turn);
    camera(r, 0) = row.x;
    camera(r, 1) = row.y;
    camera(r, 2) = row.z;
  }
  return camera;
}

float Determinant(const Matrix& m) {
  float det = 0;
  for (std::size_t i = 0; i < 3; ++i)
    det += m(0, i) * (m(1, (i + 1) % 3) * m(2, (i + 2) % 3) - m(1, (i + 2) % 3) * m(2, (i + 1) % 3));
  return det;
}

TEST(ReflectedView, SeesTheSceneMirroredInTheSeaFromTheMirroredEye) {
  struct Case {
    const char* what;
    Matrix camera;
    bool exact;  // pitched or rolled but not both: the two turns mirror it exactly
  };
  const std::vector<Case> cases = {
      {"above the ship, looking down at it", testing::LookingAt({0, -600, 300}, {0, 0, 0}), true},
      {"low, looking up at the masts", testing::LookingAt({-420, 250, 12}, {30, -40, 180}), true},
      // Its right axis has no world x: the elimination meets a zero pivot.
      {"along the ship's length", testing::LookingAt({-500, 0, 200}, {0, 0, 0}), true},
      {"level and rolled", Rolled(testing::LookingAt({300, 420, 60}, {-20, 10, 60}), 0.3f), true},
      {"level and rolled the other way", Rolled(testing::LookingAt({80, -900, 40}, {200, 400, 40}), -0.45f), true},
      // Both at once: the second turn is about the first's result, so the
      // picture is only near the mirror's (a few degrees off at this roll).
      // The show's cameras do not roll.
      {"pitched and rolled", Rolled(testing::LookingAt({300, 420, 150}, {-20, 10, 40}), 0.1f), false},
  };
  const std::vector<Vector3> points = {{0, 0, 0}, {120, -40, 75}, {-200, 90, 160}, {35, 300, -20}, {-90, -250, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Matrix view = *CameraView(c.camera);
    const Matrix mirrored = ReflectedView(view);
    const Vector3 eye{c.camera(3, 0), c.camera(3, 1), -c.camera(3, 2)};
    const Vector3 atEye = Transform(eye, mirrored);
    EXPECT_NEAR(atEye.x, 0.0f, 1e-4f);
    EXPECT_NEAR(atEye.y, 0.0f, 1e-4f);
    EXPECT_NEAR(atEye.z, 0.0f, 1e-4f);
    // Still the view's rotation and scale: the triangles keep their winding.
    EXPECT_NEAR(Determinant(mirrored), Determinant(view), 1e-9f);
    if (!c.exact) continue;
    // A point's mirror image lies where the point does in the normal view,
    // upside down: the sea turns it back with its coordinates. Single
    // precision keeps that to a tenth of a scene unit.
    const float tolerance = 1e-3f;
    for (const Vector3& p : points) {
      const Vector3 seen = Transform(p, view);
      const Vector3 image = Transform({p.x, p.y, -p.z}, mirrored);
      EXPECT_NEAR(image.x, seen.x, tolerance) << p.x << ", " << p.y << ", " << p.z;
      EXPECT_NEAR(image.y, -seen.y, tolerance) << p.x << ", " << p.y << ", " << p.z;
      EXPECT_NEAR(image.z, seen.z, tolerance) << p.x << ", " << p.y << ", " << p.z;
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

TEST_F(ReflectionPassTest, WithoutEnvironmentWaterThePassDoesNothing) {
  auto water = Make(0);
  device.log.clear();
  water->RenderReflection(device);
  EXPECT_TRUE(device.log.empty());
  EXPECT_FALSE(water->hiddenListsFound());
}

TEST_F(ReflectionPassTest, DrawsTheMirroredSceneWithoutTheDeckPartsAndRestoresTheNormalFrame) {
  auto water = Make(1);
  device.BeginScene();
  camera->apply(device);
  const DeviceMatrix view = device.transforms[TransformState::View];
  const DeviceMatrix projection = device.transforms[TransformState::Projection];
  const DeviceViewport viewport = device.viewport;
  // Hidden before the first pass: visible after it all the same.
  scene->findNode("lantern01")->setVisible(false);
  device.log.clear();

  water->RenderReflection(device);

  // The two listed parts the scene has; the names it lacks are skipped.
  ASSERT_EQ(water->hiddenInReflection().size(), 2u);
  EXPECT_EQ(water->hiddenInReflection()[0]->name(), "Box01");
  EXPECT_EQ(water->hiddenInReflection()[1]->name(), "lantern01");
  // Only the hull is drawn: not the box, the lid below it, the lantern or the sea.
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.targets, (std::vector<std::string>{"envmap"}));
  EXPECT_EQ(device.views[0], ToDevice(ReflectedView(*CameraView(camera->world()))));
  EXPECT_NE(device.views[0], view);
  EXPECT_EQ(device.Calls("Clear"), (std::vector<std::string>{"Clear(3, FF000000, 1, 0)"}));
  EXPECT_EQ(device.Calls("SetRenderTarget"),
            (std::vector<std::string>{"SetRenderTarget(envmap)", "SetRenderTarget(backbuffer)"}));
  // The map's viewport was set before its target, the screen's after the back buffer.
  const auto at = [&](const std::string& call) {
    return std::find(device.log.begin(), device.log.end(), call) - device.log.begin();
  };
  EXPECT_LT(at("SetViewport"), at("SetRenderTarget(envmap)"));

  for (const char* name : {"Box01", "Box01_lid", "lantern01", "hull"}) EXPECT_TRUE(Visible(name)) << name;
  EXPECT_FALSE(camera->reflect);
  EXPECT_EQ(device.renderTarget, nullptr);
  EXPECT_EQ(device.viewport, viewport);
  EXPECT_EQ(device.transforms[TransformState::View], view);
  EXPECT_EQ(device.transforms[TransformState::Projection], projection);
  EXPECT_TRUE(fatal.empty());

  // Later passes find nothing again and draw the same.
  water->RenderReflection(device);
  EXPECT_EQ(water->hiddenInReflection().size(), 2u);
  EXPECT_EQ(device.draws.size(), 2u);
}

TEST_F(ReflectionPassTest, ARefusedTargetIsFatalAndLeavesTheSceneAsItWas) {
  auto water = Make(1);
  device.BeginScene();
  const DeviceViewport viewport = device.viewport;
  device.failing["SetRenderTarget"] = kEFail;
  water->RenderReflection(device);
  EXPECT_EQ(fatal, (std::vector<std::string>{"SetRenderTarget(m_pEnvironmentMapTexture, 0) FAILED!"}));
  EXPECT_TRUE(device.draws.empty());
  EXPECT_TRUE(device.Calls("Clear").empty());
  EXPECT_EQ(device.viewport, viewport);
  EXPECT_FALSE(camera->reflect);
  EXPECT_TRUE(Visible("Box01"));
}

TEST_F(ReflectionPassTest, AFailedReturnToTheBackBufferIsFatal) {
  auto water = Make(1);
  device.BeginScene();
  // The map is taken, the back buffer refused.
  struct Refusing : ViewRecordingDevice {
    HResult SetRenderTarget(Surface* target) override {
      const HResult r = ViewRecordingDevice::SetRenderTarget(target);
      return target ? r : kEFail;
    }
  };
  Refusing refusing;
  refusing.viewport = device.viewport;
  refusing.BeginScene();
  water->RenderReflection(refusing);
  EXPECT_EQ(fatal, (std::vector<std::string>{"SetRenderTarget(g_pddsBackBuffer, 0) FAILED!"}));
  EXPECT_TRUE(Visible("Box01"));
  EXPECT_EQ(refusing.viewport, device.viewport);
}

}  // namespace
}  // namespace brisane
