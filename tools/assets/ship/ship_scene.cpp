#include "layout.h"
#include "parts.h"

namespace brisane::assets::ship {

ShipScene BuildShipScene() {
  SceneAuthor scene;
  scene.group(layout::kShip, SceneAuthor::kRoot, Matrix::Identity());
  scene.group(layout::kRig, layout::kShip, Translate(layout::kRigOffset));
  AuthorHull(scene);
  AuthorDeck(scene);
  AuthorRig(scene);
  AuthorWorld(scene);
  return ShipScene{scene.finish(), scene.triangles()};
}

}  // namespace brisane::assets::ship
