// The ship on the swell: the three points placed in the water's space, the
// pose from the heights under them (always from the pose as loaded), and the
// creak latches.
#include "show/ship_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/recording_audio.h"
#include "support/sea_fixtures.h"
#include "support/wave_bytes.h"

namespace brisane {
namespace {

class ScriptedSea : public SeaSurface {
 public:
  void WaveHeight(std::span<Vector3> points) const override {
    for (std::size_t i = 0; i < points.size() && i < 3; ++i) points[i].z = heights[i];
  }
  float heights[3] = {0, 0, 0};
};

// Row-vector turns about x and y, written out.
Matrix About(int axis, double a) {
  const std::size_t i = axis == 0 ? 1 : 2, j = axis == 0 ? 2 : 0;
  Matrix r = Matrix::identity();
  r(i, i) = r(j, j) = static_cast<float>(std::cos(a));
  r(i, j) = static_cast<float>(std::sin(a));
  r(j, i) = static_cast<float>(-std::sin(a));
  return r;
}

void ExpectNear(const Matrix& actual, const Matrix& expected, float tolerance) {
  for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << i;
}

constexpr double kHeel = 5.0 * std::numbers::pi / 180.0;

class ShipMotionTest : public ::testing::Test {
 protected:
  void Load(Matrix waterLocal, Matrix shipLocal, std::vector<std::uint8_t> archive = {}) {
    resources.add(147, kSceneResourceType, archive.empty() ? testing::SeaWriter(waterLocal, shipLocal).finish() : archive);
    scene->setResourceSource(&resources);
    ASSERT_TRUE(scene->load("", 147));
    scene->root().updateSubtree();
    ship = scene->findNode(std::string(contract::kShipRoot));
    motion = std::make_unique<ShipMotion>(*scene, sea, creakHigh, creakLow);
    motion->InitWaterPoints();
  }
  Matrix Ride(float h1, float h2, float h3) {
    sea.heights[0] = h1, sea.heights[1] = h2, sea.heights[2] = h3;
    motion->RockShip();
    scene->root().updateSubtree();
    return ship->local();
  }
  ManualClock clock{1000};
  MemoryResourceSource resources;
  std::unique_ptr<Scene> scene = std::make_unique<Scene>(clock);
  ScriptedSea sea;
  testing::RecordingAudio audio;  // outlives the sounds' buffers
  Sound3D creakHigh, creakLow;
  std::unique_ptr<ShipMotion> motion;
  SceneNode* ship = nullptr;
};

TEST_F(ShipMotionTest, PointsAreTheDummiesInTheWatersOwnSpace) {
  // The sea turned a quarter about z and moved; the ship moved too.
  Matrix water = Matrix::translation(10, 20, 0);
  water(0, 0) = 0, water(0, 1) = 1, water(1, 0) = -1, water(1, 1) = 0;
  Load(water, Matrix::translation(5, 0, 0));
  for (std::size_t i = 0; i < 3; ++i) {
    // World (x, y) = local (-y, x) + (10, 20).
    const float wx = testing::kSeaPoints[i].x + 5, wy = testing::kSeaPoints[i].y;
    EXPECT_NEAR(motion->points()[i].x, wy - 20, 1e-4f) << i;
    EXPECT_NEAR(motion->points()[i].y, -(wx - 10), 1e-4f) << i;
  }
}

// Pitch about the line across the stern (+y), then roll and heel about the
// line from the bow to the middle of the quarters (+x); 400 along, 104 across.
TEST_F(ShipMotionTest, HeightsPitchRollAndHeaveTheShipFromItsLoadedPose) {
  const Matrix loaded = Matrix::translation(5, -3, 1);
  Load(Matrix::identity(), loaded);
  const double along = std::hypot(400.0, 52.0);
  struct Case {
    float h1, h2, h3;
    double pitch, roll, heave;
  };
  for (const Case& c : {Case{0, 0, 0, 0, 0, -2}, Case{1, 0, 0, -std::atan2(1.0, along), 0, 0.5 - 2},
                        Case{0, 2, 0, std::atan2(2.0, along), std::atan2(2.0, 104.0), 0.5 - 2},
                        Case{-3, 1, 2.5f, std::atan2(4.0, along), -std::atan2(1.5, 104.0), -1.5 + 0.875 - 2},
                        Case{0, 0, 0, 0, 0, -2}}) {  // back on a flat sea: nothing builds up
    SCOPED_TRACE(::testing::Message() << c.h1 << ", " << c.h2 << ", " << c.h3);
    const Matrix pose = Ride(c.h1, c.h2, c.h3);
    // An arc cosine near 1 in single precision: about 1e-4 radians.
    EXPECT_NEAR(motion->pitch(), c.pitch, 1e-4);
    EXPECT_NEAR(motion->roll(), c.roll, 1e-4);
    EXPECT_NEAR(motion->heave(), c.heave, 1e-6);
    ExpectNear(pose, loaded * Matrix::translation(0, 0, static_cast<float>(c.heave)) * About(1, c.pitch) * About(0, c.roll + kHeel),
               2e-4f);
  }
}

TEST_F(ShipMotionTest, EachCreakPlaysOnceOnTheWayOutAndReArmsOnlyBackInside) {
  Load(Matrix::identity(), Matrix::identity());
  resources.add(152, "WAVFILE", testing::PcmWave(testing::Ramp(64)));
  resources.add(157, "WAVFILE", testing::PcmWave(testing::Ramp(32)));
  ASSERT_EQ(creakHigh.Load(audio, resources, 152, ""), kOk);
  ASSERT_EQ(creakLow.Load(audio, resources, 157, ""), kOk);
  testing::RecordingBuffer& high = *audio.created[0];
  testing::RecordingBuffer& low = *audio.created[1];
  // Exactly 2.8 and -2.8 count as inside: they re-arm and play nothing.
  const std::tuple<float, int, int> steps[] = {{3.0f, 1, 0},   {2.81f, 1, 0}, {2.8f, 1, 0},  {2.9f, 2, 0},
                                               {-2.8f, 2, 0},  {-2.81f, 2, 1}, {-2.8f, 2, 1}, {-3.0f, 2, 2}};
  for (const auto& [bow, highPlays, lowPlays] : steps) {
    Ride(bow, 0, 0);
    EXPECT_EQ(high.plays, highPlays) << bow;
    EXPECT_EQ(low.plays, lowPlays) << bow;
    EXPECT_FALSE(high.looping || low.looping);
    high.playing = low.playing = false;  // a creak is over long before the ship swings back
  }
}

TEST_F(ShipMotionTest, AShipWithoutItsPointsStaysAsLoaded) {
  Load(Matrix::identity(), Matrix::identity(), testing::SampleArchive());
  sea.heights[0] = 3;
  motion->RockShip();
  EXPECT_TRUE(motion->highArmed());
  EXPECT_EQ(scene->findNode("hull")->local(), Matrix::translation(0, 1, 0));
}

}  // namespace
}  // namespace brisane
