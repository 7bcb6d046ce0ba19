#pragma once
// Name tables filled by the main frame at start-up, before any worker runs:
// feed-type names (3 languages x 9 feed types) from the language files and
// speed-use names (3 languages x 8 uses), built in.
#include <array>
#include <string>

inline std::array<std::string, 27> g_strFeedTypeNames;  // language * 9 + feed type
inline std::array<std::string, 24> g_strSpeedNames;     // language * 8 + speed use
