// The process-wide pointers; none of them owns what it points to.
#include "core/Engine.h"
#include "core/ILogger.h"
#include "render/IRenderer.h"
#include "sync/SyncSystem.h"

Engine* gEngine = nullptr;
ILogger* gLogger = nullptr;
IRenderer* gRenderer = nullptr;
SyncSystem* gSyncSystem = nullptr;
