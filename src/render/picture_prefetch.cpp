#include "render/picture_prefetch.h"

#include <system_error>
#include <utility>

namespace brisane {

PicturePrefetch::PicturePrefetch(std::vector<std::span<const std::uint8_t>> pictures, std::uint32_t maxWidth,
                                 std::uint32_t maxHeight, std::size_t aheadBytes)
    : maxWidth_(maxWidth), maxHeight_(maxHeight), aheadBytes_(aheadBytes) {
  slots_.reserve(pictures.size());
  for (std::span<const std::uint8_t> bytes : pictures) {
    // The first of equal starts wins; a later one is decoded when asked.
    if (bytes.empty() || !index_.emplace(bytes.data(), slots_.size()).second) continue;
    slots_.emplace_back().bytes = bytes;
  }
  if (slots_.empty()) return;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: every picture is then decoded when asked for.
  }
}

PicturePrefetch::~PicturePrefetch() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void PicturePrefetch::Run() {
  for (Slot& slot : slots_) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || held_ <= aheadBytes_; });
      if (stop_) return;
      if (slot.step != Step::Waiting) continue;  // the loader got there first
      slot.step = Step::Decoding;
    }
    DecodedPicture picture;
    bool decoded = false;
    try {
      decoded = DecodePicture(slot.bytes.data(), slot.bytes.size(), picture, maxWidth_, maxHeight_);
    } catch (...) {
      // Left to the loader, which then meets the same failure where it can answer it.
      {
        const std::lock_guard lock(mutex_);
        slot.step = Step::Waiting;
      }
      changed_.notify_all();
      continue;
    }
    {
      const std::lock_guard lock(mutex_);
      held_ += picture.pixels.size();
      slot.picture = std::move(picture);
      slot.decoded = decoded;
      slot.step = Step::Ready;
    }
    changed_.notify_all();
  }
}

bool PicturePrefetch::Take(std::span<const std::uint8_t> bytes, DecodedPicture& out) {
  const auto found = index_.find(bytes.data());
  if (found != index_.end() && slots_[found->second].bytes.size() == bytes.size()) {
    Slot& slot = slots_[found->second];
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return slot.step != Step::Decoding; });
    const Step step = std::exchange(slot.step, Step::Taken);
    if (step == Step::Ready) {
      held_ -= slot.picture.pixels.size();
      out = std::move(slot.picture);
      slot.picture = DecodedPicture{};
      const bool decoded = slot.decoded;
      lock.unlock();
      changed_.notify_all();
      return decoded;
    }
  }
  return DecodePicture(bytes.data(), bytes.size(), out, maxWidth_, maxHeight_);
}

}  // namespace brisane
