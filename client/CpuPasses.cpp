// The pass chain on the CPU: one band-split call of SR_UpscaleRGBA or SR_StretchRGBA per pass.
#include "client/CpuPasses.h"

#include <atomic>

#include "client/PassPlan.h"
#include "velmo/velmo_cpu.h"

namespace velmo_client {

CpuPasses::CpuPasses(const Settings& settings, int width, int height, const std::vector<float>& scales)
    : _width(width), _height(height)
{
    int w = width;
    int h = height;
    for (size_t i = 0; i < scales.size(); ++i) {
        Pass pass;
        pass.width = w;
        pass.height = h;
        if (!output_size(w, h, scales[i], pass.output_width, pass.output_height)) {
            _valid = false;
            _passes.clear();
            return;
        }
        Settings pass_drawn = pass_settings(settings, i, scales.size());
        pass.upscales = upscales_at(pass_drawn.priority, w, h);
        // The CPU pass reads no configuration folder.
        pass.params = pass_drawn.init_params("");
        if (i + 1 < scales.size())
            pass.result = RgbaImage(pass.output_width, pass.output_height);
        w = pass.output_width;
        h = pass.output_height;
        _passes.push_back(std::move(pass));
    }
}

bool CpuPasses::draw(const uint8_t* src, int src_stride, uint8_t* dst, int dst_stride, BandThreads& threads)
{
    if (!_valid)
        return false;
    std::atomic<bool> refused{false};
    const uint8_t* input = src;
    int input_stride = src_stride;
    for (size_t i = 0; i < _passes.size(); ++i) {
        const Pass& pass = _passes[i];
        bool last = i + 1 == _passes.size();
        uint8_t* output = last ? dst : _passes[i].result.pixels.data();
        int output_stride = last ? dst_stride : pass.output_width * 4;
        threads.draw(pass.output_height, [&](int begin, int end) {
            int result = pass.upscales
                             ? kx_velmo::SR_UpscaleRGBA(input, input_stride, pass.width, pass.height, output,
                                                        output_stride, pass.output_width, pass.output_height, begin,
                                                        end, &pass.params)
                             : kx_velmo::SR_StretchRGBA(input, input_stride, pass.width, pass.height, output,
                                                        output_stride, pass.output_width, pass.output_height, begin,
                                                        end);
            if (result != 0)
                refused = true;
        });
        if (refused)
            return false;
        input = output;
        input_stride = output_stride;
    }
    return true;
}

} // namespace velmo_client
