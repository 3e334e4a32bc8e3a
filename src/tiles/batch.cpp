#include "tiles/batch.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <thread>

#include "parallel/band_threads.hpp"
#include "files/answers.hpp"
#include "files/progress_line.hpp"
#include "tiles/raw_windows.hpp"
#include "tiles/result_files.hpp"
#include "tiles/tiles_error.hpp"
#include "windows/reach_map.hpp"
#include "windows/tile_loop.hpp"
#include "windows/tile_plan.hpp"
#include "windows/windowed_run.hpp"

const char* const kTilesUsage =
    "Uso: lorvantide-tiles [--answers ARCHIVO] [opciones]\n"
    "\n"
    "Calcula el MDE del cauce como lorvantide, por teselas con su margen, sin tener\n"
    "nunca una imagen entera en memoria; el resultado es el mismo, byte por byte.\n"
    "Bajo mpirun las teselas se reparten entre los procesos.\n"
    "\n"
    "Datos: las respuestas del dialogo de lorvantide y/o estas opciones, que las reemplazan.\n"
    "  --answers ARCHIVO   las respuestas que se le darian a lorvantide, en su orden\n"
    "  --images DIR        la raiz de las imagenes (si no, LORVANTIDE_IMAGES o ./images)\n"
    "  --folder NOMBRE     la subcarpeta de la raiz\n"
    "  --slope NOMBRE      la pendiente del rio (NOMBRE_m4.raw y NOMBRE_m4.txt)\n"
    "  --railing NOMBRE    el barandal (NOMBRE.raw y NOMBRE.txt)\n"
    "  --zone NOMBRE       la mascara de la zona del cauce\n"
    "  --contour NOMBRE    la curva de nivel limite\n"
    "  --perimeter NOMBRE  el perimetro de los cuerpos de agua (los hay)\n"
    "  --result NOMBRE     el MDE del cauce resultante\n"
    "  --tones C,B,L[,P]   tonos de gris del cauce, del barandal, de la curva limite\n"
    "                      [y del perimetro]\n"
    "  --heights B,L       altura del barandal y altitud de la curva limite\n"
    "\n"
    "Calculo:\n"
    "  --memory BYTES      memoria residente maxima de cada proceso (sufijos K, M, G);\n"
    "                      si no, la mitad de la memoria fisica, repartida entre los\n"
    "                      procesos de la maquina\n"
    "  --tile N            nucleos de teselas de N x N pixeles, en vez de elegirlos\n"
    "                      por la memoria\n"
    "  --threads N         hilos de cada proceso (si no, LORVANTIDE_THREADS, o los\n"
    "                      procesadores repartidos entre los procesos de la maquina)\n"
    "  --plan              solo muestra las teselas que se usarian (en la salida\n"
    "                      estandar) y termina\n"
    "  --progress          el progreso aunque la salida de errores no sea una terminal\n"
    "                      (bajo mpirun, que la pasa por una tuberia)\n"
    "  -q                  sin progreso ni avisos\n"
    "  --help, --version\n"
    "\n"
    "Vea lorvantide-tiles(1).\n";

namespace {

constexpr int32_t kMostThreads = 64;

const std::vector<std::string> kValued = {"--answers", "--images", "--folder",  "--slope",  "--railing",
                                          "--zone",    "--contour", "--perimeter", "--result", "--tones",
                                          "--heights", "--memory", "--tile",    "--threads"};
const std::vector<std::string> kFlags = {"-q", "--progress", "--plan", "--help", "-h", "--version"};

bool listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A decimal integer as the dialog takes one: optional sign, digits, 32 bits.
int32_t parse_int(const std::string& option, const std::string& text) {
    std::size_t k = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    bool digits = k < text.size();
    for (std::size_t d = k; d < text.size(); ++d) digits = digits && text[d] >= '0' && text[d] <= '9';
    errno = 0;
    const long long value = digits ? std::strtoll(text.c_str(), nullptr, 10) : 0;
    if (!digits || errno == ERANGE || value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max())
        throw TilesError("valor no valido para " + option + " (se espera un entero de 32 bits): " + text);
    return static_cast<int32_t>(value);
}

int32_t parse_positive(const std::string& option, const std::string& text) {
    const int32_t value = parse_int(option, text);
    if (value < 1) throw TilesError("valor no valido para " + option + " (se espera un entero positivo): " + text);
    return value;
}

std::vector<int32_t> parse_list(const std::string& option, const std::string& text) {
    std::vector<int32_t> values;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        values.push_back(parse_int(option, text.substr(start, comma == std::string::npos ? comma : comma - start)));
        if (comma == std::string::npos) return values;
        start = comma + 1;
    }
}

