#include "native/openal_audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace brisane {

namespace {

constexpr std::int32_t kVolumeMin = -10000;  // silence
constexpr std::uint32_t kBufferBytesMin = 4;
constexpr std::uint32_t kBufferBytesMax = 0x0FFFFFFF;
constexpr std::uint32_t kRateMin = 100, kRateMax = 200000;
constexpr std::uint32_t kModeNormal = 0, kModeHeadRelative = 1, kModeDisabled = 2;
constexpr float kRolloffMax = 10.0f, kDopplerMax = 10.0f;
constexpr float kSpeedOfSound = 343.3f;  // metres a second

// How often the device is asked whether it still plays (a headset pulled
// out), and how often a new one is looked for while there is none: opening
// probes the system, too slow for every frame.
using Clock = std::chrono::steady_clock;
constexpr Clock::duration kCheckEvery = std::chrono::milliseconds(250);
constexpr Clock::duration kReopenEvery = std::chrono::seconds(1);

// DirectSound's axes are left-handed, +z ahead of a listener at rest; OpenAL's
// are right-handed, -z ahead. Mirroring z maps one onto the other: x (right)
// and y (up) stay, z is negated, for positions, velocities, cone directions
// and the listener's front and top alike. A mirror is exactly a change of
// handedness, so what is on the right in one is on the right in the other.
struct AlVector {
  ALfloat v[3];
};
AlVector ToAl(const AudioVector& a) { return {{a.x, a.y, -a.z}}; }

// Hundredths of a decibel to an amplitude factor; the minimum is silence.
float VolumeToGain(std::int32_t volume) {
  if (volume <= kVolumeMin) return 0.0f;
  return static_cast<float>(std::pow(10.0, volume / 2000.0));
}

bool Finite(const AudioVector& a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }

float Distance(const AudioVector& a, const AudioVector& b) {
  const double x = a.x - b.x, y = a.y - b.y, z = a.z - b.z;
  return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

// An orientation OpenAL can build a frame from: both axes finite and not
// parallel (nor zero).
bool UsableOrientation(const AudioVector& f, const AudioVector& t) {
  if (!Finite(f) || !Finite(t)) return false;
  const double cx = double(f.y) * t.z - double(f.z) * t.y;
  const double cy = double(f.z) * t.x - double(f.x) * t.z;
  const double cz = double(f.x) * t.y - double(f.y) * t.x;
  const double cross = std::sqrt(cx * cx + cy * cy + cz * cz);
  const double lengths = std::sqrt(double(f.x) * f.x + double(f.y) * f.y + double(f.z) * f.z) *
                         std::sqrt(double(t.x) * t.x + double(t.y) * t.y + double(t.z) * t.z);
  return lengths > 0.0 && std::isfinite(lengths) && cross > 1e-6 * lengths;
}

bool ValidSoundParameters(const SoundParameters& p) {
  return Finite(p.position) && Finite(p.velocity) && Finite(p.coneOrientation) && p.insideConeAngle <= 360 &&
         p.outsideConeAngle <= 360 && p.coneOutsideVolume >= kVolumeMin && p.coneOutsideVolume <= 0 &&
         std::isfinite(p.minDistance) && p.minDistance > 0.0f && std::isfinite(p.maxDistance) &&
         p.maxDistance > 0.0f && p.mode <= kModeDisabled;
}

// Whatever failed since the last call, as a result code.
HResult AlResult() {
  switch (alGetError()) {
    case AL_NO_ERROR: return kOk;
    case AL_INVALID_VALUE: return kInvalidArgument;
    case AL_OUT_OF_MEMORY: return kOutOfMemory;
    default: return kEFail;
  }
}

class OpenAlBuffer;

// The default playback device with a context on it, or nulls.
std::pair<ALCdevice*, ALCcontext*> OpenDefaultDevice() {
  ALCdevice* device = alcOpenDevice(nullptr);
  if (!device) return {};
  ALCcontext* context = alcCreateContext(device, nullptr);
  if (!context) {
    alcCloseDevice(device);
    return {};
  }
  return {device, context};
}

// Whether the device can say it went away.
bool ReportsDisconnect(ALCdevice* device) { return alcIsExtensionPresent(device, "ALC_EXT_disconnect") == ALC_TRUE; }

void CloseDevice(ALCdevice* device, ALCcontext* context) {
  if (alcGetCurrentContext() == context) alcMakeContextCurrent(nullptr);
  alcDestroyContext(context);
  alcCloseDevice(device);
}

}  // namespace

struct OpenAlAudio::Context {
  Context(ALCdevice* d, ALCcontext* c) : device(d), context(c), watchable_(ReportsDisconnect(d)) {}
  ~Context() { CloseDevice(device, context); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // The current context is the process's; another device may have taken it.
  // Every call comes through here, so here the device is watched too.
  void Bind() {
    const Clock::time_point now = Clock::now();
    if (now >= nextCheck_) {
      nextCheck_ = now + kCheckEvery;
      CheckDevice(now);
    }
    if (alcGetCurrentContext() != context) alcMakeContextCurrent(context);
    alGetError();  // what failed before is not ours to report
  }

  // Makes the context current with DirectSound's law: inverse distance
  // between the minimum and maximum.
  bool Start() {
    if (!alcMakeContextCurrent(context)) return false;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    return true;
  }

  // The listener record on the current context, without the buffers' share.
  void ApplyListener() {
    const ListenerParameters& p = listener;
    const AlVector position = ToAl(p.position), velocity = ToAl(p.velocity);
    const AlVector front = ToAl(p.front), top = ToAl(p.top);
    const ALfloat orientation[6] = {front.v[0], front.v[1], front.v[2], top.v[0], top.v[1], top.v[2]};
    alListenerfv(AL_POSITION, position.v);
    alListenerfv(AL_VELOCITY, velocity.v);
    alListenerfv(AL_ORIENTATION, orientation);
    alDopplerFactor(p.dopplerFactor);
    const float speed = kSpeedOfSound / p.distanceFactor;
    alSpeedOfSound(std::isfinite(speed) ? speed : std::numeric_limits<float>::max());
  }

  // The device stops mixing where it can (a software mixer costs processor
  // time even for silence); the listener's gain silences it everywhere.
  void ApplyPause() {
    if (alcGetCurrentContext() != context) alcMakeContextCurrent(context);
    alListenerf(AL_GAIN, paused ? 0.0f : 1.0f);
    if (!alcIsExtensionPresent(device, "ALC_SOFT_pause_device")) return;
    using DeviceCall = void(ALC_APIENTRY*)(ALCdevice*);
    if (auto call = reinterpret_cast<DeviceCall>(
            alcGetProcAddress(device, paused ? "alcDevicePauseSOFT" : "alcDeviceResumeSOFT")))
      call(device);
  }

  ALCdevice* device;
  ALCcontext* context;
  bool paused = false;
  ListenerParameters listener;
  std::vector<OpenAlBuffer*> buffers;  // live, for the listener-wide changes and a new device

 private:
  // A device that went away (unplugged) stops every source and never comes
  // back: the sounds move to whatever device the system plays on now. With
  // none, the show stays silent on the dead one and looks again later.
  void CheckDevice(Clock::time_point now) {
    if (!lost_) {
      if (!watchable_) return;
      ALCint connected = ALC_TRUE;
      alcGetIntegerv(device, ALC_CONNECTED, 1, &connected);
      if (connected) return;
      lost_ = true;
    }
    if (now < nextReopen_) return;
    nextReopen_ = now + kReopenEvery;
    if (MoveToNewDevice()) lost_ = false;
  }

  bool MoveToNewDevice();

  bool watchable_, lost_ = false;
  Clock::time_point nextCheck_ = Clock::now() + kCheckEvery, nextReopen_{};
};

namespace {

class OpenAlBuffer final : public SoundBuffer {
 public:
  OpenAlBuffer(std::shared_ptr<OpenAlAudio::Context> context, ALuint source, ALuint buffer, ALenum format,
               const WaveFormat& wave, std::uint32_t bytes)
      : context_(std::move(context)),
        source_(source),
        buffer_(buffer),
        format_(format),
        rate_(static_cast<ALsizei>(wave.samplesPerSecond)),
        blockAlign_(wave.blockAlign),
        silence_(wave.bitsPerSample == 8 ? 0x80 : 0x00),
        size_(bytes - bytes % wave.blockAlign) {
    context_->buffers.push_back(this);
  }
  ~OpenAlBuffer() override {
    context_->Bind();
    alSourceStop(source_);
    alSourcei(source_, AL_BUFFER, 0);
    alDeleteSources(1, &source_);
    alDeleteBuffers(1, &buffer_);
    std::erase(context_->buffers, this);
  }
  OpenAlBuffer(const OpenAlBuffer&) = delete;
  OpenAlBuffer& operator=(const OpenAlBuffer&) = delete;

