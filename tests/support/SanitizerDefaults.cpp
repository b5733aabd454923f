// Sanitizer builds of the GL suites only: AddressSanitizer's defaults for programs that load Mesa.
// Tracking dynamic TLS through __tls_get_addr records blocks of the driver's libraries that glibc
// later reuses; at exit the leak checker then walks a stale range and its tracer crashes
// ("Tracer caught signal 11"), failing a test that passed. Pointers the driver keeps in its
// dynamic TLS are the driver's own, and tests/lsan.supp names the driver anyway.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