void print_failure(std::FILE* err, const Processes& processes, const std::string& message) {
    if (processes.size() > 1 && !processes.first())
        std::fprintf(err, "\n lorvantide-tiles (proceso %d de %d): %s \n", processes.rank(), processes.size(),
                     message.c_str());
    else
        std::fprintf(err, "\n lorvantide-tiles: %s \n", message.c_str());
    std::fflush(err);
}

// The steps of a run, on every process: a step's TilesError, or memory
// running out, is its failure, and after each step every process learns
// whether all of them went well, so that all stop together.
class Steps {
public:
    Steps(Processes& processes, std::FILE* err) : processes_(processes), err_(err) {}

    // Runs `step` on this process; false, keeping its message, when it failed.
    template <typename Step>
    bool attempt(Step step) {
        try {
            step();
            return true;
        } catch (const TilesError& error) {
            failure_ = error.what();
        } catch (const std::bad_alloc&) {
            failure_ = "No hay memoria";
        }
        return false;
    }
    // A failure met otherwise (the tile loop's).
    void failed(const std::string& message) { failure_ = message; }

    // True when `ok` on every process. A failure is printed once: by rank 0
    // when it failed, otherwise by each process that did.
    bool settle(bool ok) {
        if (processes_.all(ok)) return true;
        const bool first_ok = processes_.first_says(ok);
        if (!ok && (processes_.first() || first_ok)) print_failure(err_, processes_, failure_);
        return false;
    }

    // attempt, then settle.
    template <typename Step>
    bool run(Step step) {
        return settle(attempt(step));
    }

private:
    Processes& processes_;
    std::FILE* err_;
    std::string failure_;
};

// Threads of each process: --threads, else LORVANTIDE_THREADS, else the
// processors shared among the processes of this machine.
int32_t thread_count(const BatchOptions& options, const Processes& processes) {
    if (options.threads) return std::min(*options.threads, kMostThreads);
    if (std::getenv("LORVANTIDE_THREADS") != nullptr) return threads_from_environment();
    const auto processors = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(processors / std::max(processes.on_this_machine(), 1), 1, kMostThreads);
}

uint64_t default_memory(const Processes& processes) {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    const uint64_t physical = pages > 0 && page_size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size)
                                                         : uint64_t{4} << 30;
    return physical / 2 / static_cast<uint64_t>(std::max(processes.on_this_machine(), 1));
}

// What rank 0 decides for every process: the reach map and the tile plan,
// and the bytes a tile may take.
struct WindowPlan {
    ReachMap reaches;
    TilePlan plan;
    uint64_t tile_budget = 0;
};

