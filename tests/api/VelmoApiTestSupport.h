// Shared pieces of the C-interface tests: default settings, a player that feeds frames, temporary folders.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/PlayerGLTest.h"
#include "support/TemporaryDirectory.h"
#include "velmo/velmo_api.h"

namespace velmo_test {

// velmo's default settings with the given folder and priority.
velmo_init_params default_params(const char* config_dir, int priority = 1);

// The player fixture with one velmo instance and helpers to feed it frames.
class VelmoApiGLTest : public PlayerGLTest {
protected:
    void TearDown() override;

    // Creates the instance (released in TearDown unless release() was called).
    void init(const velmo_init_params& params);
    void release();

    // One velmo_process call; checks that the player's EGL state is current again afterwards.
    int process(int texid, int width, int height, velmo_output_frame& out, int tex_type = 0);
    // Calls velmo_process until a frame is drawn (out.texid differs from the input); returns the
    // number of pass-through calls before it, or -1 when no frame was drawn within ten calls.
    int process_until_drawn(int texid, int width, int height, velmo_output_frame& out);

    void* _instance = nullptr;
    TemporaryDirectory _config_dir;
};

} // namespace velmo_test
