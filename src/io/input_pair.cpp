#include "input_pair.hpp"

#include "answers.hpp"

bool open_input_pair(Console& console, const std::string& folder_prefix, InputPairSlot slot) {
    std::string nomfic1;
    if (!ask_word(console, nomfic1)) return false;
    const PairPaths paths = pair_paths(folder_prefix, nomfic1, slot.kind);
    slot.raw_path = paths.raw;
    slot.descriptor_path = paths.descriptor;
    slot.raw = std::fopen(slot.raw_path.c_str(), "rb");
    if (slot.raw == nullptr) {
        console.sayf("\n No hay Fila %s \n", slot.raw_path.c_str());
        return false;
    }
    slot.descriptor = std::fopen(slot.descriptor_path.c_str(), "r");
    if (slot.descriptor == nullptr) {
        console.sayf("\n No hay Fila %s \n", slot.descriptor_path.c_str());
        return false;
    }
    return true;
}

bool read_descriptor_size(Console& console, std::FILE* descriptor, const std::string& descriptor_path,
                          int32_t* values, int wanted) {
    // Read into a copy first: a descriptor refused here must not leave half a
    // size behind.
    int32_t read[6] = {};
    const int count = read_descriptor_ints(descriptor, read, wanted);
    if (count < 2 || read[0] < 0 || read[1] < 0) {
        console.sayf("\n El descriptor %s no empieza con dos enteros decimales no negativos (lineas y columnas) \n",
                     descriptor_path.c_str());
        return false;
    }
    for (int k = 0; k < count; ++k) values[k] = read[k];
    return true;
}
