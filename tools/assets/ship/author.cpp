#include "author.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "encode.h"

namespace brisane::assets::ship {

std::string Two(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

Matrix Translate(Vector3 t) { return Matrix::Translation(t.x, t.y, t.z); }

Matrix Scale(float sx, float sy, float sz) {
  Matrix m = Matrix::Identity();
  m(0, 0) = sx;
  m(1, 1) = sy;
  m(2, 2) = sz;
  return m;
}

Matrix RotateAxis(Vector3 axis, float radians) {
  const Vector3 a = Normalize(axis);
  const float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
  Matrix m = Matrix::Identity();
  m(0, 0) = t * a.x * a.x + c;
  m(0, 1) = t * a.x * a.y + s * a.z;
  m(0, 2) = t * a.x * a.z - s * a.y;
  m(1, 0) = t * a.x * a.y - s * a.z;
  m(1, 1) = t * a.y * a.y + c;
  m(1, 2) = t * a.y * a.z + s * a.x;
  m(2, 0) = t * a.x * a.z + s * a.y;
  m(2, 1) = t * a.y * a.z - s * a.x;
  m(2, 2) = t * a.z * a.z + c;
  return m;
}
Matrix RotateX(float r) { return RotateAxis({1, 0, 0}, r); }
Matrix RotateY(float r) { return RotateAxis({0, 1, 0}, r); }
Matrix RotateZ(float r) { return RotateAxis({0, 0, 1}, r); }

Matrix Frame(Vector3 x, Vector3 y, Vector3 z, Vector3 o) {
  Matrix m = Matrix::Identity();
  const Vector3 rows[4] = {x, y, z, o};
  for (int r = 0; r < 4; ++r) {
    m(r, 0) = rows[r].x;
    m(r, 1) = rows[r].y;
    m(r, 2) = rows[r].z;
  }
  return m;
}

Matrix LookAt(Vector3 eye, Vector3 target, Vector3 up) {
  const Vector3 back = Normalize(eye - target);  // local +z points away from the view
  Vector3 right = Cross(up, back);
  if (Length(right) < 1e-6f) right = Cross(Vector3{0, 1, 0}, back);
  right = Normalize(right);
  const Vector3 trueUp = Cross(back, right);
  return Frame(right, trueUp, back, eye);
}

Matrix Blend(const Matrix& a, const Matrix& b, float t) {
  Matrix r;
  for (std::size_t i = 0; i < 16; ++i) r.m[i] = a.m[i] + (b.m[i] - a.m[i]) * t;
  return r;
}

Matrix Perspective(float fovY, float aspect, float zn, float zf) {
  const float h = 1.0f / std::tan(fovY * 0.5f);
  const float w = h / aspect;
  const float q = zf / (zf - zn);
  Matrix m;
  m(0, 0) = w;
  m(1, 1) = h;
  m(2, 2) = q;
  m(2, 3) = 1;
  m(3, 2) = -q * zn;
  return m;
}

// ---------------------------------------------------------------- meshes

std::uint16_t MeshBuilder::add(const Vertex& v) {
  if (vertices_.size() >= 65535) throw std::length_error("mesh has more than 65535 vertices");
  vertices_.push_back(v);
  return static_cast<std::uint16_t>(vertices_.size() - 1);
}

void MeshBuilder::tri(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
  indices_.push_back(a);
  indices_.push_back(c);
  indices_.push_back(b);
}

void MeshBuilder::quad(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
  tri(a, b, c);
  tri(a, c, d);
}

void MeshBuilder::append(const MeshBuilder& other, const Matrix& m) {
  const std::size_t base = vertices_.size();
  if (base + other.vertices_.size() > 65535) throw std::length_error("mesh has more than 65535 vertices");
  // A mirroring matrix turns the winding inside out; swap to keep fronts out.
  const float det = m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) -
                    m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
                    m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
  const std::optional<Matrix> inverse = brisane::Inverse(m);
  if (!inverse) throw std::domain_error("singular matrix");
  const Matrix& normalMatrix = *inverse;
  for (Vertex v : other.vertices_) {
    v.p = TransformPoint(v.p, m);
    // Normals go by the inverse transpose.
    const Vector3 n = v.n;
    v.n = Normalize({Dot(n, {normalMatrix(0, 0), normalMatrix(0, 1), normalMatrix(0, 2)}),
                     Dot(n, {normalMatrix(1, 0), normalMatrix(1, 1), normalMatrix(1, 2)}),
                     Dot(n, {normalMatrix(2, 0), normalMatrix(2, 1), normalMatrix(2, 2)})});
    vertices_.push_back(v);
  }
  for (std::size_t i = 0; i < other.indices_.size(); i += 3) {
    const auto a = static_cast<std::uint16_t>(other.indices_[i] + base);
    auto b = static_cast<std::uint16_t>(other.indices_[i + 1] + base);
    auto c = static_cast<std::uint16_t>(other.indices_[i + 2] + base);
    if (det < 0) std::swap(b, c);
    indices_.insert(indices_.end(), {a, b, c});
  }
}

void MeshBuilder::transform(const Matrix& m) {
  MeshBuilder copy;
  copy.append(*this, m);
  *this = std::move(copy);
}

void MeshBuilder::computeNormals() {
  std::vector<Vector3> acc(vertices_.size());
  for (std::size_t i = 0; i < indices_.size(); i += 3) {
    // Stored clockwise: the outward normal is (c - a) x (b - a).
    const Vector3 a = vertices_[indices_[i]].p, b = vertices_[indices_[i + 1]].p, c = vertices_[indices_[i + 2]].p;
    const Vector3 n = Cross(c - a, b - a);
    for (int k = 0; k < 3; ++k) acc[indices_[i + k]] += n;
  }
  for (std::size_t i = 0; i < vertices_.size(); ++i) vertices_[i].n = Normalize(acc[i]);
}

void MeshBuilder::addBackFaces() {
  const std::size_t count = indices_.size();
  const std::size_t base = vertices_.size();
  if (base * 2 > 65535) throw std::length_error("mesh has more than 65535 vertices");
  for (std::size_t i = 0; i < base; ++i) {
    Vertex v = vertices_[i];
    v.n = -v.n;
    vertices_.push_back(v);
  }
  for (std::size_t i = 0; i < count; i += 3)
    indices_.insert(indices_.end(), {static_cast<std::uint16_t>(indices_[i] + base),
                                     static_cast<std::uint16_t>(indices_[i + 2] + base),
                                     static_cast<std::uint16_t>(indices_[i + 1] + base)});
}

void MeshBuilder::surface(const std::function<Vector3(float, float)>& f, int cols, int rows, float uScale,
                          float vScale, std::array<float, 4> lm) {
  const std::size_t base = vertices_.size();
  if (base + static_cast<std::size_t>(cols + 1) * (rows + 1) > 65535)
    throw std::length_error("mesh has more than 65535 vertices");
  for (int j = 0; j <= rows; ++j)
    for (int i = 0; i <= cols; ++i) {
      const float s = static_cast<float>(i) / cols, t = static_cast<float>(j) / rows;
      // Normal from central differences, so seams between patches match.
      const float e = 1e-3f;
      const Vector3 ds = f(std::min(s + e, 1.0f), t) - f(std::max(s - e, 0.0f), t);
      const Vector3 dt = f(s, std::min(t + e, 1.0f)) - f(s, std::max(t - e, 0.0f));
      add(f(s, t), Normalize(Cross(ds, dt)), s * uScale, t * vScale, lm[0] + s * (lm[2] - lm[0]),
          lm[1] + t * (lm[3] - lm[1]));
    }
  auto at = [&](int i, int j) { return static_cast<std::uint16_t>(base + j * (cols + 1) + i); };
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < cols; ++i) quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
}

