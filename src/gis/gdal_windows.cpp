#include "gis/gdal_windows.hpp"

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "gis/conditioned_dem.hpp"
#include "gis/dem_source.hpp"
#include "gis/elevation_band.hpp"
#include "gis/free_value.hpp"
#include "gis/raster_writer.hpp"
#include "gis/tool_error.hpp"
#include "hydrology/raster.hpp"

namespace {

// The model's values and validity on a rectangle, line by line, as
// read_band_line reads a line (NaN is never valid).
void read_model(GDALRasterBandH band, const RasterRect& rect, std::vector<double>& values, std::vector<uint8_t>& valid,
                const std::string& source) {
    const auto count = static_cast<std::size_t>(rect.lines) * static_cast<std::size_t>(rect.columns);
    values.resize(count);
    valid.resize(count);
    if (GDALRasterIO(band, GF_Read, rect.column, rect.line, rect.columns, rect.lines, values.data(), rect.columns,
                     rect.lines, GDT_Float64, 0, 0) != CE_None ||
        GDALRasterIO(GDALGetMaskBand(band), GF_Read, rect.column, rect.line, rect.columns, rect.lines, valid.data(),
                     rect.columns, rect.lines, GDT_Byte, 0, 0) != CE_None)
        throw ToolError("no se puede leer la ventana de las lineas " + std::to_string(rect.line) + " a " +
                        std::to_string(rect.line + rect.lines - 1) + " de " + source + gdal_detail());
    for (std::size_t k = 0; k < count; ++k)
        if (std::isnan(values[k])) valid[k] = 0;
}

bool has_option(const std::vector<std::string>& options, const std::string& name) {
    for (const std::string& option : options)
        if (EQUALN(option.c_str(), (name + "=").c_str(), name.size() + 1)) return true;
    return false;
}

// The creation options of a tiled GeoTIFF: the user's, when the output is a
// GeoTIFF, and tiles and BigTIFF unless the user chose otherwise.
StringList tiled_options(const RasterFormat& format) {
    std::vector<std::string> options;
    if (EQUAL(format.driver.c_str(), "GTiff")) options = format.creation_options;
    if (!has_option(options, "TILED")) options.push_back("TILED=YES");
    if (!has_option(options, "BIGTIFF")) options.push_back("BIGTIFF=IF_SAFER");
    return StringList(options);
}

std::string tiled_path(const OutputFile& file, const RasterFormat& format) {
    return EQUAL(format.driver.c_str(), "GTiff") ? file.temporary : file.temporary + ".teselas.tif";
}

GDALDriverH gtiff() {
    GDALDriverH driver = GDALGetDriverByName("GTiff");
    if (driver == nullptr) throw ToolError("GDAL no tiene el controlador GTiff");
    return driver;
}

// Positioned reads or writes of the whole count; false with errno otherwise.
bool positioned(int fd, unsigned char* bytes, std::size_t count, uint64_t offset, bool writing) {
    while (count > 0) {
        const ssize_t done = writing ? pwrite(fd, bytes, count, static_cast<off_t>(offset))
                                     : pread(fd, bytes, count, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = EIO;
            return false;
        }
        bytes += done;
        count -= static_cast<std::size_t>(done);
        offset += static_cast<uint64_t>(done);
    }
    return true;
}

}  // namespace

