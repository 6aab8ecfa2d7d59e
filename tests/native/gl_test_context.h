// A hidden SDL2 window of the given size with an OpenGL 3.3 core context,
// current while the object lives, and a back buffer framebuffer (colour and
// depth) of that size for a device to draw into. ok() is false, with the reason in
// error(), where the machine has no display or no such context.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdint>
#include <string>

namespace brisane::testing {

class GlTestContext {
 public:
  GlTestContext(std::uint32_t width, std::uint32_t height) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      error_ = SDL_GetError();
      return;
    }
    video_ = true;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    window_ = SDL_CreateWindow("gl test", 0, 0, static_cast<int>(width), static_cast<int>(height),
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_ || !(context_ = SDL_GL_CreateContext(window_))) {
      error_ = SDL_GetError();
      return;
    }
    glGenRenderbuffers(2, buffers_);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers_[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glBindRenderbuffer(GL_RENDERBUFFER, buffers_[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers_[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, buffers_[1]);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) error_ = "back buffer incomplete";
  }
  ~GlTestContext() {
    if (context_) {
      if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
      glDeleteRenderbuffers(2, buffers_);
      SDL_GL_DeleteContext(context_);
    }
    if (window_) SDL_DestroyWindow(window_);
    if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  GlTestContext(const GlTestContext&) = delete;
  GlTestContext& operator=(const GlTestContext&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  std::uint32_t framebuffer() const { return framebuffer_; }

 private:
  std::string error_;
  bool video_ = false;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  GLuint buffers_[2] = {};
  GLuint framebuffer_ = 0;
};

}  // namespace brisane::testing