  // Silence, as a new DirectSound buffer holds, and the default 3D record.
  HResult Init() {
    const HResult filled = Fill({});
    if (Failed(filled)) return filled;
    return Apply3D();
  }

  // The bytes are kept for a new device.
  HResult Fill(std::span<const std::uint8_t> bytes) override {
    std::vector<std::uint8_t> data;
    try {
      data.assign(size_, silence_);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    if (!bytes.empty()) std::memcpy(data.data(), bytes.data(), std::min<std::size_t>(bytes.size(), size_));
    bytes_ = std::move(data);
    context_->Bind();
    // OpenAL refuses new data for a buffer a source holds: let go of it for
    // the upload and go on where it was.
    ALint state = AL_INITIAL, offset = 0;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    alGetSourcei(source_, AL_BYTE_OFFSET, &offset);
    alSourceStop(source_);
    alSourcei(source_, AL_BUFFER, 0);
    alBufferData(buffer_, format_, bytes_.data(), static_cast<ALsizei>(bytes_.size()), rate_);
    alSourcei(source_, AL_BUFFER, static_cast<ALint>(buffer_));
    if (state == AL_PLAYING || state == AL_PAUSED) {
      alSourcei(source_, AL_BYTE_OFFSET, offset);
      if (state == AL_PLAYING) alSourcePlay(source_);
    }
    return AlResult();
  }

  HResult Play(bool looping) override {
    looping_ = looping;
    context_->Bind();
    alSourcei(source_, AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
    // OpenAL would start a playing source over; DirectSound only takes the
    // new looping flag.
    if (State() != AL_PLAYING) alSourcePlay(source_);
    return AlResult();
  }

  // A pause: DirectSound's stop keeps the position for the next play.
  HResult Stop() override {
    looping_ = false;
    context_->Bind();
    if (State() == AL_PLAYING) alSourcePause(source_);
    return AlResult();
  }

  HResult IsPlaying(bool& playing) override {
    context_->Bind();
    playing = State() == AL_PLAYING;
    return AlResult();
  }

  HResult SetPlayPosition(std::uint32_t byteOffset) override {
    if (byteOffset >= size_) return kInvalidArgument;
    context_->Bind();
    alSourcei(source_, AL_BYTE_OFFSET, static_cast<ALint>(byteOffset - byteOffset % blockAlign_));
    return AlResult();
  }

  HResult SetVolume(std::int32_t volume) override {
    if (volume < kVolumeMin || volume > 0) return kInvalidArgument;
    volume_ = volume;
    context_->Bind();
    ApplyGain();
    return AlResult();
  }

  // It follows its device onto a new one by itself, with its bytes, so the
  // caller never has to restore it.
  HResult IsLost(bool& lost) override {
    lost = false;
    return kOk;
  }
  HResult Restore() override { return kOk; }

  HResult GetParameters(SoundParameters& parameters) override {
    parameters = params_;
    return kOk;
  }

  // Deferred changes apply at once: nothing waits for a commit.
  HResult SetParameters(const SoundParameters& parameters, bool) override {
    if (!ValidSoundParameters(parameters)) return kInvalidArgument;
    params_ = parameters;
    return Apply3D();
  }

  HResult SetConeAngles(std::uint32_t inside, std::uint32_t outside) override {
    if (inside > 360 || outside > 360) return kInvalidArgument;
    params_.insideConeAngle = inside;
    params_.outsideConeAngle = outside;
    context_->Bind();
    alSourcef(source_, AL_CONE_INNER_ANGLE, static_cast<ALfloat>(inside));
    alSourcef(source_, AL_CONE_OUTER_ANGLE, static_cast<ALfloat>(outside));
    return AlResult();
  }

  // After the listener moved or its rolloff changed.
  void ListenerChanged() {
    alSourcef(source_, AL_ROLLOFF_FACTOR, context_->listener.rolloffFactor);
    ApplyGain();
  }

  // Lets go of the names on the old device (its context is current).
  void Drop() {
    alSourceStop(source_);
    alSourcei(source_, AL_BUFFER, 0);
    alDeleteSources(1, &source_);
    alDeleteBuffers(1, &buffer_);
    source_ = buffer_ = 0;
  }

  // The same sound on the new device (its context is current). A loop goes
  // on from its start; a single play cut off is not heard again, as it may
  // have ended long before.
  void Rebuild() {
    alGenSources(1, &source_);
    if (alGetError() != AL_NO_ERROR) source_ = 0;  // out of voices: calls fail from now on
    alGenBuffers(1, &buffer_);
    if (alGetError() != AL_NO_ERROR) buffer_ = 0;
    alBufferData(buffer_, format_, bytes_.data(), static_cast<ALsizei>(bytes_.size()), rate_);
    alSourcei(source_, AL_BUFFER, static_cast<ALint>(buffer_));
    Apply3D();
    alSourcei(source_, AL_LOOPING, looping_ ? AL_TRUE : AL_FALSE);
    if (looping_) alSourcePlay(source_);
  }

 private:
  ALint State() const {
    ALint state = AL_INITIAL;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    return state;
  }

  HResult Apply3D() {
    context_->Bind();
    const bool disabled = params_.mode == kModeDisabled;
    // Without 3D the sound sits in the listener's head, heard from no side.
    const AlVector zero{{0, 0, 0}};
    const AlVector position = disabled ? zero : ToAl(params_.position);
    const AlVector velocity = disabled ? zero : ToAl(params_.velocity);
    const AlVector direction = disabled ? zero : ToAl(params_.coneOrientation);
    alSourcei(source_, AL_SOURCE_RELATIVE, params_.mode == kModeNormal ? AL_FALSE : AL_TRUE);
    alSourcefv(source_, AL_POSITION, position.v);
    alSourcefv(source_, AL_VELOCITY, velocity.v);
    alSourcefv(source_, AL_DIRECTION, direction.v);
    alSourcef(source_, AL_CONE_INNER_ANGLE, static_cast<ALfloat>(params_.insideConeAngle));
    alSourcef(source_, AL_CONE_OUTER_ANGLE, static_cast<ALfloat>(params_.outsideConeAngle));
    alSourcef(source_, AL_CONE_OUTER_GAIN, VolumeToGain(params_.coneOutsideVolume));
    alSourcef(source_, AL_REFERENCE_DISTANCE, params_.minDistance);
    alSourcef(source_, AL_MAX_DISTANCE, params_.maxDistance);
    alSourcef(source_, AL_ROLLOFF_FACTOR, context_->listener.rolloffFactor);
    ApplyGain();
    return AlResult();
  }

  // The buffer's volume, and nothing at all beyond the maximum distance
  // (OpenAL's clamped law would hold the level there instead).
  void ApplyGain() {
    float distance = 0.0f;
    if (params_.mode == kModeNormal)
      distance = Distance(params_.position, context_->listener.position);
    else if (params_.mode == kModeHeadRelative)
      distance = Distance(params_.position, {});
    const bool muted = distance > params_.maxDistance;
    alSourcef(source_, AL_GAIN, muted ? 0.0f : VolumeToGain(volume_));
  }

  std::shared_ptr<OpenAlAudio::Context> context_;
  ALuint source_, buffer_;
  ALenum format_;
  ALsizei rate_;
  std::uint32_t blockAlign_;
  std::uint8_t silence_;
  std::uint32_t size_;  // whole blocks only
  std::int32_t volume_ = 0;
  SoundParameters params_;
  std::vector<std::uint8_t> bytes_;  // size_ of them once filled
  bool looping_ = false;             // played looping and not stopped since
};

}  // namespace

bool OpenAlAudio::Context::MoveToNewDevice() {
  const auto [newDevice, newContext] = OpenDefaultDevice();
  if (!newDevice) return false;
  if (alcGetCurrentContext() != context) alcMakeContextCurrent(context);
  for (OpenAlBuffer* buffer : buffers) buffer->Drop();
  CloseDevice(device, context);
  device = newDevice;
  context = newContext;
  watchable_ = ReportsDisconnect(device);
  // Even if it cannot be made current, the new device is the one kept: the
  // dead one is gone already and calls simply fail.
  Start();
  ApplyListener();
  for (OpenAlBuffer* buffer : buffers) buffer->Rebuild();
  if (paused) ApplyPause();
  return true;
}

void OpenAlAudio::Pause(bool paused) {
  if (context_->paused == paused) return;
  context_->paused = paused;
  context_->ApplyPause();
}

namespace {

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// With no sound card, OpenAL Soft and the ALSA library it probes each print
// their failures on stderr, though the show just goes on silently, as on
// Windows. Both are quietened, unless the user asked for OpenAL's log.
void QuietenFailedProbes() {
  setenv("ALSOFT_LOGLEVEL", "0", 0);
  // Left loaded on purpose: OpenAL's own dlopen gets this same library, with
  // the handler set.
  if (void* alsa = dlopen("libasound.so.2", RTLD_LAZY)) {
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) set(IgnoreAlsaError);
  }
}

}  // namespace

std::unique_ptr<OpenAlAudio> OpenAlAudio::Open() {
  QuietenFailedProbes();
  const auto [device, context] = OpenDefaultDevice();
  if (!device) return nullptr;
  auto shared = std::make_shared<Context>(device, context);
  if (!shared->Start()) return nullptr;
  auto audio = std::unique_ptr<OpenAlAudio>(new OpenAlAudio(std::move(shared)));
  if (Failed(audio->SetListener(audio->context_->listener))) return nullptr;
  return audio;
}

OpenAlAudio::OpenAlAudio(std::shared_ptr<Context> context) : context_(std::move(context)) {}

OpenAlAudio::~OpenAlAudio() = default;

std::unique_ptr<SoundBuffer> OpenAlAudio::CreateBuffer(const WaveFormat& format, std::uint32_t bytes,
                                                       HResult& result) {
  constexpr std::uint16_t kPcm = 1;
  ALenum alFormat = 0;
  if (format.channels == 1 && format.bitsPerSample == 8) alFormat = AL_FORMAT_MONO8;
  if (format.channels == 1 && format.bitsPerSample == 16) alFormat = AL_FORMAT_MONO16;
  if (format.channels == 2 && format.bitsPerSample == 8) alFormat = AL_FORMAT_STEREO8;
  if (format.channels == 2 && format.bitsPerSample == 16) alFormat = AL_FORMAT_STEREO16;
  if (format.formatTag != kPcm || alFormat == 0 || format.blockAlign != format.channels * format.bitsPerSample / 8 ||
      format.samplesPerSecond < kRateMin || format.samplesPerSecond > kRateMax) {
    result = kBadSoundFormat;
    return nullptr;
  }
  if (bytes < kBufferBytesMin || bytes > kBufferBytesMax || bytes < format.blockAlign) {
    result = kInvalidArgument;
    return nullptr;
  }

  context_->Bind();
  ALuint source = 0, buffer = 0;
  alGenSources(1, &source);
  if (alGetError() != AL_NO_ERROR) {
    result = kOutOfMemory;  // out of voices
    return nullptr;
  }
  alGenBuffers(1, &buffer);
  if (alGetError() != AL_NO_ERROR) {
    alDeleteSources(1, &source);
    result = kOutOfMemory;
    return nullptr;
  }
  auto made = std::make_unique<OpenAlBuffer>(context_, source, buffer, alFormat, format, bytes);
  result = made->Init();
  if (Failed(result)) return nullptr;
  return made;
}

HResult OpenAlAudio::GetListener(ListenerParameters& parameters) {
  parameters = context_->listener;
  return kOk;
}

HResult OpenAlAudio::SetListener(const ListenerParameters& p) {
  if (!Finite(p.position) || !Finite(p.velocity) || !UsableOrientation(p.front, p.top) ||
      !std::isfinite(p.distanceFactor) || !(p.distanceFactor > 0.0f) || !(p.rolloffFactor >= 0.0f) ||
      !(p.rolloffFactor <= kRolloffMax) || !(p.dopplerFactor >= 0.0f) || !(p.dopplerFactor <= kDopplerMax))
    return kInvalidArgument;
  context_->listener = p;
  context_->Bind();
  context_->ApplyListener();
  for (OpenAlBuffer* buffer : context_->buffers) buffer->ListenerChanged();
  return AlResult();
}

// Scene units only matter to Doppler here: the speed of sound in units a
// second. Distances are in scene units on both sides already.
HResult OpenAlAudio::SetDistanceFactor(float metresPerUnit) {
  if (!std::isfinite(metresPerUnit) || !(metresPerUnit > 0.0f)) return kInvalidArgument;
  context_->listener.distanceFactor = metresPerUnit;
  context_->Bind();
  const float speed = kSpeedOfSound / metresPerUnit;
  alSpeedOfSound(std::isfinite(speed) ? speed : std::numeric_limits<float>::max());
  return AlResult();
}

void OpenAlAudio::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace brisane
