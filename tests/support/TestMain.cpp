// Entry of every test program: a crash must fail the test, never pass as exit code 0.
#include <gtest/gtest.h>
#include <windows.h>

namespace {
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
    fprintf(stderr, "test program crashed: exception 0x%08lx\n",
            info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0UL);
    fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}
} // namespace

int main(int argc, char** argv) {
    ::SetUnhandledExceptionFilter(&CrashFilter);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
