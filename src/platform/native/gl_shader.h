// The shader program that stands in for Direct3D 7's fixed-function pipeline,
// and the block of device state it reads. The C++ struct mirrors the GLSL
// block under std140 rules: only 16-byte members, so no padding differs.
#pragma once

#include <cstdint>
#include <string>

namespace brisane::gl {

inline constexpr int kStages = 4;  // texture stages the program evaluates
inline constexpr int kLights = 8;  // lights lit at once

struct Vec4 {
  float x = 0, y = 0, z = 0, w = 0;
};
struct IVec4 {
  std::int32_t x = 0, y = 0, z = 0, w = 0;
};
// Row-major, row vectors, as the device's matrices (the block is row_major).
struct Mat4 {
  float m[4][4] = {};
};

struct ShaderLight {
  Vec4 diffuse, specular, ambient;
  Vec4 position;     // camera space; w: light type
  Vec4 direction;    // camera space, unit length
  Vec4 attenuation;  // a0, a1, a2, range
  Vec4 spot;         // cos(theta / 2), cos(phi / 2), falloff
};

struct ShaderState {
  Mat4 worldView;
  Mat4 projection;
  Mat4 normalMatrix;  // inverse transpose of worldView's upper 3 x 3
  Mat4 textureMatrix[kStages];
  Vec4 viewport;    // x, y, width, height in pixels
  Vec4 depthRange;  // minZ, maxZ
  IVec4 format;     // has normal, has diffuse, has specular, pre-transformed
  IVec4 lighting;   // on, light count, normalize normals, local viewer
  IVec4 sources;    // diffuse, ambient, specular, emissive: 0 material, 1 colour 1, 2 colour 2
  IVec4 misc;       // specular enable, alpha function (0 off), alpha reference, texture sets
  Vec4 ambient;
  Vec4 materialDiffuse, materialAmbient, materialSpecular, materialEmissive;
  Vec4 materialPower;
  Vec4 textureFactor;
  IVec4 stageColour[kStages];  // op, arg1, arg2, texture bound
  IVec4 stageAlpha[kStages];   // op, arg1, arg2
  IVec4 stageCoord[kStages];   // set, generation (0..3), transform count (0 off), projected
  ShaderLight lights[kLights];
};

// The program's source; flat: colours of the first vertex across the face.
std::string VertexShaderSource(bool flat);
std::string FragmentShaderSource(bool flat);

// Binding points and texture units the program uses.
inline constexpr std::uint32_t kStateBinding = 0;
inline constexpr const char* kStateBlockName = "DeviceState";

}  // namespace brisane::gl
