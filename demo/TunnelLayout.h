// The snake scene's tunnel: 64 rings of 32 panels around the z axis. Pure
// transforms, so the ring geometry can be checked without GL.
#pragma once

#include <glm/glm.hpp>

constexpr int kTunnelRings = 64;
constexpr int kTunnelPanels = 32;
constexpr float kTunnelPanelAngle = 11.25f;  // degrees between panels of a ring
constexpr float kTunnelTurnPerBeat = 8.0f;   // degrees per beat of effect time

// Rings 0 and 1 both divide "Tunnel Radius" by 1, ring i > 1 by i.
float TunnelRingDivisor(int ring);

// The model matrix of panel j of ring i at effect time t; r1 twists the
// ring, r2 widens it (both "Tunnel Radius" reads, divided by the ring divisor).
glm::mat4 TunnelPanelMatrix(int ring, int panel, float t, float r1, float r2);
