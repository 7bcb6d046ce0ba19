#pragma once
// Name tables filled by the main frame at start-up, before any worker runs:
// feed-type names (3 languages x 9 feed types) from the language files and
// speed-use names (3 languages x 8 uses), built in.
#include <array>
#include <string>

#include "core/Machine.h"
