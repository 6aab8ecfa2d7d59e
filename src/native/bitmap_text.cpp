#include "native/bitmap_text.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "native/display_gl.h"
#include "native/gl_shader.h"

namespace brisane {

namespace {

// "FPS: %.2f" and what a number can print as.
constexpr std::array kGlyphs = {
    Glyph{'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, Glyph{'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    Glyph{'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, Glyph{'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    Glyph{'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, Glyph{'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    Glyph{'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, Glyph{'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    Glyph{'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, Glyph{'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    Glyph{'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}}, Glyph{'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    Glyph{'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, Glyph{':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    Glyph{'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, Glyph{'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    Glyph{'i', {0x04, 0x00, 0x0C, 0x04, 0x04, 0x04, 0x0E}}, Glyph{'n', {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11}},
    Glyph{'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}}, Glyph{'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
};
constexpr int kCellWidth = 6, kCellHeight = 8, kGlyphRows = 7;

constexpr char kVertexSource[] = R"(#version 330 core
layout(location = 0) in vec2 position;  // pixels of the picture, row 0 at the top
layout(location = 1) in vec2 atlasAt;   // texels of the font
uniform vec2 pictureSize;
out vec2 texel;
void main() {
  texel = atlasAt;
  // The back buffer's row 0 is the picture's top, so y needs no flip.
  gl_Position = vec4(position / pictureSize * 2.0 - 1.0, 0.0, 1.0);
}
)";

constexpr char kFragmentSource[] = R"(#version 330 core
uniform sampler2D atlas;
uniform vec3 textColour;
in vec2 texel;
out vec4 colour;
void main() {
  if (texelFetch(atlas, ivec2(floor(texel)), 0).r < 0.5) discard;
  colour = vec4(textColour, 1.0);
}
)";

}  // namespace

const Glyph* FindGlyph(char character) {
  for (const Glyph& glyph : kGlyphs)
    if (glyph.character == character) return &glyph;
  return nullptr;
}

BitmapText::~BitmapText() {
  if (program_) glDeleteProgram(program_);
  if (buffer_) glDeleteBuffers(1, &buffer_);
  if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
  if (atlas_) glDeleteTextures(1, &atlas_);
}

void BitmapText::MakeFont(int height) {
  // The glyphs are 7 pixels of an 8-pixel line.
  scale_ = std::clamp((height + kCellHeight / 2) / kCellHeight, 1, 16);
}

bool BitmapText::Prepare() {
  if (program_) return true;
  if (failed_) return false;
  std::string error;
  program_ = gl::LinkProgram(kVertexSource, kFragmentSource, error);
  if (!program_) {
    std::fprintf(stderr, "brisane: the frame-rate text's shader does not build: %s\n", error.c_str());
    failed_ = true;
    return false;
  }
  pictureSizeUniform_ = glGetUniformLocation(program_, "pictureSize");
  colourUniform_ = glGetUniformLocation(program_, "textColour");
  atlasUniform_ = glGetUniformLocation(program_, "atlas");

  const int width = kCellWidth * static_cast<int>(kGlyphs.size());
  std::vector<std::uint8_t> texels(static_cast<std::size_t>(width * kCellHeight), 0);
  for (std::size_t g = 0; g < kGlyphs.size(); ++g)
    for (int row = 0; row < kGlyphRows; ++row)
      for (int column = 0; column < 5; ++column)
        if (kGlyphs[g].rows[row] & (0x10 >> column))
          texels[static_cast<std::size_t>(row * width) + g * kCellWidth + static_cast<std::size_t>(column)] = 0xFF;
  glGenTextures(1, &atlas_);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, atlas_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, width, kCellHeight, 0, GL_RED, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

  glGenVertexArrays(1, &vertexArray_);
  glGenBuffers(1, &buffer_);
  glBindVertexArray(vertexArray_);
  glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), reinterpret_cast<const void*>(2 * sizeof(float)));
  return true;
}

bool BitmapText::Draw(std::int32_t x, std::int32_t y, std::string_view text, std::uint32_t rgb) {
  if (display_.backBuffer() == 0) return false;
  DisplayGlState scope;
  if (!Prepare()) return false;

  std::vector<float> vertices;
  vertices.reserve(text.size() * 6 * 4);
  const float size = static_cast<float>(scale_);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Glyph* glyph = FindGlyph(text[i]);
    if (!glyph) continue;
    const float left = static_cast<float>(x) + static_cast<float>(i) * kCellWidth * size;
    const float top = static_cast<float>(y);
    const float right = left + kCellWidth * size, bottom = top + kCellHeight * size;
    const float u0 = static_cast<float>((glyph - kGlyphs.data()) * kCellWidth), u1 = u0 + kCellWidth;
    const float corners[6][4] = {{left, top, u0, 0},         {right, top, u1, 0},    {right, bottom, u1, kCellHeight},
                                 {left, top, u0, 0}, {right, bottom, u1, kCellHeight}, {left, bottom, u0, kCellHeight}};
    for (const auto& corner : corners) vertices.insert(vertices.end(), corner, corner + 4);
  }
  if (vertices.empty()) return true;

  glBindFramebuffer(GL_FRAMEBUFFER, display_.backBuffer());
  glViewport(0, 0, static_cast<GLsizei>(display_.width()), static_cast<GLsizei>(display_.height()));
  glUseProgram(program_);
  glUniform2f(pictureSizeUniform_, static_cast<float>(display_.width()), static_cast<float>(display_.height()));
  glUniform3f(colourUniform_, static_cast<float>((rgb >> 16) & 0xFF) / 255.0f,
              static_cast<float>((rgb >> 8) & 0xFF) / 255.0f, static_cast<float>(rgb & 0xFF) / 255.0f);
  glUniform1i(atlasUniform_, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, atlas_);
  glBindVertexArray(vertexArray_);
  glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
               GL_STREAM_DRAW);
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 4));
  display_.DrewOwnGl();
  return true;
}

}  // namespace brisane
