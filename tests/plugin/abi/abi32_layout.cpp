// Compiled for a 32-bit target only: the static_asserts in the ABI header check
// the record layouts that 32-bit hosts rely on.
#include "plugin/vst2_abi.h"

namespace halvane {

static_assert(sizeof(void*) == 4, "this file checks the 32-bit layout");

} // namespace halvane