void GdalWindowSource::keep_masks(const std::string& path, bool join) {
    masks_path_ = path;
    masks_fd_ = ::open(path.c_str(), join ? O_RDONLY | O_CLOEXEC : O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (masks_fd_ < 0) throw ToolError("no se pudo abrir el archivo temporal " + path + ": " + std::strerror(errno));
    masks_created_ = !join;
    masks_complete_ = join;
    if (join) return;
    const auto bytes = static_cast<off_t>(4 * static_cast<uint64_t>(lines()) * static_cast<uint64_t>(columns()));
    const int error = bytes > 0 ? posix_fallocate(masks_fd_, 0, bytes) : 0;
    if (error != 0)
        throw ToolError("no cabe en el disco el archivo temporal " + path + ": " + std::strerror(error));
}

void GdalWindowSource::remove_masks() {
    if (masks_fd_ >= 0) ::close(masks_fd_), masks_fd_ = -1;
    if (masks_created_) unlink(masks_path_.c_str());
    masks_created_ = false;
}

GdalWindowSource::GdalWindowSource(const ChannelSources& sources, const std::string& dem_name, double scale,
                                   Warnings& warnings)
    : sources_(sources),
      dem_name_(dem_name),
      scale_(scale),
      to_integers_(ExactAffine::to_integers(sources.dem().units().scale, sources.dem().units().offset, scale)),
      warnings_(warnings),
      silent_(nullptr, false) {}

void GdalWindowSource::scan_model(ProgressSpan& progress) {
    const DemSource& dem = sources_.dem();
    const Georef& grid = dem.grid();
    GDALRasterBandH band = dem.reading_band();
    std::vector<double> values;
    std::vector<uint8_t> valid;
    int32_t lowest = std::numeric_limits<int32_t>::max();
    bool any = false;
    constexpr int32_t kBand = 64;
    for (int32_t first = 0; first < grid.lines; first += kBand) {
        const RasterRect rect{first, 0, std::min(kBand, grid.lines - first), grid.columns};
        read_model(band, rect, values, valid, dem_name_);
        for (int32_t a = 0; a < rect.lines; ++a)
            for (int32_t j = 0; j < grid.columns; ++j) {
                const std::size_t k = static_cast<std::size_t>(a) * static_cast<std::size_t>(grid.columns) +
                                      static_cast<std::size_t>(j);
                if (valid[k] == 0) continue;
                lowest = std::min(lowest, scaled_elevation(values[k], to_integers_, first + a, j));
                any = true;
            }
        ProgressSpan::gdal_callback(static_cast<double>(rect.line + rect.lines) / grid.lines, nullptr, &progress);
    }
    if (!any) throw ToolError(dem_name_ + " no tiene ningun pixel con dato");
    lowest_ = lowest;
}

void GdalWindowSource::read(const RasterRect& rect, const WindowRows& rows) {
    const std::lock_guard<std::mutex> lock(reading_);
    const DemSource& dem = sources_.dem();
    const Georef& grid = dem.grid();
    GDALRasterBandH band = dem.reading_band();
    std::vector<double> values;
    std::vector<uint8_t> valid;
    const auto width = static_cast<std::size_t>(rect.columns);
    if (rows.slope != nullptr) {  // the model a few lines at a time: its doubles never take a window's memory
        constexpr int32_t kLines = 16;
        for (int32_t top = 0; top < rect.lines; top += kLines) {
            const int32_t lines = std::min(kLines, rect.lines - top);
            read_model(band, {rect.line + top, rect.column, lines, rect.columns}, values, valid, dem_name_);
            for (int32_t a = 0; a < lines; ++a)
                for (int32_t b = 0; b < rect.columns; ++b) {
                    const std::size_t k = static_cast<std::size_t>(a) * width + static_cast<std::size_t>(b);
                    rows.slope[top + a][b] =
                        valid[k] == 0 ? lowest_
                                      : scaled_elevation(values[k], to_integers_, rect.line + top + a, rect.column + b);
                }
        }
        // The holes under the banks and lakes that took their line's elevation.
        const auto raster_width = static_cast<uint64_t>(grid.columns);
        for (int32_t a = 0; a < rect.lines && !filled_.empty(); ++a) {
            const uint64_t start = static_cast<uint64_t>(rect.line + a) * raster_width + static_cast<uint64_t>(rect.column);
            auto pixel = std::lower_bound(filled_.begin(), filled_.end(), std::pair<uint64_t, int32_t>{start, INT32_MIN});
            for (; pixel != filled_.end() && pixel->first < start + width; ++pixel)
                rows.slope[a][pixel->first - start] = pixel->second;
        }
    }
    unsigned char* const* targets[4] = {rows.railing, rows.zone, rows.contour, rows.perimeter};
    const std::size_t masks = std::min<std::size_t>(sources_.mask_count(), 4);
    const auto raster_columns = static_cast<uint64_t>(grid.columns);
    if (masks_complete_) {  // the tiles read what the reach map's pass burned
        std::vector<unsigned char> line(4 * width);
        for (int32_t a = 0; a < rect.lines; ++a) {
            const uint64_t offset = 4 * (static_cast<uint64_t>(rect.line + a) * raster_columns + static_cast<uint64_t>(rect.column));
            if (!positioned(masks_fd_, line.data(), line.size(), offset, false))
                throw ToolError("no se pudo leer el archivo temporal " + masks_path_ + ": " + std::strerror(errno));
            for (std::size_t m = 0; m < masks; ++m)
                if (targets[m] != nullptr)
                    for (std::size_t b = 0; b < width; ++b) targets[m][a][b] = line[4 * b + m];
        }
        return;
    }
    Warnings& warnings = first_window_ ? warnings_ : silent_;
    for (std::size_t m = 0; m < masks; ++m)
        if (targets[m] != nullptr)
            sources_.mask_source(m).burn_window(grid, dem_name_, kBurnTone, rect.line, rect.column, rect.lines,
                                                rect.columns, targets[m], warnings);
    first_window_ = false;
    if (rows.slope != nullptr) return;
    if (masks_fd_ >= 0 && rect.column == 0 && rect.columns == grid.columns) {  // the pass: kept for the tiles
        std::vector<unsigned char> line(4 * width, 0);
        for (int32_t a = 0; a < rect.lines; ++a) {
            for (std::size_t m = 0; m < masks; ++m)
                if (targets[m] != nullptr)
                    for (std::size_t b = 0; b < width; ++b) line[4 * b + m] = targets[m][a][b];
            if (!positioned(masks_fd_, line.data(), line.size(), 4 * static_cast<uint64_t>(rect.line + a) * raster_columns,
                            true))
                throw ToolError("no se pudo escribir el archivo temporal " + masks_path_ + ": " + std::strerror(errno));
        }
        if (rect.line + rect.lines == grid.lines) {
            if (fsync(masks_fd_) != 0)  // for the processes of other machines
                throw ToolError("no se pudo escribir el archivo temporal " + masks_path_ + ": " + std::strerror(errno));
            masks_complete_ = true;
        }
    }
    // The reach map's pass (every line once, no model wanted): what each mask
    // marked, and the boundary pixels in the model's holes.
    for (std::size_t m = 0; m < 4; ++m) {
        if (targets[m] == nullptr) continue;
        for (int32_t a = 0; a < rect.lines; ++a)
            marked_[m] += std::count_if(targets[m][a], targets[m][a] + rect.columns,
                                        [](unsigned char pixel) { return pixel != 0; });
    }
    if (rows.railing == nullptr && rows.perimeter == nullptr && rows.contour == nullptr) return;
    for (int32_t a = 0; a < rect.lines; ++a) {  // the model beneath the lines, a line at a time
        const int32_t i = rect.line + a;
        const auto marks = [&](unsigned char* const* mask, int32_t b) { return mask != nullptr && mask[a][b] != 0; };
        bool wanted = false;
        for (int32_t b = 0; b < rect.columns && !wanted; ++b)
            wanted = marks(rows.railing, b) || marks(rows.perimeter, b) || marks(rows.contour, b);
        if (!wanted) continue;
        read_model(band, {i, rect.column, 1, rect.columns}, values, valid, dem_name_);
        for (int32_t b = 0; b < rect.columns; ++b) {
            const bool holds = valid[static_cast<std::size_t>(b)] != 0;
            if (!holds && (marks(rows.railing, b) || marks(rows.perimeter, b)))
                boundary_holes_.push_back(static_cast<uint64_t>(i) * raster_columns +
                                          static_cast<uint64_t>(rect.column + b));
            if (holds && marks(rows.contour, b))
                along_contour_.push_back(
                    scaled_elevation(values[static_cast<std::size_t>(b)], to_integers_, i, rect.column + b));
        }
    }
}

std::pair<std::size_t, std::size_t> GdalWindowSource::fill_boundary_holes() {
    filled_.clear();
    std::vector<uint64_t>& holes = boundary_holes_;
    std::sort(holes.begin(), holes.end());
    holes.erase(std::unique(holes.begin(), holes.end()), holes.end());
    if (holes.empty()) return {0, 0};
    if (!masks_complete_) throw ToolError("falta el archivo temporal de las mascaras");
    const int32_t raster_lines = lines();
    const int32_t raster_columns = columns();
    const auto is_hole = [&holes](uint64_t k) { return std::binary_search(holes.begin(), holes.end(), k); };
    // The pixels with data beside the holes that are banks or lakes: the
    // only ones of the whole route's first front whose neighbours it reaches.
    std::vector<uint64_t> beside;
    for (const uint64_t k : holes)
        for_each_neighbour(raster_lines, raster_columns, static_cast<std::size_t>(k), [&](std::size_t n, const Step&) {
            if (!is_hole(n)) beside.push_back(n);
        });
    std::sort(beside.begin(), beside.end());
    beside.erase(std::unique(beside.begin(), beside.end()), beside.end());
    GDALRasterBandH band = sources_.dem().reading_band();
    std::vector<std::pair<uint64_t, int32_t>> front;
    std::vector<double> values;
    std::vector<uint8_t> valid;
    const bool lakes = water_bodies();
    for (const uint64_t n : beside) {
        unsigned char masks[4];
        if (!positioned(masks_fd_, masks, 4, 4 * n, false))
            throw ToolError("no se pudo leer el archivo temporal " + masks_path_ + ": " + std::strerror(errno));
        if (masks[0] == 0 && !(lakes && masks[3] != 0)) continue;
        const auto i = static_cast<int32_t>(n / static_cast<uint64_t>(raster_columns));
        const auto j = static_cast<int32_t>(n % static_cast<uint64_t>(raster_columns));
        read_model(band, {i, j, 1, 1}, values, valid, dem_name_);
        front.emplace_back(n, scaled_elevation(values[0], to_integers_, i, j));
    }
    // fill_along_lines' walk: front by front, each pixel's neighbours in turn.
    std::vector<uint8_t> reached(holes.size(), 0);
    std::vector<int32_t> taken(holes.size(), 0);
    std::size_t filled = 0;
    while (!front.empty()) {
        std::vector<std::pair<uint64_t, int32_t>> next;
        for (const std::pair<uint64_t, int32_t>& pixel : front) {
            const int32_t elevation = pixel.second;
            for_each_neighbour(raster_lines, raster_columns, static_cast<std::size_t>(pixel.first),
                               [&](std::size_t n, const Step&) {
                const auto hole = std::lower_bound(holes.begin(), holes.end(), static_cast<uint64_t>(n));
                if (hole == holes.end() || *hole != n) return;
                const auto h = static_cast<std::size_t>(hole - holes.begin());
                if (reached[h] != 0) return;
                reached[h] = 1;
                taken[h] = elevation;
                ++filled;
                next.emplace_back(n, elevation);
            });
        }
        front.swap(next);
    }
    for (std::size_t h = 0; h < holes.size(); ++h)
        if (reached[h] != 0) filled_.emplace_back(holes[h], taken[h]);
    return {filled, holes.size() - filled};
}

std::string GdalWindowSource::filled_to_bytes() const {
    std::string bytes;
    for (const auto& pixel : filled_)
        bytes += std::to_string(pixel.first) + " " + std::to_string(pixel.second) + "\n";
    return bytes;
}

void GdalWindowSource::filled_from_bytes(const std::string& bytes) {
    filled_.clear();
    std::istringstream words(bytes);
    uint64_t k = 0;
    int32_t value = 0;
    while (words >> k >> value) filled_.emplace_back(k, value);
}

void GdalWindowSource::check_masks(std::optional<double> contour_altitude, Warnings& warnings) {
    for (std::size_t m = 0; m < sources_.mask_count(); ++m) sources_.mask_source(m).warn_points(warnings);
    for (std::size_t m = 0; m < sources_.mask_count() && m < 4; ++m)
        if (marked_[m] == 0)
            throw ToolError(sources_.mask_option(m) + ": ningun pixel de la rejilla de " + dem_name_ +
                            " queda marcado: revise " + sources_.mask_source(m).unmarked_hint());
    const auto [filled, stranded] = fill_boundary_holes();
    const std::string& unit = sources_.dem().units().unit;
    if (filled + stranded > 0)
        warnings.add(boundary_holes_warning(filled, stranded, water_bodies(), lowest_, scale_, unit, dem_name_));
    warn_contour_altitude(contour_altitude, scale_, std::move(along_contour_), unit, warnings);
    along_contour_ = {};
}

GdalWindowSink::GdalWindowSink(const ChannelOptions& options, const ChannelSources& sources, GDALDataType type,
                               const OutputFile& channel, const std::optional<OutputFile>& conditioned,
                               ProgressSpan& copying)
    : options_(options), sources_(sources), type_(type) {
    const DemSource& dem = sources.dem();
    const Georef& grid = dem.grid();
    const double unit_per_integer = 1.0 / options.scale;
    band_.unit = dem.units().unit;
    if (!options.unscale) band_.scale = unit_per_integer;
    band_.nodata = stored(options.nodata.value_or(kDefaultNodata), type);
    const TypeRange range = range_of(type);
    const bool integer = type != GDT_Float32 && type != GDT_Float64;
    if (!(*band_.nodata >= range.low && *band_.nodata <= range.high) ||
        (integer && *band_.nodata != std::trunc(*band_.nodata)))
        throw ToolError("el valor sin dato " + elevation_text(*band_.nodata) + " no cabe en pixeles " + type_name(type));

    channel_.file = channel;
    channel_.tiled = tiled_path(channel, options.format);
    {
        const StringList creation = tiled_options(options.format);
        CPLErrorReset();
        channel_.dataset.reset(GDALCreate(gtiff(), channel_.tiled.c_str(), grid.columns, grid.lines, 1, type,
                                          creation.get()));
    }
    if (!channel_.dataset) throw ToolError("no se puede crear " + channel.target + gdal_detail());
    auto* handle = static_cast<GDALDatasetH>(channel_.dataset.get());
    GDALRasterBandH out = GDALGetRasterBand(handle, 1);
    GDALSetRasterNoDataValue(out, *band_.nodata);
    if (band_.scale != 1.0 || band_.offset != 0.0) {
        GDALSetRasterScale(out, band_.scale);
        GDALSetRasterOffset(out, band_.offset);
    }
    if (!band_.unit.empty()) GDALSetRasterUnitType(out, band_.unit.c_str());
    set_transform(handle, grid);
    if (!grid.crs_wkt.empty()) GDALSetProjection(handle, grid.crs_wkt.c_str());

    if (!conditioned) return;
    to_raw_.emplace(RawConversion::of(dem, options.scale));
    conditioned_.emplace();
    conditioned_->file = *conditioned;
    conditioned_->tiled = tiled_path(*conditioned, options.format);
    {
        const StringList creation = tiled_options(options.conditioned_format());
        CPLErrorReset();
        Dataset copy(GDALCreateCopy(gtiff(), conditioned_->tiled.c_str(), dem.dataset(), FALSE, creation.get(),
                                    ProgressSpan::gdal_callback, &copying));
        if (!copy) throw ToolError("no se puede copiar el MDE en " + conditioned->target + gdal_detail());
    }
    conditioned_->dataset.reset(GDALOpen(conditioned_->tiled.c_str(), GA_Update));
    if (!conditioned_->dataset) throw ToolError("no se puede abrir la copia del MDE" + gdal_detail());
    auto* copy = static_cast<GDALDatasetH>(conditioned_->dataset.get());
    for (int b = 1; b <= GDALGetRasterCount(copy); ++b) {
        const char* unit = GDALGetRasterUnitType(GDALGetRasterBand(dem.dataset(), b));
        if (unit != nullptr && *unit != '\0') GDALSetRasterUnitType(GDALGetRasterBand(copy, b), unit);
    }
    drop_statistics(GDALGetRasterBand(copy, dem.band()));
    GDALRasterBandH model = GDALGetRasterBand(dem.dataset(), dem.band());
    const int flags = GDALGetMaskFlags(model);
    if ((flags & GMF_PER_DATASET) != 0 && (flags & (GMF_ALL_VALID | GMF_NODATA)) == 0)
        conditioned_mask_ = GDALGetMaskBand(GDALGetRasterBand(copy, dem.band()));
}

GdalWindowSink::~GdalWindowSink() {
    for (Output* output : {&channel_, conditioned_ ? &*conditioned_ : nullptr}) {
        if (output == nullptr) continue;
        output->dataset.reset();
        if (output->tiled == output->file.temporary) continue;
        VSIUnlink(output->tiled.c_str());
        VSIUnlink((output->tiled + ".aux.xml").c_str());
    }
}

void GdalWindowSink::write_core(const RasterRect& core, const CoreValues& values) {
    const double factor = options_.unscale ? 1.0 / options_.scale : 1.0;
    const TypeRange range = range_of(type_);
    const auto width = static_cast<std::size_t>(core.columns);
    const DemSource& dem = sources_.dem();
    const double unit_per_integer = 1.0 / options_.scale;
    const int32_t raster_columns = dem.grid().columns;
    const RawConversion& to_raw = *to_raw_;
    // The values of the core's lines, checked before any is written.
    double low = 0.0, high = 0.0;
    bool any = false;
    int64_t holder = -1;
    for (std::size_t k = 0; k < width * static_cast<std::size_t>(core.lines); ++k) {
        if (values.channel[k] == 0) continue;
        const double value = stored(values.rounded[k] * factor, type_);
        low = any ? std::min(low, value) : value;
        high = any ? std::max(high, value) : value;
        any = true;
        const int64_t line = core.line + static_cast<int64_t>(k / width);
        const int64_t column = core.column + static_cast<int64_t>(k % width);
        if (!(value >= range.low && value <= range.high))
            throw ToolError("el valor " + elevation_text(value) + " de la linea " + std::to_string(line) + ", columna " +
                            std::to_string(column) + " no cabe en pixeles " + type_name(type_) + ": use -ot Int32");
        if (value == *band_.nodata && holder < 0) holder = line * raster_columns + column;
    }

    std::vector<double> band(width);
    std::vector<double> raw(width);
    const std::vector<uint8_t> valid(width, 255);
    const std::lock_guard<std::mutex> lock(writing_);
    if (any) {
        held_low_ = any_held_ ? std::min(held_low_, low) : low;
        held_high_ = any_held_ ? std::max(held_high_, high) : high;
        any_held_ = true;
    }
    if (holder >= 0 && (first_nodata_holder_ < 0 || holder < first_nodata_holder_)) first_nodata_holder_ = holder;
    GDALRasterBandH channel = GDALGetRasterBand(static_cast<GDALDatasetH>(channel_.dataset.get()), 1);
    GDALRasterBandH model =
        conditioned_ ? GDALGetRasterBand(static_cast<GDALDatasetH>(conditioned_->dataset.get()), dem.band()) : nullptr;
    for (int32_t a = 0; a < core.lines; ++a) {
        const std::size_t start = static_cast<std::size_t>(a) * width;
        for (std::size_t b = 0; b < width; ++b)
            band[b] = values.channel[start + b] == 0 ? *band_.nodata : stored(values.rounded[start + b] * factor, type_);
        CPLErrorReset();
        if (GDALRasterIO(channel, GF_Write, core.column, core.line + a, core.columns, 1, band.data(), core.columns, 1,
                         GDT_Float64, 0, 0) != CE_None)
            throw ToolError("no se puede escribir " + channel_.file.target + gdal_detail());
        if (model == nullptr) continue;
        // The conditioned model: the channel's runs of this line.
        for (int32_t first = 0; first < core.columns;) {
            if (values.channel[start + static_cast<std::size_t>(first)] == 0) {
                ++first;
                continue;
            }
            int32_t end = first;
            for (; end < core.columns && values.channel[start + static_cast<std::size_t>(end)] != 0; ++end) {
                const int32_t integer = values.rounded[start + static_cast<std::size_t>(end)];
                raw[static_cast<std::size_t>(end)] =
                    to_raw(static_cast<double>(integer) * unit_per_integer, integer,
                           static_cast<std::size_t>(core.line + a) * static_cast<std::size_t>(raster_columns) +
                               static_cast<std::size_t>(core.column + end),
                           raster_columns);
            }
            if (GDALRasterIO(model, GF_Write, core.column + first, core.line + a, end - first, 1,
                             raw.data() + first, end - first, 1, GDT_Float64, 0, 0) != CE_None ||
                (conditioned_mask_ != nullptr &&
                 GDALRasterIO(conditioned_mask_, GF_Write, core.column + first, core.line + a, end - first, 1,
                              const_cast<uint8_t*>(valid.data()), end - first, 1, GDT_Byte, 0, 0) != CE_None))
                throw ToolError("no se puede poner el cauce en la copia del MDE" + gdal_detail());
            first = end;
        }
    }
}

void GdalWindowSink::finish(ProgressSpan& progress, Warnings& warnings) {
    if (first_nodata_holder_ >= 0) {
        const int64_t columns = sources_.dem().grid().columns;
        const TypeRange range = range_of(type_);
        throw ToolError("el valor sin dato " + elevation_text(*band_.nodata) + " lo tiene un pixel del cauce (linea " +
                        std::to_string(first_nodata_holder_ / columns) + ", columna " +
                        std::to_string(first_nodata_holder_ % columns) + "); elija otro con --nodata, p. ej. " +
                        elevation_text(free_value({held_low_, held_high_}, kDefaultNodata, range.low, range.high)));
    }
    const double middle = progress.from + (progress.to - progress.from) / 2.0;
    ProgressSpan spans[2] = {{progress.progress, progress.from, conditioned_ ? middle : progress.to},
                             {progress.progress, middle, progress.to}};
    int step = 0;
    for (Output* output : {&channel_, conditioned_ ? &*conditioned_ : nullptr}) {
        if (output == nullptr) continue;
        ProgressSpan& span = spans[step++];
        CPLErrorReset();
        GDALFlushCache(static_cast<GDALDatasetH>(output->dataset.get()));
        output->dataset.reset();
        if (CPLGetLastErrorType() == CE_Failure) throw ToolError("no se puede escribir " + output->file.target + gdal_detail());
        if (output->tiled == output->file.temporary) continue;
        // Another format, written from the tiled GeoTIFF.
        Dataset tiled(GDALOpen(output->tiled.c_str(), GA_ReadOnly));
        if (!tiled) throw ToolError("no se puede leer " + output->tiled + gdal_detail());
        write_raster(static_cast<GDALDatasetH>(tiled.get()), output->file,
                     output == &channel_ ? options_.format : options_.conditioned_format(), span, warnings,
                     output == &channel_ ? &band_ : &sources_.dem().units());
        tiled.reset();
        VSIUnlink(output->tiled.c_str());
        VSIUnlink((output->tiled + ".aux.xml").c_str());  // it sits in the output's folder, which moves whole
        output->tiled = output->file.temporary;
    }
}
