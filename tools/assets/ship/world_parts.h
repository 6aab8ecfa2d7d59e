// The world around the ship: the sea and its foam, the sky, and the camera
// paths. Built here as plain meshes and pictures so that AuthorWorld only
// names and places them, and the tests can check them on their own.
#pragma once

#include <string>
#include <vector>

#include "author.h"
#include "paint.h"

namespace brisane::assets::ship::world {

// The sea grid: a patch of kCell-unit cells around the ship, growing towards
// its edges, then
// rings that grow outwards to a circle of kSeaRadius, coarsening two to one
// where their cells get long and thin. All of it in the plane z = 0.
constexpr float kCell = 7;
constexpr float kCoreX0 = -294, kCoreX1 = 364;  // kCell apart in here
constexpr float kCoreY0 = -147, kCoreY1 = 147;
constexpr float kInnerX0 = -420, kInnerX1 = 540;  // the patch; its aft end leaves room for the wake
constexpr float kInnerY0 = -320, kInnerY1 = 320;
constexpr float kSeaRadius = 8000;
// The wake fades out before the patch's cells grow coarse.
constexpr float kWakeEnd = kCoreX1 + 60;
// The sea picture repeats every this many units near the ship.
constexpr float kSeaTile = 160;

// Cameras see this far (view units: one is 100 scene units).
constexpr float kFarPlane = 120;
constexpr float kNearPlane = 0.1f;

// "Water01": format 0x212 (the second pair is the show's reflection
// coordinates), normals up, faces up.
MeshBuilder SeaMesh();
// "Water02": foam along the hull and the wake astern, on the very vertices of
// the sea's inner patch (same positions, same triangles), so that the foam's
// depth equals the sea's wherever the waves move them. Set 0: foam picture,
// v growing towards the bow; set 1: (distance from the hull / band width,
// place along the ship, bow at the picture's top) for the opacity picture.
MeshBuilder FoamMesh();
// Inside of a dome of layout::kSkyRadius, from a little below the horizon
// to the zenith; faces inwards.
MeshBuilder SkyMesh();

// The haze over the far sea: a flat ring just above the highest wave, from
// kHazeInner out to the sea's edge, growing denser outwards; v runs from
// its inner edge (0) to the horizon (1), u around it.
constexpr float kHazeInner = 2200;
constexpr float kHazeHeight = 4;
// Rows of the haze's opacity picture: v stays within their centres, so that
// filtering never wraps the horizon's opacity onto the inner edge.
constexpr int kHazeRows = 64;
MeshBuilder HazeMesh();

// Distance from the hull's waterline outline in the plane z = 0: negative
// inside the hull.
float HullDistance(float x, float y);
// How far (x, y) lies outside the foam's core: the hull, and astern the
// wake's lane; negative inside them.
float FoamDistance(float x, float y);
// Width of the foam band at x (wider at the bow wave, growing in the wake).
float FoamWidth(float x);

Image SeaPicture();        // 256 x 256, tiles
Image FoamPicture();       // 256 x 256, tiles
Image FoamAlphaPicture();  // 128 x 128: across the band, along the ship
Image SkyPicture();        // 512 x 256: azimuth across, elevation down from the zenith
Image HazePicture();       // 64 x 64: the horizon's haze, the colour the sky has there
Image HazeAlphaPicture();  // 64 x kHazeRows: the haze's opacity from the ring's inner edge (top) out
// The haze's opacity at a distance from the centre: 0 inside kHazeInner,
// at its most at the sea's edge.
float HazeOpacity(float distance);

// The sky picture's vertical coordinate (from the top) for an elevation (radians) and back.
float SkyV(float elevation);
float SkyElevation(float v);
// Lowest elevation of the dome (below the horizon, where it meets the sea's edge).
constexpr float kSkyLowest = -0.14f;

struct CameraPath {
  std::string name;
  std::vector<TransformKey> keys;
  Matrix projection;
};
// "Camera01" to "Camera07", in name order.
std::vector<CameraPath> CameraPaths();

}  // namespace brisane::assets::ship::world
