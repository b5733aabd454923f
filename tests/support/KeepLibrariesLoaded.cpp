// Sanitizer builds only: keeps dlopen'ed libraries (Mesa's driver) mapped until exit, so the
// leak checker can name the library that holds an allocation and tests/lsan.supp can match it.
// Without this the driver is unloaded by eglTerminate and its leftovers show as "<unknown module>".
extern "C" __attribute__((visibility("default"))) int dlclose(void*)
{
    return 0;
}
