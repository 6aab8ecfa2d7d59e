#include <gtest/gtest.h>

#include "support/scene_fixtures.h"

namespace brisane {
namespace {

float X(const Matrix& m) { return m.m[12]; }

// A node with keys at 0 and 100 ms moving x from 0 to 10, under a parent
// node, driven through updateSubtree as the renderer does.
class TransformAnimationTest : public ::testing::Test {
 protected:
  TransformAnimationTest() {
    parent.addChild(&node);
    node.setKeys({TransformKey{0, Matrix::translation(0, 0, 0)}, TransformKey{100, Matrix::translation(10, 0, 0)}});
  }
  void Start(std::uint32_t from, std::uint32_t to, std::int32_t offset, float speed, std::int32_t loops) {
    start = clock.now();
    node.startAnimation(from, to, offset, speed, loops);
  }
  float At(std::uint32_t ms) {
    clock.set(start + ms);
    parent.updateSubtree();
    return X(node.local());
  }
  std::uint32_t start = 4294967000u;  // the clock wraps during the tests
  ManualClock clock{start};
  GeometryObject parent{"parent", clock};
  GeometryObject node{"node", clock};
};

// Poses along a window of the keys; the local pose starts at x = -7.
TEST_F(TransformAnimationTest, WindowsLoopsOffsetsAndSpeedsGiveTheirPoses) {
  const struct {
    const char* what;
    std::uint32_t from, to;
    std::int32_t offset;
    float speed;
    std::int32_t loops;
    std::vector<std::pair<std::uint32_t, float>> poses;  // ms after the start, x
    int period, animating;                                // -1: not checked
  } cases[] = {
      {"an endless loop repeats", 0, 100, 0, 1.0f, -1, {{25, 2.5f}, {199, 9.9f}, {310, 1.0f}}, -1, 1},
      {"at half speed", 0, 100, 0, 0.5f, -1, {{50, 2.5f}, {250, 2.5f}}, 200, -1},
      {"a limited loop holds the end pose", 0, 100, 0, 1.0f, 1, {{100, 10.0f}, {130, 10.0f}}, -1, 0},
      // Key time 170 lies beyond the keys; the next pass starts over at 60.
      {"past the last key", 50, 250, 0, 1.0f, -1, {{0, 5.0f}, {40, 9.0f}, {120, 9.0f}, {210, 6.0f}}, -1, -1},
      {"a negative offset delays", 0, 100, -30, 1.0f, -1, {{29, -7.0f}, {40, 1.0f}}, -1, -1},
      {"a positive offset advances", 0, 100, 30, 1.0f, -1, {{0, 3.0f}}, -1, -1},
      {"a window under a millisecond", 30, 30, 0, 1.0f, -1, {{0, 3.0f}, {500, 3.0f}}, 0, -1},
      {"the whole window in a tenth of a ms", 0, 100, 0, 1000.0f, -1, {{5, 0.0f}}, -1, -1},
      {"a negative speed", 0, 100, 0, -1.0f, -1, {{5, 0.0f}}, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    node.setLocal(Matrix::translation(-7, 0, 0));
    Start(c.from, c.to, c.offset, c.speed, c.loops);
    for (const auto& [ms, x] : c.poses) EXPECT_FLOAT_EQ(At(ms), x) << ms;
    if (c.period >= 0) { EXPECT_EQ(node.animation().period, static_cast<std::uint32_t>(c.period)); }
    if (c.animating >= 0) { EXPECT_EQ(node.animation().animating, c.animating == 1); }
  }
}

TEST_F(TransformAnimationTest, WorldShowsTheMoveOneUpdateLater) {
  Start(0, 100, 0, 1.0f, -1);
  At(25);
  EXPECT_FLOAT_EQ(X(node.world()), 0.0f);  // computed from the old local
  At(50);
  EXPECT_FLOAT_EQ(X(node.world()), 2.5f);
  EXPECT_FLOAT_EQ(X(node.local()), 5.0f);
}

TEST_F(TransformAnimationTest, SetAnimationSpeedKeepsThePoseThenRunsAtTheNewRate) {
  Start(0, 100, 0, 1.0f, -1);
  EXPECT_FLOAT_EQ(At(40), 4.0f);
  parent.setAnimationSpeed(0.5f);  // reaches the child
  EXPECT_EQ(node.animation().period, 200u);
  EXPECT_FLOAT_EQ(At(40), 4.0f);
  EXPECT_FLOAT_EQ(At(60), 5.0f);
  // Parked, as the show does with cameras. A tiny float speed cannot carry
  // the key time exactly; it may fall short by one key millisecond (0.1).
  parent.setAnimationSpeed(0.0001f);
  EXPECT_NEAR(At(60), 5.0f, 0.11f);
  EXPECT_NEAR(At(10060), 5.0f, 0.11f);
  parent.setAnimationSpeed(1.0f);
  EXPECT_NEAR(At(10070), 6.0f, 0.11f);
  parent.setAnimationSpeed(0.0f);  // refused: it would divide by zero
  EXPECT_EQ(node.animation().speed, 1.0f);
}

TEST_F(TransformAnimationTest, StartReachesEveryNodeBelowAndSkipsNodesWithoutKeys) {
  Camera camera("camera", clock);
  node.addChild(&camera);
  camera.setKeys({TransformKey{0, Matrix::identity()}, TransformKey{10, Matrix::identity()}});
  parent.startAnimation(0, 100, 0, 1.0f, -1);
  EXPECT_FALSE(parent.animation().animating);  // no keys
  EXPECT_TRUE(node.animation().animating);
  EXPECT_TRUE(camera.animation().animating);

  GeometryObject single("single", clock);
  single.setKeys({TransformKey{0, Matrix::translation(1, 2, 3)}});
  single.startAnimation(0, 100, 0, 1.0f, -1);
  clock.advance(50);
  single.update(Matrix::identity());
  EXPECT_EQ(single.local(), Matrix::translation(1, 2, 3));  // one key never moves
}

// Geometry frames at 0, 39 and 79 ms, each a mesh whose first vertex byte
// tells which frame it is.
class GeometryAnimationTest : public ::testing::Test {
 protected:
  GeometryAnimationTest() {
    for (std::uint32_t time : {0u, 39u, 79u}) {
      std::vector<std::unique_ptr<Mesh>> meshes;
      meshes.push_back(std::make_unique<Mesh>(kFvfOneTexture, testing::Vertices(kFvfOneTexture, 3,
                                                                                 static_cast<std::uint8_t>(time)),
                                              std::vector<std::uint16_t>{0, 1, 2}));
      object.addFrame(time, std::move(meshes));
    }
  }
  void Start(std::uint32_t from, std::uint32_t to, std::int32_t offset, float speed, std::int32_t loops) {
    start = clock.now();
    object.startGeometryAnimation(from, to, offset, speed, loops);
  }
  int FrameAt(std::uint32_t ms) {
    clock.set(start + ms);
    object.animateGeometry();
    return object.activeMeshes()[0]->vertices()[0];
  }
  std::uint32_t start = 1000;
  ManualClock clock{start};
  GeometryObject object{"flag", clock};
};

TEST_F(GeometryAnimationTest, TheNearestFrameIsShownAndATieGoesLater) {
  EXPECT_EQ(FrameAt(0), 0);  // before any start
  Start(0, 100, 0, 1.0f, -1);
  EXPECT_EQ(FrameAt(19), 0);
  EXPECT_EQ(FrameAt(20), 39);
  EXPECT_EQ(FrameAt(58), 39);
  EXPECT_EQ(FrameAt(59), 79);
  EXPECT_EQ(FrameAt(95), 79);   // beyond the last frame nothing changes
  EXPECT_EQ(FrameAt(105), 0);   // the next pass searches from the start
  Start(0, 79, 0, 1.0f, 1);
  EXPECT_EQ(FrameAt(200), 79);  // a limited loop ends on the window's last time
  EXPECT_FALSE(object.geometryAnimation().animating);
  Start(0, 79, 36, 0.5f, -1);
  EXPECT_EQ(FrameAt(3), 0);     // 36 real ms at half speed advance key time 18
  EXPECT_EQ(FrameAt(4), 39);
}

TEST_F(GeometryAnimationTest, StartsOnlyWithFramesToFlipAndOnlyThroughGeometry) {
  GeometryObject child("child", clock), still("still", clock), behindLight("behind_light", clock);
  Light light("light", clock);
  object.addChild(&child);
  object.addChild(&still);
  object.addChild(&light);
  light.addChild(&behindLight);
  for (GeometryObject* o : {&child, &behindLight})
    for (std::uint32_t time : {0u, 10u}) o->addFrame(time, {});
  still.addFrame(0, {});
  object.startGeometryAnimation(0, 100, 0, 1.0f, -1);
  EXPECT_TRUE(object.geometryAnimation().animating);
  EXPECT_TRUE(child.geometryAnimation().animating);
  EXPECT_FALSE(still.geometryAnimation().animating);        // one frame has nothing to flip
  EXPECT_FALSE(behindLight.geometryAnimation().animating);  // a light's subtree is not visited
}

TEST(LayerCyclingTest, SixteenFramesAtTenPerSecond) {
  ManualClock clock(123456);
  auto layer = MakeTextureLayer(LayerLightmap, clock);
  for (int i = 0; i < 16; ++i) layer->addFrame(std::make_shared<testing::FakeTexture>("f", 2, 0));
  EXPECT_EQ(layer->currentFrame(), 0u);
  layer->start(10);
  auto at = [&](std::uint32_t ms) {
    clock.set(123456 + ms);
    return layer->currentFrame();
  };
  EXPECT_EQ(at(299), 2u);
  EXPECT_EQ(at(300), 3u);  // 0.001 in single precision is a hair above
  EXPECT_EQ(at(1599), 15u);
  EXPECT_EQ(at(1600), 0u);
  layer->start(0);
  EXPECT_EQ(at(1700), 0u);
  // Elapsed time wraps with the clock: 512 ms later at 20 a second, frame 10 of 16.
  clock.set(0xFFFFFF00u);
  layer->start(20);
  clock.set(0x00000100u);
  EXPECT_EQ(layer->currentFrame(), 10u);
}

}  // namespace
}  // namespace brisane
