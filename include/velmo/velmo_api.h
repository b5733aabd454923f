/* velmo: GPU super-resolution for decoded video frames. The only header a player needs; it
 * compiles as C99 and as C++.
 *
 * A player creates one instance per video stream with velmo_init, announces the stream's frame
 * size and the output scale once with velmo_set_input_props, hands every decoded frame's
 * OpenGL ES texture to velmo_process and shows the texture it gets back, and destroys the
 * instance with velmo_release.
 *
 * What the player must provide
 *  - OpenGL ES 3.0 or later through EGL 1.4 with EGL_KHR_create_context. The calling thread's
 *    current context must be an EGL context of OpenGL ES 3: the instance creates its own
 *    OpenGL ES 3 context that shares objects with it, and a desktop OpenGL context cannot share
 *    with an OpenGL ES one. On OpenGL ES 3.1 and later the upscaling pass samples with
 *    textureGather; on 3.0 it runs a fallback variant with plain texture reads and the same
 *    result within rounding.
 *  - Each frame as a complete GL_TEXTURE_2D with 8-bit RGBA content (GL_RGBA8, or GL_RGBA with
 *    GL_UNSIGNED_BYTE), created in that context's share group. It is sampled with the
 *    texture's own filter state, which should be GL_LINEAR for minification and magnification
 *    with no mipmaps required. The values are taken as they are: no colour-space, range or
 *    gamma conversion, and the alpha channel is not carried (the output is opaque). Decode
 *    YUV frames to RGBA before handing them over; external (OES) images are not sampled.
 *
 * What the player gets
 *  - The output keeps the input's orientation: texel row 0 of the input (the first row given to
 *    glTexImage2D) is row 0 of the output, so the output is shown the same way the input
 *    would be.
 *  - Every call that draws waits for the GPU (glFinish) before it returns: the output texture
 *    is complete when velmo_process returns, with no fence to wait on.
 *  - The output texture belongs to the instance. It is the same texture name on every call,
 *    overwritten by the next velmo_process of that instance and deleted by velmo_release: copy
 *    it if a frame must outlive the next call, and never delete it yourself.
 *  - The output texture is a GL_TEXTURE_2D created in the caller's context by the first
 *    velmo_process, with one level (no mipmaps) allocated by glTexImage2D with internal format
 *    GL_RGBA and type GL_UNSIGNED_BYTE (8 bits per channel; GL reports the internal format as
 *    GL_RGBA), and created with GL_LINEAR minification and magnification filters and
 *    GL_CLAMP_TO_EDGE wrapping in S and T. velmo only draws into it and never samples it, so the
 *    caller may change its sampling state (filters, wrap modes, swizzle) to show it; velmo keeps
 *    the caller's settings, also when it reallocates level 0 at a new output size. The caller must
 *    not change its storage: glTexStorage2D would make it impossible to resize, and mipmap levels
 *    it added would keep the old size after a reallocation.
 *  - velmo_process makes the caller's context, display and surfaces current again before it
 *    returns, on every path. velmo draws only in its own context; the two textures it creates
 *    in the caller's context (one at velmo_init, the output texture on the first frame) leave
 *    the caller's texture bindings as they were.
 *
 * Threads
 *  - All calls on one instance come from one thread, the thread whose current context is the
 *    player's (velmo_init creates and velmo_release deletes GL objects, so a context of that
 *    share group must be current for them as well). Different instances may live on different
 *    threads. Nothing in the library starts a thread.
 *  - velmo_version, velmo_result_string, velmo_default_params, velmo_output_size,
 *    velmo_set_log_callback and velmo_set_log_handler may be called from any thread at any time.
 *
 * configure.ini
 *  - The first velmo_set_input_props with a positive size writes <config_dir>/configure.ini, a
 *    plain-text settings file for a separate video-enhancement engine. The library never reads
 *    it back and nothing in it changes what the library does. An existing file is replaced.
 *  - An existing configure.ini the process may not write (for example mode 0444) is refused as
 *    fopen(path, "w") refuses it: -1 and "open configure.ini failed", the file left as it was.
 *  - config_dir must name an existing directory that the process may write in: velmo creates no
 *    directory. A directory that does not exist, a path that is not a directory, or one the
 *    process may not write in makes that velmo_set_input_props report -1 (and log "open
 *    configure.ini failed"); the instance works on normally and the file is not retried.
 *  - config_dir NULL: no file is written; velmo_set_input_props reports -1 once and the
 *    instance works on normally. An empty config_dir names the path "/configure.ini" at the
 *    root of the file system: pass a directory the process owns instead.
 *
 * Failures
 *  - No exception crosses these functions: running out of memory is reported by the result
 *    codes below, and an instance stays usable (a call that failed part-way is completed by a
 *    later one).
 */
