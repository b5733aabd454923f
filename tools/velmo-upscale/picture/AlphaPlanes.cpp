// Alpha planes resized with libswscale and merged into the read-back pictures.
#include "AlphaPlanes.h"

#include <algorithm>
#include <new>

namespace velmo_upscale {

AlphaPlanes::AlphaPlanes(int out_width, int out_height)
    : _out_width(out_width), _out_height(out_height), _result(out_width, out_height)
{
}

void AlphaPlanes::keep(const RgbaImage& frame, int64_t index)
{
    _scaler.reset(sws_getCachedContext(_scaler.release(), frame.width, frame.height, AV_PIX_FMT_GRAY8, _out_width,
                                       _out_height, AV_PIX_FMT_GRAY8, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr,
                                       nullptr, nullptr));
    if (!_scaler)
        throw std::bad_alloc();
    _input_alpha.resize(frame.pixels.size() / 4);
    for (size_t i = 0; i < _input_alpha.size(); ++i)
        _input_alpha[i] = frame.pixels[i * 4 + 3];
    std::vector<uint8_t>& alpha = _kept[index];
    alpha.resize(static_cast<size_t>(_out_width) * static_cast<size_t>(_out_height));
    const uint8_t* source[4] = {_input_alpha.data(), nullptr, nullptr, nullptr};
    const int source_stride[4] = {frame.width, 0, 0, 0};
    uint8_t* target[4] = {alpha.data(), nullptr, nullptr, nullptr};
    const int target_stride[4] = {_out_width, 0, 0, 0};
    sws_scale(_scaler.get(), source, source_stride, 0, frame.height, target, target_stride);
}

const uint8_t* AlphaPlanes::apply(const uint8_t* pixels, int stride, int64_t index)
{
    auto kept = _kept.find(index);
    const size_t row_bytes = static_cast<size_t>(_out_width) * 4;
    for (int y = 0; y < _out_height; ++y)
        std::copy_n(pixels + static_cast<size_t>(y) * static_cast<size_t>(stride), row_bytes, _result.at(0, y));
    if (kept != _kept.end()) {
        for (size_t i = 0; i < kept->second.size(); ++i)
            _result.pixels[i * 4 + 3] = kept->second[i];
        _kept.erase(kept);
    }
    return _result.pixels.data();
}

} // namespace velmo_upscale
