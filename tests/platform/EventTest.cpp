#include <gtest/gtest.h>
#include "platform/Event.h"
TEST(Event, Placeholder) { smt::platform::Event e; EXPECT_FALSE(e.Wait(std::chrono::milliseconds(1))); }
