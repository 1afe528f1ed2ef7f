// SHA-1 and SHA-256 on the x86 SHA instructions.
#include "block_functions.h"

namespace digest_internal {

BlocksFunction* const SHA1BlocksOnShaInstructions = nullptr;
BlocksFunction* const SHA256BlocksOnShaInstructions = nullptr;

}  // namespace digest_internal
