#include "win32/direct_sound.h"

#include <cstring>
#include <vector>

namespace brisane {

static_assert(kSoundBufferLost == static_cast<HResult>(DSERR_BUFFERLOST));
static_assert(kNoVirtualization == static_cast<HResult>(DS_NO_VIRTUALIZATION));
static_assert(kOutOfMemory == static_cast<HResult>(E_OUTOFMEMORY));
static_assert(sizeof(DS3DBUFFER) == 64 && sizeof(DS3DLISTENER) == 64);
static_assert(DS3DMODE_NORMAL == 0 && WAVE_FORMAT_PCM == 1);

namespace {

constexpr DWORD kSecondaryFlags = DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_STATIC | DSBCAPS_MUTE3DATMAXDISTANCE;
static_assert(kSecondaryFlags == 0x20092);

D3DVECTOR ToD3D(const AudioVector& v) { return {{v.x}, {v.y}, {v.z}}; }
AudioVector FromD3D(const D3DVECTOR& v) { return {v.x, v.y, v.z}; }

class DirectSoundBuffer final : public SoundBuffer {
 public:
  DirectSoundBuffer(ComPtr<IDirectSoundBuffer> buffer, ComPtr<IDirectSound3DBuffer> buffer3d)
      : buffer_(std::move(buffer)), buffer3d_(std::move(buffer3d)) {}

  HResult Fill(std::span<const std::uint8_t> bytes) override {
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstSize = 0, secondSize = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    HRESULT hr = buffer_->Lock(0, size, &first, &firstSize, &second, &secondSize, 0);
    if (FAILED(hr)) return hr;
    const DWORD n = size < firstSize ? size : firstSize;
    std::memcpy(first, bytes.data(), n);
    return buffer_->Unlock(first, n, nullptr, 0);
  }
  HResult Play(bool looping) override { return buffer_->Play(0, 0, looping ? DSBPLAY_LOOPING : 0); }
  HResult Stop() override { return buffer_->Stop(); }
  HResult IsPlaying(bool& playing) override { return Status(DSBSTATUS_PLAYING, playing); }
  HResult SetPlayPosition(std::uint32_t byteOffset) override { return buffer_->SetCurrentPosition(byteOffset); }
  HResult SetVolume(std::int32_t volume) override { return buffer_->SetVolume(volume); }
  HResult IsLost(bool& lost) override { return Status(DSBSTATUS_BUFFERLOST, lost); }
  HResult Restore() override { return buffer_->Restore(); }
  HResult GetParameters(SoundParameters& parameters) override {
    DS3DBUFFER p = {};
    p.dwSize = sizeof p;
    const HRESULT hr = buffer3d_->GetAllParameters(&p);
    if (FAILED(hr)) return hr;
    parameters.position = FromD3D(p.vPosition);
    parameters.velocity = FromD3D(p.vVelocity);
    parameters.insideConeAngle = p.dwInsideConeAngle;
    parameters.outsideConeAngle = p.dwOutsideConeAngle;
    parameters.coneOrientation = FromD3D(p.vConeOrientation);
    parameters.coneOutsideVolume = p.lConeOutsideVolume;
    parameters.minDistance = p.flMinDistance;
    parameters.maxDistance = p.flMaxDistance;
    parameters.mode = p.dwMode;
    return hr;
  }
  HResult SetParameters(const SoundParameters& parameters, bool deferred) override {
    DS3DBUFFER p = {};
    p.dwSize = sizeof p;
    p.vPosition = ToD3D(parameters.position);
    p.vVelocity = ToD3D(parameters.velocity);
    p.dwInsideConeAngle = parameters.insideConeAngle;
    p.dwOutsideConeAngle = parameters.outsideConeAngle;
    p.vConeOrientation = ToD3D(parameters.coneOrientation);
    p.lConeOutsideVolume = parameters.coneOutsideVolume;
    p.flMinDistance = parameters.minDistance;
    p.flMaxDistance = parameters.maxDistance;
    p.dwMode = parameters.mode;
    return buffer3d_->SetAllParameters(&p, deferred ? DS3D_DEFERRED : DS3D_IMMEDIATE);
  }
  HResult SetConeAngles(std::uint32_t inside, std::uint32_t outside) override {
    return buffer3d_->SetConeAngles(inside, outside, DS3D_IMMEDIATE);
  }

 private:
  HResult Status(DWORD flag, bool& set) {
    DWORD status = 0;
    const HRESULT hr = buffer_->GetStatus(&status);
    set = SUCCEEDED(hr) && (status & flag) != 0;
    return hr;
  }

