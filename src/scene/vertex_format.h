// Flexible vertex format codes as the scene files store them, and the vertex
// buffer a geometry object can be copied into.
#pragma once

#include <cstdint>
#include <vector>

namespace brisane {

inline constexpr std::uint32_t kFvfXyz = 0x002;
inline constexpr std::uint32_t kFvfNormal = 0x010;
inline constexpr std::uint32_t kFvfTex1 = 0x100;
inline constexpr std::uint32_t kFvfTex2 = 0x200;
// The two formats of the scene data: position, normal and one or two
// texture coordinate pairs.
inline constexpr std::uint32_t kFvfOneTexture = kFvfXyz | kFvfNormal | kFvfTex1;   // 0x112, 32 bytes
inline constexpr std::uint32_t kFvfTwoTextures = kFvfXyz | kFvfNormal | kFvfTex2;  // 0x212, 40 bytes

// Bytes per vertex of the format, or 0 for a code that describes no usable
// vertex (no position, or bits the device format does not define).
std::uint32_t FvfStride(std::uint32_t fvf);

inline constexpr std::int32_t kResultOk = 0;
inline constexpr std::int32_t kResultFail = static_cast<std::int32_t>(0x80004005u);

// A lockable vertex buffer of a fixed format and size.
class VertexBuffer {
 public:
  virtual ~VertexBuffer() = default;
  virtual std::uint32_t fvf() const = 0;
  virtual std::uint32_t vertexCapacity() const = 0;
  // Locks the whole buffer for writing; negative result on failure.
  virtual std::int32_t lock(std::uint8_t** data) = 0;
  virtual std::int32_t unlock() = 0;
};

// A buffer in plain memory, for tools and tests.
class MemoryVertexBuffer : public VertexBuffer {
 public:
  MemoryVertexBuffer(std::uint32_t fvf, std::uint32_t vertexCapacity)
      : fvf_(fvf), capacity_(vertexCapacity), bytes_(std::size_t{FvfStride(fvf)} * vertexCapacity) {}
  std::uint32_t fvf() const override { return fvf_; }
  std::uint32_t vertexCapacity() const override { return capacity_; }
  std::int32_t lock(std::uint8_t** data) override {
    if (locked_) return kResultFail;
    locked_ = true;
    *data = bytes_.data();
    return kResultOk;
  }
  std::int32_t unlock() override {
    if (!locked_) return kResultFail;
    locked_ = false;
    return kResultOk;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  bool locked() const { return locked_; }

 private:
  std::uint32_t fvf_;
  std::uint32_t capacity_;
  std::vector<std::uint8_t> bytes_;
  bool locked_ = false;
};

}  // namespace brisane
