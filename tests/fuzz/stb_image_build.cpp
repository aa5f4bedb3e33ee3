// stb_image's decoder compiled into the fuzz build, in place of the system
// library, so that the fuzzer sees and sanitises its code as well.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
