#include "console/result_pair.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "files/atomic_outputs.hpp"
#include "files/raster_pair.hpp"
#include "console/run_files.hpp"

namespace {

// The first of the pair's two paths that `holds` is true of, or nullptr.
template <typename Test>
const std::string* first_path(const PairPaths& paths, Test holds) {
    return holds(paths.raw) ? &paths.raw : holds(paths.descriptor) ? &paths.descriptor : nullptr;
}

// "a, b y c".
std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t k = 0; k < names.size(); ++k)
        text += (k == 0 ? "" : k + 1 == names.size() ? " y " : ", ") + names[k];
    return text;
}

// What the claim of `path` found: sets a killed run left half in place made
// whole (notices, from the `told`th on), or why the result cannot be written
// there.
bool claimed(Console& console, const AtomicOutputs& writer, AtomicOutputs::Claim claim, const std::string& path,
             std::size_t told) {
    const int error = errno;
    for (std::size_t k = told; k < writer.recoveries().size(); ++k)
        console.sayf(writer.recoveries()[k].completed ? "\n Aviso: una ejecucion interrumpida habia dejado %s en su sitio sin terminar: "
                                     "se conservan los archivos nuevos \n"
                                   : "\n Aviso: una ejecucion interrumpida habia dejado a medias %s: se restauraron "
                                     "los archivos anteriores \n",
                     listed(writer.recoveries()[k].outputs).c_str());
    switch (claim) {
        case AtomicOutputs::Claim::ok:
            return true;
        case AtomicOutputs::Claim::in_use:
            console.sayf("\n El archivo %s esta en uso por otra ejecucion del programa \n", path.c_str());
            return false;
        case AtomicOutputs::Claim::foreign:
            console.sayf("\n No se puede crear el archivo %s: la carpeta temporal %s es de otro usuario \n",
                         path.c_str(), writer.refused_folder().c_str());
            return false;
        case AtomicOutputs::Claim::unrecovered:
            console.sayf("\n No se puede crear el archivo %s: una ejecucion interrumpida lo dejo a medias y no se pudo "
                         "restaurar (%s, en %s) \n",
                         path.c_str(), std::strerror(error), writer.refused_folder().c_str());
            return false;
        default:
            console.sayf("\n No se puede crear el archivo %s \n", path.c_str());
            return false;
    }
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
        const std::size_t told = writer->recoveries().size();
        const AtomicOutputs::Claim claim = writer->add(*paths[k]);
        if (!claimed(console, *writer, claim, *paths[k], told)) return false;
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
