#include "deck_shapes.h"

#include <cmath>
#include <stdexcept>

namespace brisane::assets::ship::deck {

namespace {

// Two unit vectors across the axis.
void Across(Vector3 axis, Vector3& side, Vector3& other) {
  side = Normalize(Cross(axis, std::fabs(axis.z) < 0.9f ? Vector3{0, 0, 1} : Vector3{1, 0, 0}));
  other = Cross(axis, side);
}

}  // namespace

void Lathe(MeshBuilder& m, Vector3 origin, Vector3 axis, const Profile& profile, int sides, float vPerUnit) {
  if (profile.size() < 2 || sides < 3) throw std::invalid_argument("bad lathe");
  const Vector3 a = Normalize(axis);
  Vector3 side, other;
  Across(a, side, other);
  const std::size_t n = profile.size();
  // Profile normals in (along, radius) terms: one-sided at hard edges.
  auto segment = [&](std::size_t i) {  // unit direction of segment i -> i+1
    const float da = profile[i + 1].first - profile[i].first, dr = profile[i + 1].second - profile[i].second;
    const float l = std::sqrt(da * da + dr * dr);
    return l > 0 ? std::pair<float, float>{da / l, dr / l} : std::pair<float, float>{0, 0};
  };
  const std::size_t base = m.vertexCount();
  float along = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) {
      const float da = profile[i].first - profile[i - 1].first, dr = profile[i].second - profile[i - 1].second;
      along += std::sqrt(da * da + dr * dr);
    }
    std::pair<float, float> t{0, 0};
    const bool samePrev = i > 0 && profile[i] == profile[i - 1];
    const bool sameNext = i + 1 < n && profile[i] == profile[i + 1];
    if (i > 0 && !samePrev) {
      const auto s = segment(i - 1);
      t.first += s.first;
      t.second += s.second;
    }
    if (i + 1 < n && !sameNext) {
      const auto s = segment(i);
      t.first += s.first;
      t.second += s.second;
    }
    for (int j = 0; j <= sides; ++j) {
      const float ang = 2 * kPi * j / sides;
      const Vector3 radial = side * std::cos(ang) + other * std::sin(ang);
      const Vector3 normal = Normalize(radial * t.first - a * t.second);
      m.add(origin + a * profile[i].first + radial * profile[i].second, normal, static_cast<float>(j) / sides,
            along * vPerUnit);
    }
  }
  const int ring = sides + 1;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (profile[i] == profile[i + 1]) continue;
    for (int j = 0; j < sides; ++j) {
      const auto p = static_cast<std::uint16_t>(base + i * ring + j);
      m.quad(p, static_cast<std::uint16_t>(p + 1), static_cast<std::uint16_t>(p + 1 + ring),
             static_cast<std::uint16_t>(p + ring));
    }
  }
}

void FramedBox(MeshBuilder& m, const Matrix& frame, Vector3 lo, Vector3 hi, float uvPerUnit) {
  MeshBuilder b;
  b.box(lo, hi, uvPerUnit);
  m.append(b, frame);
}

void Beam(MeshBuilder& m, Vector3 a, Vector3 b, float w, float h, float uvPerUnit) {
  const Vector3 x = Normalize(b - a);
  Vector3 y = Cross(Vector3{0, 0, 1}, x);
  if (Length(y) < 1e-4f) y = Vector3{0, 1, 0};
  y = Normalize(y);
  const Vector3 z = Cross(x, y);
  FramedBox(m, Frame(x, y, z, a), {0, -w / 2, -h / 2}, {Length(b - a), w / 2, h / 2}, uvPerUnit);
}

void Ring(MeshBuilder& m, Vector3 centre, Vector3 normal, float radius, float thickness, int segments, int sides) {
  Vector3 side, other;
  Across(Normalize(normal), side, other);
  std::vector<Vector3> path;
  std::vector<float> radii;
  for (int k = 0; k <= segments; ++k) {
    const float ang = 2 * kPi * k / segments;
    path.push_back(centre + (side * std::cos(ang) + other * std::sin(ang)) * radius);
    radii.push_back(thickness);
  }
  m.tube(path, radii, sides);
}

void SurfaceAway(MeshBuilder& m, const std::function<Vector3(float, float)>& f, int cols, int rows, Vector3 inside,
                 float uScale, float vScale) {
  MeshBuilder s;
  s.surface(f, cols, rows, uScale, vScale);
  // Judge by the whole patch: the fronts agree with the away direction on average.
  float score = 0;
  for (const Vertex& v : s.vertices()) score += Dot(v.n, v.p - inside);
  if (score < 0) {
    s = MeshBuilder();
    s.surface([&](float u, float t) { return f(1 - u, t); }, cols, rows, uScale, vScale);
  }
  m.append(s);
}

std::vector<ArchiveMesh> Parts::build() const {
  std::vector<ArchiveMesh> meshes;
  for (const auto& [material, builder] : byMaterial_)
    if (builder.triangleCount() > 0) meshes.push_back(builder.build(material));
  return meshes;
}

std::size_t Parts::triangles() const {
  std::size_t n = 0;
  for (const auto& [material, builder] : byMaterial_) n += builder.triangleCount();
  return n;
}

}  // namespace brisane::assets::ship::deck