void MeshBuilder::box(Vector3 lo, Vector3 hi, float uvPerUnit) {
  const Vector3 size = hi - lo;
  struct Face {
    Vector3 n, o, du, dv;
  };
  const Face faces[6] = {
      {{1, 0, 0}, {hi.x, lo.y, lo.z}, {0, size.y, 0}, {0, 0, size.z}},
      {{-1, 0, 0}, {lo.x, hi.y, lo.z}, {0, -size.y, 0}, {0, 0, size.z}},
      {{0, 1, 0}, {hi.x, hi.y, lo.z}, {-size.x, 0, 0}, {0, 0, size.z}},
      {{0, -1, 0}, {lo.x, lo.y, lo.z}, {size.x, 0, 0}, {0, 0, size.z}},
      {{0, 0, 1}, {lo.x, lo.y, hi.z}, {size.x, 0, 0}, {0, size.y, 0}},
      {{0, 0, -1}, {lo.x, hi.y, lo.z}, {size.x, 0, 0}, {0, -size.y, 0}},
  };
  for (const Face& f : faces) {
    const float us = uvPerUnit > 0 ? Length(f.du) * uvPerUnit : 1, vs = uvPerUnit > 0 ? Length(f.dv) * uvPerUnit : 1;
    const auto a = add(f.o, f.n, 0, vs);
    const auto b = add(f.o + f.du, f.n, us, vs);
    const auto c = add(f.o + f.du + f.dv, f.n, us, 0);
    const auto d = add(f.o + f.dv, f.n, 0, 0);
    quad(a, b, c, d);
  }
}