// Rank 0's choice: the reach map measured over the masks, then cores of
// --tile, or as large as --memory (or the default) allows.
WindowPlan choose_plan(const BatchOptions& options, const OpenJob& open, const Processes& processes,
                       int32_t tiles_at_once, int32_t compute_threads) {
    const bool water = options.job.parameters.water_bodies;
    WindowPlan chosen;
    RawWindowSource source(open, water);
    chosen.reaches = ReachMap::measure(source, options.job.parameters, compute_threads, nullptr);
    const ReachMap& reaches = chosen.reaches;
    const uint64_t memory = options.memory ? *options.memory : default_memory(processes);
    const uint64_t fixed = resident_bytes(reaches.largest()) + ReachMap::measure_bytes(open.lines, open.columns, water);
    const uint64_t share = memory > fixed ? (memory - fixed) / static_cast<uint64_t>(tiles_at_once) : 0;
    if (options.tile) {
        chosen.plan = TilePlan(open.lines, open.columns, *options.tile, *options.tile);
        const uint64_t need = fixed + static_cast<uint64_t>(tiles_at_once) *
                                          largest_tile_bytes(chosen.plan, reaches, water, compute_threads);
        if (options.memory && need > *options.memory)
            throw TilesError("--tile " + std::to_string(*options.tile) + " necesita " + std::to_string(need) +
                             " bytes, mas que --memory");
        chosen.tile_budget = std::max(share, need - fixed);
        return chosen;
    }
    const std::optional<TilePlan> plan =
        plan_for_reaches(reaches, open.lines, open.columns, water, memory, tiles_at_once, compute_threads);
    if (!plan) {
        TilePlan one(open.lines, open.columns, 1, 1);
        throw TilesError("con " + std::to_string(memory) + " bytes de memoria no cabe ni una tesela: hacen falta " +
                         std::to_string(fixed + static_cast<uint64_t>(tiles_at_once) *
                                                    largest_tile_bytes(one, reaches, water, compute_threads)));
    }
    chosen.plan = *plan;
    chosen.tile_budget = share;
    return chosen;
}

void print_plan(std::FILE* out, const WindowPlan& chosen, bool water, int32_t threads) {
    const TilePlan& plan = chosen.plan;
    const double raster = static_cast<double>(plan.raster_lines()) * static_cast<double>(plan.raster_columns());
    int64_t idle = 0;
    for (int64_t k = 0; k < plan.count(); ++k) idle += chosen.reaches.reach(plan.tile(k).output) == 0;
    std::fprintf(out,
                 "teselas: %lld, nucleos de hasta %d x %d pixeles (lineas x columnas), imagen de %d x %d\n"
                 "ventanas de lectura: %.3f veces la imagen\n"
                 "margen de las busquedas: hasta %d pixeles; %lld teselas sin cauce\n"
                 "memoria de la tesela mayor: %llu bytes, mas %llu del programa\n",
                 static_cast<long long>(plan.count()), plan.core_lines(), plan.core_columns(), plan.raster_lines(),
                 plan.raster_columns(), raster > 0 ? static_cast<double>(window_area(plan, chosen.reaches)) / raster : 0.0,
                 chosen.reaches.largest(), static_cast<long long>(idle),
                 static_cast<unsigned long long>(largest_tile_bytes(plan, chosen.reaches, water, threads)),
                 static_cast<unsigned long long>(resident_bytes(chosen.reaches.largest())));
}

// What was printed on standard output reached it; a message otherwise.
bool output_written(std::FILE* out, std::FILE* err, const Processes& processes) {
    if (std::fflush(out) == 0 && std::ferror(out) == 0) return true;
    print_failure(err, processes, "no se puede escribir en la salida estandar: " + system_reason());
    return false;
}

// The plan of rank 0's choice, on every process; none when it failed.
std::optional<WindowPlan> agree_on_plan(Steps& steps, Processes& processes, const BatchOptions& options,
                                        const OpenJob& open, int32_t tiles_at_once, int32_t threads) {
    WindowPlan chosen;
    std::string core;  // "lines columns budget"
    const bool planned = steps.run([&] {
        if (!processes.first()) return;
        chosen = choose_plan(options, open, processes, tiles_at_once, threads);
        core = std::to_string(chosen.plan.core_lines()) + " " + std::to_string(chosen.plan.core_columns()) + " " +
               std::to_string(chosen.tile_budget);
    });
    if (!planned) return std::nullopt;
    if (processes.size() > 1) {
        core = processes.from_first(core);
        const std::string map = processes.from_first(processes.first() ? chosen.reaches.to_bytes() : "");
        if (!processes.first()) {
            chosen.reaches = ReachMap::from_bytes(map);
            std::size_t used = 0;
            const int32_t lines = std::stoi(core, &used);
            core = core.substr(used);
            const int32_t columns = std::stoi(core, &used);
            chosen.tile_budget = std::stoull(core.substr(used));
            chosen.plan = TilePlan(open.lines, open.columns, lines, columns);
        }
    }
    return chosen;
}