#ifndef VELMO_VELMO_API_H
#define VELMO_VELMO_API_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

/* The library version; VELMO_VERSION_STRING is what velmo_version() returns. */
#define VELMO_VERSION_MAJOR 1
#define VELMO_VERSION_MINOR 1
#define VELMO_VERSION_PATCH 5
#define VELMO_VERSION_STRING "1.1.5-250620"

#if defined(__GNUC__)
#define VELMO_API __attribute__((visibility("default")))
#else
#define VELMO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
enum {
    VELMO_OK = 0,                  /* success; also while the instance is still setting up (input passed through) */
    VELMO_ERROR_CONFIG_FILE = -1,  /* configure.ini could not be written */
    VELMO_ERROR_GPU_CONTEXT = -2,  /* the instance's own GPU context cannot be created */
    VELMO_ERROR_VIDEO_SIZE = -3,   /* no valid video size recorded, or no drawable output size */
    VELMO_ERROR_NO_TEXTURE = -4,   /* no input texture (first frame with texid < 0) */
    VELMO_ERROR_INVALID_ARGUMENT = -5, /* a null instance handle or record pointer */
    VELMO_ERROR_SCALE = -10        /* scale factor outside [0, 2], NaN or infinite */
};

/* Settings of a new instance (32 bytes). */
typedef struct velmo_init_params {
    /* Existing directory that receives configure.ini; copied. NULL behaves like an unwritable directory. */
    const char* config_dir;
    /* Pipeline choice: 0 never upscales, 2 always, 3 never, any other value upscales frames
     * larger than 1024 x 576 pixels. */
    int32_t priority;
    /* Sharpness level: 1 (2.0), 2 (1.5), 3 (1.0), or 0 for custom_sharpness; others keep 1.5,
     * and so does level 0 with a NaN or infinite custom_sharpness (finite values are taken as they are). */
    int32_t sr_level;
    float custom_sharpness;
    /* The three flags are one byte each, of which only bit 0 is read (0x02 is off, 0x03 on). */
    bool enable_edge_adaptive;   /* edge-adaptive weighting in the upscaling pass */
    bool enable_fast_sr_smooth;  /* skin-tone bilateral smoothing before upscaling */
    bool enable_face_protection; /* lighter sharpening on skin tones */
    uint8_t reserved;            /* not read */
    float sigma_s;               /* spatial sigma of the smoothing, clamped to [0.25, 3]; NaN gives 0.8 */
    float sigma_r;               /* range sigma of the smoothing, clamped to [0.25, 3]; NaN gives 1.0 */
} velmo_init_params;

/* One decoded frame handed to velmo_process (20 bytes). */
typedef struct velmo_input_frame {
    int32_t width;    /* frame width in pixels */
    int32_t height;   /* frame height in pixels */
    int32_t texid;    /* GL_TEXTURE_2D name in the caller's context; < 0 reuses the previous frame's */
    int32_t unused;   /* not read */
    int32_t tex_type; /* 0 or 1 (both sampled as a 2D texture); any other value skips the frame */
} velmo_input_frame;

/* The frame to show, written by velmo_process (12 bytes). */
typedef struct velmo_output_frame {
    int32_t width;  /* output width in pixels: input width x scale, truncated */
    int32_t height; /* output height in pixels: input height x scale, truncated */
    int32_t texid;  /* texture to show; owned by the instance, valid until velmo_release */
} velmo_output_frame;

/* The library version, "1.1.5-250620"; static storage, the same pointer on every call. */
VELMO_API const char* velmo_version(void);

/* Creates an instance with the given settings. Returns NULL when params is NULL or memory runs out.
 * A context of the caller's share group must be current (one texture is created). */
VELMO_API void* velmo_init(const velmo_init_params* params);

