// The option text when the heap refuses its block: null, nothing kept.
#include <chip_util/fmea.h>
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include "support/alloc_counter.hpp"

namespace {

TEST(HeapRefusal, OptionTextIsNull) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const char *command = "set addr[0x10] val[3]";
  {
    chip_test::AllocFailure failing;
    EXPECT_EQ(drv_fmea_get_opt_string(command, "val"), nullptr);
    EXPECT_EQ(failing.remaining(), 0u);  // the one allocation was tried
  }
  char *text = drv_fmea_get_opt_string(command, "val");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "val[3]");
  hdk_free(text);
}

}  // namespace
