// Reference 2x bilinear upsampling, written from the per-pixel weights rather than the kernels' steps.
#pragma once

#include <cstdint>
#include <vector>

namespace velmo_test {

// Upsamples a packed plane of src_width elements per row of `channels` interleaved bytes
// (1: plane, 2: U,V pairs) to dst_width × dst_height, where each source side is half the destination
// side rounded up. Source rows are in image order.
std::vector<std::uint8_t> reference_up2(const std::vector<std::uint8_t>& src, int src_width, int dst_width,
                                        int dst_height, int channels);

} // namespace velmo_test