/* Records the stream's frame size and the output scale factor.
 * The scale is stored on every accepted call. The first call with a positive size also records
 * that size, chooses the pipeline once for the instance and writes <config_dir>/configure.ini;
 * later calls change only the scale, and their width and height are not looked at.
 * An existing configure.ini the process may not write is refused (-1), as fopen(path, "w") refuses
 * it. Otherwise configure.ini is written to a temporary file beside it, configure.ini.tmp.<pid>.<n>
 * (a name no other writer uses, so no lock is taken), and renamed over it, so a failed write leaves
 * the previous file whole. The replaced file's owner and mode are kept; a new file gets 0666 less
 * the umask (applied by open: no file is read for it). A symbolic link is written through (the file
 * it names is replaced in its own directory). Where renaming is impossible or would change the
 * file's owner or what the name means (a directory that takes no new files, a file whose owner the
 * process cannot give to a new file, a file with several hard links, a dangling link) the file is
 * rewritten in place instead, and a failure there can leave it partly written. A process killed
 * mid-write leaves at most its temporary file beside an intact file (or, written in place, a
 * partly written configure.ini).
 * Returns:
 *    0  accepted (file written on the first sized call);
 *   -1  configure.ini could not be written or closed (the size and the pipeline choice stay
 *       recorded, and the file is not retried), or memory ran out;
 *   -3  width or height <= 0 while no size is recorded yet: the scale is stored, nothing else
 *       is recorded, no file is written; a later call with a real size proceeds normally;
 *   -5  instance is NULL;
 *   -10 scale outside [0, 2], NaN or infinite: nothing changes. */
VELMO_API int32_t velmo_set_input_props(void* instance, int32_t width, int32_t height, float scale);

/* Upscales one frame. While the instance sets itself up (the first two or three calls) it
 * returns 0 with out->texid = the input texture (in->texid, or the previous frame's texture when
 * in->texid < 0) and the output size already scaled: show the input.
 * The output size is in->width and in->height times the scale, each truncated; it may change from
 * frame to frame (another frame size or scale), and the output texture is then reallocated at it,
 * so out->width x out->height is always the size of the texture out->texid names.
 * Returns:
 *    0  out holds the upscaled (or passed-through) frame; also when in->tex_type is neither 0
 *       nor 1, in which case nothing is drawn and out is left untouched;
 *   -2  no EGL context is current on the calling thread (nothing else happens), the instance's
 *       GPU context cannot be created, or memory ran out (the instance stays usable: a later call
 *       completes what this one could not);
 *   -3  no video size recorded yet; the output size would be below 1 pixel or beyond the int
 *       range; or the recorded video size or the output size exceeds the current context's
 *       GL_MAX_TEXTURE_SIZE or GL_MAX_VIEWPORT_DIMS. Nothing is allocated at that size or drawn;
 *   -4  no input texture (first frame with texid < 0);
 *   -5  instance, in or out is NULL; nothing is touched.
 * On -3 and -4, and on -2 when the instance's own context cannot be created, out still receives the
 * instance's output texture name and the output size (0 for a dimension below 1 pixel or beyond the
 * int range); the texture keeps its previous content and size. On -2 for no current context or
 * for memory running out, out is left untouched. */
VELMO_API int32_t velmo_process(void* instance, const velmo_input_frame* in, velmo_output_frame* out);

/* Releases every GPU object of the instance (in its own context, then the caller's context is
 * current again) and destroys it. NULL is a no-op. Returns 0. */
VELMO_API int32_t velmo_release(void* instance);

/* A constant English text for a result code of this interface ("success" for 0), and
 * "unknown result code" for any other value. Never NULL; static storage. */
VELMO_API const char* velmo_result_string(int32_t code);

/* Fills `params` with the settings velmo is documented to work best with, for a player to
 * start from and change what it wants: config_dir NULL (no configure.ini is written), priority 2
 * (always upscale), sr_level 2 (sharpness 1.5) with custom_sharpness 1.5, edge-adaptive weighting
 * on, smoothing and face protection off, sigma_s 0.8, sigma_r 1.0, reserved 0.
 * Returns 0, or -5 when params is NULL. */
VELMO_API int32_t velmo_default_params(velmo_init_params* params);

/* The output size velmo_process draws a width x height frame at with the given scale: each side
 * times the scale in single precision, truncated toward zero (720 x 1.3 gives 935), exactly as
 * velmo_process computes out->width and out->height. Needs no instance and no GL context.
 * Returns:
 *    0  *out_width and *out_height hold the output size;
 *   -3  a side's output would be below 1 pixel or beyond the int range (a side below 1 among
 *       them): both outputs are set to 0;
 *   -5  out_width or out_height is NULL; nothing is written;
 *  -10  scale outside [0, 2], NaN or infinite (velmo_set_input_props refuses it): both outputs
 *       are set to 0. */
VELMO_API int32_t velmo_output_size(int32_t width, int32_t height, float scale, int32_t* out_width,
                                    int32_t* out_height);

/* Receives one log record of the library: "[file(line)] message", usually ending with a line
 * feed, NUL-terminated and valid only during the call. */
