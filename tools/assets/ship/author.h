// Building blocks for authoring the ship scene in code: matrices on top of
// the core's vector kit, a mesh builder with lofting and primitive helpers,
// and a scene author that collects nodes, materials and pictures and writes
// them as a scene archive.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "paint.h"
#include "scene/archive_writer.h"

namespace brisane::assets::ship {

constexpr float kPi = 3.14159265358979f;

// "01".."99": the numbers in the scene's names.
std::string Two(int n);

// Matrices are row-vector: p' = p x M, translation in the fourth row.
Matrix Translate(Vector3 t);
Matrix Scale(float sx, float sy, float sz);
Matrix RotateX(float radians);
Matrix RotateY(float radians);
Matrix RotateZ(float radians);
Matrix RotateAxis(Vector3 axis, float radians);
// Rows are the images of the local axes, then the origin.
Matrix Frame(Vector3 xAxis, Vector3 yAxis, Vector3 zAxis, Vector3 origin);
// A right-handed orthonormal frame at origin whose local -z looks at target
// with local +y as close to up as possible: a camera's local matrix.
Matrix LookAt(Vector3 eye, Vector3 target, Vector3 up = {0, 0, 1});
// Element-by-element blend, as the player blends keys.
Matrix Blend(const Matrix& a, const Matrix& b, float t);
// Direct3D left-handed perspective projection as the scene files store it
// (element [2][3] is 1). fovY in radians, aspect = width / height; near and
// far in view units (the view carries a 0.01 scale: one view unit is 100
// scene units).
Matrix Perspective(float fovY, float aspect, float nearPlane, float farPlane);

struct Vertex {
  Vector3 p;
  Vector3 n;
  // Texture coordinates. The loader puts a picture's bottom row in texture
  // row 0, so v = 0 addresses the bottom of the picture and v grows upwards.
  float u = 0, v = 0;
  float u2 = 0, v2 = 0;  // lightmap coordinates
};

// Triangle lists with 16-bit indices. Triangles are passed counter-clockwise
// as seen from their front (so that the right-hand rule gives the outward
// normal) and stored clockwise, which is how the renderer's culling sees a
// front face; one-sided parts then show their outside.
class MeshBuilder {
 public:
  std::uint16_t add(const Vertex& v);  // throws std::length_error past 65535 vertices
  std::uint16_t add(Vector3 p, Vector3 n, float u, float v, float u2 = 0, float v2 = 0) {
    return add(Vertex{p, n, u, v, u2, v2});
  }
  void tri(std::uint16_t a, std::uint16_t b, std::uint16_t c);
  void quad(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);  // a b c d counter-clockwise

  // Appends another mesh, transformed (normals by the matrix's rotation part,
  // renormalised; a mirroring matrix keeps the faces' fronts outside).
  void append(const MeshBuilder& other, const Matrix& m = Matrix::Identity());
  void transform(const Matrix& m);
  // Smooth normals from the faces around each vertex (area weighted).
  void computeNormals();
  // The same triangles facing the other way added as well (for cloth seen
  // from both sides on one-sided materials; two-sided materials need not).
  void addBackFaces();

  // Surface from a parameter function over a (cols+1) x (rows+1) grid;
  // s runs 0..1 along the columns, t 0..1 along the rows, and the front is
  // the side of dP/ds x dP/dt. Texture coordinates are (s * uScale, t * vScale);
  // lightmap coordinates (s, t) mapped into lightmapRect (u0, v0, u1, v1).
  void surface(const std::function<Vector3(float s, float t)>& f, int cols, int rows, float uScale = 1,
               float vScale = 1, std::array<float, 4> lightmapRect = {0, 0, 1, 1});
  // Axis-aligned box, faces outwards; texture coordinates run `uvPerUnit`
  // per unit along each face's edges (0: each face 0..1).
  void box(Vector3 lo, Vector3 hi, float uvPerUnit = 0);
  // Tapered round (or `sides`-sided) tube from a to b, radius ra at a and rb
  // at b; caps closes the ends. u runs round, v along (vPerUnit per unit).
  void cylinder(Vector3 a, Vector3 b, float ra, float rb, int sides, bool caps, float vPerUnit = 0.01f);
  // A tube along a polyline with a radius per point (ropes, rails).
  void tube(const std::vector<Vector3>& path, const std::vector<float>& radius, int sides, float vPerUnit = 0.05f);
  void sphere(Vector3 centre, float radius, int slices, int stacks);

  std::size_t vertexCount() const { return vertices_.size(); }
  std::size_t triangleCount() const { return indices_.size() / 3; }
  const std::vector<Vertex>& vertices() const { return vertices_; }
  std::vector<Vertex>& vertices() { return vertices_; }
  const std::vector<std::uint16_t>& indices() const { return indices_; }

  // The archive mesh: format 0x112, or 0x212 with the lightmap coordinates.
  ArchiveMesh build(const std::string& material, bool lightmapped = false) const;

 private:
  std::vector<Vertex> vertices_;
  std::vector<std::uint16_t> indices_;  // stored clockwise
};

// Lit by the lights and the ambient light; `ambient` is how much of the
// scene's ambient level it takes (0..1). Colours 0..1.
DeviceMaterial LitMaterial(Colour diffuse, float ambient = 0.6f, Colour emissive = {});
ArchiveLayer Layer(std::uint16_t kind, std::vector<std::string> frames, std::uint16_t texCoordIndex = 0);

class SceneAuthor {
 public:
  static constexpr const char* kRoot = kFileRootName;

  // Subsequent nodes count their triangles under this family name.
  void setFamily(std::string family) { family_ = std::move(family); }

  // A grouping node (geometry record with no frames).
  void group(const std::string& name, const std::string& parent, const Matrix& local);
  void group(const std::string& name, const std::string& parent, std::vector<TransformKey> keys);
  // A static object: one frame, one key.
  void object(const std::string& name, const std::string& parent, const Matrix& local,
              std::vector<ArchiveMesh> meshes);
  // Animated: transform keys and geometry frames (frame times ascend from 0).
  void object(const std::string& name, const std::string& parent, std::vector<TransformKey> keys,
              std::vector<ArchiveFrame> frames);
  void camera(const std::string& name, const std::string& parent, std::vector<TransformKey> keys,
              const Matrix& projection);
  void light(const std::string& name, const std::string& parent, const Matrix& local, const DeviceLight& light,
             std::vector<std::string> excluded = {});
  void material(const std::string& name, const ArchiveMaterial& material);
  // A picture as a JPEG image record; names end in ".jpg".
  void image(const std::string& name, const Image& picture, int quality = 88);

  bool hasNode(const std::string& name) const { return nodes_.count(name) != 0; }
  bool hasMaterial(const std::string& name) const { return materials_.count(name) != 0; }
  // World matrix of a node from the first keys of it and its parents.
  Matrix world(const std::string& name) const;

  // Triangles of each family (the first geometry frame of each object).
  const std::map<std::string, std::size_t>& triangles() const { return triangles_; }

  // The archive. Throws std::logic_error when a mesh names a material, a
  // layer an image, or a node a parent that was never added.
  std::vector<std::uint8_t> finish() const;

 private:
  void addNode(const std::string& name, const std::string& parent, const Matrix& first);

  SceneArchiveWriter writer_;
  std::map<std::string, std::pair<std::string, Matrix>> nodes_;  // parent, first local matrix
  std::map<std::string, ArchiveMaterial> materials_;
  std::map<std::string, bool> images_;
  std::vector<std::string> meshMaterials_;
  std::map<std::string, std::size_t> triangles_;
  std::string family_ = "other";
};

}  // namespace brisane::assets::ship
