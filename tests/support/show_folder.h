// A scratch show folder that is the working directory while it lives: the
// layout the player, the renderer and the capture read relative to where
// they run (./Shaders, ./Textures, ./Audio, ./sync). It starts with the
// source tree's shaders, with links to the built show's data, or empty;
// tests add track files and small textures made on the spot.
#pragma once

#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "tests/support/scratch_dir.h"

// Links these parts of the built show (Shaders, Textures, Audio, sync) into `dir`.
void LinkBuiltShow(const ScratchDir& dir,
                   const std::vector<std::string>& parts = {"Shaders", "Textures", "Audio", "sync"});

class ShowFolder : public InScratchDir {
public:
    enum Contents {
        kSourceShaders,  // every shader of the source tree, and an empty ./sync
        kBuiltShow,      // links to the built show's Shaders, Textures, Audio and sync
        kNothing,        // no show data at all
    };

    // The source tree's shaders and an empty ./sync.
    ShowFolder() : ShowFolder(kSourceShaders) {}
    // The source tree's shaders but those named in `leaveOut`, and an empty ./sync.
    explicit ShowFolder(const std::vector<std::string>& leaveOut);
    explicit ShowFolder(Contents contents);

    // A track file ./sync/_<name>.track holding one step key at row 0.
    void Track(const std::string& name, float value) const;
    void Track(const std::string& name, const std::vector<TrackKey>& keys) const;
    // ./Textures/Floater2.png: white with alpha falling to 0 at the edge.
    void SpriteTexture() const;
    // ./Textures/CubeMapTest.jpg: a 3 x 4 cross of one colour (PNG bytes).
    void CubeMapTexture(unsigned char r, unsigned char g, unsigned char b) const;

private:
    void LinkSourceShaders(const std::vector<std::string>& leaveOut) const;
};
