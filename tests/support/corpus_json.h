// JSON files of the shared corpus: the independent readings under expected/
// and the truths beside the authored discs.
#pragma once

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace tessel::test {

inline nlohmann::json ReadJson(const std::filesystem::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

// expected/<name> of the corpus.
inline nlohmann::json CorpusExpected(const char* name) {
    return ReadJson(CorpusDir() / "expected" / name);
}

}  // namespace tessel::test
