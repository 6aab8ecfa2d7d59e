#include "sound/sound3d.h"

#include <new>
#include <vector>

namespace brisane {

namespace {

// A buffer the system still holds is asked again after a short wait, but
// not for ever: the frame must go on, and the next play tries again.
constexpr int kRestoreRounds = 10;
constexpr std::uint32_t kRestoreWait = 10;

}  // namespace

HResult Sound3D::Load(AudioDevice& device, const ResourceSource& resources, std::uint16_t resourceId,
                      std::string_view fileName) {
  HResult result = Create(device, resources, resourceId, fileName);
  // A buffer that could not be filled would play whatever it held: none.
  if (!Failed(result)) result = Fill();
  if (Failed(result)) Release();
  return result;
}

HResult Sound3D::Create(AudioDevice& device, const ResourceSource& resources, std::uint16_t resourceId,
                        std::string_view fileName) {
  Release();
  wave_ = std::make_unique<WaveFile>();
  HResult result = wave_->Open(resources, resourceId, fileName);
  if (Failed(result)) return result;

  // The device shows its own warning for kNoVirtualization and goes on.
  buffer_ = device.CreateBuffer(*wave_->format(), wave_->dataSize(), result);
  if (Failed(result) || !buffer_) {
    buffer_.reset();
    return Failed(result) ? result : kEFail;
  }
  device_ = &device;
  size_ = wave_->dataSize();
  buffer_->GetParameters(params_);
  params_.mode = 0;  // DS3DMODE_NORMAL
  buffer_->SetParameters(params_, false);
  return kOk;
}

HResult Sound3D::Fill() {
  if (!buffer_ || !wave_) return kEFail;
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(size_);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  std::uint32_t read = 0;
  HResult result = wave_->Read(size_, bytes.data(), read);
  if (Failed(result)) return result;
  if (read != size_) return kEFail;
  wave_->Reset();
  return buffer_->Fill(bytes);
}

HResult Sound3D::Restore() {
  if (!buffer_) return kOk;
  bool lost = false;
  HResult result = buffer_->IsLost(lost);
  if (Failed(result) || !lost) return Failed(result) ? result : kOk;
  for (int round = 0;; ++round) {
    if (buffer_->Restore() == kSoundBufferLost && device_) device_->Sleep(kRestoreWait);
    result = buffer_->Restore();
    if (!Failed(result)) break;
    if (round + 1 == kRestoreRounds) return result;
  }
  return Fill();
}

HResult Sound3D::Play(bool looping) {
  if (!buffer_) return kEFail;
  HResult result = Restore();
  if (Failed(result)) return result;
  bool playing = false;
  result = buffer_->IsPlaying(playing);
  if (Failed(result)) return result;
  // One voice a sound: a second play starts it over, in the mode it has.
  if (playing) return buffer_->SetPlayPosition(0);
  return buffer_->Play(looping);
}

HResult Sound3D::Stop() {
  if (!buffer_) return kEFail;
  buffer_->Stop();
  return buffer_->SetPlayPosition(0);
}

HResult Sound3D::SetVolume(std::int32_t volume) { return buffer_ ? buffer_->SetVolume(volume) : kEFail; }

void Sound3D::SetConeAngles(std::uint32_t inside, std::uint32_t outside) {
  if (buffer_) buffer_->SetConeAngles(inside, outside);
}

void Sound3D::Set3DParameters(const AudioVector& position, const AudioVector& velocity, float minDistance,
                              float maxDistance) {
  if (!buffer_) return;
  params_.position = position;
  params_.velocity = velocity;
  params_.minDistance = minDistance;
  params_.maxDistance = maxDistance;
  buffer_->SetParameters(params_, deferred_);
}

void Sound3D::Release() {
  wave_.reset();
  buffer_.reset();
  size_ = 0;
  device_ = nullptr;
}

}  // namespace brisane
