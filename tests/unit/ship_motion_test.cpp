// The ship on the swell: the three points placed in the water's space, the
// pose from the heights under them (heave, pitch, roll and the constant
// heel, always from the pose as loaded), and the creak latches.
#include "show/ship_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/recording_audio.h"
#include "support/sea_fixtures.h"
#include "support/wave_bytes.h"

namespace brisane {
namespace {

// Heights under the three points, set by the test.
class ScriptedSea : public SeaSurface {
 public:
  void WaveHeight(std::span<Vector3> points) const override {
    for (std::size_t i = 0; i < points.size() && i < 3; ++i) points[i].z = heights[i];
  }
  float heights[3] = {0, 0, 0};
};

// A row-vector rotation written out for the axes the ship turns about.
Matrix AboutX(double a) {
  Matrix r = Matrix::identity();
  r(1, 1) = static_cast<float>(std::cos(a));
  r(1, 2) = static_cast<float>(std::sin(a));
  r(2, 1) = static_cast<float>(-std::sin(a));
  r(2, 2) = static_cast<float>(std::cos(a));
  return r;
}
Matrix AboutY(double a) {
  Matrix r = Matrix::identity();
  r(0, 0) = static_cast<float>(std::cos(a));
  r(0, 2) = static_cast<float>(-std::sin(a));
  r(2, 0) = static_cast<float>(std::sin(a));
  r(2, 2) = static_cast<float>(std::cos(a));
  return r;
}

void ExpectNear(const Matrix& actual, const Matrix& expected, float tolerance) {
  for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "element " << i;
}

constexpr double kFiveDegrees = 5.0 * std::numbers::pi / 180.0;

class ShipMotionTest : public ::testing::Test {
 protected:
  void Load(Matrix waterLocal, Matrix shipLocal) {
    resources.add(147, kSceneResourceType, testing::SeaWriter(waterLocal, shipLocal).finish());
    scene->setResourceSource(&resources);
    ASSERT_TRUE(scene->load("", 147));
    scene->root().updateSubtree();
    ship = scene->findNode(std::string(contract::kShipRoot));
    motion = std::make_unique<ShipMotion>(*scene, sea, creakHigh, creakLow);
    motion->InitWaterPoints();
  }
  // The ship's pose after one frame on these heights.
  Matrix Ride(float h1, float h2, float h3) {
    sea.heights[0] = h1;
    sea.heights[1] = h2;
    sea.heights[2] = h3;
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
  Matrix water = AboutY(0);
  water(0, 0) = 0, water(0, 1) = 1, water(1, 0) = -1, water(1, 1) = 0;
  water(3, 0) = 10, water(3, 1) = 20, water(3, 2) = 0;
  Load(water, Matrix::translation(5, 0, 0));
  for (std::size_t i = 0; i < 3; ++i) {
    // World (x, y) = local (-y, x) + (10, 20); so local = (wy - 20, -(wx - 10)).
    const float wx = testing::kSeaPoints[i].x + 5, wy = testing::kSeaPoints[i].y;
    EXPECT_NEAR(motion->points()[i].x, wy - 20, 1e-4f) << i;
    EXPECT_NEAR(motion->points()[i].y, -(wx - 10), 1e-4f) << i;
  }
}

TEST_F(ShipMotionTest, AFlatSeaLowersTheShipTwoUnitsAndHeelsItFiveDegreesAboutItsLength) {
  const Matrix loaded = Matrix::translation(5, -3, 1);
  Load(Matrix::identity(), loaded);
  const Matrix pose = Ride(0, 0, 0);
  EXPECT_EQ(motion->pitch(), 0.0f);
  EXPECT_EQ(motion->roll(), 0.0f);
  EXPECT_EQ(motion->heave(), -2.0f);
  // The roll axis runs from the bow point to the middle of the quarters: +x.
  ExpectNear(pose, loaded * Matrix::translation(0, 0, -2) * AboutX(kFiveDegrees), 1e-5f);
}

TEST_F(ShipMotionTest, HeightsPitchRollAndHeaveTheShipFromItsLoadedPose) {
  const Matrix loaded = Matrix::translation(5, -3, 1);
  Load(Matrix::identity(), loaded);
  // Bow to stern points: 400 along, 52 across; across the stern 104.
  const double along = std::hypot(400.0, 52.0);
  struct Case {
    float h1, h2, h3;
    double pitch, roll, heave;
  };
  for (const Case& c : {Case{1, 0, 0, -std::atan2(1.0, along), 0, 0.5 - 2},
                        Case{0, 2, 0, std::atan2(2.0, along), std::atan2(2.0, 104.0), 0.5 - 2},
                        Case{0, 0, 2, 0, -std::atan2(2.0, 104.0), 0.5 - 2},
                        Case{-3, 1, 2.5f, std::atan2(4.0, along), -std::atan2(1.5, 104.0), -1.5 + 0.875 - 2}}) {
    SCOPED_TRACE(::testing::Message() << c.h1 << ", " << c.h2 << ", " << c.h3);
    const Matrix pose = Ride(c.h1, c.h2, c.h3);
    // Angles come from an arc cosine near 1 in single precision: good to
    // about 1e-4 radians for slopes this shallow.
    EXPECT_NEAR(motion->pitch(), c.pitch, 1e-4);
    EXPECT_NEAR(motion->roll(), c.roll, 1e-4);
    EXPECT_NEAR(motion->heave(), c.heave, 1e-6);
    // Pitch about the line across the stern (+y), then roll and heel about +x.
    ExpectNear(pose,
               loaded * Matrix::translation(0, 0, static_cast<float>(c.heave)) * AboutY(c.pitch) *
                   AboutX(c.roll + kFiveDegrees),
               2e-4f);
  }
  // Back on a flat sea the pose is the first one again: nothing builds up.
  const Matrix flat = Ride(0, 0, 0);
  ExpectNear(flat, loaded * Matrix::translation(0, 0, -2) * AboutX(kFiveDegrees), 1e-6f);
}

TEST_F(ShipMotionTest, EachCreakPlaysOnceOnTheWayOutAndReArmsOnlyBackInside) {
  Load(Matrix::identity(), Matrix::identity());
  resources.add(152, "WAVFILE", testing::PcmWave(testing::Ramp(64)));
  resources.add(157, "WAVFILE", testing::PcmWave(testing::Ramp(32)));
  ASSERT_EQ(creakHigh.Load(audio, resources, 152, ""), kOk);
  ASSERT_EQ(creakLow.Load(audio, resources, 157, ""), kOk);
  testing::RecordingBuffer& high = *audio.created[0];
  testing::RecordingBuffer& low = *audio.created[1];
  struct Step {
    float bow;
    std::uint32_t high, low;
  };
  // Exactly 2.8 and -2.8 count as inside: they re-arm and play nothing.
  for (const Step& s : {Step{3.0f, 1, 0}, Step{3.3f, 1, 0}, Step{2.81f, 1, 0}, Step{2.8f, 1, 0}, Step{2.9f, 2, 0},
                        Step{0.0f, 2, 0}, Step{-2.8f, 2, 0}, Step{-2.81f, 2, 1}, Step{-3.4f, 2, 1}, Step{-2.8f, 2, 1},
                        Step{-3.0f, 2, 2}, Step{3.0f, 3, 2}}) {
    Ride(s.bow, 0, 0);
    EXPECT_EQ(high.plays, static_cast<int>(s.high)) << "bow at " << s.bow;
    EXPECT_EQ(low.plays, static_cast<int>(s.low)) << "bow at " << s.bow;
    EXPECT_FALSE(high.looping || low.looping);
    // A creak is over long before the ship swings back.
    high.playing = low.playing = false;
    EXPECT_EQ(motion->highArmed(), !(s.bow > 2.8f)) << "bow at " << s.bow;
    EXPECT_EQ(motion->lowArmed(), !(s.bow < -2.8f)) << "bow at " << s.bow;
  }
}

TEST_F(ShipMotionTest, AShipWithoutItsPointsStaysAsLoaded) {
  // The small sample ship has neither the points nor the sea.
  resources.add(147, kSceneResourceType, testing::SampleArchive());
  scene->setResourceSource(&resources);
  ASSERT_TRUE(scene->load("", 147));
  ShipMotion lost(*scene, sea, creakHigh, creakLow);
  lost.InitWaterPoints();
  sea.heights[0] = 3;
  lost.RockShip();
  EXPECT_TRUE(lost.highArmed());
  EXPECT_EQ(scene->findNode("hull")->local(), Matrix::translation(0, 1, 0));
}

}  // namespace
}  // namespace brisane
