// The ship scene is authored in four parts, each in its own file; the
// scene builder calls them in this order on one SceneAuthor.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "author.h"

namespace brisane::assets::ship {

// Hull, decks and inner planking, stern galleries and lanterns, the
// lightmaps, the waterline and sound reference dummies.
void AuthorHull(SceneAuthor& scene);
// Guns, port lids, gun fire, deck furniture and the ship's boat.
void AuthorDeck(SceneAuthor& scene);
// Masts, yards, bowsprit, standing and running rigging, sails and flags.
void AuthorRig(SceneAuthor& scene);
// Sea, sky, sun, lights and cameras.
void AuthorWorld(SceneAuthor& scene);

struct ShipScene {
  std::vector<std::uint8_t> archive;
  std::map<std::string, std::size_t> triangles;  // per part family
};
ShipScene BuildShipScene();

}  // namespace brisane::assets::ship
