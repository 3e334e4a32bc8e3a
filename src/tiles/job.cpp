#include "tiles/job.hpp"

#include <sys/stat.h>

#include <ostream>
#include <sstream>

#include "console/answers.hpp"
#include "console/console.hpp"
#include "console/input_pair.hpp"
#include "console/run_files.hpp"
#include "console/stages.hpp"
#include "tiles/tiles_error.hpp"

namespace {

[[noreturn]] void answers_ended() {
    throw TilesError("las respuestas se acaban antes del final del dialogo");
}

void word(Console& console, std::string& into) {
    if (!ask_name(console, "", into)) answers_ended();
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

// One of the dialog's checks, on a console that keeps what it says: its
// message, without the console's framing blanks and line ends, is the failure's.
template <typename Check>
void check_as_the_dialog(Check check) {
    std::istringstream no_answers;
    std::ostringstream said;
    Console console(no_answers, said);
    if (check(console)) return;
    const std::string text = said.str();
    const std::size_t first = text.find_first_not_of("\n ");
    const std::size_t last = text.find_last_not_of("\n ");
    throw TilesError(first == std::string::npos ? text : text.substr(first, last - first + 1));
}

// Opens the raw file and the descriptor of a pair and reads up to `wanted`
// descriptor integers (those absent stay as they were).
RawFile open_pair(const PairPaths& paths, int32_t* values, int wanted) {
    RawFile raw(paths.raw);
    FilePair pair{paths.raw, paths.descriptor, nullptr, open_input_file(paths.descriptor, "r")};
    check_as_the_dialog([&](Console& console) { return read_descriptor_size(console, pair, values, wanted); });
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
    Run run;  // the answers the console run keeps
    int32_t presence = 0;
    do {
        if (!ask_int(console, "", presence)) answers_ended();
    } while (presence > 1);
    run.parameters.water_bodies = presence == 1;
    if (run.water_bodies()) word(console, job.perimeter);
    word(console, job.result);
    if (parameters(run, console) != Outcome::go_on) answers_ended();
    job.parameters = run.parameters;
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
        const int pixel_bytes = raw == &open.slope ? 4 : 1;
        check_as_the_dialog([&](Console& console) {
            return raw_long_enough(console, raw->pair(), open.lines, open.columns, pixel_bytes);
        });
        const int32_t held = complete_lines(raw->size(), open.lines, static_cast<uint64_t>(pixel_bytes) * columns);
        if (open.lines > 0 && open.columns > 0 && held < open.lines) {
            open.warnings.push_back("Aviso: el archivo " + raw->path() + " solo tiene " + std::to_string(held) +
                                    " de las " + std::to_string(open.lines) +
                                    " lineas de la imagen; el resto queda en 0");
        }
    }
    return open;
}
