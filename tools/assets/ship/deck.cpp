#include "layout.h"
#include "parts.h"

namespace brisane::assets::ship {

void AuthorDeck(SceneAuthor& scene) {
  scene.setFamily("deck");
}

}  // namespace brisane::assets::ship
