// Renderer start-up benchmark: times, with the real classes, the bootstrap
// GLEW load, the context creation (GLRenderer::Init), the loading bar set-up,
// each shader program the show loads, and each texture's decode and upload
// (the show's images, or a generated 1536 x 2048 cross when absent). Prints
// milliseconds and each phase's share of the whole. Runs on $DISPLAY, or on a
// private Xvfb when none is set.
//
// Usage: startup_bench [FSAA samples, default 4] [show folder]
#include <stb_image.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppWindow.h"
#include "platform/platform.h"
#include "render/GLRenderer.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"
#include "render/gl.h"

#ifdef TESSEL_BENCH_XVFB
#include "tests/support/xvfb_server.h"
#endif

namespace {

struct Row {
    std::string phase;
    double ms;
};

// Milliseconds `work` takes, GL work finished included.
double Time(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    glFinish();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

platform::Result Procedure(platform::WindowHandle window, platform::MessageId message, platform::WParam wParam,
                           platform::LParam lParam) {
    return platform::DefWindowProc(window, message, wParam, lParam);
}

// A vertical cross of gradients, 1536 x 2048, written as JPEG like the show's.
std::string MakeCross(const std::string& folder) {
    const int width = 1536, height = 2048;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>(x * 255 / width);
            p[1] = static_cast<unsigned char>(y * 255 / height);
            p[2] = static_cast<unsigned char>((x ^ y) & 0xFF);
        }
    const std::string path = folder + "/GeneratedCross.jpg";
    stbi_write_jpg(path.c_str(), width, height, 3, pixels.data(), 90);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::atoi(argv[1]) : 4;
    const std::string show = argc > 2 ? argv[2] : TESSEL_SHOW_DIR;

#ifdef TESSEL_BENCH_XVFB
    std::unique_ptr<XvfbServer> server;
    if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) {
        server = std::make_unique<XvfbServer>(1920, 1080);
        if (!server->ok()) {
            std::fprintf(stderr, "could not start Xvfb\n");
            return 1;
        }
        server->Export();
    }
#endif
    if (chdir(show.c_str()) != 0) {
        std::fprintf(stderr, "no show folder at %s\n", show.c_str());
        return 1;
    }
    std::vector<Row> rows;

    platform::Instance instance = platform::GetInstance();
    if (!instance) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    platform::WindowClass windowClass;
    windowClass.style = platform::CS_OWNDC;
    windowClass.procedure = Procedure;
    windowClass.instance = instance;
    windowClass.className = u"TesselBench";
    platform::RegisterClass(windowClass);

    AppWindow bootstrap;
    bootstrap.instance = instance;
    bool loaded = false;
    rows.push_back({"bootstrap window + glewInit", Time([&] {
                        bootstrap.handle = platform::CreateWindow(0, u"TesselBench", u"bootstrap",
                                                                  platform::WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, instance);
                        loaded = bootstrap.handle && bootstrap.LoadGLExtensions();
                    })});
    if (!loaded) {
        std::fprintf(stderr, "GLEW could not be loaded\n");
        return 1;
    }
    platform::WindowHandle window = platform::CreateWindow(0, u"TesselBench", u"Tessel bench",
                                                           platform::WS_OVERLAPPEDWINDOW, 0, 0, 1280, 720, instance);
    platform::ShowWindow(window, platform::SW_SHOW);

    GLRenderer renderer;
    bool started = false;
    rows.push_back({"context + GL state (Init, FSAA " + std::to_string(samples) + ")",
                    Time([&] { started = renderer.Init(window, samples); })});
    if (!started) {
        std::fprintf(stderr, "the renderer could not start\n");
        return 1;
    }
    gRenderer = &renderer;
    rows.push_back({"loading bar set-up + first draw", Time([&] {
                        renderer.InitLoadingBar();
                        renderer.loadingProgress = 10;
                        renderer.DrawLoadingBar();
                    })});

