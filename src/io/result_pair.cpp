#include "result_pair.hpp"

#include <sys/stat.h>

#include "answers.hpp"
#include "raster_pair.hpp"

namespace {

constexpr const char* kResultPrompt = "\n\n Nombre del MDE del cauce del rio resultante (sin ninguna extension) ? ";

}  // namespace

bool is_input_file(const Run& run, const std::string& path) {
    struct stat target {};
    if (stat(path.c_str(), &target) != 0) return false;  // not there yet: it cannot be an input
    for (std::FILE* input : {run.f1, run.f1d, run.f2, run.f2d, run.f3, run.f3d, run.f4, run.f4d, run.f6, run.f6d}) {
        struct stat open_input {};
        if (input == nullptr || fstat(fileno(input), &open_input) != 0) continue;
        if (open_input.st_dev == target.st_dev && open_input.st_ino == target.st_ino) return true;
    }
    return false;
}

bool ask_result_name(Run& run, Console& console, const std::string& folder_prefix) {
    for (;;) {
        console.say(kResultPrompt);
        std::string nomfic1;
        if (!ask_word(console, nomfic1)) return false;
        const PairPaths paths = pair_paths(folder_prefix, nomfic1, PairKind::elevation);
        const std::string* clash = is_input_file(run, paths.raw)          ? &paths.raw
                                   : is_input_file(run, paths.descriptor) ? &paths.descriptor
                                                                          : nullptr;
        if (clash == nullptr) {
            run.nomim5 = paths.raw;
            run.nomdescr5 = paths.descriptor;
            return true;
        }
        console.sayf("\n El archivo %s es uno de los archivos de entrada: el resultado necesita otro nombre \n",
                     clash->c_str());
    }
}

bool create_result_pair(Run& run, Console& console) {
    run.f5 = std::fopen(run.nomim5.c_str(), "wb");
    if (run.f5 == nullptr) {
        console.sayf("\n No se puede crear el archivo %s \n", run.nomim5.c_str());
        return false;
    }
    run.f5d = std::fopen(run.nomdescr5.c_str(), "w");
    if (run.f5d == nullptr) {
        console.sayf("\n No se puede crear el archivo %s \n", run.nomdescr5.c_str());
        return false;
    }
    return true;
}
