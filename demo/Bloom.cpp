// The bloom post-processor: targets, quad, samplers and programs in Init; the
// six passes (high pass, downsample, two blurs, upsample, mix) in Render.
#include "demo/Bloom.h"

#include <cmath>

#include "core/Log.h"
#include "demo/SceneContext.h"
#include "render/IRenderer.h"
#include "render/gl.h"
#include "sync/SyncSystem.h"

namespace {
// Clip-space corners drawn as a triangle strip.
const float kQuad[8] = {-1.0f, 1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f, -1.0f};

int TruncateSize(float value) {
    if (!(value >= 1.0f) || !std::isfinite(value) || value > 65536.0f) return 0;
    return static_cast<int>(value);
}

// Creates the target at its computed size; logs the error and fails otherwise.
bool CreateTarget(RenderTarget& target, const BloomTargetSize& size, const char* error) {
    if (target.Create(size.width, size.height, size.withDepth)) return true;
    LogError(error);
    return false;
}

bool LoadPass(ShaderProgram& program, const char* fragmentPath, const char* error) {
    if (program.Load("./Shaders/RenderFBO.vert", fragmentPath, nullptr)) return true;
    LogError(error);
    return false;
}
}  // namespace

BloomTargetSizes ComputeBloomTargetSizes(float rendererWidth, float rendererHeight) {
    BloomTargetSizes sizes;
    int w = TruncateSize(rendererWidth);
    int h = TruncateSize(rendererHeight);
    sizes.main = BloomTargetSize{w, h, true};
    sizes.blur = BloomTargetSize{w, h, true};
    sizes.downsampled = BloomTargetSize{kBloomGlowSize, kBloomGlowSize, false};
    sizes.downsampled2 = BloomTargetSize{kBloomGlowSize, kBloomGlowSize, false};
    return sizes;
}

Bloom::Bloom() { name = "Bloom"; }

bool Bloom::Init() {
    BloomTargetSizes sizes = gRenderer ? ComputeBloomTargetSizes(gRenderer->width, gRenderer->height)
                                       : ComputeBloomTargetSizes(0, 0);
    if (!CreateTarget(mainTarget, sizes.main, "Failed to initialize Main Frame Buffer!")) return false;
    if (!CreateTarget(blurTarget, sizes.blur, "Failed to initialize Blur Frame Buffer!")) return false;
    if (!CreateTarget(downsampledTarget, sizes.downsampled, "Failed to initialize Downsampled Frame Buffer!"))
        return false;
    if (!CreateTarget(downsampled2Target, sizes.downsampled2, "Failed to initialize Downsampled_2 Frame Buffer!"))
        return false;

    glGenBuffers(1, &quadBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(kQuad), kQuad, GL_STATIC_DRAW);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(0);

    sampler = MakeClampedSampler(GL_LINEAR);
    secondSampler = MakeClampedSampler(GL_LINEAR);

    if (!LoadPass(copyProgram, "./Shaders/RenderFBO.frag", "Failed to initialize Copy Shader!")) return false;
    if (!LoadPass(mixProgram, "./Shaders/Mix.frag", "Failed to initialize Mix Shader!")) return false;
    if (!LoadPass(blurHorizontalProgram, "./Shaders/BlurH.frag", "Failed to initialize Horizontal Blur Shader!"))
        return false;
    if (!LoadPass(blurVerticalProgram, "./Shaders/BlurV.frag", "Failed to initialize Vertical Blur Shader!"))
        return false;
    if (!LoadPass(highPassProgram, "./Shaders/HighPass.frag", "Failed to initialize High Pass Shader!"))
        return false;

    texSamplerLocation = mixProgram.GetUniformLocation("TexSampler");
    texSampler2Location = mixProgram.GetUniformLocation("TexSampler2");
    fadeLocation = mixProgram.GetUniformLocation("Fade");
    fadeTrack = FetchTrack("Fade");
    bloomDryTrack = FetchTrack("Bloom Dry");
    bloomDryLocation = mixProgram.GetUniformLocation("BloomDry");
    bloomWetTrack = FetchTrack("Bloom Wet");
    bloomWetLocation = mixProgram.GetUniformLocation("BloomWet");
    exposureTrack = FetchTrack("Exposure");
    exposureLocation = mixProgram.GetUniformLocation("Exposure");
    bloomCutoffTrack = FetchTrack("Bloom Cutoff");
    bloomCutoffLocation = highPassProgram.GetUniformLocation("BloomCutoff");
    flashTrack = FetchTrack("Flash");
    flashLocation = mixProgram.GetUniformLocation("Flash");
    vignetteTrack = FetchTrack("Vignette");
    vignetteLocation = mixProgram.GetUniformLocation("Vignette");

    copySamplerLocation = copyProgram.GetUniformLocation("TexSampler");
    highPassSamplerLocation = highPassProgram.GetUniformLocation("TexSampler");
    blurHSamplerLocation = blurHorizontalProgram.GetUniformLocation("TexSampler");
    blurVSamplerLocation = blurVerticalProgram.GetUniformLocation("TexSampler");
    return true;
}

