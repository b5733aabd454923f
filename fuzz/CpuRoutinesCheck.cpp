// One call of an exported CPU routine, decoded from fuzz input and run twice: with the portable
// and with the NEON kernels. Both runs must return the same result and leave the same bytes, write
// nothing outside the destination rows and nothing at all into the sources; every plane is fenced
// by inaccessible pages, so a read past either end faults. Now and then one argument is replaced by
// an extreme value that the routine must refuse without touching any plane.
#include "Checks.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "FuzzInput.h"
#include "utils/GuardedPlane.h"
#include "velmo/utils/RGBUtil.h"
#include "velmo/utils/scaling.h"

using namespace kx_velmo;
using velmo_test::ForcedKernels;
using velmo_test::GuardedEnd;
using velmo_test::GuardedPlane;

namespace velmo_fuzz {
namespace {

enum Routine {
    COPY_PLANE,
    SPLIT_UV,
    MERGE_UV,
    NV12_TO_I420,
    I420_TO_NV12,
    RGBA_TO_RGB24,
    SCALE_PLANE,
    UV_SCALE,
    I420_SCALE,
    NV12_SCALE,
    PLANE_UP2,
    UV_UP2,
    ROUTINE_COUNT
};

// Plane layout as the input chose it; the bytes come from a seed so that both runs start alike.
struct PlaneLayout {
    int row_bytes;
    int rows;
    int stride;
    int lead;
    GuardedEnd flush;
    unsigned seed;
    bool source;
    bool null;
};

struct PlaneArgument {
    unsigned char* data;
    int stride;
};

// Every routine's integer arguments, in one place so that one of them can be made extreme.
struct Sizes {
    int width = 0;  // CPU conversions: the image width; scalers: the source width
    int height = 0; // the image or source height (negative flips)
    int dst_width = 0;
    int dst_height = 0;
    FilterMode filter = FILTER_BILINEAR;
};

int half_up(int side)
{
    return (std::abs(side) + 1) / 2;
}

class Call {
public:
    explicit Call(FuzzInput& input)
        : _input(input)
    {
    }

    void plane(int row_bytes, int rows, bool source)
    {
        row_bytes = std::max(row_bytes, 0);
        rows = std::max(rows, 0);
        const std::uint8_t layout = _input.byte();
        // Packed planes let the routines coalesce rows; padded ones test strides.
        const int padding = (layout & 0x3F) < 16 ? 0 : (layout & 0x3F) - 16;
        const int step = row_bytes + padding;
        _planes.push_back(PlaneLayout{row_bytes, rows, (layout & 0x40) ? -step : step, _input.small(0, 15),
                                    (layout & 0x80) ? GuardedEnd::before : GuardedEnd::after,
                                    static_cast<unsigned>(_planes.size()) * 7919u + _seed, source, false});
    }

