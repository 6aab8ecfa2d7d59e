#include "layout.h"
#include "parts.h"

namespace brisane::assets::ship {

void AuthorHull(SceneAuthor& scene) {
  scene.setFamily("hull");
}

}  // namespace brisane::assets::ship
