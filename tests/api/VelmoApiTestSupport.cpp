// Shared pieces of the C-interface tests.
#include "api/VelmoApiTestSupport.h"

#include "client/DrawFrame.h"

namespace velmo_test {

velmo_init_params default_params(const char* config_dir, int priority)
{
    velmo_init_params params;
    velmo_default_params(&params);
    params.config_dir = config_dir;
    params.priority = priority;
    return params;
}

void VelmoApiGLTest::TearDown()
{
    release();
    PlayerGLTest::TearDown();
}

void VelmoApiGLTest::init(const velmo_init_params& params)
{
    _instance = velmo_init(&params);
    ASSERT_NE(_instance, nullptr);
    expect_player_current();
}

void VelmoApiGLTest::release()
{
    if (!_instance)
        return;
    EXPECT_EQ(velmo_release(_instance), 0);
    _instance = nullptr;
    expect_player_current();
}

int VelmoApiGLTest::process(int texid, int width, int height, velmo_output_frame& out, int tex_type)
{
    velmo_input_frame in = {width, height, texid, 0, tex_type};
    int result = velmo_process(_instance, &in, &out);
    expect_player_current();
    return result;
}

int VelmoApiGLTest::process_until_drawn(int texid, int width, int height, velmo_output_frame& out)
{
    const velmo_input_frame in = {width, height, texid, 0, 0};
    const velmo_client::DrawnFrame frame = velmo_client::draw_frame(_instance, in, 10);
    expect_player_current();
    out = frame.out;
    return frame.drawn ? frame.submissions - 1 : -1;
}

} // namespace velmo_test
