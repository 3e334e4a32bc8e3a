#include "tiles/job.hpp"

#include <sys/stat.h>

#include "files/answers.hpp"
#include "files/input_checks.hpp"
#include "tiles/tiles_error.hpp"

namespace {

[[noreturn]] void answers_ended() {
    throw TilesError("las respuestas se acaban antes del final del dialogo");
}

// Opens the raw file and the descriptor of a pair and reads up to `wanted`
// descriptor integers (those absent stay as they were).
RawFile open_pair(const PairPaths& paths, int32_t* values, int wanted) {
    RawFile raw(paths.raw);
    const File descriptor = open_input_file(paths.descriptor, "r");
    require(read_descriptor_size(descriptor.get(), paths.descriptor, values, wanted));
    return raw;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat x {};
    struct stat y {};
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

}  // namespace

void read_answers(std::istream& answers, Job& job) {
    DialogVoice silent;  // the questions are not shown
    AnswerReader reader(answers, silent);
    auto name = [&](std::string& into) {
        if (!reader.name("", into)) answers_ended();
    };
    name(job.folder);
    name(job.slope);
    name(job.railing);
    name(job.zone);
    name(job.contour);
    if (!reader.water_bodies("", job.parameters.water_bodies)) answers_ended();
    if (job.parameters.water_bodies) name(job.perimeter);
    name(job.result);
    if (!read_parameters(reader, {}, job.parameters)) answers_ended();
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
        require(same_size_as_slope(role, size[0], size[1], open.lines, open.columns));
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
        const int pixel_bytes = raw == &open.slope ? 4 : 1;
        require(raw_long_enough(raw->size(), raw->path(), open.lines, open.columns, pixel_bytes));
        const int32_t held = complete_lines(raw->size(), open.lines, static_cast<uint64_t>(pixel_bytes) * columns);
        if (open.lines > 0 && open.columns > 0 && held < open.lines) {
            open.warnings.push_back("Aviso: el archivo " + raw->path() + " solo tiene " + std::to_string(held) +
                                    " de las " + std::to_string(open.lines) +
                                    " lineas de la imagen; el resto queda en 0");
        }
    }
    return open;
}
