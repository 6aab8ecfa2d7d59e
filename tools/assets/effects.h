// Light and fire pictures, all on black: the program takes their alpha from
// luminance, so black is transparent and brightness is opacity.
#pragma once

#include "canvas.h"

namespace brisane::assets {

Image SunGlow();              // 168: soft glow with a star of rays
Image FlarePicture(int n);    // 169..175: lens-flare element n - 169
Image LanternGlow(int n);     // 176, 177: warm glows, slightly different
Image HotSmoke();             // 178: bright puff for the additive emitter
Image GreySmoke();            // 179: soft grey puff for the blended emitter
Image MuzzleFlash();          // 180: star-shaped burst

}  // namespace brisane::assets
