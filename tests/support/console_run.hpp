// Complete runs of the real console program in a temporary work folder, the
// image root images/ under it and the answers piped in (end-to-end and fault
// tests).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/raster_files.hpp"
#include "tests/support/run_binary.hpp"
#include "tests/support/temp_folder.hpp"

class ConsoleRun : public ::testing::Test {
protected:
    BinaryRun run(const std::string& answers, std::map<std::string, std::string> env = {},
                  unsigned long long address_space_bytes = 0) const {
        return run_child(request(answers, std::move(env), address_space_bytes));
    }
    ChildRequest request(const std::string& answers, std::map<std::string, std::string> env = {},
                         unsigned long long address_space_bytes = 0) const {
        env.emplace("LORVANTIDE_IMAGES", images_);
        // Nothing here may block: a program still running after two minutes has hung.
        return {lorvantide_binary(), {}, temp_.path().string(), answers, env, address_space_bytes, 120};
    }
    BinaryRun run(const RunAnswers& answers, std::map<std::string, std::string> env = {}) const {
        return run(answers.text(), std::move(env));
    }
    std::string result_raw() const { return read_file(folder_ + "resultado_m4.raw"); }
    std::string result_txt() const { return read_file(folder_ + "resultado_m4.txt"); }
    // The hidden files of the run's folder (temp_folder.hpp).
    std::vector<std::string> leftovers() const { return hidden_names(folder_); }

    TempFolder temp_;
    std::string images_ = temp_ / "images";
    std::string folder_ = images_ + "/rio1/";
};

// The bundled sample copied into `work` (its image root is images/ under the
// folder a run starts in), and a run of it on its own answers.
inline ChildRequest sample_run(const TempFolder& work) {
    std::filesystem::copy(std::string(LORVANTIDE_SOURCE_DIR) + "/sample", work.path(),
                          std::filesystem::copy_options::recursive);
    return {lorvantide_binary(), {}, work.path().string(), read_file(work / "answers.txt"),
            {{"LORVANTIDE_IMAGES", ""}}, 0, 120};
}
