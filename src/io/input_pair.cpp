#include "input_pair.hpp"

#include "answers.hpp"
#include "raster_pair.hpp"
#include "run_files.hpp"

bool open_input_pair(Console& console, const std::string& folder_prefix, Role role, FilePair& pair) {
    std::string nomfic1;
    if (!ask_word(console, nomfic1)) return false;
    const PairPaths paths = pair_paths(folder_prefix, nomfic1, role_text(role).kind);
    pair.raw_path = paths.raw;
    pair.descriptor_path = paths.descriptor;
    pair.raw.reset(std::fopen(pair.raw_path.c_str(), "rb"));
    if (!pair.raw) {
        console.sayf("\n No hay Fila %s \n", pair.raw_path.c_str());
        return false;
    }
    pair.descriptor.reset(std::fopen(pair.descriptor_path.c_str(), "r"));
    if (!pair.descriptor) {
        console.sayf("\n No hay Fila %s \n", pair.descriptor_path.c_str());
        return false;
    }
    return true;
}

bool read_descriptor_size(Console& console, FilePair& pair, int32_t* values, int wanted) {
    // Read into a copy first: a descriptor refused here must not leave half a
    // size behind.
    int32_t read[6] = {};
    const int count = read_descriptor_ints(pair.descriptor.get(), read, wanted);
    if (count < 2 || read[0] < 0 || read[1] < 0) {
        console.sayf("\n El descriptor %s no empieza con dos enteros decimales no negativos (lineas y columnas) \n",
                     pair.descriptor_path.c_str());
        return false;
    }
    for (int k = 0; k < count; ++k) values[k] = read[k];
    return true;
}