void MeshBuilder::cylinder(Vector3 a, Vector3 b, float ra, float rb, int sides, bool caps, float vPerUnit) {
  tube({a, b}, {ra, rb}, sides, vPerUnit);
  if (!caps) return;
  const Vector3 axis = Normalize(b - a);
  Vector3 side = Cross(axis, std::fabs(axis.z) < 0.9f ? Vector3{0, 0, 1} : Vector3{1, 0, 0});
  side = Normalize(side);
  const Vector3 other = Cross(axis, side);
  for (int end = 0; end < 2; ++end) {
    const Vector3 c = end ? b : a;
    const float r = end ? rb : ra;
    const Vector3 n = end ? axis : -axis;
    const auto centre = add(c, n, 0.5f, 0.5f);
    std::vector<std::uint16_t> ring;
    for (int i = 0; i < sides; ++i) {
      const float ang = 2 * kPi * i / sides;
      ring.push_back(add(c + (side * std::cos(ang) + other * std::sin(ang)) * r, n, 0.5f + 0.5f * std::cos(ang),
                         0.5f + 0.5f * std::sin(ang)));
    }
    for (int i = 0; i < sides; ++i) {
      const auto p = ring[i], q = ring[(i + 1) % sides];
      if (end) tri(centre, p, q);
      else tri(centre, q, p);
    }
  }
}

void MeshBuilder::tube(const std::vector<Vector3>& path, const std::vector<float>& radius, int sides, float vPerUnit) {
  if (path.size() < 2 || radius.size() != path.size() || sides < 3) throw std::invalid_argument("bad tube");
  const std::size_t base = vertices_.size();
  // Frames carried along the path (parallel transport) so the tube does not twist.
  Vector3 t0 = Normalize(path[1] - path[0]);
  Vector3 side = Normalize(Cross(t0, std::fabs(t0.z) < 0.9f ? Vector3{0, 0, 1} : Vector3{1, 0, 0}));
  float along = 0;
  for (std::size_t k = 0; k < path.size(); ++k) {
    const Vector3 t = Normalize(k + 1 < path.size() ? path[k + 1] - path[k] : path[k] - path[k - 1]);
    const Vector3 tAvg = k == 0 || k + 1 == path.size() ? t : Normalize(Normalize(path[k] - path[k - 1]) + t);
    side = Normalize(side - tAvg * Dot(side, tAvg));
    const Vector3 other = Cross(tAvg, side);
    if (k > 0) along += Length(path[k] - path[k - 1]);
    for (int i = 0; i <= sides; ++i) {
      const float ang = 2 * kPi * i / sides;
      const Vector3 n = side * std::cos(ang) + other * std::sin(ang);
      add(path[k] + n * radius[k], n, static_cast<float>(i) / sides, along * vPerUnit);
    }
  }
  const int ring = sides + 1;
  for (std::size_t k = 0; k + 1 < path.size(); ++k)
    for (int i = 0; i < sides; ++i) {
      const auto a = static_cast<std::uint16_t>(base + k * ring + i);
      const auto b = static_cast<std::uint16_t>(a + 1);
      const auto c = static_cast<std::uint16_t>(b + ring);
      const auto d = static_cast<std::uint16_t>(a + ring);
      quad(a, b, c, d);
    }
}

void MeshBuilder::sphere(Vector3 centre, float radius, int slices, int stacks) {
  surface(
      [&](float s, float t) {
        const float th = s * 2 * kPi, ph = (1 - t) * kPi;
        return centre + Vector3{std::cos(th) * std::sin(ph), std::sin(th) * std::sin(ph), std::cos(ph)} * radius;
      },
      slices, stacks);
  computeNormals();
}

ArchiveMesh MeshBuilder::build(const std::string& material, bool lightmapped) const {
  ArchiveMesh mesh;
  mesh.fvf = lightmapped ? kFvfTwoTextures : kFvfOneTexture;
  mesh.material = material;
  const std::size_t floats = lightmapped ? 10 : 8;
  mesh.vertices.resize(vertices_.size() * floats * 4);
  std::uint8_t* out = mesh.vertices.data();
  for (const Vertex& v : vertices_) {
    const float f[10] = {v.p.x, v.p.y, v.p.z, v.n.x, v.n.y, v.n.z, v.u, v.v, v.u2, v.v2};
    std::memcpy(out, f, floats * 4);
    out += floats * 4;
  }
  mesh.indices = indices_;
  return mesh;
}

DeviceMaterial LitMaterial(Colour d, float ambient, Colour e) {
  DeviceMaterial m;
  m.diffuse = {d.r, d.g, d.b, 1};
  m.ambient = {d.r * ambient, d.g * ambient, d.b * ambient, 1};
  m.specular = {0, 0, 0, 1};
  m.emissive = {e.r, e.g, e.b, 1};
  m.power = 0;
  return m;
}

