#include "tiles/result_files.hpp"

#include <cerrno>
#include <string>

#include "tiles/tiles_error.hpp"

namespace {

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t k = 0; k < names.size(); ++k)
        text += (k == 0 ? "" : k + 1 == names.size() ? " y " : ", ") + names[k];
    return text;
}

}  // namespace

std::unique_ptr<AtomicOutputs> start_result(const PairPaths& result, uint64_t raw_bytes,
                                            std::vector<std::string>& notices) {
    auto outputs = std::make_unique<AtomicOutputs>();
    for (const std::string* path : {&result.raw, &result.descriptor}) {
        const AtomicOutputs::Claim claim = outputs->add(*path);
        const int error = errno;
        while (notices.size() < outputs->recoveries().size()) {
            const AtomicOutputs::Recovered& set = outputs->recoveries()[notices.size()];
            notices.push_back(set.completed ? "Aviso: una ejecucion interrumpida habia dejado " + listed(set.outputs) +
                                                  " en su sitio sin terminar: se conservan los archivos nuevos"
                                            : "Aviso: una ejecucion interrumpida habia dejado a medias " +
                                                  listed(set.outputs) + ": se restauraron los archivos anteriores");
        }
        errno = error;
        switch (claim) {
            case AtomicOutputs::Claim::ok:
                break;
            case AtomicOutputs::Claim::foreign:
                throw TilesError("No se puede crear el archivo " + *path + ": la carpeta temporal " +
                                 outputs->refused_folder() + " es de otro usuario");
            case AtomicOutputs::Claim::unrecovered:
                throw TilesError("No se puede crear el archivo " + *path +
                                 ": una ejecucion interrumpida lo dejo a medias y no se pudo restaurar (" +
                                 system_reason() + ", en " + outputs->refused_folder() + ")");
            case AtomicOutputs::Claim::in_use:
                throw TilesError("El archivo " + *path + " esta en uso por otra ejecucion del programa");
            case AtomicOutputs::Claim::not_regular:
                throw TilesError("El archivo " + *path +
                                 " no es un archivo regular: el resultado necesita otro nombre");
            case AtomicOutputs::Claim::not_writable:
                errno = EACCES;
                [[fallthrough]];
            default:
                throw TilesError("No se puede crear el archivo " + *path + ": " + system_reason());
        }
    }
    if (outputs->create(0) < 0 || outputs->create_stream(1, "w") == nullptr) {
        const std::string& path = outputs->fd(0) < 0 ? result.raw : result.descriptor;
        throw TilesError("No se puede crear el archivo " + path + ": " + system_reason());
    }
    if (!outputs->reserve(0, raw_bytes))
        throw TilesError("No se puede crear el archivo " + result.raw + " de " + std::to_string(raw_bytes) +
                         " bytes: " + system_reason());
    return outputs;
}

void join_result(JoinedTemporary& raster, const std::string& temporary) {
    if (!raster.open(temporary))
        throw TilesError("no se pudo abrir el archivo temporal " + temporary + ": " + system_reason());
}

void close_joined_result(JoinedTemporary& raster, const PairPaths& result) {
    if (!raster.close())
        throw TilesError("No se pudo escribir completo el archivo " + result.raw + ": " + system_reason());
}

std::vector<std::string> commit_result(AtomicOutputs& outputs, const PairPaths& result, const int32_t descriptor[6]) {
    if (!write_six_descriptor(outputs.stream(1), descriptor)) {
        const std::string reason = system_reason();
        outputs.abandon();
        throw TilesError("No se pudo escribir completo el archivo " + result.descriptor + ": " + reason);
    }
    const std::string temporary[2] = {outputs.temporary(0), outputs.temporary(1)};
    const AtomicOutputs::Result committed = outputs.commit();
    errno = committed.error;
    const std::string& path = committed.output == 0 ? result.raw : result.descriptor;
    std::vector<std::string> notices;
    for (const std::size_t k : committed.owner_changed)
        notices.push_back("Aviso: no se pudo conservar el dueno del archivo " + (k == 0 ? result.raw : result.descriptor) +
                          ": ahora es de este usuario");
    switch (committed.status) {
        case AtomicOutputs::Result::Status::done:
            return notices;
        case AtomicOutputs::Result::Status::unwritten:
            throw TilesError("No se pudo escribir completo el archivo " + path + ": " + system_reason());
        case AtomicOutputs::Result::Status::unplaced:
            throw TilesError("no se pudo renombrar " + temporary[committed.output] + " a " + path + ": " +
                             system_reason() + ": no se escribio ningun resultado y el anterior queda como estaba");
        case AtomicOutputs::Result::Status::mixed:
            throw TilesError("no se pudo renombrar " + temporary[committed.output] + " a " + path + " ni volver al " +
                             "resultado anterior: " + system_reason() +
                             "; la proxima ejecucion que lo escriba lo dejara entero (" + committed.file + ")");
        case AtomicOutputs::Result::Status::unsynced:
            throw TilesError("No se pudo asegurar en el disco el archivo " + path + ": " + system_reason() +
                             " (el resultado esta en su sitio, pero una caida del sistema podria deshacerlo)");
    }
    return notices;
}
