#include "console/input_pair.hpp"

#include <cstring>

#include "console/run_files.hpp"
#include "files/raster_pair.hpp"

namespace {

// What the console says when a mask has not the slope model's size.
const char* size_message(Role mask) {
    switch (mask) {
        case Role::railing:
            return "\n la imagen del barandal no tiene el mismo tamano que la imagen de la pendiente del rio ";
        case Role::zone:
            return "\n la imagen de la mascara del cauce no tiene el mismo tamano que la imagen de la pendiente del "
                   "rio ";
        case Role::contour:
            return "\n la imagen de la mascara de la curva limite no tiene el mismo tamano que la imagen de la "
                   "pendiente del rio ";
        case Role::perimeter:
            return "\n la imagen del perimetro de los cuerpos de agua no tiene\n el mismo tamano que la imagen de la "
                   "pendiente del rio ";
        case Role::slope:
        case Role::result:
            break;
    }
    return "";
}

}  // namespace

void say_problem(Console& console, const InputProblem& problem) {
    const char* path = problem.path.c_str();
    switch (problem.kind) {
        case InputProblem::Kind::missing:
            console.sayf("\n No hay Fila %s \n", path);
            return;
        case InputProblem::Kind::not_regular:
            console.sayf("\n El archivo %s no es un archivo regular: no se puede leer \n", path);
            return;
        case InputProblem::Kind::denied:
            console.sayf("\n No se puede leer el archivo %s: no tiene permiso \n", path);
            return;
        case InputProblem::Kind::unopenable:
            console.sayf("\n No se puede abrir el archivo %s: %s \n", path, std::strerror(problem.error));
            return;
        case InputProblem::Kind::unreadable:
            console.sayf(kReadError, path);
            return;
        case InputProblem::Kind::bad_descriptor:
            console.sayf("\n El descriptor %s no empieza con dos enteros decimales no negativos (lineas y columnas) \n",
                         path);
            return;
        case InputProblem::Kind::raw_too_short:
            console.sayf("\n El archivo %s solo tiene %llu de los %llu bytes que indica su descriptor: no se puede "
                         "usar \n",
                         path, static_cast<unsigned long long>(problem.held),
                         static_cast<unsigned long long>(problem.needed));
            return;
        case InputProblem::Kind::size_differs:
            console.say(size_message(problem.role));
            return;
    }
}

bool passes(Console& console, const InputCheck& check) {
    if (!check) return true;
    say_problem(console, *check);
    return false;
}

bool open_input_pair(Console& console, const std::string& folder_prefix, Role role, FilePair& pair) {
    std::string nomfic1;
    if (!console.answers().name(role_text(role).prompt, nomfic1)) return false;
    const PairPaths paths = pair_paths(folder_prefix, nomfic1, role_text(role).kind);
    pair.raw_path = paths.raw;
    pair.descriptor_path = paths.descriptor;
    return passes(console, open_input(pair.raw_path, "rb", pair.raw)) &&
           passes(console, open_input(pair.descriptor_path, "r", pair.descriptor));
}
