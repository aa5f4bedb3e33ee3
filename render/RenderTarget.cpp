// Placeholder until render targets are built.
#include "render/RenderTarget.h"

bool RenderTarget::Create(int, int, bool) { return false; }
void RenderTarget::Bind() {}
void RenderTarget::Unbind() {}
void RenderTarget::Destroy() {}
