#pragma once
// The run flags and events the part list sets and opens around a run, and
// the run clock, are the machine object's `run` (core/Machine.h).
#include "core/Machine.h"
