// A test program that dies of a fault fails: under Wine, after the debugger's report, its exit code may say 0.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest.h>
#include <windows.h>

static LONG WINAPI Died(EXCEPTION_POINTERS *) { return TerminateProcess(GetCurrentProcess(), 3), 0; }

int main(int argc, char **argv) { return SetUnhandledExceptionFilter(Died), doctest::Context(argc, argv).run(); }
