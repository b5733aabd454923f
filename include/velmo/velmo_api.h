/* velmo: GPU super-resolution for decoded video frames. The only header a player needs.
 *
 * A player creates one instance per video stream with velmo_init, announces the stream's frame
 * size and the output scale once with velmo_set_input_props, hands every decoded frame's
 * OpenGL ES texture to velmo_process and shows the texture it gets back, and destroys the
 * instance with velmo_release.
 *
 * Threads and contexts: all calls on one instance come from one thread. That thread's current
 * EGL context must belong to the share group of the textures it passes (velmo_init and
 * velmo_release also create and delete GL objects, so the same holds for them). velmo_process
 * draws in the instance's own shared context and makes the caller's context, display and
 * surfaces current again before it returns, on every path.
 *
 * No exception crosses these functions: running out of memory is reported by the result codes
 * below, and an instance stays usable (a call that failed part-way is completed by a later one).
 */
#ifndef VELMO_VELMO_API_H
#define VELMO_VELMO_API_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

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
    /* Directory that receives configure.ini; copied. NULL behaves like an unwritable directory. */
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
 * configure.ini is written to configure.ini.tmp beside it and renamed over it, so a failed write
 * leaves the previous file whole. The replaced file's mode is kept, and its owner where the process
 * may set it; a new file gets 0666 less the umask. A symbolic link is written through (the file it
 * names is replaced in its own directory). Where renaming is impossible or would change what the
 * name means (a directory that takes no new files, a file with several hard links, a dangling link)
 * the file is rewritten in place instead, and a failure there can leave it partly written. A process
 * killed mid-write leaves at most configure.ini.tmp beside an intact file (or, written in place, a
 * partly written configure.ini); the next successful write reuses and removes it.
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

#ifdef __cplusplus
}
#endif

/* The records' layout is part of the binary interface (64-bit targets). */
#ifdef __cplusplus
#define VELMO_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define VELMO_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
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
