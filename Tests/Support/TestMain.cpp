#include <gtest/gtest.h>

#include "TestEnvironment.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    Tests::PrepareEnvironment(argc, argv);
    return RUN_ALL_TESTS();
}

// The sound libraries load plugins whose own start-up allocations are never given back; the
// leak checker of sanitizer builds is told to look past them.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:snd_dlopen\n";
}

// Those plugins are built without frame pointers: only the slow unwinder reaches the frame the
// suppression above names.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

// The synthesizer loads its SoundFont with OpenMP worker threads, and the sound server's client
// library (reached through the ALSA plugin) runs a thread of its own; both synchronise in ways
// the thread checker cannot see (their code is not instrumented). So does a JACK server: the
// test recorder reads the port buffers Ticova's client wrote in the same cycle, after it, in the
// order the server runs its clients.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libgomp.so.1\nrace:libpulsecommon\nrace:libpulse.so\nrace:Tests::JackRecorder::Process\n";
}
