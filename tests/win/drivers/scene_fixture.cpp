// Writes a tiny scene archive with the project's own writer, for the tests
// of the scene viewer:
//   scene_fixture OUT.sss PICTURE.jpg LIGHTMAP.jpg
// A board 200 x 150 units in the plane y = 0, facing -y, with the picture as
// its diffuse layer and the lightmap over it; a sun shining along +y;
// "Camera01" 300 units in front of the board on a path that slides 400 units
// to the right between key times 0 and 3333; "Camera02" still, further back.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scene/archive_writer.h"

using namespace brisane;

namespace {

std::vector<std::uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutFloats(std::vector<std::uint8_t>& out, std::initializer_list<float> values) {
  for (float v : values) {
    std::uint8_t b[4];
    std::memcpy(b, &v, 4);
    out.insert(out.end(), b, b + 4);
  }
}

// Looks along +y from (x, y, 0), z up: local x right, y up, z back.
Matrix CameraAt(float x, float y) {
  Matrix m = Matrix::identity();
  m(1, 1) = 0.0f;
  m(1, 2) = 1.0f;   // up = +z
  m(2, 1) = -1.0f;  // back = -y
  m(2, 2) = 0.0f;
  m(3, 0) = x;
  m(3, 1) = y;
  return m;
}

Matrix Projection() {
  const float zn = 0.05f, zf = 200.0f, yScale = 1.0f / std::tan(3.14159265f / 8);
  Matrix p;
  p(0, 0) = yScale * 0.75f;
  p(1, 1) = yScale;
  p(2, 2) = zf / (zf - zn);
  p(2, 3) = 1.0f;
  p(3, 2) = -zn * zf / (zf - zn);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: scene_fixture OUT.sss PICTURE.jpg LIGHTMAP.jpg\n");
    return 2;
  }
  std::vector<std::uint8_t> picture = ReadFile(argv[2]), lightmap = ReadFile(argv[3]);
  if (picture.empty() || lightmap.empty()) return 3;

  SceneArchiveWriter w;
  w.addImage("board.jpg", std::move(picture));
  w.addImage("board_lm.jpg", std::move(lightmap));
  ArchiveMaterial board;
  board.description.diffuse = {1, 1, 1, 1};
  board.description.ambient = {1, 1, 1, 1};
  ArchiveLayer diffuse, light;
  diffuse.kind = 1;
  diffuse.frames = {"board.jpg"};
  light.kind = 5;
  light.texCoordIndex = 1;
  light.frames = {"board_lm.jpg"};
  board.layers = {diffuse, light};
  w.addMaterial("Board", board);

  // Clockwise as seen from the front (-y), as one-sided faces are drawn.
  ArchiveMesh quad;
  quad.fvf = kFvfTwoTextures;
  quad.material = "Board";
  for (float z : {75.0f, -75.0f})
    for (float x : {-100.0f, 100.0f}) {
      // v runs up the picture: a texture's row 0 is the picture's bottom row.
      const float u = (x + 100) / 200, v = (z + 75) / 150;
      PutFloats(quad.vertices, {x, 0, z, 0, -1, 0, u, v, u, v});
    }
  quad.indices = {0, 1, 2, 2, 1, 3};
  ArchiveNode node;
  w.addGeometry("board", node, {ArchiveFrame{0, {quad}}});

  ArchiveNode path;
  path.keys = {TransformKey{0, CameraAt(0, -300)}, TransformKey{3333, CameraAt(400, -300)}};
  w.addCamera("Camera01", path, Projection());
  ArchiveNode still;
  still.keys = {TransformKey{0, CameraAt(0, -600)}};
  w.addCamera("Camera02", still, Projection());

  DeviceLight sun;
  sun.type = d3d::kLightDirectional;
  sun.diffuse = {1, 1, 1, 1};
  sun.direction = {0, 1, 0};
  ArchiveNode sunNode;
  sunNode.keys = {TransformKey{0, Matrix::translation(0, -1000, 0)}};
  w.addLight("Sun", sunNode, sun);

  const std::vector<std::uint8_t> bytes = w.finish();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 4;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written ? 0 : 4;
}