    struct Program {
        const char* label;
        const char *vertex, *fragment, *geometry;
    };
    const Program programs[] = {
        {"particles", "./Shaders/EmitterParticle.vert", "./Shaders/EmitterParticle.frag", "./Shaders/PointSprite.geom"},
        {"floor (Phong)", "./Shaders/Phong.vert", "./Shaders/Phong.frag", nullptr},
        {"rain snake (Phong)", "./Shaders/Phong.vert", "./Shaders/Phong.frag", nullptr},
        {"tunnel snake (Phong)", "./Shaders/Phong.vert", "./Shaders/Phong.frag", nullptr},
        {"tunnel (TexturedLit)", "./Shaders/TexturedLit.vert", "./Shaders/TexturedLit.frag", nullptr},
        {"bloom copy", "./Shaders/RenderFBO.vert", "./Shaders/RenderFBO.frag", nullptr},
        {"bloom high pass", "./Shaders/RenderFBO.vert", "./Shaders/HighPass.frag", nullptr},
        {"bloom blur H", "./Shaders/RenderFBO.vert", "./Shaders/BlurH.frag", nullptr},
        {"bloom blur V", "./Shaders/RenderFBO.vert", "./Shaders/BlurV.frag", nullptr},
        {"bloom mix", "./Shaders/RenderFBO.vert", "./Shaders/Mix.frag", nullptr},
    };
    std::vector<ShaderProgram> loadedPrograms(sizeof programs / sizeof programs[0]);
    for (size_t i = 0; i < loadedPrograms.size(); ++i) {
        bool ok = false;
        double ms = Time([&] { ok = loadedPrograms[i].Load(programs[i].vertex, programs[i].fragment, programs[i].geometry); });
        rows.push_back({std::string("shader: ") + programs[i].label + (ok ? "" : " (FAILED)"), ms});
    }

    // The show's images, with a generated cross standing in for a missing one.
    std::string scratch;
    std::string sprite = "./Textures/Floater2.png";
    std::string cross = "./Textures/CubeMapTest.jpg";
    if (!std::filesystem::exists(cross)) {
        char pattern[] = "/tmp/tessel-bench-XXXXXX";
        if (mkdtemp(pattern)) scratch = pattern;
        cross = MakeCross(scratch);
    }
    struct Image {
        std::string path;
        bool cube;
    };
    for (const Image& image : {Image{sprite, false}, Image{cross, true}}) {
        int width = 0, height = 0, components = 0;
        stbi_uc* pixels = nullptr;
        const double decode = Time([&] { pixels = stbi_load(image.path.c_str(), &width, &height, &components, 4); });
        const std::string name = std::filesystem::path(image.path).filename().string();
        if (!pixels) {
            rows.push_back({"decode " + name + " (missing)", decode});
            continue;
        }
        const std::string size = " " + std::to_string(width) + "x" + std::to_string(height);
        rows.push_back({"decode " + name + size, decode});
        ITexture* texture = nullptr;
        rows.push_back({std::string(image.cube ? "upload cube map " : "upload texture ") + name, Time([&] {
                            texture = image.cube ? renderer.CreateCubeMapTexture(pixels, height, width)
                                                 : renderer.CreateTexture(pixels, height, width);
                        })});
        stbi_image_free(pixels);
        renderer.DeleteTexture(texture);
        delete texture;
    }

    for (ShaderProgram& program : loadedPrograms) program.Delete();
    renderer.ShutdownLoadingBar();
    renderer.Shutdown();
    if (!scratch.empty()) std::filesystem::remove_all(scratch);

    double total = 0;
    for (const Row& row : rows) total += row.ms;
    std::printf("%-48s %10s %8s\n", "phase", "ms", "share");
    for (const Row& row : rows)
        std::printf("%-48s %10.2f %7.1f%%\n", row.phase.c_str(), row.ms, total > 0 ? 100.0 * row.ms / total : 0.0);
    std::printf("%-48s %10.2f %7.1f%%\n", "total", total, 100.0);
    std::printf("(the loading screen's 250 ms pause is not counted)\n");
    return 0;
}
