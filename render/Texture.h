// Texture objects: a GL texture name with the size of its source image.
// Textures carry no sampling state; users sample through their own samplers.
#pragma once

#include <cstdint>

class ITexture {
public:
    virtual ~ITexture() {}  // releases the object, not the GL texture
    int height = 0;
    int width = 0;
    uint32_t id = 0;
    uint32_t format = 0;
};

class GLTexture : public ITexture {};
