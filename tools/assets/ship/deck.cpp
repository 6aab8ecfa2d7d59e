#include "deck_parts.h"
#include "layout.h"
#include "parts.h"

namespace brisane::assets::ship {

void AuthorDeck(SceneAuthor& scene) {
  scene.setFamily("deck");
  deck::AuthorMaterials(scene);
  deck::AuthorGuns(scene);
  deck::AuthorPortLids(scene);
  deck::AuthorFurniture(scene);
  deck::AuthorBoat(scene);
}

}  // namespace brisane::assets::ship
