#include "sound/sound3d.h"

namespace brisane {

HResult Sound3D::Load(AudioDevice&, const ResourceSource&, std::uint16_t, std::string_view) {
  Release();
  return kEFail;
}

HResult Sound3D::Play(bool looping) { return buffer_ ? buffer_->Play(looping) : kEFail; }

HResult Sound3D::Stop() {
  if (!buffer_) return kEFail;
  buffer_->Stop();
  return buffer_->SetPlayPosition(0);
}

HResult Sound3D::SetVolume(std::int32_t volume) { return buffer_ ? buffer_->SetVolume(volume) : kEFail; }

void Sound3D::SetConeAngles(std::uint32_t inside, std::uint32_t outside) {
  if (buffer_) buffer_->SetConeAngles(inside, outside);
}

void Sound3D::Set3DParameters(const AudioVector&, const AudioVector&, float, float) {}

void Sound3D::Release() { buffer_.reset(); }

}  // namespace brisane
