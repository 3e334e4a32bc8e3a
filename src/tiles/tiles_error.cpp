#include "tiles/tiles_error.hpp"

#include <cerrno>
#include <cstring>

namespace {

const char* size_message(Role mask) {
    switch (mask) {
        case Role::railing:
            return "la imagen del barandal no tiene el mismo tamano que la imagen de la pendiente del rio";
        case Role::zone:
            return "la imagen de la mascara del cauce no tiene el mismo tamano que la imagen de la pendiente del rio";
        case Role::contour:
            return "la imagen de la mascara de la curva limite no tiene el mismo tamano que la imagen de la "
                   "pendiente del rio";
        case Role::perimeter:
            return "la imagen del perimetro de los cuerpos de agua no tiene el mismo tamano que la imagen de la "
                   "pendiente del rio";
        case Role::slope:
        case Role::result:
            break;
    }
    return "";
}

}  // namespace

std::string system_reason() { return std::strerror(errno); }

TilesError input_error(const InputProblem& problem) {
    const std::string& path = problem.path;
    switch (problem.kind) {
        case InputProblem::Kind::missing:
            return TilesError("No hay Fila " + path);
        case InputProblem::Kind::not_regular:
            return TilesError("El archivo " + path + " no es un archivo regular: no se puede leer");
        case InputProblem::Kind::denied:
            return TilesError("No se puede leer el archivo " + path + ": no tiene permiso");
        case InputProblem::Kind::unopenable:
            return TilesError("No se puede abrir el archivo " + path + ": " + std::strerror(problem.error));
        case InputProblem::Kind::unreadable:
            return TilesError("Error de lectura en el archivo " + path + ": no se escribio ningun resultado");
        case InputProblem::Kind::bad_descriptor:
            return TilesError("El descriptor " + path +
                              " no empieza con dos enteros decimales no negativos (lineas y columnas)");
        case InputProblem::Kind::raw_too_short:
            return TilesError("El archivo " + path + " solo tiene " + std::to_string(problem.held) + " de los " +
                              std::to_string(problem.needed) + " bytes que indica su descriptor: no se puede usar");
        case InputProblem::Kind::size_differs:
            return TilesError(size_message(problem.role));
    }
    return TilesError(path);
}

void require(const InputCheck& check) {
    if (check) throw input_error(*check);
}
