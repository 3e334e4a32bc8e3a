#include "console/input_pair.hpp"

#include "console/answers.hpp"
#include "files/raster_pair.hpp"
#include "files/regular_file.hpp"
#include "console/run_files.hpp"

namespace {

bool open_input(Console& console, const std::string& path, const char* mode, File& file) {
    switch (open_regular_input(path, mode, file)) {
        case InputOpen::ok:
            return true;
        case InputOpen::missing:
            console.sayf("\n No hay Fila %s \n", path.c_str());
            return false;
        case InputOpen::not_regular:
            console.sayf("\n El archivo %s no es un archivo regular: no se puede leer \n", path.c_str());
            return false;
    }
    return false;
}

}  // namespace

bool open_input_pair(Console& console, const std::string& folder_prefix, Role role, FilePair& pair) {
    std::string nomfic1;
    if (!ask_name(console, role_text(role).prompt, nomfic1)) return false;
    const PairPaths paths = pair_paths(folder_prefix, nomfic1, role_text(role).kind);
    pair.raw_path = paths.raw;
    pair.descriptor_path = paths.descriptor;
    return open_input(console, pair.raw_path, "rb", pair.raw) &&
           open_input(console, pair.descriptor_path, "r", pair.descriptor);
}

bool read_descriptor_size(Console& console, FilePair& pair, int32_t* values, int wanted) {
    // Read into a copy first: a descriptor refused here must not leave half a
    // size behind.
    int32_t read[6] = {};
    const int count = read_descriptor_ints(pair.descriptor.get(), read, wanted);
    if (std::ferror(pair.descriptor.get()) != 0) {
        console.sayf(kReadError, pair.descriptor_path.c_str());
        return false;
    }
    if (count < 2 || read[0] < 0 || read[1] < 0) {
        console.sayf("\n El descriptor %s no empieza con dos enteros decimales no negativos (lineas y columnas) \n",
                     pair.descriptor_path.c_str());
        return false;
    }
    for (int k = 0; k < count; ++k) values[k] = read[k];
    return true;
}

bool raw_long_enough(Console& console, const FilePair& pair, int32_t lines, int32_t columns, int pixel_bytes) {
    if (lines <= 0 || columns <= 0) return true;
    // Below (2^31)^2 * 4 = 2^64, and a file size below 2^63: no overflow.
    const uint64_t needed = static_cast<uint64_t>(lines) * static_cast<uint64_t>(columns) *
                            static_cast<uint64_t>(pixel_bytes);
    const uint64_t held = file_bytes(pair.raw.get());
    if (held * 2 >= needed) return true;
    console.sayf("\n El archivo %s solo tiene %llu de los %llu bytes que indica su descriptor: no se puede usar \n",
                 pair.raw_path.c_str(), static_cast<unsigned long long>(held),
                 static_cast<unsigned long long>(needed));
    return false;
}
