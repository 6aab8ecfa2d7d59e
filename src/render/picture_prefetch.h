// Pictures decoded on a second thread ahead of a loader that asks for them
// one at a time, so that a scene's loading overlaps its decoding. What the
// loader gets is what DecodePicture gives, whichever thread decoded it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <unordered_map>
#include <vector>

#include "render/texture_fill.h"

namespace brisane {

class PicturePrefetch {
 public:
  // A few pictures: a scene asks for them nearly in the archive's order.
  static constexpr std::size_t kAheadBytes = std::size_t{4} << 20;

  // pictures: JPEG bytes in about the order they will be asked for, valid
  // until this is destroyed. The thread stays at most aheadBytes of decoded
  // pixels ahead of what was taken.
  PicturePrefetch(std::vector<std::span<const std::uint8_t>> pictures, std::uint32_t maxWidth,
                  std::uint32_t maxHeight, std::size_t aheadBytes = kAheadBytes);
  ~PicturePrefetch();  // stops the thread; pictures not taken are dropped
  PicturePrefetch(const PicturePrefetch&) = delete;
  PicturePrefetch& operator=(const PicturePrefetch&) = delete;

  // DecodePicture's answer for bytes, at the sizes given above. A picture
  // the thread has not begun (or one not in the list, or asked again) is
  // decoded here rather than waited for.
  bool Take(std::span<const std::uint8_t> bytes, DecodedPicture& out);

 private:
  enum class Step { Waiting, Decoding, Ready, Taken };
  struct Slot {
    std::span<const std::uint8_t> bytes;
    Step step = Step::Waiting;
    bool decoded = false;
    DecodedPicture picture;
  };
  void Run();

  std::uint32_t maxWidth_, maxHeight_;
  std::size_t aheadBytes_;
  std::vector<Slot> slots_;
  std::unordered_map<const std::uint8_t*, std::size_t> index_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t held_ = 0;  // decoded bytes not yet taken
  bool stop_ = false;
  std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace brisane
