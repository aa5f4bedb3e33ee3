// PictureEncoder: a frame as read back (width x height RGBA, rows bottom-up)
// into an image file's bytes: JPEG through libjpeg-turbo's TurboJPEG API
// (quality 90, 4:2:0 chroma), or lossless PNG as tessel-capture --frames writes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// False with *error when the encoder refused the picture.
bool EncodeJpeg(const std::vector<uint8_t>& rgba, int width, int height, std::string* jpeg, std::string* error);
bool EncodePng(const std::vector<uint8_t>& rgba, int width, int height, std::string* png, std::string* error);
