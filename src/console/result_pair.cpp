#include "console/result_pair.hpp"

#include <sys/stat.h>

#include "files/atomic_outputs.hpp"
#include "files/raster_pair.hpp"
#include "console/run_files.hpp"

namespace {

// The first of the pair's two paths that `holds` is true of, or nullptr.
template <typename Test>
const std::string* first_path(const PairPaths& paths, Test holds) {
    return holds(paths.raw) ? &paths.raw : holds(paths.descriptor) ? &paths.descriptor : nullptr;
}

}  // namespace

bool is_input_file(const Run& run, const std::string& path) {
    struct stat target {};
    if (stat(path.c_str(), &target) != 0) return false;  // not there yet: it cannot be an input
    for (const FilePair& pair : run.files)
        for (const File* input : {&pair.raw, &pair.descriptor}) {
            struct stat open_input {};
            if (!*input || fstat(fileno(input->get()), &open_input) != 0) continue;
            if (open_input.st_dev == target.st_dev && open_input.st_ino == target.st_ino) return true;
        }
    return false;
}

bool ask_result_name(Run& run, Console& console, const std::string& folder_prefix) {
    for (;;) {
        std::string nomfic1;
        if (!console.answers().name(role_text(Role::result).prompt, nomfic1)) return false;
        const PairPaths paths = pair_paths(folder_prefix, nomfic1, PairKind::elevation);
        const auto input = [&](const std::string& path) { return is_input_file(run, path); };
        const auto special = [](const std::string& path) { return !replaceable(path); };
        if (const std::string* clash = first_path(paths, input)) {
            console.sayf("\n El archivo %s es uno de los archivos de entrada: el resultado necesita otro nombre \n",
                         clash->c_str());
            continue;
        }
        if (const std::string* taken = first_path(paths, special)) {
            console.sayf("\n El archivo %s no es un archivo regular: el resultado necesita otro nombre \n",
                         taken->c_str());
            continue;
        }
        run.pair(Role::result).raw_path = paths.raw;
        run.pair(Role::result).descriptor_path = paths.descriptor;
        return true;
    }
}

bool create_result_pair(Run& run, Console& console) {
    const FilePair& result = run.pair(Role::result);
    auto writer = std::make_shared<AtomicOutputs>();
    const std::string* const paths[2] = {&result.raw_path, &result.descriptor_path};
    for (std::size_t k = 0; k < 2; ++k) {
        const AtomicOutputs::Claim claim = writer->add(*paths[k]);
        if (claim == AtomicOutputs::Claim::in_use) {
            console.sayf("\n El archivo %s esta en uso por otra ejecucion del programa \n", paths[k]->c_str());
            return false;
        }
        if (claim != AtomicOutputs::Claim::ok) {
            console.sayf("\n No se puede crear el archivo %s \n", paths[k]->c_str());
            return false;
        }
    }
    for (std::size_t k = 0; k < 2; ++k) {
        if (writer->create_stream(k, k == 0 ? "wb" : "w") == nullptr) {
            console.sayf("\n No se puede crear el archivo %s \n", paths[k]->c_str());
            return false;
        }
    }
    run.result_writer = std::move(writer);
    return true;
}
