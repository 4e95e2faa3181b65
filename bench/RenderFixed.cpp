// A fixed amount of rendering for instruction counts:
//   valgrind --tool=callgrind --collect-atstart=no halvane-render-fixed
//       <voices> <seconds> [synthe|brass|strings|all] [scalar|sse2|avx2]
// Only the rendering after the warm-up is collected, so instructions per
// voice-sample = Ir / (voices * seconds * 44288).

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#endif

#include "BenchSetup.h"

using namespace halvane;

int main(int argc, char** argv) {
    const int voices = argc > 1 ? std::atoi(argv[1]) : 64;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 1;
    bench::Load load = bench::Load::kSynthe;
    if (argc > 3) {
        if (!std::strcmp(argv[3], "brass"))
            load = bench::Load::kBrass;
        else if (!std::strcmp(argv[3], "strings"))
            load = bench::Load::kStrings;
        else if (!std::strcmp(argv[3], "all"))
            load = bench::Load::kAll;
    }
    const VoicePath path = bench::PathNamed(argc > 4 ? argv[4] : "");
    bench::Rig rig(load, voices, voices == 1, path);
    CALLGRIND_TOGGLE_COLLECT;
    rig.RenderBlocks(bench::kBlocksPerSecond * seconds);
    CALLGRIND_TOGGLE_COLLECT;
    std::printf("%d voices, %d samples rendered after the warm-up, %s voices\n", voices,
                bench::kSamplesPerSecond * seconds, bench::PathName(rig.Get().ActiveVoicePath()));
    return 0;
}
