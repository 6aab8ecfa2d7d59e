// What the display's own drawing (the copy to the window, the frame-rate
// text) borrows from the GL context, given back afterwards: the device keeps
// its state in the context and must find it as it left it.
#pragma once

#include <epoxy/gl.h>

#include <string>

namespace brisane {

class DisplayGlState {
 public:
  // Saves the bindings and switches that drawing a textured triangle on
  // texture units 0 and 1 touches, and sets them plain: no blending, depth,
  // stencil, culling, scissor or offset, filled polygons, every colour
  // written, and OpenGL's own clip origin (the device keeps Direct3D's).
  DisplayGlState();
  ~DisplayGlState();
  DisplayGlState(const DisplayGlState&) = delete;
  DisplayGlState& operator=(const DisplayGlState&) = delete;

 private:
  GLint drawFramebuffer_ = 0, readFramebuffer_ = 0, program_ = 0, vertexArray_ = 0, arrayBuffer_ = 0;
  GLint activeTexture_ = 0, textures_[2] = {}, samplers_[2] = {}, unpackBuffer_ = 0;
  GLint unpackAlignment_ = 4, unpackRowLength_ = 0;
  GLint viewport_[4] = {};
  GLint polygonMode_[2] = {};
  bool clipControl_ = false;
  GLint clipOrigin_ = GL_LOWER_LEFT, clipDepth_ = GL_NEGATIVE_ONE_TO_ONE;
  GLboolean colorMask_[4] = {};
  GLboolean depthMask_ = GL_TRUE;
  static constexpr GLenum kSwitches[] = {GL_BLEND, GL_DEPTH_TEST, GL_STENCIL_TEST, GL_CULL_FACE, GL_SCISSOR_TEST,
                                         GL_POLYGON_OFFSET_FILL, GL_FRAMEBUFFER_SRGB};
  GLboolean switches_[sizeof kSwitches / sizeof kSwitches[0]] = {};
};

}  // namespace brisane