typedef void (*velmo_log_callback)(const char* record, void* user);

/* Routes every log record of the library, from every instance and thread, to callback(record,
 * user) instead of standard error; NULL restores standard error, which is the default. (Where
 * the library is built for OpenHarmony, its two HiLog records stay in HiLog.)
 * Process-wide and thread-safe: records are delivered one at a time, and once this call returns
 * the callback it replaced is neither running nor called again. The callback may log or call
 * this function itself; it must not throw and must not wait for another thread that logs
 * through velmo. It replaces a handler set with velmo_set_log_handler, and is replaced by one. */
VELMO_API void velmo_set_log_callback(velmo_log_callback callback, void* user);

/* Levels of the log records, from least to most serious (OpenHarmony HiLog's values). The library
 * writes INFO for the course of normal work (an instance's settings, the GL driver it found, its
 * release), WARN for what it worked around (a shader compiler's message, smoothing that fell back
 * to a copy) and ERROR for failures (usually paired with a failing result code). */
enum {
    VELMO_LOG_DEBUG = 3,
    VELMO_LOG_INFO = 4,
    VELMO_LOG_WARN = 5,
    VELMO_LOG_ERROR = 6,
    VELMO_LOG_FATAL = 7
};

/* Receives one log record as velmo_log_callback does, with its level (one of VELMO_LOG_*). */
typedef void (*velmo_log_handler)(int32_t level, const char* record, void* user);

/* velmo_set_log_callback for a handler that also takes each record's level: the same records, the
 * same texts and the same promises. NULL restores standard error. Whichever of the two setters was
 * called last decides where records go. */
VELMO_API void velmo_set_log_handler(velmo_log_handler handler, void* user);

#ifdef __cplusplus
}
#endif

/* The records' layout is part of the binary interface (64-bit targets). */
#if defined(__cplusplus)
#define VELMO_STATIC_ASSERT(condition, message) static_assert(condition, message)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define VELMO_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#else
/* C99 has no static assertion: an array type of negative size fails to compile instead. */
#define VELMO_STATIC_ASSERT_NAME(line) velmo_static_assert_##line
#define VELMO_STATIC_ASSERT_AT(condition, line) typedef char VELMO_STATIC_ASSERT_NAME(line)[(condition) ? 1 : -1]
#define VELMO_STATIC_ASSERT_LINE(condition, line) VELMO_STATIC_ASSERT_AT(condition, line)
#define VELMO_STATIC_ASSERT(condition, message) VELMO_STATIC_ASSERT_LINE(condition, __LINE__)
#endif
#if UINTPTR_MAX == UINT64_MAX
VELMO_STATIC_ASSERT(sizeof(velmo_init_params) == 32, "velmo_init_params is 32 bytes");
VELMO_STATIC_ASSERT(offsetof(velmo_init_params, priority) == 8, "priority at 8");
VELMO_STATIC_ASSERT(offsetof(velmo_init_params, sr_level) == 12, "sr_level at 12");
VELMO_STATIC_ASSERT(offsetof(velmo_init_params, custom_sharpness) == 16, "custom_sharpness at 16");
VELMO_STATIC_ASSERT(offsetof(velmo_init_params, enable_edge_adaptive) == 20, "enable_edge_adaptive at 20");
VELMO_STATIC_ASSERT(offsetof(velmo_init_params, enable_fast_sr_smooth) == 21, "enable_fast_sr_smooth at 21");
VELMO_STATIC_ASSERT(offsetof(velmo_init_params, enable_face_protection) == 22, "enable_face_protection at 22");
VELMO_STATIC_ASSERT(offsetof(velmo_init_params, sigma_s) == 24, "sigma_s at 24");
VELMO_STATIC_ASSERT(offsetof(velmo_init_params, sigma_r) == 28, "sigma_r at 28");
#endif
VELMO_STATIC_ASSERT(sizeof(velmo_input_frame) == 20, "velmo_input_frame is 20 bytes");
VELMO_STATIC_ASSERT(offsetof(velmo_input_frame, texid) == 8, "texid at 8");
VELMO_STATIC_ASSERT(offsetof(velmo_input_frame, tex_type) == 16, "tex_type at 16");
VELMO_STATIC_ASSERT(sizeof(velmo_output_frame) == 12, "velmo_output_frame is 12 bytes");
VELMO_STATIC_ASSERT(offsetof(velmo_output_frame, texid) == 8, "output texid at 8");

#endif /* VELMO_VELMO_API_H */
