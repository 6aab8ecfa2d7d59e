#include "hull_mesh.h"

#include <algorithm>
#include <stdexcept>

namespace brisane::assets::ship::hull {

void Loft(MeshBuilder& mesh, const std::function<Vector3(float, float)>& at, int cols, int rows,
          const std::function<Coords(Vector3, float, float)>& coords,
          const std::function<Vector3(float, float)>& normalAt) {
  if (cols < 1 || rows < 1) throw std::invalid_argument("empty loft");
  const auto base = static_cast<std::uint16_t>(mesh.vertexCount());
  for (int j = 0; j <= rows; ++j)
    for (int i = 0; i <= cols; ++i) {
      const float s = static_cast<float>(i) / cols, t = static_cast<float>(j) / rows;
      const Vector3 p = at(s, t);
      Vector3 n;
      if (normalAt) {
        n = normalAt(s, t);
      } else {
        const float e = 1e-3f;
        const Vector3 ds = at(std::min(s + e, 1.0f), t) - at(std::max(s - e, 0.0f), t);
        const Vector3 dt = at(s, std::min(t + e, 1.0f)) - at(s, std::max(t - e, 0.0f));
        n = Normalize(Cross(ds, dt));
      }
      const Coords c = coords(p, s, t);
      mesh.add(p, n, c.u, c.v, c.u2, c.v2);
    }
  auto idx = [&](int i, int j) { return static_cast<std::uint16_t>(base + j * (cols + 1) + i); };
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < cols; ++i) mesh.quad(idx(i, j), idx(i + 1, j), idx(i + 1, j + 1), idx(i, j + 1));
}

void Strip(MeshBuilder& mesh, const std::vector<Vector3>& a, const std::vector<Vector3>& b,
           const std::function<Coords(Vector3, int, int)>& coords) {
  if (a.size() != b.size() || a.size() < 2) throw std::invalid_argument("bad strip");
  for (std::size_t k = 0; k + 1 < a.size(); ++k) {
    // From the diagonals, so a quad that closes to a triangle still has one.
    const Vector3 n = Normalize(Cross(b[k + 1] - a[k], b[k] - a[k + 1]));
    auto put = [&](Vector3 p, int kk, int side) {
      const Coords c = coords(p, kk, side);
      return mesh.add(p, n, c.u, c.v, c.u2, c.v2);
    };
    const auto i0 = put(a[k], static_cast<int>(k), 0), i1 = put(a[k + 1], static_cast<int>(k + 1), 0);
    const auto i2 = put(b[k + 1], static_cast<int>(k + 1), 1), i3 = put(b[k], static_cast<int>(k), 1);
    mesh.quad(i0, i1, i2, i3);
  }
}

void SweepTimber(MeshBuilder& mesh, const std::vector<SweepPoint>& path, float half,
                 const std::function<Coords(Vector3)>& coords) {
  std::vector<Vector3> outL, outR, inL, inR;
  for (const SweepPoint& q : path) {
    const Vector3 o = q.p + q.outward * q.out, i = q.p - q.outward * q.in;
    outL.push_back(o + Vector3{0, -half, 0});
    outR.push_back(o + Vector3{0, half, 0});
    inL.push_back(i + Vector3{0, -half, 0});
    inR.push_back(i + Vector3{0, half, 0});
  }
  auto face = [&](const std::vector<Vector3>& a, const std::vector<Vector3>& b, Vector3 want) {
    const std::size_t m = a.size() / 2;
    const Vector3 n = Cross(a[m + 1] - a[m], b[m] - a[m]);
    auto c = [&](Vector3 p, int, int) { return coords(p); };
    if (Dot(n, want) >= 0) Strip(mesh, a, b, c);
    else Strip(mesh, b, a, c);
  };
  const std::size_t m = path.size() / 2;
  face(outL, outR, path[m].outward);
  face(inL, outL, Vector3{0, -1, 0});
  face(outR, inR, Vector3{0, 1, 0});
}

}  // namespace brisane::assets::ship::hull
