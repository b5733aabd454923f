// libvelmo.so exports the CPU routines: row kernels under plain names, the rest in kx_velmo.
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

class Library {
public:
    Library()
        : _handle(dlopen(VELMO_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL))
    {
    }
    ~Library()
    {
        if (_handle)
            dlclose(_handle);
    }
    bool has(const char* symbol) const { return dlsym(_handle, symbol) != nullptr; }
    void* handle() const { return _handle; }

private:
    void* _handle;
};

} // namespace

TEST(ExportedRoutines, RowKernelsHavePlainNames)
{
    Library library;
    ASSERT_NE(library.handle(), nullptr) << dlerror();
    for (const char* name : {"SR_CopyRow_NEON", "SR_ARGBToRGB24Row_NEON", "SR_SplitUVRow_NEON", "SR_MergeUVRow_NEON",
                             "SR_CopyRow_Any_NEON", "SR_ARGBToRGB24Row_Any_NEON", "SR_SplitUVRow_Any_NEON",
                             "SR_MergeUVRow_Any_NEON", "SR_ScaleRowUp2_Bilinear_C", "SR_ScaleRowUp2_Bilinear_NEON",
                             "SR_ScaleRowUp2_Bilinear_Any_C", "SR_ScaleRowUp2_Bilinear_Any_NEON",
                             "SR_ScaleUVRowUp2_Bilinear_C", "SR_ScaleUVRowUp2_Bilinear_NEON",
                             "SR_ScaleUVRowUp2_Bilinear_Any_C", "SR_ScaleUVRowUp2_Bilinear_Any_NEON"})
        EXPECT_TRUE(library.has(name)) << name;
}

TEST(ExportedRoutines, RoutinesAndFeatureWordLiveInTheNamespace)
{
    Library library;
    ASSERT_NE(library.handle(), nullptr) << dlerror();
    for (const char* name : {
             "_ZN8kx_velmo9cpu_info_E",
             "_ZN8kx_velmo10FixedDiv_CEii",
             "_ZN8kx_velmo11FixedDiv1_CEii",
             "_ZN8kx_velmo12SR_CopyRow_CEPKhPhi",
             "_ZN8kx_velmo12SR_CopyPlaneEPKhiPhiii",
             "_ZN8kx_velmo13SR_NV12ToI420EPKhiS1_iPhiS2_iS2_iii",
             "_ZN8kx_velmo13SR_ScalePlaneEPKhiiiPhiiiNS_10FilterModeE",
             "_ZN8kx_velmo12SR_I420ScaleEPKhiS1_iS1_iiiPhiS2_iS2_iiiNS_10FilterModeE",
         })
        EXPECT_TRUE(library.has(name)) << name;
}

TEST(ExportedRoutines, InternalsStayHidden)
{
    Library library;
    ASSERT_NE(library.handle(), nullptr) << dlerror();
    EXPECT_FALSE(library.has("_ZN8kx_velmo14SR_TestCpuFlagEi"));
    EXPECT_FALSE(library.has("_ZN8kx_velmo15SR_InitCpuFlagsEv"));
    // Kernels of the namespace are not also exported under plain names.
    EXPECT_FALSE(library.has("SR_CopyRow_C"));
}
