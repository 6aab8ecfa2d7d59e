// The carved work: the quarter galleries with their gilt roofs, the
// figurehead on the knee with the headrails sweeping back to the bow, and the
// catheads.
#include <algorithm>
#include <cmath>
#include <vector>

#include "hull_paint.h"
#include "hull_parts.h"

namespace brisane::assets::ship::hull {

namespace {

using layout::HalfBreadth;
using layout::RailZ;
using layout::StemX;

// A quad with its own texture coordinates (a b c d counter-clockwise from the front).
void Quad(MeshBuilder& m, Vector3 a, Vector3 b, Vector3 c, Vector3 d, float u0, float v0, float u1, float v1) {
  const Vector3 n = Normalize(Cross(b - a, d - a));
  m.quad(m.add(a, n, u0, v1), m.add(b, n, u1, v1), m.add(c, n, u1, v0), m.add(d, n, u0, v0));
}

}  // namespace

void AuthorCarvedWork(SceneAuthor& scene) {
  // Quarter galleries: a glazed bay on each quarter, both tiers of the stern
  // windows carried round, up to the rail, with a domed roof.
  MeshBuilder galleries, gilt;
  {
    MeshBuilder port;
    const float xa = 212, xb = 244, z0 = kGalleryZ, z1 = RailZ(xb);
    const float yIn = -(HalfBreadth(0.5f * (xa + xb), 68) - 3), yOut = -(HalfBreadth(0.5f * (xa + xb), 68) + 5);
    const float u0 = SternU(-9.4f), u1 = SternU(9.4f), v0 = SpanV(z1, kSternSpan), v1 = SpanV(z0, kSternSpan);
    Quad(port, {xa + 3, yOut, z0}, {xb - 3, yOut, z0}, {xb - 3, yOut, z1}, {xa + 3, yOut, z1}, u0, v0, u1, v1);
    // Canted ends back to the side.
    Quad(port, {xa, yIn, z0}, {xa + 3, yOut, z0}, {xa + 3, yOut, z1}, {xa, yIn, z1}, u0, v0, u0 + 0.05f, v1);
    Quad(port, {xb - 3, yOut, z0}, {xb, yIn, z0}, {xb, yIn, z1}, {xb - 3, yOut, z1}, u1 - 0.05f, v0, u1, v1);
    galleries.append(port);
    galleries.append(port, Scale(1, -1, 1));
    // Roof and its finial, in the carving.
    MeshBuilder roof;
    roof.cylinder({0.5f * (xa + xb), yIn, z1}, {0.5f * (xa + xb), yIn, z1 + 6}, 16, 3, 12, false, 0.08f);
    // Only the outboard half shows: the rest folds flat against the side.
    for (Vertex& v : roof.vertices()) v.p.y = yIn + 0.6f * std::min(0.0f, v.p.y - yIn);
    roof.computeNormals();
    roof.sphere({0.5f * (xa + xb), yIn - 2, z1 + 7}, 1.3f, 6, 4);
    gilt.append(roof);
    gilt.append(roof, Scale(1, -1, 1));
  }
  scene.material("hull_gallery", Plain("hull_stern.jpg"));
  scene.object("hull_quarter_galleries", layout::kShip, Matrix::Identity(),
               {galleries.build("hull_gallery")});

  // The head: a figurehead on the knee, headrails sweeping back to the bow.
  const float figZ = 60, figX = StemX(figZ) - 11;
  gilt.cylinder({figX + 2, 0, figZ - 11}, {figX - 3, 0, figZ + 6}, 4.2f, 3.0f, 8, true, 0.05f);  // body
  gilt.cylinder({figX + 3, 0, figZ - 14}, {figX + 2, 0, figZ - 11}, 2.5f, 4.2f, 8, false, 0.05f);  // scroll foot
  gilt.sphere({figX - 4.5f, 0, figZ + 9.5f}, 3.0f, 8, 6);                                            // head
  for (float side : {-1.0f, 1.0f})  // arms, one raised
    gilt.cylinder({figX - 1.5f, side * 3.2f, figZ + 3}, {figX - 8, side * 2.4f, figZ + (side < 0 ? 11 : 4)}, 1.1f, 0.8f,
                  6, true, 0.05f);
  MeshBuilder rails;
  for (float side : {-1.0f, 1.0f})
    for (int r = 0; r < 3; ++r) {
      const float z0 = figZ - 6 + 5.0f * r, xb = -222 - 3.0f * r, zb = 56 + 6.0f * r;
      const Vector3 a{figX + 3, side * 1.5f, z0}, c{xb, side * (HalfBreadth(xb, zb) + 0.6f), zb};
      const Vector3 b{0.5f * (a.x + c.x), side * (0.45f * c.y * side + 2), std::min(a.z, c.z) - 5};
      std::vector<Vector3> path;
      std::vector<float> radius;
      for (int k = 0; k <= 10; ++k) {
        const float t = static_cast<float>(k) / 10;
        path.push_back(a * ((1 - t) * (1 - t)) + b * (2 * t * (1 - t)) + c * (t * t));
        radius.push_back(0.9f);
      }
      rails.tube(path, radius, 6, 0.1f);
    }
  gilt.append(rails);
  // Catheads: stout beams out over the bow at the forecastle rail.
  MeshBuilder cat;
  for (float side : {-1.0f, 1.0f}) {
    const float x = -228, z = RailZ(x) - 2;
    const Vector3 in{x + 6, side * (HalfBreadth(x + 6, z) - 4), z}, out{x - 5, side * (HalfBreadth(x, z) + 9), z + 2};
    cat.cylinder(in, out, 1.6f, 1.5f, 4, true, 0.1f);
  }
  scene.material("hull_carved", Plain("hull_carving.jpg", 0.65f));
  scene.material("hull_timber", Plain("hull_keel.jpg", 0.6f));
  scene.object("hull_head", layout::kShip, Matrix::Identity(), {gilt.build("hull_carved"), cat.build("hull_timber")});
}

}  // namespace brisane::assets::ship::hull