// The result's raster as the processes write it: rank 0 holds the pair's
// temporaries, the others open the raster's by its path.
struct ResultRaster {
    std::unique_ptr<AtomicOutputs> outputs;  // rank 0's
    JoinedTemporary joined;                  // the other processes'

    int fd(const Processes& processes) const { return processes.first() ? outputs->fd(0) : joined.fd(); }
};

bool open_result(Steps& steps, Processes& processes, const OpenJob& open, ResultRaster& raster, std::FILE* err) {
    const uint64_t raw_bytes = 4 * static_cast<uint64_t>(open.lines) * static_cast<uint64_t>(open.columns);
    // A result a killed run left half in place, made whole first: told even when the run cannot go on.
    std::vector<std::string> notices;
    const auto tell = [&] {
        for (const std::string& notice : notices) std::fprintf(err, "\n %s \n", notice.c_str());
        std::fflush(err);
    };
    if (!steps.run([&] {
            if (!processes.first()) return;
            try {
                raster.outputs = start_result(open.result, raw_bytes, notices);
            } catch (...) {
                tell();
                throw;
            }
            tell();
        }))
        return false;
    const std::string temporary = processes.from_first(processes.first() ? raster.outputs->temporary(0) : "");
    return steps.run([&] {
        if (!processes.first()) join_result(raster.joined, temporary);
    });
}

// Every process computes its share of the tiles into the result's raster
// and makes sure it reached the disk; true when all did.
bool compute_tiles(Steps& steps, Processes& processes, const BatchOptions& options, const OpenJob& open,
                   const WindowPlan& chosen, ResultRaster& raster, int32_t threads, int32_t tiles_at_once,
                   ProgressLine& progress, CoreTotals& totals) {
    const ChannelParameters& parameters = options.job.parameters;
    RawWindowSource source(open, parameters.water_bodies);
    RawWindowSink sink(raster.fd(processes), open.result.raw, open.columns);
    const WindowedJob job{source, sink, parameters, chosen.plan, chosen.reaches, chosen.tile_budget, true};
    const int32_t compute_threads = std::max(1, threads / tiles_at_once);
    const TileWork work = [&](int64_t k, ChannelProgress& share, TileScratch& scratch) {
        return run_window_tile(job, k, compute_threads, share, scratch);
    };
    const LoopResult loop = share_tiles(processes, chosen.plan.count(), tiles_at_once, work, progress);
    steps.failed(loop.error);
    totals = loop.totals;
    bool written = loop.ok;
    if (written) written = steps.attempt([&] {
        if (!processes.first()) close_joined_result(raster.joined, open.result);
    });
    return steps.settle(written);
}

// Rank 0: the descriptor written from the totals and the pair put in place;
// then the misses told. True when the pair is in place.
bool commit(Steps& steps, const OpenJob& open, const CoreTotals& totals, AtomicOutputs& outputs, bool quiet,
            ProgressLine& progress, std::FILE* err) {
    const int32_t descriptor[6] = {open.lines, open.columns, 4, totals.min, totals.max, open.pix_size};
    std::vector<std::string> notices;
    if (!steps.attempt([&] { notices = commit_result(outputs, open.result, descriptor); })) return false;
    progress.update(1.0);
    for (const std::string& notice : notices)
        if (!quiet) std::fprintf(err, "\n %s \n", notice.c_str());
    if (!quiet && (totals.contour_misses > 0 || totals.boundary_misses > 0)) {
        std::fprintf(err,
                     "\n Aviso: %lld pixeles del cauce sin curva de nivel y %lld sin limite inferior"
                     " a menos de 1500 pixeles \n",
                     static_cast<long long>(totals.contour_misses), static_cast<long long>(totals.boundary_misses));
        std::fflush(err);
    }
    return true;
}

}  // namespace

