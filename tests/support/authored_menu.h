// A two-epoch authored menu (2 pages x 2 groups x 2 buttons of 96 x 32, three
// pictures a button) saved as a marked stream in a temporary folder; the
// authored tree stays in ig, the stream's bytes in bytes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace tessel::test {

struct SAuthored {
    SAuthored() {
        authoring::SMenuOptions options;
        options.epochs = 2;
        options.buttonWidth = 96;
        options.buttonHeight = 32;
        std::string error;
        EXPECT_TRUE(authoring::AuthorMenu(options, (dir.Path() / "pictures").string(), ig, error))
            << error;
        EXPECT_TRUE(authoring::MenuStream(ig, bytes, error)) << error;
        stream = (dir.Path() / "menu.ig").string();
        EXPECT_TRUE(WriteWholeFile(stream, bytes.data(), bytes.size(), error)) << error;
    }
    CTempDir dir;
    CIgObject ig;
    std::vector<uint8_t> bytes;
    std::string stream;
};

}  // namespace tessel::test