ArchiveLayer Layer(std::uint16_t kind, std::vector<std::string> frames, std::uint16_t texCoordIndex) {
  ArchiveLayer l;
  l.kind = kind;
  l.texCoordIndex = texCoordIndex;
  l.frames = std::move(frames);
  return l;
}

// ---------------------------------------------------------------- scene

void SceneAuthor::addNode(const std::string& name, const std::string& parent, const Matrix& first) {
  if (name.empty() || name == kRoot) throw std::logic_error("bad node name '" + name + "'");
  if (!nodes_.emplace(name, std::make_pair(parent, first)).second)
    throw std::logic_error("node '" + name + "' added twice");
}

void SceneAuthor::group(const std::string& name, const std::string& parent, const Matrix& local) {
  group(name, parent, std::vector<TransformKey>{TransformKey{0, local}});
}

void SceneAuthor::group(const std::string& name, const std::string& parent, std::vector<TransformKey> keys) {
  object(name, parent, std::move(keys), {});
}

void SceneAuthor::object(const std::string& name, const std::string& parent, const Matrix& local,
                         std::vector<ArchiveMesh> meshes) {
  ArchiveFrame frame;
  frame.meshes = std::move(meshes);
  object(name, parent, {TransformKey{0, local}}, {std::move(frame)});
}

void SceneAuthor::object(const std::string& name, const std::string& parent, std::vector<TransformKey> keys,
                         std::vector<ArchiveFrame> frames) {
  if (keys.empty()) throw std::logic_error("node '" + name + "' has no keys");
  addNode(name, parent, keys.front().matrix);
  ArchiveNode node;
  node.parentName = parent;
  node.keys = std::move(keys);
  std::size_t tris = 0;
  for (const ArchiveFrame& f : frames)
    for (const ArchiveMesh& m : f.meshes) meshMaterials_.push_back(m.material);
  if (!frames.empty())
    for (const ArchiveMesh& m : frames.front().meshes) tris += m.indices.size() / 3;
  triangles_[family_] += tris;
  writer_.AddGeometry(name, node, frames);
}

void SceneAuthor::camera(const std::string& name, const std::string& parent, std::vector<TransformKey> keys,
                         const Matrix& projection) {
  if (keys.empty()) throw std::logic_error("camera '" + name + "' has no keys");
  addNode(name, parent, keys.front().matrix);
  ArchiveNode node;
  node.parentName = parent;
  node.keys = std::move(keys);
  writer_.AddCamera(name, node, projection);
}

void SceneAuthor::light(const std::string& name, const std::string& parent, const Matrix& local,
                        const DeviceLight& light, std::vector<std::string> excluded) {
  addNode(name, parent, local);
  ArchiveNode node;
  node.parentName = parent;
  node.keys = {TransformKey{0, local}};
  writer_.AddLight(name, node, light, excluded);
}

void SceneAuthor::material(const std::string& name, const ArchiveMaterial& material) {
  if (!materials_.emplace(name, material).second) throw std::logic_error("material '" + name + "' added twice");
  writer_.AddMaterial(name, material);
}

void SceneAuthor::image(const std::string& name, const Image& picture, int quality) {
  if (!images_.emplace(name, true).second) throw std::logic_error("image '" + name + "' added twice");
  writer_.AddImage(name, EncodeJpeg(picture, quality));
}

Matrix SceneAuthor::world(const std::string& name) const {
  Matrix m = Matrix::Identity();
  std::string at = name;
  for (int depth = 0; depth < 256; ++depth) {
    const auto it = nodes_.find(at);
    if (it == nodes_.end()) {
      if (at == name) throw std::logic_error("no node '" + name + "'");
      return m;
    }
    m = m * it->second.second;
    at = it->second.first;
  }
  throw std::logic_error("parent loop at '" + name + "'");
}

std::vector<std::uint8_t> SceneAuthor::finish() const {
  for (const auto& [name, entry] : nodes_)
    if (entry.first != kRoot && nodes_.count(entry.first) == 0)
      throw std::logic_error("node '" + name + "' has unknown parent '" + entry.first + "'");
  for (const std::string& m : meshMaterials_)
    if (!m.empty() && materials_.count(m) == 0) throw std::logic_error("no material '" + m + "'");
  for (const auto& [name, material] : materials_)
    for (const ArchiveLayer& l : material.layers)
      for (const std::string& f : l.frames)
        if (images_.count(f) == 0) throw std::logic_error("material '" + name + "' names no image '" + f + "'");
  return writer_.Finish();
}

}  // namespace brisane::assets::ship