uint64_t parse_bytes(const std::string& option, const std::string& text) {
    std::string digits = text;
    unsigned shift = 0;
    if (!digits.empty()) {
        switch (digits.back()) {
            case 'K': case 'k': shift = 10; break;
            case 'M': case 'm': shift = 20; break;
            case 'G': case 'g': shift = 30; break;
            default: break;
        }
        if (shift != 0) digits.pop_back();
    }
    bool valid = !digits.empty() && digits.size() <= 18;
    for (const char c : digits) valid = valid && c >= '0' && c <= '9';
    const uint64_t value = valid ? std::strtoull(digits.c_str(), nullptr, 10) : 0;
    if (!valid || value == 0 || value > (std::numeric_limits<uint64_t>::max() >> shift))
        throw TilesError("valor no valido para " + option + " (bytes, con sufijo K, M o G si se quiere): " + text);
    return value << shift;
}

BatchOptions parse_batch_options(const std::vector<std::string>& words) {
    std::map<std::string, std::string> values;
    BatchOptions options;
    for (std::size_t k = 0; k < words.size(); ++k) {
        std::string name = words[k];
        std::optional<std::string> inline_value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            inline_value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (listed(kFlags, name) && !inline_value) {
            if (name == "-q") options.quiet = true;
            else if (name == "--progress") options.progress = true;
            else if (name == "--plan") options.plan = true;
            else if (name == "--version") options.version = true;
            else options.help = true;
            continue;
        }
        if (!listed(kValued, name)) {
            if (name.rfind("-", 0) == 0) throw TilesError("opcion desconocida: " + words[k]);
            throw TilesError("argumento de mas: " + words[k] + " (todo va en opciones; vea --help)");
        }
        if (values.count(name) != 0) throw TilesError("la opcion " + name + " aparece dos veces");
        if (!inline_value && k + 1 >= words.size()) throw TilesError("falta el valor de la opcion " + name);
        values[name] = inline_value ? *inline_value : words[++k];
    }
    if (options.help || options.version) return options;

    Job& job = options.job;
    const bool answered = values.count("--answers") != 0;
    if (answered) {
        std::ifstream answers(values["--answers"]);
        if (!answers) {
            const int error = errno;
            InputProblem problem{.kind = InputProblem::Kind::unopenable, .path = values["--answers"]};
            if (error == ENOENT || error == ENOTDIR) problem.kind = InputProblem::Kind::missing;
            if (error == EACCES || error == EPERM) problem.kind = InputProblem::Kind::denied;
            problem.error = error;
            throw input_error(problem);
        }
        read_answers(answers, job);
    }
    auto take = [&](const char* option, std::string& into) {
        if (const auto found = values.find(option); found != values.end()) into = found->second;
        else if (!answered) throw TilesError(std::string("falta la opcion ") + option + " (o --answers)");
        else return;
        // The names the dialog would take, and no other (files/answers.hpp).
        if (!name_is_acceptable(into))
            throw TilesError(std::string("nombre no valido para ") + option +
                             ": vacio, o con espacios o caracteres de control");
    };
    take("--folder", job.folder);
    take("--slope", job.slope);
    take("--railing", job.railing);
    take("--zone", job.zone);
    take("--contour", job.contour);
    take("--result", job.result);
    bool perimeter_tone = answered && job.parameters.water_bodies;  // the answers gave one
    if (const auto found = values.find("--perimeter"); found != values.end()) {
        job.perimeter = found->second;
        if (!name_is_acceptable(job.perimeter))
            throw TilesError("nombre no valido para --perimeter: vacio, o con espacios o caracteres de control");
        job.parameters.water_bodies = true;
    }
    ChannelParameters& p = job.parameters;
    if (const auto found = values.find("--tones"); found != values.end()) {
        const std::vector<int32_t> tones = parse_list("--tones", found->second);
        if (tones.size() < 3 || tones.size() > 4)
            throw TilesError("--tones lleva tres o cuatro tonos: cauce, barandal, curva limite[, perimetro]");
        p.zone_tone = tones[0];
        p.railing_tone = tones[1];
        p.contour_tone = tones[2];
        if (tones.size() == 4) {
            p.perimeter_tone = tones[3];
            perimeter_tone = true;
        }
    } else if (!answered) {
        throw TilesError("falta la opcion --tones (o --answers)");
    }
    if (p.water_bodies && !perimeter_tone)
        throw TilesError("con cuerpos de agua, --tones lleva tambien el tono del perimetro");
    if (const auto found = values.find("--heights"); found != values.end()) {
        const std::vector<int32_t> heights = parse_list("--heights", found->second);
        if (heights.size() != 2)
            throw TilesError("--heights lleva dos valores: altura del barandal y altitud de la curva limite");
        p.railing_height = heights[0];
        p.contour_altitude = heights[1];
    } else if (!answered) {
        throw TilesError("falta la opcion --heights (o --answers)");
    }
    if (const auto found = values.find("--images"); found != values.end()) {
        job.image_root = found->second.empty() ? "./" : found->second;
        if (job.image_root.back() != '/') job.image_root += '/';
    } else {
        job.image_root = host_image_root();
    }
    if (values.count("--memory") != 0) options.memory = parse_bytes("--memory", values["--memory"]);
    if (values.count("--tile") != 0) options.tile = parse_positive("--tile", values["--tile"]);
    if (values.count("--threads") != 0) options.threads = parse_positive("--threads", values["--threads"]);
    return options;
}