void Bloom::Begin() {
    mainTarget.Bind();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Bloom::DrawQuad() {
    glBindBuffer(GL_ARRAY_BUFFER, quadBuffer);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void Bloom::SinglePass(RenderTarget& source, RenderTarget& target, ShaderProgram& pass,
                       int32_t samplerLocation, float time, const TrackHandle* cutoff) {
    target.Bind();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    pass.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(samplerLocation, 0);
    if (cutoff) glUniform1f(bloomCutoffLocation, ReadTrack(cutoff));
    glBindSampler(0, sampler);
    glBindTexture(GL_TEXTURE_2D, source.ColorTexture());
    DrawQuad();
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
    target.Unbind();
}

void Bloom::Render(float time) {
    mainTarget.Unbind();
    SinglePass(mainTarget, blurTarget, highPassProgram, highPassSamplerLocation, time, bloomCutoffTrack);
    SinglePass(blurTarget, downsampledTarget, copyProgram, copySamplerLocation, time, nullptr);
    SinglePass(downsampledTarget, downsampled2Target, blurHorizontalProgram, blurHSamplerLocation, time, nullptr);
    SinglePass(downsampled2Target, downsampledTarget, blurVerticalProgram, blurVSamplerLocation, time, nullptr);
    SinglePass(downsampledTarget, blurTarget, copyProgram, copySamplerLocation, time, nullptr);

    // The mix lands on the window; the last Unbind restored its viewport.
    mixProgram.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, mainTarget.ColorTexture());
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, blurTarget.ColorTexture());
    glUniform1i(texSamplerLocation, 0);
    glUniform1i(texSampler2Location, 1);
    glUniform1f(fadeLocation, ReadTrack(fadeTrack));
    glUniform1f(bloomDryLocation, ReadTrack(bloomDryTrack));
    glUniform1f(bloomWetLocation, ReadTrack(bloomWetTrack));
    glUniform1f(exposureLocation, ReadTrack(exposureTrack));
    glUniform1f(flashLocation, ReadTrack(flashTrack));
    glUniform1f(vignetteLocation, ReadTrack(vignetteTrack));
    glBindSampler(0, sampler);
    glBindSampler(1, secondSampler);
    DrawQuad();
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
}

void Bloom::Shutdown() {
    ReleaseTrack(fadeTrack);
    ReleaseTrack(bloomDryTrack);
    ReleaseTrack(bloomWetTrack);
    ReleaseTrack(exposureTrack);
    ReleaseTrack(bloomCutoffTrack);
    ReleaseTrack(flashTrack);
    ReleaseTrack(vignetteTrack);
    mainTarget.Destroy();
    blurTarget.Destroy();
    downsampledTarget.Destroy();
    downsampled2Target.Destroy();
    copyProgram.Delete();
    highPassProgram.Delete();
    blurHorizontalProgram.Delete();
    blurVerticalProgram.Delete();
    mixProgram.Delete();
    glDeleteBuffers(1, &quadBuffer);
    glDeleteSamplers(1, &sampler);
    glDeleteSamplers(1, &secondSampler);
    quadBuffer = sampler = secondSampler = 0;
}
