// Qt 5.15's offscreen platform plugin never frees the screen and cursor it
// creates with the application, so the leak checker would fail every widget
// test run under AddressSanitizer. Only allocations made while the platform
// integration is being created are excused; finding them needs the full
// stack at each allocation, as Qt's libraries keep no frame pointers.
// Without the sanitizers nothing calls these.

extern "C" {

__attribute__((used)) const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

__attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:QGuiApplicationPrivate::createPlatformIntegration\n";
}

} // extern "C"
