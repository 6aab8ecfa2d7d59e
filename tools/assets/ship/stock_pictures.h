// The ship's wood, rope and iron pictures, painted here for every part: the
// deck's planking and paint, the spars' grain, the rigging's and the coils'
// rope, the guns' cast iron and the fittings' wrought iron. Each tiles.
#pragma once

#include <cstdint>

#include "paint.h"

namespace brisane::assets::ship {

// Planks along u with grain, a seam every 1/planks of the height, weathered.
Image PlankWood(int size, Colour light, Colour dark, int planks, std::uint32_t seed);
// Paint over faint planking, rubbed through in places.
Image PaintedPlanks(int size, Colour paint, Colour wood, int planks, std::uint32_t seed);
// Grain running along v (along the spar), u round it; `grain` is its depth.
Image SparWood(int width, int height, Colour tint, float grain, std::uint32_t seed);

// Rope laid up from strands, in its tint: bright and dark diagonal bands, 64 x 64.
Image LaidRope(Colour tint, std::uint32_t seed);
// Light hemp twisted round a coil: diagonal stripes across u (round) and v (along).
Image TwistedRope(int size, std::uint32_t seed);

// Dark cast iron, rusting in patches, worn bright in streaks along the part.
Image CastIron(int size, std::uint32_t seed);
// Wrought iron going brown with rust, 64 x 64.
Image WroughtIron();

}  // namespace brisane::assets::ship