    void set_seed(unsigned seed) { _seed = seed; }
    std::vector<PlaneLayout>& planes() { return _planes; }

private:
    FuzzInput& _input;
    std::vector<PlaneLayout> _planes;
    unsigned _seed = 0;
};

// The planes each routine reads and writes, in the order run() passes them.
void declare_planes(Routine routine, const Sizes& s, Call& call)
{
    const int w = s.width;
    const int h = std::abs(s.height);
    const int hw = half_up(w);
    const int hh = half_up(h);
    const int dw = s.dst_width;
    const int dh = s.dst_height;
    switch (routine) {
    case COPY_PLANE:
        call.plane(w, h, true);
        call.plane(w, h, false);
        break;
    case SPLIT_UV:
        call.plane(2 * w, h, true);
        call.plane(w, h, false);
        call.plane(w, h, false);
        break;
    case MERGE_UV:
        call.plane(w, h, true);
        call.plane(w, h, true);
        call.plane(2 * w, h, false);
        break;
    case NV12_TO_I420:
        call.plane(w, h, true);
        call.plane(2 * hw, hh, true);
        call.plane(w, h, false);
        call.plane(hw, hh, false);
        call.plane(hw, hh, false);
        break;
    case I420_TO_NV12:
        call.plane(w, h, true);
        call.plane(hw, hh, true);
        call.plane(hw, hh, true);
        call.plane(w, h, false);
        call.plane(2 * hw, hh, false);
        break;
    case RGBA_TO_RGB24:
        call.plane(4 * w, h, true);
        call.plane(3 * w, h, false);
        break;
    case SCALE_PLANE:
    case PLANE_UP2:
        call.plane(w, h, true);
        call.plane(dw, dh, false);
        break;
    case UV_SCALE:
    case UV_UP2:
        call.plane(2 * w, h, true);
        call.plane(2 * dw, dh, false);
        break;
    case I420_SCALE:
        call.plane(w, h, true);
        call.plane(half_up(w), half_up(h), true);
        call.plane(half_up(w), half_up(h), true);
        call.plane(dw, dh, false);
        call.plane(half_up(dw), half_up(dh), false);
        call.plane(half_up(dw), half_up(dh), false);
        break;
    case NV12_SCALE:
        call.plane(w, h, true);
        call.plane(2 * half_up(w), half_up(h), true);
        call.plane(dw, dh, false);
        call.plane(2 * half_up(dw), half_up(dh), false);
        break;
    case ROUTINE_COUNT:
        break;
    }
}

// Runs the routine; void routines report 0.
int run(Routine routine, const Sizes& s, const std::vector<PlaneArgument>& p)
{
    switch (routine) {
    case COPY_PLANE:
        SR_CopyPlane(p[0].data, p[0].stride, p[1].data, p[1].stride, s.width, s.height);
        return 0;
    case SPLIT_UV:
        SR_SplitUVPlane(p[0].data, p[0].stride, p[1].data, p[1].stride, p[2].data, p[2].stride, s.width, s.height);
        return 0;
    case MERGE_UV:
        SR_MergeUVPlane(p[0].data, p[0].stride, p[1].data, p[1].stride, p[2].data, p[2].stride, s.width, s.height);
        return 0;
    case NV12_TO_I420:
        return SR_NV12ToI420(p[0].data, p[0].stride, p[1].data, p[1].stride, p[2].data, p[2].stride, p[3].data,
                             p[3].stride, p[4].data, p[4].stride, s.width, s.height);
    case I420_TO_NV12:
        return SR_I420ToNV12(p[0].data, p[0].stride, p[1].data, p[1].stride, p[2].data, p[2].stride, p[3].data,
                             p[3].stride, p[4].data, p[4].stride, s.width, s.height);
    case RGBA_TO_RGB24:
        return SR_RGBAToRGB24(p[0].data, p[0].stride, p[1].data, p[1].stride, s.width, s.height);
    case SCALE_PLANE:
        SR_ScalePlane(p[0].data, p[0].stride, s.width, s.height, p[1].data, p[1].stride, s.dst_width, s.dst_height,
                      s.filter);
        return 0;
    case UV_SCALE:
        return SR_UVScale(p[0].data, p[0].stride, s.width, s.height, p[1].data, p[1].stride, s.dst_width,
                          s.dst_height, s.filter);
    case I420_SCALE:
        return SR_I420Scale(p[0].data, p[0].stride, p[1].data, p[1].stride, p[2].data, p[2].stride, s.width,
                            s.height, p[3].data, p[3].stride, p[4].data, p[4].stride, p[5].data, p[5].stride,
                            s.dst_width, s.dst_height, s.filter);
    case NV12_SCALE:
        return SR_NV12Scale(p[0].data, p[0].stride, p[1].data, p[1].stride, s.width, s.height, p[2].data, p[2].stride,
                            p[3].data, p[3].stride, s.dst_width, s.dst_height, s.filter);
    case PLANE_UP2:
        SR_ScalePlaneUp2_Bilinear(s.width, s.height, s.dst_width, s.dst_height, p[0].stride, p[1].stride, p[0].data,
                                  p[1].data);
        return 0;
    case UV_UP2:
        SR_ScaleUVBilinearUp2(s.width, s.height, s.dst_width, s.dst_height, p[0].stride, p[1].stride, p[0].data,
                              p[1].data);
        return 0;
    case ROUTINE_COUNT:
        break;
    }
    return 0;
}

bool is_scaler(Routine routine)
{
    return routine >= SCALE_PLANE;
}

// A destination side for a source side: mostly the supported 2x sizes, sometimes anything small.
int destination_side(FuzzInput& input, int source_side)
{
    const int magnitude = std::abs(source_side);
    switch (input.pick(4)) {
    case 0: return 2 * magnitude;
    case 1: return 2 * magnitude - 1;
    case 2: return input.small(-2, 80);
    default: return 2 * magnitude - input.small(-1, 2);
    }
}

// Replaces one argument (or a source side and the destination side that goes with it) with a
// value the routine must refuse.
void make_extreme(Routine routine, Sizes& s, FuzzInput& input)
{
    // Sides beyond any plane this check can build, each refused where it is used below.
    static const int kHuge[] = {INT_MIN, INT_MIN + 1, INT_MAX, (1 << 30) + 1, -(1 << 30) - 1};
    const int huge = kHuge[input.pick(sizeof kHuge / sizeof kHuge[0])];
    if (!is_scaler(routine)) {
        // Conversions take sizes on trust, but a non-positive width or a height of INT_MIN is refused.
        if (input.one_in(2))
            s.width = huge > 0 ? -huge : huge;
        else
            s.height = INT_MIN;
        return;
    }
    const auto twice = [](int side) {
        const long long doubled = 2LL * std::abs(static_cast<long long>(side));
        return static_cast<int>(std::min<long long>(doubled, INT_MAX));
    };
    // The image scalers refuse sources beyond 32768 on a side; every scaler refuses 2x results
    // that no int can hold.
    const bool limited = routine == UV_SCALE || routine == I420_SCALE || routine == NV12_SCALE;
    const int side = limited && input.one_in(2) ? (input.one_in(2) ? 32769 : 40000) : huge;
    switch (input.pick(4)) {
    case 0:
        s.width = side;
        s.dst_width = twice(side);
        break;
    case 1:
        s.height = input.one_in(2) ? side : (side == INT_MIN ? INT_MIN : -side);
        s.dst_height = twice(s.height);
        break;
    case 2: s.dst_width = huge; break;
    default: s.dst_height = huge; break;
    }
}

struct Run {
    int result = 0;
    std::vector<std::vector<std::uint8_t>> destinations;
    std::vector<bool> guards_intact;
    std::vector<bool> untouched;
};

std::unique_ptr<GuardedPlane> build(const PlaneLayout& plane)
{
    std::mt19937 fill(plane.seed);
    return std::make_unique<GuardedPlane>(plane.row_bytes, plane.rows, plane.stride, plane.lead, fill, plane.flush);
}

} // namespace

std::string check_cpu_routines(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const Routine routine = static_cast<Routine>(input.pick(ROUTINE_COUNT));
    Sizes sizes;
    if (is_scaler(routine)) {
        sizes.width = input.small(-1, 48);
        sizes.height = input.small(-24, 24);
        sizes.dst_width = destination_side(input, sizes.width);
        sizes.dst_height = destination_side(input, sizes.height);
        sizes.filter = static_cast<FilterMode>(input.pick(4));
    } else {
        sizes.width = input.small(-1, 100);
        sizes.height = input.small(-20, 20);
    }

    Call call(input);
    call.set_seed(input.u32());
    declare_planes(routine, sizes, call);
    std::vector<PlaneLayout>& planes = call.planes();
    if (input.one_in(24))
        planes[input.pick(planes.size())].null = true;
    const bool extreme = input.one_in(16);
    if (extreme)
        make_extreme(routine, sizes, input);

    // The sources are shared by both runs; the rest of the input becomes their first bytes.
    std::vector<std::unique_ptr<GuardedPlane>> sources(planes.size());
    for (std::size_t i = 0; i < planes.size(); ++i) {
        if (!planes[i].source)
            continue;
        sources[i] = build(planes[i]);
        std::vector<std::uint8_t> bytes = sources[i]->packed();
        for (auto& byte : bytes) {
            if (input.empty())
                break;
            byte = input.byte();
        }
        sources[i]->set_packed(bytes);
    }

    Run runs[2];
    const int kernel_sets[2] = {velmo_test::PORTABLE_KERNELS, velmo_test::NEON_KERNELS};
    for (int k = 0; k < 2; ++k) {
        std::vector<std::unique_ptr<GuardedPlane>> destinations(planes.size());
        std::vector<PlaneArgument> arguments;
        for (std::size_t i = 0; i < planes.size(); ++i) {
            GuardedPlane* plane = planes[i].source ? sources[i].get() : (destinations[i] = build(planes[i])).get();
            arguments.push_back({planes[i].null ? nullptr : plane->data(), plane->stride()});
        }
        {
            ForcedKernels forced(kernel_sets[k]);
            runs[k].result = run(routine, sizes, arguments);
        }
        for (std::size_t i = 0; i < planes.size(); ++i) {
            const GuardedPlane& plane = planes[i].source ? *sources[i] : *destinations[i];
            runs[k].untouched.push_back(plane.untouched());
            runs[k].guards_intact.push_back(plane.guards_intact());
            if (!planes[i].source)
                runs[k].destinations.push_back(plane.packed());
        }
    }

    const std::string name = "routine " + std::to_string(routine) + ": ";
    if (runs[0].result != runs[1].result)
        return name + "the kernel sets return " + std::to_string(runs[0].result) + " and " +
               std::to_string(runs[1].result);
    if (runs[0].destinations != runs[1].destinations)
        return name + "the kernel sets write different bytes";
    for (int k = 0; k < 2; ++k) {
        for (std::size_t i = 0; i < planes.size(); ++i) {
            if (planes[i].source && !runs[k].untouched[i])
                return name + "source plane " + std::to_string(i) + " was written";
            if (!runs[k].guards_intact[i])
                return name + "plane " + std::to_string(i) + " was written outside its rows";
            if (extreme && !runs[k].untouched[i])
                return name + "an extreme argument was not refused: plane " + std::to_string(i) + " was written";
        }
        if (extreme && !is_scaler(routine) && routine >= NV12_TO_I420 && runs[k].result != -1)
            return name + "an extreme argument was not refused";
        if (extreme && (routine == UV_SCALE || routine == I420_SCALE || routine == NV12_SCALE) &&
            runs[k].result != -1)
            return name + "an extreme argument was not refused";
    }
    return {};
}

} // namespace velmo_fuzz
