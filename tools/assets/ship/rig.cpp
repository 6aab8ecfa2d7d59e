#include "layout.h"
#include "parts.h"

namespace brisane::assets::ship {

void AuthorRig(SceneAuthor& scene) {
  scene.setFamily("rig");
}

}  // namespace brisane::assets::ship
