// The hull's lines beyond the layout: where the painted bands and the wales
// run along the side, how the side is lofted into a grid of columns (stem to
// stern) and rows (between two lines), the transom's outline and the ports
// painted on the side. Pure functions, shared by the geometry, the pictures
// and the baked light, so all three agree.
#pragma once

#include <vector>

#include "layout.h"

namespace brisane::assets::ship::hull {

constexpr float kRabbetZ = layout::kKeelZ + 5;  // where the planking meets the keel
constexpr float kKeelHalf = 2.8f;               // half the keel's siding
constexpr float kSideThickness = 2.5f;          // bulwark, outside to inside
constexpr float kWaleRelief = 1.2f;             // how far the wales stand out of the planking
constexpr float kTuckZ = -16;                   // lowest point of the flat transom

// Rise of the wales and painted lines towards bow and stern (0 amidships).
float Sheer(float x);
// The lines along the side, bottom to top, as heights at x.
float CopperTopZ(float x);    // copper below, boot-topping above
float MainWaleZ(float x);     // underside of the main wale (top of the low band)
float MainWaleTopZ(float x);  // ochre band above
float UpperWaleZ(float x);    // underside of the upper wale
float UpperWaleTopZ(float x); // top of the middle band; the upper works above
// The side's outward offset from the moulded half breadth: the wales.
float WaleRelief(float x, float z);

// Point on the port side (-y) for column s (0 at the stem, 1 at the stern or
// transom) at height z; the columns crowd towards the ends where the lines
// turn fastest.
float ColumnX(float s, float z);
Vector3 SidePoint(float s, float z, float side = -1);
// Height where column s crosses a line given as a function of x.
float LineZ(float s, float (*line)(float));

// Half width of the transom at height z (where the side ends aft), and the
// height of the taffrail's crown at y.
float TransomHalfBreadth(float z);
float TaffrailZ(float y);

// Stations of the closed ports painted in the middle band (one row a side).
std::vector<float> LowerPortX();
constexpr float kLowerPortZ = 28;  // centre height amidships (rises with the sheer)

// A band of the side: rows between two lines, with the heights of its rows as
// fractions of the band (ascending, 0 and 1 included) or evenly spaced.
struct Band {
  float (*lower)(float);
  float (*upper)(float);
  std::vector<float> rows;  // fractions of the band height, 0..1
};
float BandZ(const Band& band, float s, float t);  // t in 0..1, piecewise linear between rows

}  // namespace brisane::assets::ship::hull
