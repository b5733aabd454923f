// libvelmo.so exports its external interfaces under their plain names and hides its internals.
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

class LibraryHandle {
public:
    LibraryHandle()
        : _handle(dlopen(VELMO_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~LibraryHandle()
    {
        if (_handle)
            dlclose(_handle);
    }
    void* handle() const { return _handle; }

private:
    void* _handle;
};

} // namespace

TEST(ExportedSymbols, LoggerIsExportedUnmangled)
{
    LibraryHandle library;
    ASSERT_NE(library.handle(), nullptr) << dlerror();
    EXPECT_NE(dlsym(library.handle(), "grf_log_log"), nullptr);
}

TEST(ExportedSymbols, InternalsStayHidden)
{
    LibraryHandle library;
    ASSERT_NE(library.handle(), nullptr) << dlerror();
    // The HiLog stand-in is the platform's, not part of the library's interface.
    EXPECT_EQ(dlsym(library.handle(), "OH_LOG_Print"), nullptr);
    // Exported classes keep their mangled C++ names: GRF::GRFString::GRFString(const char*).
    EXPECT_NE(dlsym(library.handle(), "_ZN3GRF9GRFStringC1EPKc"), nullptr);
}
