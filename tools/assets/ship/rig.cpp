#include "layout.h"
#include "parts.h"
#include "rig_common.h"

namespace brisane::assets::ship {

void AuthorRig(SceneAuthor& scene) {
  scene.setFamily("rig");
  rig::AuthorRigPictures(scene);
  rig::AuthorSpars(scene);
  rig::AuthorRigging(scene);
  rig::AuthorSails(scene);
  rig::AuthorFlags(scene);
}

}  // namespace brisane::assets::ship
