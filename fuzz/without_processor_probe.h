// Forced into the check-list fuzz build (fuzz/run_check_lists.sh): clang 14 refuses feature
// names such as "sha" that the processor probes ask for. The list reader hashes nothing, so
// that build simply reports no processor-specific instructions.
#pragma once
#define __builtin_cpu_supports(feature) 0
