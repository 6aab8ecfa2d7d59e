#include "native/display_gl.h"

#include <cstddef>
#include <iterator>

namespace brisane {

DisplayGlState::DisplayGlState() {
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer_);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer_);
  glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
  glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray_);
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer_);
  glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer_);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment_);
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &unpackRowLength_);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
  for (GLuint unit = 0; unit < 2; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &textures_[unit]);
    glGetIntegerv(GL_SAMPLER_BINDING, &samplers_[unit]);
    glBindSampler(unit, 0);  // a bound sampler would override the display's own filtering
  }
  glGetIntegerv(GL_VIEWPORT, viewport_);
  glGetIntegerv(GL_POLYGON_MODE, polygonMode_);
  glGetBooleanv(GL_COLOR_WRITEMASK, colorMask_);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask_);
  for (std::size_t i = 0; i < std::size(kSwitches); ++i) {
    switches_[i] = glIsEnabled(kSwitches[i]);
    glDisable(kSwitches[i]);
  }
  clipControl_ = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
  if (clipControl_) {
    glGetIntegerv(GL_CLIP_ORIGIN, &clipOrigin_);
    glGetIntegerv(GL_CLIP_DEPTH_MODE, &clipDepth_);
    glClipControl(GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
  }
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

DisplayGlState::~DisplayGlState() {
  for (std::size_t i = 0; i < std::size(kSwitches); ++i) {
    if (switches_[i]) glEnable(kSwitches[i]);
  }
  if (clipControl_) glClipControl(static_cast<GLenum>(clipOrigin_), static_cast<GLenum>(clipDepth_));
  glDepthMask(depthMask_);
  glColorMask(colorMask_[0], colorMask_[1], colorMask_[2], colorMask_[3]);
  // Core profiles keep one mode for both faces.
  glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(polygonMode_[0]));
  glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
  for (GLuint unit = 0; unit < 2; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(textures_[unit]));
    glBindSampler(unit, static_cast<GLuint>(samplers_[unit]));
  }
  glActiveTexture(static_cast<GLenum>(activeTexture_));
  glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment_);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, unpackRowLength_);
  glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer_));
  glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer_));
  glBindVertexArray(static_cast<GLuint>(vertexArray_));
  glUseProgram(static_cast<GLuint>(program_));
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawFramebuffer_));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer_));
}

}  // namespace brisane
