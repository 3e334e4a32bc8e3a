#include "gis/output_files.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "files/answers.hpp"
#include "gis/companion_outputs.hpp"
#include "gis/tool_error.hpp"

namespace fs = std::filesystem;

namespace {

// GDAL's auxiliary file of a raster: what it learnt of it (statistics, metadata).
constexpr const char* kGdalAuxiliarySuffix = ".aux.xml";

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t k = 0; k < names.size(); ++k)
        text += (k == 0 ? "" : k + 1 == names.size() ? " y " : ", ") + names[k];
    return text;
}

std::string reason(int error) { return std::strerror(error); }

}  // namespace

void OutputSet::protect(const std::string& input) {
    struct stat status {};
    if (::stat(input.c_str(), &status) == 0) inputs_.push_back({input, {status.st_dev, status.st_ino}});
}

void OutputSet::protect(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) protect(input);
}

OutputFile OutputSet::add_file(const std::string& target) { return add(target, AtomicOutputs::Kind::file); }
OutputFile OutputSet::add_dataset(const std::string& target) {
    return add(target, AtomicOutputs::Kind::dataset, {kGdalAuxiliarySuffix});
}

OutputFile OutputSet::add(const std::string& target, AtomicOutputs::Kind kind, std::vector<std::string> describing) {
    if (target.empty() || target.back() == '/') throw ToolError("falta el nombre de archivo de la salida " + target);
    // A line end or an escape in a name would garble every message naming it.
    if (!name_is_printable(target)) throw ToolError("el nombre de una salida contiene caracteres de control");
    std::string resolved;
    if (!follow_links(target, resolved)) throw ToolError("demasiados enlaces simbolicos en " + target);
    struct stat status {};
    if (::stat(resolved.c_str(), &status) == 0) {
        for (const auto& [input, identity] : inputs_)
            if (identity.first == status.st_dev && identity.second == status.st_ino)
                throw ToolError("la salida " + target + " es tambien una entrada de la orden (" + input +
                                "): elija otro nombre");
    }
    const fs::path parent = fs::path(resolved).parent_path();
    const fs::path folder = parent.empty() ? fs::path(".") : parent;
    std::error_code error;
    if (!fs::is_directory(folder, error))
        throw ToolError("no se puede escribir " + target + ": no existe la carpeta " + folder.string());
    const std::size_t told = outputs_.recoveries().size();
    const AtomicOutputs::Claim claim = outputs_.add(target, kind, overwrite_, std::move(describing));
    const int claim_error = errno;
    // Told even with -q: files this command was not asked to change have changed.
    for (std::size_t k = told; k < outputs_.recoveries().size(); ++k) {
        const AtomicOutputs::Recovered& set = outputs_.recoveries()[k];
        Warnings(stderr, true)
            .add(set.completed ? "una ejecucion interrumpida habia dejado " + listed(set.outputs) +
                                     " en su sitio sin terminar: se conservan los archivos nuevos"
                               : "una ejecucion interrumpida habia dejado a medias " + listed(set.outputs) +
                                     ": se restauraron los archivos anteriores");
    }
    errno = claim_error;
    switch (claim) {
        case AtomicOutputs::Claim::ok:
            return {target, outputs_.temporary(outputs_.size() - 1)};
        case AtomicOutputs::Claim::exists:
            throw ToolError("ya existe " + target + "; use --overwrite para reemplazarlo");
        case AtomicOutputs::Claim::not_regular:
            throw ToolError(target + " existe y no es un archivo normal");
        case AtomicOutputs::Claim::not_writable:
            throw ToolError("no se puede escribir " + target + " (no tiene permiso de escritura)");
        case AtomicOutputs::Claim::twice:
            throw ToolError("la salida " + target + " se pide dos veces");
        case AtomicOutputs::Claim::in_use:
            throw ToolError("la salida " + target + " esta en uso por otra ejecucion del programa");
        case AtomicOutputs::Claim::foreign:
            throw ToolError("no se puede escribir " + target + ": la carpeta temporal " + outputs_.refused_folder() +
                            " es de otro usuario");
        case AtomicOutputs::Claim::unrecovered:
            throw ToolError("no se puede escribir " + target +
                            ": una ejecucion interrumpida lo dejo a medias y no se pudo restaurar (" + reason(claim_error) +
                            ", en " + outputs_.refused_folder() + ")");
        case AtomicOutputs::Claim::failed:
            break;
    }
    if (errno == EMFILE) throw ToolError("demasiadas salidas a la vez");
    throw ToolError("no se puede escribir " + target + " (no se puede crear un temporal en " + folder.string() + ")");
}

void OutputSet::commit(Warnings& warnings) {
    std::vector<OutputFile> files;  // the set is emptied by its commit
    for (std::size_t k = 0; k < outputs_.size(); ++k) files.push_back({outputs_.target(k), outputs_.temporary(k)});
    for (const OutputFile& file : files) refuse_companions_over_inputs(file.target, file.temporary, inputs_);
    const AtomicOutputs::Result result = outputs_.commit();
    for (const std::size_t k : result.owner_changed)
        warnings.add("no se puede conservar el dueno de " + files[k].target + ": el archivo nuevo es de este usuario");
    const OutputFile& output = files[result.output];
    const std::string failure = "no se puede escribir " + output.target;
    switch (result.status) {
        case AtomicOutputs::Result::Status::done:
            return;
        case AtomicOutputs::Result::Status::unwritten:
            throw ToolError(result.error == ENOENT ? failure + " (no se escribio ningun archivo con ese nombre)"
                                                   : failure);
        case AtomicOutputs::Result::Status::unplaced:
        case AtomicOutputs::Result::Status::mixed: {
            std::string what = " (no se puede poner en su sitio: " + reason(result.error) + ")";
            if (result.status == AtomicOutputs::Result::Status::mixed)
                throw ToolError(failure + what + " ni volver a los archivos anteriores; la proxima orden que escriba " +
                                "alguna de estas salidas las dejara enteras (" + result.file + ")");
            // An earlier file describing the one replaced, beside it, that could not go.
            if (fs::path(result.file).parent_path() != fs::path(output.temporary).parent_path())
                what = " (no se puede quitar " + result.file + ", que describe el archivo anterior: " +
                       reason(result.error) + ")";
            else if (result.file != output.temporary)
                what = " (no se puede poner en su sitio " + fs::path(result.file).filename().string() + ": " +
                       reason(result.error) + ")";
            throw ToolError(failure + what + ": no se escribio ninguna salida y los archivos anteriores quedan como " +
                            "estaban");
        }
        case AtomicOutputs::Result::Status::unsynced:
            throw ToolError("no se puede asegurar en el disco " + output.target +
                            ": las salidas estan en su sitio, pero una caida del sistema podria deshacerlo");
    }
}

void write_output(const OutputFile& output, const char* mode, const std::function<bool(std::FILE*)>& write) {
    // The system's reason goes with the message ("No space left on device"), as the other programs give it.
    std::FILE* f = std::fopen(output.temporary.c_str(), mode);
    if (f == nullptr) throw ToolError("no se puede escribir " + output.target + ": " + std::strerror(errno));
    errno = 0;
    const bool written = write(f) && std::fflush(f) == 0;
    const int write_error = errno;
    const bool closed = std::fclose(f) == 0;
    const int error = !written ? write_error : errno;
    if (!written || !closed)
        throw ToolError("no se puede escribir " + output.target + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
}

void write_output_bytes(const OutputFile& output, const std::string& bytes) {
    write_output(output, "wb",
                 [&bytes](std::FILE* f) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); });
}
