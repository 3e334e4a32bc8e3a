// Complete runs of the real console program in a temporary work folder, the
// image root images/ under it and the answers piped in.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "raster_files.hpp"
#include "run_binary.hpp"
#include "temp_folder.hpp"

class ConsoleRun : public ::testing::Test {
protected:
    BinaryRun run(const std::string& answers, std::map<std::string, std::string> env = {},
                  unsigned long long address_space_bytes = 0) const {
        env.emplace("LORVANTIDE_IMAGES", images_);
        return run_child({lorvantide_binary(), {}, temp_.path().string(), answers, env, address_space_bytes});
    }
    BinaryRun run(const RunAnswers& answers, std::map<std::string, std::string> env = {}) const {
        return run(answers.text(), std::move(env));
    }
    std::string result_raw() const { return read_file(folder_ + "resultado_m4.raw"); }
    std::string result_txt() const { return read_file(folder_ + "resultado_m4.txt"); }

    TempFolder temp_;
    std::string images_ = temp_ / "images";
    std::string folder_ = images_ + "/rio1/";
};
