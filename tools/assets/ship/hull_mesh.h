// Geometry helpers of the hull: lofted grids with texture and lightmap
// coordinates taken from the position, and swept profiles.
#pragma once

#include <functional>

#include "author.h"

namespace brisane::assets::ship::hull {

struct Coords {
  float u, v, u2, v2;
};

// A grid over (s, t) in 0..1 x 0..1 (cols x rows cells); the front is the
// side of dP/ds x dP/dt. Normals by central differences of `at` unless
// `normalAt` is given; texture and lightmap coordinates from `coords`.
void Loft(MeshBuilder& mesh, const std::function<Vector3(float s, float t)>& at, int cols, int rows,
          const std::function<Coords(Vector3 p, float s, float t)>& coords,
          const std::function<Vector3(float s, float t)>& normalAt = nullptr);

// A quad strip between two polylines of equal length (front: right-hand
// rule walking along `a` then across to `b`), flat-shaded by its own faces.
void Strip(MeshBuilder& mesh, const std::vector<Vector3>& a, const std::vector<Vector3>& b,
           const std::function<Coords(Vector3 p, int k, int side)>& coords);

// A timber swept along a path in the x-z plane (y = 0): its outer face and
// both sides, `half` wide, standing `out` outside the path along `outward`
// and `in` inside it (the inner face is buried in the hull and left out).
struct SweepPoint {
  Vector3 p;        // on the path, y = 0
  Vector3 outward;  // unit, in the x-z plane
  float out, in;
};
void SweepTimber(MeshBuilder& mesh, const std::vector<SweepPoint>& path, float half,
                 const std::function<Coords(Vector3 p)>& coords);

}  // namespace brisane::assets::ship::hull
