// Shape helpers of the deck part: turned profiles, oriented boxes, rings,
// and a collector of meshes by material for objects of several materials.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "author.h"

namespace brisane::assets::ship::deck {

// (distance along the axis, radius) pairs; a repeated point makes a hard edge.
using Profile = std::vector<std::pair<float, float>>;

// A solid of revolution round the axis from origin along axis (its length is
// ignored). u runs round, v along the profile (vPerUnit per unit of length).
void Lathe(MeshBuilder& m, Vector3 origin, Vector3 axis, const Profile& profile, int sides, float vPerUnit = 0.05f);
// A box given in a local frame (lo..hi), placed by the frame matrix.
void FramedBox(MeshBuilder& m, const Matrix& frame, Vector3 lo, Vector3 hi, float uvPerUnit = 0.1f);
// A box whose long axis runs from a to b, with a cross-section of width w
// (sideways, horizontal where it can be) and height h.
void Beam(MeshBuilder& m, Vector3 a, Vector3 b, float w, float h, float uvPerUnit = 0.1f);
// A torus lying in the plane at centre with normal `normal`.
void Ring(MeshBuilder& m, Vector3 centre, Vector3 normal, float radius, float thickness, int segments, int sides);
// A surface whose fronts face away from `inside` (flipped when they do not).
void SurfaceAway(MeshBuilder& m, const std::function<Vector3(float, float)>& f, int cols, int rows, Vector3 inside,
                 float uScale = 1, float vScale = 1);

// Meshes of one object, one builder a material, built in name order.
class Parts {
 public:
  MeshBuilder& operator[](const std::string& material) { return byMaterial_[material]; }
  std::vector<ArchiveMesh> build() const;
  std::size_t triangles() const;

 private:
  std::map<std::string, MeshBuilder> byMaterial_;
};

}  // namespace brisane::assets::ship::deck
