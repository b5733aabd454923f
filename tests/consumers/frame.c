/* A program built against an installed velmo only: one frame through the C interface on a
 * headless OpenGL ES 3 context, checked for the output size. Argument: a writable folder for
 * configure.ini. */
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>
#include <stdio.h>
#include <stdlib.h>

#include <velmo/velmo_api.h>

enum { IN_WIDTH = 64, IN_HEIGHT = 36 };

static int records;

static void count_record(const char* record, void* user)
{
    (void)record;
    ++*(int*)user;
}

static int fail(const char* what, int32_t result)
{
    fprintf(stderr, "consumer: %s (%d: %s)\n", what, (int)result, velmo_result_string(result));
    return 1;
}

static GLuint input_texture(void)
{
    static unsigned char pixels[IN_WIDTH * IN_HEIGHT * 4];
    for (int i = 0; i < IN_WIDTH * IN_HEIGHT; ++i) {
        pixels[4 * i + 0] = (unsigned char)(i % IN_WIDTH * 4);
        pixels[4 * i + 1] = (unsigned char)(i / IN_WIDTH * 7);
        pixels[4 * i + 2] = (unsigned char)(i * 13);
        pixels[4 * i + 3] = 255;
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, IN_WIDTH, IN_HEIGHT, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    return texture;
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return fail("usage: consumer CONFIG_DIR", 0);
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, NULL, NULL) || !eglBindAPI(EGL_OPENGL_ES_API))
        return fail("no EGL display (EGL_PLATFORM=surfaceless?)", 0);
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
        return fail("no OpenGL ES 3 context", 0);

    velmo_set_log_callback(count_record, &records);
    /* velmo's own defaults and size rule: the player copies neither. */
    velmo_init_params params;
    if (velmo_default_params(&params) != VELMO_OK)
        return fail("velmo_default_params", 0);
    params.config_dir = argv[1];
    int32_t out_width = 0, out_height = 0;
    int32_t result = velmo_output_size(IN_WIDTH, IN_HEIGHT, 1.5f, &out_width, &out_height);
    if (result != VELMO_OK || out_width != 96 || out_height != 54)
        return fail("velmo_output_size", result);
    void* instance = velmo_init(&params);
    if (!instance)
        return fail("velmo_init", 0);
    result = velmo_set_input_props(instance, IN_WIDTH, IN_HEIGHT, 1.5f);
    if (result != VELMO_OK)
        return fail("velmo_set_input_props", result);

    /* The first calls pass the input through while the instance sets itself up. */
    velmo_input_frame in = {IN_WIDTH, IN_HEIGHT, (int32_t)input_texture(), 0, 0};
    velmo_output_frame out = {0, 0, 0};
    for (int call = 0; call < 5 && (call == 0 || out.texid == in.texid); ++call) {
        result = velmo_process(instance, &in, &out);
        if (result != VELMO_OK)
            return fail("velmo_process", result);
    }
    if (out.texid == in.texid)
        return fail("velmo_process never drew the frame", 0);
    if (out.width != out_width || out.height != out_height) {
        fprintf(stderr, "consumer: output %d x %d, expected %d x %d\n", (int)out.width, (int)out.height,
                (int)out_width, (int)out_height);
        return 1;
    }

    /* The output texture must hold a drawn out_width x out_height image: its last pixel reads
     * back, one past it does not exist. */
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, (GLuint)out.texid, 0);
    unsigned char pixel[4] = {0, 0, 0, 0};
    glReadPixels(out_width - 1, out_height - 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR ||
        pixel[3] != 255)
        return fail("the output texture does not read back", 0);
    glDeleteFramebuffers(1, &framebuffer);

    velmo_release(instance);
    velmo_set_log_callback(NULL, NULL);
    if (records == 0)
        return fail("no log record reached the callback", 0);
    printf("consumer: velmo %s drew %d x %d -> %d x %d\n", velmo_version(), IN_WIDTH, IN_HEIGHT, (int)out.width,
           (int)out.height);
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    eglTerminate(display);
    return 0;
}
