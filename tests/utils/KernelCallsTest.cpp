// How often SR_CopyPlane runs a copy row kernel: packed planes coalesce into one call, a plane
// copied onto itself runs none. This executable defines the exported kernel names itself, so the
// library's calls (made through its dynamic symbol references) land here first; each stand-in
// records the call and forwards it to the library's own kernel.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GuardedPlane.h"
#include "velmo/utils/RGBUtil.h"

using velmo_test::ForcedKernels;
using Bytes = std::vector<unsigned char>;

namespace {

using CopyRowFn = void (*)(const unsigned char*, unsigned char*, int);

struct KernelCall {
    std::string kernel;
    int count;
    bool operator==(const KernelCall& other) const { return kernel == other.kernel && count == other.count; }
};

std::vector<KernelCall> g_calls;

void record_and_forward(const char* kernel, const char* symbol, const unsigned char* src, unsigned char* dst,
                        int count)
{
    g_calls.push_back({kernel, count});
    const auto real = reinterpret_cast<CopyRowFn>(dlsym(RTLD_NEXT, symbol));
    ASSERT_NE(real, nullptr) << symbol << ": " << dlerror();
    real(src, dst, count);
}

std::ostream& operator<<(std::ostream& out, const KernelCall& call)
{
    return out << call.kernel << "(" << call.count << ")";
}

} // namespace

// Default visibility, so the stand-ins enter the executable's dynamic symbol table.
#define STAND_IN __attribute__((visibility("default")))

extern "C" STAND_IN void SR_CopyRow_NEON(const unsigned char* src, unsigned char* dst, int count)
{
    record_and_forward("neon", "SR_CopyRow_NEON", src, dst, count);
}

extern "C" STAND_IN void SR_CopyRow_Any_NEON(const unsigned char* src, unsigned char* dst, int count)
{
    record_and_forward("any_neon", "SR_CopyRow_Any_NEON", src, dst, count);
}

namespace kx_velmo {

STAND_IN void SR_CopyRow_C(const unsigned char* src, unsigned char* dst, int count)
{
    record_and_forward("portable", "_ZN8kx_velmo12SR_CopyRow_CEPKhPhi", src, dst, count);
}

} // namespace kx_velmo

TEST(KernelCalls, PackedRowsCoalesceAndSelfCopiesRunNoKernel)
{
    for (const int kernels : {velmo_test::NEON_KERNELS, velmo_test::PORTABLE_KERNELS}) {
        ForcedKernels forced(kernels);
        const std::string kernel = kernels == velmo_test::NEON_KERNELS ? "neon" : "portable";
        SCOPED_TRACE(kernel);
        Bytes src(64 * 4);
        for (std::size_t i = 0; i < src.size(); ++i)
            src[i] = static_cast<unsigned char>(i * 7 + 1);
        Bytes dst(64 * 4, 0);

        // If the library bound its kernels to itself, nothing would be seen here at all; the checks
        // of "no call" below rely on this one seeing its call.
        g_calls.clear();
        kx_velmo::SR_CopyPlane(src.data(), 64, dst.data(), 64, 64, 4);
        EXPECT_EQ(g_calls, (std::vector<KernelCall>{{kernel, 256}}));
        EXPECT_EQ(dst, src);

        // Padded rows are copied one kernel call per row.
        g_calls.clear();
        kx_velmo::SR_CopyPlane(src.data(), 64, dst.data(), 64, 32, 4);
        EXPECT_EQ(g_calls, std::vector<KernelCall>(4, {kernel, 32}));

        g_calls.clear();
        kx_velmo::SR_CopyPlane(dst.data(), 64, dst.data(), 64, 64, 4);
        kx_velmo::SR_CopyPlane(dst.data(), 64, dst.data(), 64, 33, 4);
        EXPECT_EQ(g_calls, std::vector<KernelCall>{});
        EXPECT_EQ(dst, src);
    }
}
