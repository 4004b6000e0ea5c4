// libFuzzer target: any bytes played as a page picture onto a recorder.

#include "gdi/EmfPlayer.h"
#include "gdi/EmfRecorder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quillon::EmfRecorder target(quillon::Size{21000, 29700});
    quillon::playEmf({data, size}, target, {300, 0});
    target.finish();
    return 0;
}
