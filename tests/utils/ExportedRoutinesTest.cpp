// libvelmo.so exports the CPU routines: row kernels under plain names, the rest in kx_velmo; the
// public header declares exactly what the library's own headers declare.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "velmo/velmo_cpu.h"
#include "velmo/utils/RGBUtil.h"
#include "velmo/utils/cpu_id.h"
#include "velmo/utils/row_any.h"
#include "velmo/utils/row_common.h"
#include "velmo/utils/row_neon.h"
#include "velmo/utils/scale_common.h"
#include "velmo/utils/scale_neon.h"
#include "velmo/utils/scaling.h"

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

// Deduction fails, and this file does not compile, when a name stands for an overload set.
template <typename... Functions>
bool all_single_functions(Functions... functions)
{
    return (... && (functions != nullptr));
}

} // namespace

// A public declaration that drifted from the library's would be a second overload, one the
// library never defines; a C-linkage one would not compile beside the library's declaration.
TEST(ExportedRoutines, PublicHeaderMatchesTheLibrary)
{
    using namespace kx_velmo;
    EXPECT_TRUE(all_single_functions(&SR_CopyPlane, &SR_SplitUVPlane, &SR_MergeUVPlane, &SR_NV12ToI420,
                                     &SR_I420ToNV12, &SR_RGBAToRGB24, &SR_ScalePlane, &SR_UVScale, &SR_I420Scale,
                                     &SR_NV12Scale, &SR_ScalePlaneUp2_Bilinear, &SR_ScaleUVBilinearUp2,
                                     &SR_ScaleFilterReduce, &FixedDiv_C, &FixedDiv1_C, &SR_ScaleSlope, &SR_CopyRow_C,
                                     &SR_RGBAToRGB24Row_C, &SR_SplitUVRow_C, &SR_MergeUVRow_C));
    EXPECT_EQ(&cpu_info_, &kx_velmo::cpu_info_);
}

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
