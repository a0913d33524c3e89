#include "sound/include/osnd.h"

#include <gtest/gtest.h>

TEST(EngineSystem, ReportsVersion) { EXPECT_FLOAT_EQ(OSND_GetVersion(), 3.75f); }
