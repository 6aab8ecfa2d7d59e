#include "show/frame.h"

#include <algorithm>

namespace brisane {

void FramePasses::Add(FrameStep step, FramePass& pass) {
  const auto after = std::upper_bound(entries_.begin(), entries_.end(), step,
                                      [](FrameStep s, const Entry& e) { return s < e.step; });
  entries_.insert(after, Entry{step, &pass});
}

void FramePasses::Remove(const FramePass& pass) {
  std::erase_if(entries_, [&](const Entry& e) { return e.pass == &pass; });
}

FrameStatus FramePasses::RunFrame(FrameContext& frame, const std::function<HResult()>& present) {
  // Passes may add or remove others while they run; the frame keeps to the
  // list as it stood when it began.
  const std::vector<Entry> passes = entries_;
  auto firstDraw = std::find_if(passes.begin(), passes.end(),
                                [](const Entry& e) { return e.step >= kFirstDrawStep; });
  for (auto it = passes.begin(); it != firstDraw; ++it) it->pass->Run(frame);
  const auto draw = [&](Device&) {
    for (auto it = firstDraw; it != passes.end(); ++it) it->pass->Run(frame);
  };
  return DrawFrame(frame.device, 0, draw, present);
}

}  // namespace brisane
