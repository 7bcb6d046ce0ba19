#pragma once
// Requests the Windows machines made of the system that have no meaning on
// this desktop: sounds on link errors and keeping the PC awake while the
// machine is connected. Both are accepted and do nothing.
#include <string_view>

namespace smt::platform {

inline void PlaySoundFile(std::string_view /*wavPath*/) {}
inline void KeepSystemAwake(bool /*on*/) {}

}  // namespace smt::platform
