// stb_image's PNG decoder and stb_image_write's PNG encoder (Debian's
// libstb-dev), compiled here alone and without the project's warnings: the
// code is theirs. Only PNG, from memory, without SIMD, floating point, files
// or thread-local state, and no image wider or taller than the branding tool
// decodes (png_codec.h).
#include "brand/png_codec.h"

#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_SIMD
#define STBI_NO_THREAD_LOCALS
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS kLargestPngSide
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