  // Released in reverse: the 3D interface before the buffer.
  ComPtr<IDirectSoundBuffer> buffer_;
  ComPtr<IDirectSound3DBuffer> buffer3d_;
};

}  // namespace

HRESULT DirectSoundDevice::Init(HWND window) {
  Shutdown();
  window_ = window;
  // S_FALSE: COM was already up on this thread; it still wants its
  // matching uninitialise, and the device can be made all the same.
  HRESULT hr = CoInitialize(nullptr);
  if (FAILED(hr)) return hr;
  comInitialised_ = true;

  const auto fail = [this](HRESULT result) {
    Shutdown();
    return result;
  };
  hr = DirectSoundCreate(nullptr, device_.Put(), nullptr);
  if (FAILED(hr)) return fail(hr);
  hr = device_->SetCooperativeLevel(window, DSSCL_PRIORITY);
  if (FAILED(hr)) return fail(hr);

  DSBUFFERDESC description = {};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  ComPtr<IDirectSoundBuffer> primary;
  hr = device_->CreateSoundBuffer(&description, primary.Put(), nullptr);
  if (FAILED(hr)) return fail(hr);
  hr = primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(listener_.Put()));
  if (FAILED(hr)) return fail(hr);

  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.nAvgBytesPerSec = 176400;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  hr = primary->SetFormat(&format);
  if (FAILED(hr)) return fail(hr);
  return S_OK;  // the primary buffer's local reference goes here
}

HRESULT DirectSoundDevice::Shutdown() {
  listener_.Reset();
  device_.Reset();
  if (comInitialised_) CoUninitialize();
  comInitialised_ = false;
  return S_OK;
}

std::unique_ptr<SoundBuffer> DirectSoundDevice::CreateBuffer(const WaveFormat& format, std::uint32_t bytes,
                                                             HResult& result) {
  if (!device_) {
    result = E_FAIL;
    return nullptr;
  }
  // WAVEFORMATEX and the extra format bytes right after it.
  std::vector<std::uint8_t> storage(sizeof(WAVEFORMATEX) + format.extra.size());
  auto* wave = reinterpret_cast<WAVEFORMATEX*>(storage.data());
  wave->wFormatTag = format.formatTag;
  wave->nChannels = format.channels;
  wave->nSamplesPerSec = format.samplesPerSecond;
  wave->nAvgBytesPerSec = format.bytesPerSecond;
  wave->nBlockAlign = format.blockAlign;
  wave->wBitsPerSample = format.bitsPerSample;
  wave->cbSize = static_cast<WORD>(format.extra.size());
  if (!format.extra.empty())
    std::memcpy(storage.data() + sizeof(WAVEFORMATEX), format.extra.data(), format.extra.size());

  DSBUFFERDESC description = {};
  description.dwSize = sizeof description;
  description.dwFlags = kSecondaryFlags;
  description.dwBufferBytes = bytes;
  description.lpwfxFormat = wave;
  description.guid3DAlgorithm = DS3DALG_DEFAULT;
  ComPtr<IDirectSoundBuffer> buffer;
  const HRESULT created = device_->CreateSoundBuffer(&description, buffer.Put(), nullptr);
  if (FAILED(created)) {
    result = created;
    return nullptr;
  }
  if (created == DS_NO_VIRTUALIZATION) {
    MessageBoxA(window_,
                "The 3D virtualization algorithm requested is not supported under this operating system.  It is "
                "available only on Win2000, and Win98 SE with WDM drivers and beyond.  Creating buffer with no "
                "virtualization.",
                "Warning!", MB_OK);
  }
  ComPtr<IDirectSound3DBuffer> buffer3d;
  result = buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(buffer3d.Put()));
  if (FAILED(result)) return nullptr;
  result = created;
  return std::make_unique<DirectSoundBuffer>(std::move(buffer), std::move(buffer3d));
}

HResult DirectSoundDevice::GetListener(ListenerParameters& parameters) {
  if (!listener_) return E_FAIL;
  DS3DLISTENER l = {};
  l.dwSize = sizeof l;
  const HRESULT hr = listener_->GetAllParameters(&l);
  if (FAILED(hr)) return hr;
  parameters.position = FromD3D(l.vPosition);
  parameters.velocity = FromD3D(l.vVelocity);
  parameters.front = FromD3D(l.vOrientFront);
  parameters.top = FromD3D(l.vOrientTop);
  parameters.distanceFactor = l.flDistanceFactor;
  parameters.rolloffFactor = l.flRolloffFactor;
  parameters.dopplerFactor = l.flDopplerFactor;
  return hr;
}

HResult DirectSoundDevice::SetListener(const ListenerParameters& parameters) {
  if (!listener_) return E_FAIL;
  DS3DLISTENER l = {};
  l.dwSize = sizeof l;
  l.vPosition = ToD3D(parameters.position);
  l.vVelocity = ToD3D(parameters.velocity);
  l.vOrientFront = ToD3D(parameters.front);
  l.vOrientTop = ToD3D(parameters.top);
  l.flDistanceFactor = parameters.distanceFactor;
  l.flRolloffFactor = parameters.rolloffFactor;
  l.flDopplerFactor = parameters.dopplerFactor;
  return listener_->SetAllParameters(&l, DS3D_IMMEDIATE);
}

HResult DirectSoundDevice::SetDistanceFactor(float metresPerUnit) {
  if (!listener_) return E_FAIL;
  return listener_->SetDistanceFactor(metresPerUnit, DS3D_IMMEDIATE);
}

void DirectSoundDevice::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace brisane
