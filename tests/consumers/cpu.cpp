// A C++ program built against an installed velmo only: both public headers compile as C++, and a
// CPU routine runs from the installed library.
#include <velmo/velmo_api.h>
#include <velmo/velmo_cpu.h>

#include <cstdio>

int main()
{
    const unsigned char src[4] = {10, 20, 30, 40};
    unsigned char dst[3] = {0, 0, 0};
    if (kx_velmo::SR_RGBAToRGB24(src, 4, dst, 3, 1, 1) != 0 || dst[0] != 10 || dst[1] != 20 || dst[2] != 30) {
        std::fprintf(stderr, "consumer: SR_RGBAToRGB24 gave %d %d %d\n", dst[0], dst[1], dst[2]);
        return 1;
    }
    std::printf("consumer: velmo %s CPU routines\n", VELMO_VERSION_STRING);
    return 0;
}
