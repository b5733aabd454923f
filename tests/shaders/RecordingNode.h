// RecordingNode: a render-graph node for tests that logs its start/update/destory calls and either fills
// its target with colours (one draw call each) or copies its "input_texture".
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFGPU/GRFRenderNode.h"

namespace velmo_test {

using Fill = std::array<float, 4>;

class RecordingNode : public GRF::GRFRenderNode {
public:
    // With no fills the node copies its input. Fill i > 0 covers only the left half of the target, so
    // the result shows the order in which the draw calls ran.
    RecordingNode(std::string label, std::vector<std::string>* log, std::vector<Fill> fills, int width, int height,
                  GRF::GRFRenderNodeTarget target = GRF::GRF_RENDER_NODE_TARGET_TEXTURE, int texture_id = -1);
    ~RecordingNode() override;

    int start() override;
    int update() override;
    int destory() override;

    // Whether "input_texture" was registered when start() ran.
    bool had_input_at_start() const { return _had_input_at_start; }

private:
    std::string _label;
    std::vector<std::string>* _log;
    std::vector<Fill> _fills;
    bool _had_input_at_start = false;
    std::unique_ptr<GRF::GPUVertexArray> _quad;
    std::vector<std::unique_ptr<GRF::GPUDrawCall>> _calls;
};

} // namespace velmo_test
