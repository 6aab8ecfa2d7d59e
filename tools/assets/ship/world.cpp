#include "layout.h"
#include "parts.h"
#include "show/ship_contract.h"
#include "world_parts.h"

namespace brisane::assets::ship {

namespace {

DeviceLight PointLight(Vector3 at, Colour colour, float range, float a0, float a1 = 0, float a2 = 0) {
  DeviceLight l;
  l.type = 1;  // point
  l.diffuse = {colour.r, colour.g, colour.b, 1};
  // No light of its own in the ambient term: the show's day and night level
  // is the only ambient light, so the sky dome follows it alone.
  l.specular = {0, 0, 0, 1};
  l.ambient = {0, 0, 0, 1};
  l.position = {at.x, at.y, at.z};
  l.range = range;
  l.attenuation0 = a0;
  l.attenuation1 = a1;
  l.attenuation2 = a2;
  return l;
}

}  // namespace

void AuthorWorld(SceneAuthor& scene) {
  scene.setFamily("world");
  const Matrix identity = Matrix::Identity();

  // ---- sea: the show draws both meshes itself and rewrites their heights.
  scene.image("world_sea.jpg", world::SeaPicture(), 85);
  ArchiveMaterial water;
  water.description = LitMaterial({1, 1, 1}, 0.6f);
  water.layers = {Layer(1, {"world_sea.jpg"})};
  const std::string seaName(contract::kWater[0]), foamName(contract::kWater[1]);
  const std::string seaMaterial(contract::kWaterMaterials[0]), foamMaterial(contract::kWaterMaterials[1]);
  scene.material(seaMaterial, water);
  scene.object(seaName, SceneAuthor::kRoot, identity, {world::SeaMesh().build(seaMaterial, true)});

  scene.image("world_foam.jpg", world::FoamPicture(), 85);
  scene.image("world_foam_alfa.jpg", world::FoamAlphaPicture(), 90);
  ArchiveMaterial foam;
  foam.description = LitMaterial({1, 1, 1}, 0.65f);
  foam.layers = {Layer(1, {"world_foam.jpg"}), Layer(4, {"world_foam_alfa.jpg"}, 1)};
  scene.material(foamMaterial, foam);
  // Same frame as the sea: the show draws it with that node's matrix.
  scene.object(foamName, SceneAuthor::kRoot, identity, {world::FoamMesh().build(foamMaterial, true)});

  // ---- sky: lit by the ambient level only, so day and night change it. Its
  // ambient leans to blue-green to take the warm tint out of the daylight.
  scene.image("world_sky.jpg", world::SkyPicture(), 85);
  ArchiveMaterial sky;
  sky.description.diffuse = {0, 0, 0, 1};
  sky.description.ambient = {1.0f, 1.2f, 1.25f, 1};
  sky.description.specular = {0, 0, 0, 1};
  sky.description.emissive = {0, 0, 0, 1};
  sky.layers = {Layer(1, {"world_sky.jpg"})};
  scene.material("world_sky", sky);
  scene.object("world_sky", SceneAuthor::kRoot, identity, {world::SkyMesh().build("world_sky")});

  // ---- haze over the far sea, lit as the sky is so that both keep one
  // colour by day and by night. Its node lies far below the scene and its
  // ring that far above it, so that it is the farthest of the blended
  // objects and drawn before, never over, the sails.
  scene.image("world_haze.jpg", world::HazePicture(), 90);
  scene.image("world_haze_alfa.jpg", world::HazeAlphaPicture(), 95);
  ArchiveMaterial haze = sky;
  haze.layers = {Layer(1, {"world_haze.jpg"}), Layer(4, {"world_haze_alfa.jpg"})};
  scene.material("world_haze", haze);
  constexpr float kHazeDepth = 30000;
  MeshBuilder hazeRing = world::HazeMesh();
  for (Vertex& v : hazeRing.vertices()) v.p.z += kHazeDepth;
  scene.object("world_haze", SceneAuthor::kRoot, Translate({0, 0, -kHazeDepth}), {hazeRing.build("world_haze")});

  // ---- sun and lights.
  const Vector3 sun = layout::kSunDirection * layout::kSunDistance;
  const std::string sunName(contract::kSun);
  scene.group(sunName, SceneAuthor::kRoot, Translate(sun));
  const float farReach = layout::kSunDistance + 2000;
  scene.light("world_sun_light", sunName, identity, PointLight(sun, {0.86f, 0.8f, 0.68f}, farReach, 1));
  // Cool sky light from the far side, so the shaded side is not flat.
  const Vector3 fill = Normalize(Vector3{-layout::kSunDirection.x, -layout::kSunDirection.y, 0.5f}) * 5000.0f;
  scene.light("world_fill_light", SceneAuthor::kRoot, Translate(fill),
              PointLight(fill, {0.2f, 0.25f, 0.33f}, 5000 + 2000, 1));
  // The stern lanterns' warm light on the counter and the poop; rocks with the ship.
  const Vector3 lantern = (layout::kLantern[0] + layout::kLantern[1]) * 0.5f + Vector3{-6, 0, 0};
  scene.light("world_lantern_light", layout::kShip, Translate(lantern),
              PointLight(lantern, {1.0f, 0.68f, 0.32f}, 170, 0.35f, 0, 1.0f / 4500));

  // ---- cameras, under the root so the ship rocks in their view.
  for (world::CameraPath& cam : world::CameraPaths())
    scene.camera(cam.name, SceneAuthor::kRoot, std::move(cam.keys), cam.projection);
}

}  // namespace brisane::assets::ship