int run_batch(const std::vector<std::string>& words, Processes& processes, std::FILE* out, std::FILE* err,
              bool err_is_terminal) {
    Steps steps(processes, err);
    BatchOptions options;
    if (!steps.run([&] { options = parse_batch_options(words); })) return 1;
    if (options.help || options.version) {
        if (!processes.first()) return 0;
        std::fputs(options.help ? kTilesUsage : "lorvantide-tiles " LORVANTIDE_VERSION "\n", out);
        return output_written(out, err, processes) ? 0 : 1;
    }
    OpenJob open;
    if (!steps.run([&] { open = open_job(options.job); })) return 1;

    // One tile at a time, on all the threads: the memory goes to one window,
    // whose halo then costs least, and compute_channel uses the threads itself.
    const int32_t threads = thread_count(options, processes);
    const int32_t tiles_at_once = 1;
    const std::optional<WindowPlan> plan = agree_on_plan(steps, processes, options, open, tiles_at_once, threads);
    if (!plan) return 1;
    if (options.plan) {
        if (!processes.first()) return 0;
        print_plan(out, *plan, options.job.parameters.water_bodies, threads);
        return output_written(out, err, processes) ? 0 : 1;
    }

    ResultRaster raster;
    if (!open_result(steps, processes, open, raster, err)) return 1;
    const bool quiet = options.quiet;
    if (processes.first() && !quiet) {
        for (const std::string& warning : open.warnings) std::fprintf(err, "\n %s \n", warning.c_str());
        std::fflush(err);
    }
    ProgressLine progress(err, processes.first() && (err_is_terminal || options.progress) && !quiet);
    progress.update(0.0);
    CoreTotals mine;
    if (!compute_tiles(steps, processes, options, open, *plan, raster, threads, tiles_at_once, progress, mine))
        return 1;

    const CoreTotals totals = processes.gather(mine);
    const bool committed = !processes.first() || commit(steps, open, totals, *raster.outputs, quiet, progress, err);
    return steps.settle(committed) ? 0 : 1;
}
