#include "job.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <ostream>

#include "answers.hpp"
#include "console.hpp"
#include "run_files.hpp"
#include "tiles_error.hpp"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void answers_ended() {
    throw TilesError("las respuestas se acaban antes del final del dialogo");
}

void word(Console& console, std::string& into) {
    if (!ask_name(console, "", into)) answers_ended();
}

void integer(Console& console, int32_t& into) {
    if (!ask_int(console, "", into)) answers_ended();
}

// A console text as one line of a message: no leading or trailing blanks and
// line ends, an inner line end as a blank.
std::string one_line(const char* text) {
    std::string line;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n') {
            if (!line.empty() && line.back() != ' ') line += ' ';
            continue;
        }
        if (*c == ' ' && (line.empty() || line.back() == ' ')) continue;
        line += *c;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

// Opens the raw file and the descriptor of a pair and reads up to `wanted`
// descriptor integers (those absent stay 0).
RawFile open_pair(const PairPaths& paths, int32_t* values, int wanted) {
    RawFile raw(paths.raw);
    const std::unique_ptr<std::FILE, FileCloser> descriptor(std::fopen(paths.descriptor.c_str(), "r"));
    if (!descriptor) throw TilesError("No hay Fila " + paths.descriptor);
    int32_t read[6] = {};
    const int count = read_descriptor_ints(descriptor.get(), read, wanted);
    if (count < 2 || read[0] < 0 || read[1] < 0)
        throw TilesError("El descriptor " + paths.descriptor +
                         " no empieza con dos enteros decimales no negativos (lineas y columnas)");
    for (int k = 0; k < wanted; ++k) values[k] = read[k];
    return raw;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat x {};
    struct stat y {};
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

}  // namespace

void read_answers(std::istream& answers, Job& job) {
    std::ostream nowhere(nullptr);  // the prompts are not shown
    Console console(answers, nowhere);
    word(console, job.folder);
    word(console, job.slope);
    word(console, job.railing);
    word(console, job.zone);
    word(console, job.contour);
    int32_t presence = 0;
    do integer(console, presence);
    while (presence > 1);
    job.parameters.water_bodies = presence == 1;
    if (job.parameters.water_bodies) word(console, job.perimeter);
    word(console, job.result);
    ChannelParameters& p = job.parameters;
    integer(console, p.tono_cauce);
    integer(console, p.tono_bar);
    integer(console, p.alti_bar);
    integer(console, p.tono_lim);
    integer(console, p.alti_lim);
    if (p.water_bodies) integer(console, p.tono_perim);
}

OpenJob open_job(const Job& job) {
    const std::string prefix = job.image_root + host_name(job.folder) + "/";
    OpenJob open;
    int32_t fields[6] = {};
    const PairPaths slope = pair_paths(prefix, job.slope, PairKind::elevation);
    open.slope = open_pair(slope, fields, 6);
    open.lines = fields[0];
    open.columns = fields[1];
    open.pix_size = fields[5];

    std::vector<std::string> inputs = {slope.raw, slope.descriptor};
    auto mask = [&](Role role, const std::string& name, RawFile& into) {
        const PairPaths paths = pair_paths(prefix, name, PairKind::mask);
        int32_t size[2] = {};
        into = open_pair(paths, size, 2);
        if (size[0] != open.lines || size[1] != open.columns) throw TilesError(one_line(role_text(role).size_message));
        inputs.push_back(paths.raw);
        inputs.push_back(paths.descriptor);
    };
    mask(Role::railing, job.railing, open.railing);
    mask(Role::zone, job.zone, open.zone);
    mask(Role::contour, job.contour, open.contour);
    if (job.parameters.water_bodies) mask(Role::perimeter, job.perimeter, open.perimeter);

    open.result = pair_paths(prefix, job.result, PairKind::elevation);
    for (const std::string* out : {&open.result.raw, &open.result.descriptor})
        for (const std::string& in : inputs)
            if (same_file(*out, in))
                throw TilesError("El archivo " + *out +
                                 " es uno de los archivos de entrada: el resultado necesita otro nombre");

    const uint64_t columns = static_cast<uint64_t>(open.columns);
    for (const RawFile* raw : {&open.slope, &open.railing, &open.zone, &open.contour, &open.perimeter}) {
        if (raw->fd() < 0) continue;
        const uint64_t line_bytes = raw == &open.slope ? 4 * columns : columns;
        // As the console program does: a file under half of what its
        // descriptor says is not that raster at all.
        const uint64_t needed = open.lines > 0 ? static_cast<uint64_t>(open.lines) * line_bytes : 0;
        if (raw->size() * 2 < needed)
            throw TilesError("El archivo " + raw->path() + " solo tiene " + std::to_string(raw->size()) + " de los " +
                             std::to_string(needed) + " bytes que indica su descriptor: no se puede usar");
        const int32_t held = complete_lines(raw->size(), open.lines, line_bytes);
        if (open.lines > 0 && open.columns > 0 && held < open.lines) {
            open.warnings.push_back("Aviso: el archivo " + raw->path() + " solo tiene " + std::to_string(held) +
                                    " de las " + std::to_string(open.lines) +
                                    " lineas de la imagen; el resto queda en 0");
        }
    }
    return open;
}
