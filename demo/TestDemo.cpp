// Placeholder until the demo timeline is built: start-up stops here.
#include "demo/TestDemo.h"

#include "core/Log.h"

TestDemo::TestDemo() { name = "Test Demo"; }
bool TestDemo::Init() {
    LogError("The demo is not built yet!");
    return false;
}
void TestDemo::Shutdown() {}
bool TestDemo::Render() { return false; }
