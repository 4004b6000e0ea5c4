// Loaded with LD_PRELOAD into a program that prints: the program is killed (SIGKILL, as kill -9)
// at its first write of a document to CUPS, after the job was created and its document begun.

#include <csignal>
#include <cstddef>

extern "C" int cupsWriteRequestData(void*, const char*, size_t)
{
    std::raise(SIGKILL);
    return 0;
}
