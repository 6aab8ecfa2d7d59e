// A frame pass that runs one member function of the object that owns it, so
// a feature with several passes needs no class for each.
#pragma once

#include <string_view>

#include "show/frame.h"

namespace brisane {

template <typename Owner>
class MemberPass final : public FramePass {
 public:
  using Step = void (Owner::*)(FrameContext&);

  MemberPass(Owner& owner, Step step, std::string_view name) : owner_(owner), step_(step), name_(name) {}
  std::string_view Name() const override { return name_; }
  void Run(FrameContext& frame) override { (owner_.*step_)(frame); }

 private:
  Owner& owner_;
  Step step_;
  std::string_view name_;
};

}  // namespace brisane
