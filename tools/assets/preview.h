// The three-masted ship as flat shapes, shared by the preview picture and the icon.
#pragma once

#include "canvas.h"

namespace brisane::assets {

struct ShipPalette {
  Rgb hull, stripe, ports, spars, sails, flag;
};

// The ship in its own units (waterline at y 0, bow to the right, about 11.5
// long and 8.6 tall), placed at (x, y) with `scale` drawing units per unit.
// `detail` adds gun ports, the stripe and the upper sails (off for tiny icons).
void DrawShip(Canvas& c, double x, double y, double scale, const ShipPalette& p, bool detail);

// 150: an evening seascape with the ship, sized for the preview window.
Image PreviewPicture();

// 100: the ship on a round badge, one image of the icon at size x size.
Image IconImage(int size);

}  // namespace brisane::assets
