#include "layout.h"
#include "parts.h"

namespace brisane::assets::ship {

void AuthorWorld(SceneAuthor& scene) {
  scene.setFamily("world");
}

}  // namespace brisane::assets::ship
