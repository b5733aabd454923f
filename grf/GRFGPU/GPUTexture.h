// GPUTexture: one GL texture name and its target, either created and owned here or wrapped from a caller.
#pragma once

#include <cstdint>

#include "grf/GRFExport.h"

namespace GRF {

// Selects the GL target; any value other than GPU_TEXTURE_OES means GL_TEXTURE_2D.
enum GPUTextureType : int32_t {
    GPU_TEXTURE_2D = 0,
    GPU_TEXTURE_OES = 1,
};

class GPUTexturePrivate;

// Ownership is decided at construction: texture_id -1 creates a texture that this object deletes;
// any other name (0 included) is wrapped and never deleted, because it belongs to the caller.
// Every operation except bind_texture leaves nothing bound to the target on the active unit.
class GRF_EXPORT GPUTexture {
public:
    GPUTexture(GPUTextureType type, int texture_id);
    ~GPUTexture();

    GPUTexture(const GPUTexture&) = delete;
    GPUTexture& operator=(const GPUTexture&) = delete;

    // (Re)allocates level 0 with rows tightly packed (unpack alignment 1, left at 1). A null data
    // allocates storage without content. Returns 0.
    int set_data(unsigned char* data, int width, int height, int format, int type);
    int set_data_with_internal_format(unsigned char* data, int width, int height, int internal_format, int format,
                                      int type);
    int set_data_RGBA(unsigned char* data, int width, int height);

    // Reads from the framebuffer currently bound for reading (not from the texture itself) into a
    // tightly packed buffer (pack alignment 1, left at 1). Returns 0, or -1 for a null buffer while no
    // pixel-pack buffer is bound.
    int get_data(unsigned char* data, int x, int y, int width, int height, int format, int type);
    int get_data_RGBA(unsigned char* data, int x, int y, int width, int height);

    // Binds the texture to its target on the active unit and leaves it bound. Returns 0.
    int bind_texture();

    int get_texture_id() const;

private:
    GPUTexturePrivate* _private;
};

} // namespace GRF
