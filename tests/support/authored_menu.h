// A two-epoch authored menu (2 pages x 2 groups x 2 buttons of 96 x 32, three
// pictures a button) saved as a marked stream in a temporary folder; the
// authored tree stays in ig, the stream's bytes in bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace tessel::test {

// A menu of pages x groups x buttons of 24 x 12 pictures, small enough to
// author quickly under the sanitizers.
inline authoring::SMenuOptions SmallMenu(int pages = 1, int bogs = 1, int buttons = 2) {
    return {.pages = pages,
            .bogsPerPage = bogs,
            .buttonsPerBog = buttons,
            .buttonWidth = 24,
            .buttonHeight = 12};
}

// An IG clip (PID 0x1400) of a sample disc; two pages of two groups of one
// button unless given.
inline authoring::SClipSpec IgClip(int number,
                                   const authoring::SMenuOptions& menu = SmallMenu(2, 2, 1)) {
    authoring::SClipSpec c;
    c.number = number;
    c.igPids = {0x1400};
    c.menu = menu;
    return c;
}

// Writes a sample disc of the clips into root; returns its BDMV folder.
inline std::string MakeDisc(const std::filesystem::path& root,
                            std::vector<authoring::SClipSpec> clips) {
    authoring::SDiscOptions o;
    o.clips = std::move(clips);
    EXPECT_EQ(authoring::WriteSampleDisc(root.string(), o).Message(), "");
    return (root / "BDMV").string();
}

struct SAuthored {
    SAuthored() {
        authoring::SMenuOptions options;
        options.epochs = 2;
        options.buttonWidth = 96;
        options.buttonHeight = 32;
        EXPECT_EQ(authoring::AuthorMenu(options, (dir.Path() / "pictures").string(), ig).Message(),
                  "");
        EXPECT_EQ(authoring::MenuStream(ig, bytes).Message(), "");
        stream = (dir.Path() / "menu.ig").string();
        EXPECT_EQ(WriteWholeFile(stream, bytes.data(), bytes.size()).Message(), "");
    }
    CTempDir dir;
    CIgObject ig;
    std::vector<uint8_t> bytes;
    std::string stream;
};

}  // namespace tessel::test
