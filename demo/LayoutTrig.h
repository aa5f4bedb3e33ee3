// Float sine and cosine through double, and the float degree factor, as the
// cube snake and the particle layout both compute their angles.
#pragma once

#include <cmath>

constexpr float kDegreesToRadians = 0.017453292f;

inline float SinF(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
inline float CosF(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
