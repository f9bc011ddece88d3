// The stb image decoder and PNG writer, compiled once for the display layer.
// Third-party code: built with its warnings silenced (see CMakeLists.txt).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_HDR
#define STBI_NO_PSD
#define STBI_NO_PIC
#define STBI_NO_TGA
#define STBI_MAX_DIMENSIONS 4096
#include <stb/stb_image.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
