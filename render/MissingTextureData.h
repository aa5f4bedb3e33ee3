// The fallback texture's PNG bytes, built into the executable from
// render/MissingTexture.png (a 32 x 32 magenta and black checker).
#pragma once

#include <cstddef>

// The PNG file's bytes; *size receives their count.
const unsigned char* MissingTexturePng(size_t* size);
