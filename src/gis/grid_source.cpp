#include "gis/grid_source.hpp"

#include <cpl_conv.h>
#include <gdal_alg.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include "gis/burn_clip.hpp"
#include "gis/grid_checks.hpp"
#include "gis/memory_budget.hpp"
#include "gis/number_text.hpp"
#include "gis/tool_error.hpp"

namespace {

using Geometry = GdalHandle<OGRGeometryH, OGR_G_DestroyGeometry>;
using Feature = GdalHandle<OGRFeatureH, OGR_F_Destroy>;
using Transformation = GdalHandle<OGRCoordinateTransformationH, OCTDestroyCoordinateTransformation>;

// Longitude before latitude, as the coordinates of GIS files are written.
Srs srs_in_gis_order(const std::string& wkt) {
    Srs srs(OSRNewSpatialReference(wkt.c_str()));
    if (srs) OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

// The WKT of a layer's CRS; "" when it has none. A GeoPackage states "none" as
// its undefined geographic or Cartesian SRS, which are no CRS either.
std::string wkt_of(OGRSpatialReferenceH srs) {
    if (srs != nullptr && OSRGetAuthorityName(srs, nullptr) == nullptr) {
        const char* name = OSRGetName(srs);
        if (name != nullptr && std::string(name).rfind("Undefined ", 0) == 0) return "";
    }
    char* text = nullptr;
    if (srs == nullptr || OSRExportToWkt(srs, &text) != OGRERR_NONE) {
        CPLFree(text);
        return "";
    }
    std::string wkt = text;
    CPLFree(text);
    return wkt;
}

std::string user_crs(const std::string& text) {
    Srs srs(OSRNewSpatialReference(nullptr));
    CPLErrorReset();
    if (OSRSetFromUserInput(srs.get(), text.c_str()) != OGRERR_NONE)
        throw ToolError("SRC desconocido para --assume-crs: " + text + gdal_detail());
    return wkt_of(srs.get());
}

// The CRS the source's coordinates are in: its own, or the one the user
// assumes for it when it states none.
std::string source_crs(const std::string& own, const SourceChoice& choice, const Georef& grid,
                       const std::string& grid_name, Warnings& warnings) {
    if (!own.empty()) {
        if (choice.assume_crs && !choice.shared_options)
            throw ToolError(choice.path + " ya declara su SRC (" + crs_name(own) +
                            "): --assume-crs es solo para fuentes sin SRC");
        if (grid.crs_wkt.empty())
            warnings.add("el MDE " + grid_name + " no declara SRC: las coordenadas de " + choice.path + " (" +
                         crs_name(own) + ") se toman tal cual");
        return own;
    }
    if (choice.assume_crs) return user_crs(*choice.assume_crs);
    if (grid.crs_wkt.empty()) {
        warnings.add("ni " + choice.path + " ni el MDE " + grid_name +
                     " declaran SRC: las coordenadas se toman tal cual");
        return "";
    }
    const std::string code = crs_code(grid.crs_wkt);
    throw ToolError(choice.path + " no declara su SRC y el MDE " + grid_name + " esta en " + crs_name(grid.crs_wkt) +
                    ": si " + choice.path + " esta en ese SRC, digalo con --assume-crs " +
                    (code.empty() ? "SRC" : code));
}

// A gdalwarp line that puts a raster on the grid, for north-up grids. A CRS
// the source does not state, but the user assumes, is given to gdalwarp as
// the source's (-s_srs): without it gdalwarp would not know where the
// source lies.
std::string warp_hint(const Georef& grid, const std::string& source, const std::optional<std::string>& assumed) {
    const auto& t = grid.transform;
    if (!grid.has_transform || t[2] != 0.0 || t[4] != 0.0) return "";
    const double x0 = t[0];
    const double x1 = t[0] + t[1] * grid.columns;
    const double y0 = t[3];
    const double y1 = t[3] + t[5] * grid.lines;
    const std::string box = number_text(std::min(x0, x1), 15) + " " + number_text(std::min(y0, y1), 15) + " " +
                            number_text(std::max(x0, x1), 15) + " " + number_text(std::max(y0, y1), 15);
    const std::string code = crs_code(grid.crs_wkt);
    return "; llevelo a esa rejilla con gdalwarp -r near" + (assumed ? " -s_srs " + *assumed : "") +
           (code.empty() ? "" : " -t_srs " + code) + " -te " + box +
           " -ts " + std::to_string(grid.columns) + " " + std::to_string(grid.lines) + " " + source + " SALIDA.tif";
}

std::string layer_names(GDALDatasetH source) {
    std::string names;
    for (int k = 0; k < GDALDatasetGetLayerCount(source); ++k) {
        if (!names.empty()) names += ", ";
        names += OGR_L_GetName(GDALDatasetGetLayer(source, k));
    }
    return names;
}

OGRLayerH chosen_layer(GDALDatasetH source, const SourceChoice& choice) {
    if (choice.layer) {
        OGRLayerH layer = GDALDatasetGetLayerByName(source, choice.layer->c_str());
        if (layer == nullptr)
            throw ToolError("no existe la capa " + *choice.layer + " en " + choice.path + " (capas: " +
                            layer_names(source) + ")");
        return layer;
    }
    if (GDALDatasetGetLayerCount(source) != 1)
        throw ToolError(choice.path + " tiene varias capas; elija una con " + choice.option_prefix + "layer (capas: " +
                        layer_names(source) + ")");
    return GDALDatasetGetLayer(source, 0);
}

// The points and the polygons a geometry holds, however nested.
void count_parts(const OGRGeometry& geometry, long long& points, long long& polygons) {
    switch (wkbFlatten(geometry.getGeometryType())) {
        case wkbPoint:
            ++points;
            return;
        case wkbPolygon:
        case wkbCurvePolygon:
        case wkbTriangle:
            ++polygons;
            return;
        case wkbMultiPoint:
        case wkbMultiPolygon:
        case wkbMultiSurface:
        case wkbGeometryCollection: {
            const auto& collection = static_cast<const OGRGeometryCollection&>(geometry);
            for (int k = 0; k < collection.getNumGeometries(); ++k)
                count_parts(*collection.getGeometryRef(k), points, polygons);
            return;
        }
        default:
            return;
    }
}

// A geometry whose polygons are replaced by their outlines (the lines of
// their rings); nothing else of it changes.
std::unique_ptr<OGRGeometry> polygon_outlines(std::unique_ptr<OGRGeometry> geometry) {
    long long points = 0;
    long long polygons = 0;
    count_parts(*geometry, points, polygons);
    if (polygons == 0) return geometry;
    const OGRwkbGeometryType type = wkbFlatten(geometry->getGeometryType());
    if (type == wkbGeometryCollection || type == wkbMultiPolygon || type == wkbMultiSurface) {
        auto* collection = static_cast<OGRGeometryCollection*>(geometry.get());
        auto result = std::make_unique<OGRGeometryCollection>();
        for (int k = 0; k < collection->getNumGeometries(); ++k)
            result->addGeometryDirectly(
                polygon_outlines(std::unique_ptr<OGRGeometry>(collection->getGeometryRef(k)->clone())).release());
        return result;
    }
    if (geometry->hasCurveGeometry()) geometry.reset(geometry->getLinearGeometry());
    const auto* polygon = geometry ? dynamic_cast<const OGRPolygon*>(geometry.get()) : nullptr;
    if (polygon == nullptr) return geometry;
    // Each ring as a line, its points as they are.
    auto rings = std::make_unique<OGRMultiLineString>();
    for (int k = -1; k < polygon->getNumInteriorRings(); ++k) {
        const OGRLinearRing* ring = k < 0 ? polygon->getExteriorRing() : polygon->getInteriorRing(k);
        if (ring != nullptr) rings->addGeometryDirectly(new OGRLineString(*ring));
    }
    return rings;
}

// Burns `batch` into band 1 of `handle`, each geometry with its value
// (through `transformer` from the geometries' coordinates, or the dataset's
// own georeferencing when null), then empties it.
void rasterize(GDALDatasetH handle, std::vector<Geometry>& batch, const std::vector<double>& values,
               GDALTransformerFunc transformer, void* transform, char** options, const std::string& source) {
    if (batch.empty()) return;
    std::vector<OGRGeometryH> geometries;
    for (const Geometry& g : batch) geometries.push_back(g.get());
    const int band_list[1] = {1};
    CPLErrorReset();
    if (GDALRasterizeGeometries(handle, 1, band_list, static_cast<int>(geometries.size()), geometries.data(),
                                transformer, transform, values.data(), options, nullptr, nullptr) != CE_None)
        throw ToolError("no se pueden rasterizar los objetos de " + source + gdal_detail());
    batch.clear();
}

// The notices of a layer's points (each marks one pixel) and of polygons
// burned as their outlines (`polygons` 0 when they are not).
void warn_of_parts(Warnings& warnings, const std::string& layer_name, const std::string& path, long long points,
                   long long polygons) {
    if (points > 0)
        warnings.add("la capa " + layer_name + " de " + path + " tiene " + std::to_string(points) +
                     " puntos: cada punto marca un solo pixel (las orillas, la zona y las curvas son lineas o "
                     "poligonos)");
    if (polygons > 0)
        warnings.add("la capa " + layer_name + " de " + path + " tiene " + std::to_string(polygons) +
                     " poligonos: se marca su contorno, no su interior (las orillas son lineas)");
}

}  // namespace

GridSource::GridSource(const SourceChoice& choice)
    : choice_(choice), dataset_(open_source(choice.path, GDAL_OF_RASTER | GDAL_OF_VECTOR)) {
    auto* source = static_cast<GDALDatasetH>(dataset_.get());
    vector_ = GDALDatasetGetLayerCount(source) > 0 && (GDALGetRasterCount(source) == 0 || choice.layer || choice.where);
    if (!vector_ && GDALGetRasterCount(source) == 0)
        throw ToolError(choice.path + " no tiene ni bandas raster ni capas vectoriales");
    const std::string& prefix = choice.option_prefix;
    if (!vector_ && (choice.layer || choice.where || (choice.all_touched && !choice.shared_options)))
        throw ToolError(choice.path + " es un raster: " + prefix + "layer" + (choice.shared_options ? " y " : ", ") +
                        prefix + "where" + (choice.shared_options ? "" : " y --all-touched") +
                        " son para capas vectoriales");
    if (vector_ && choice.class_value)
        throw ToolError(choice.path + " es una capa vectorial: " + prefix + "class es para rasters de clases");
}

std::string GridSource::unmarked_hint() const {
    return (vector_ ? "la capa, el filtro " + choice_.option_prefix + "where y la extension de "
                    : std::string("la clase y la banda de ")) +
           choice_.path;
}

std::vector<std::string> GridSource::files() const {
    return dataset_files(static_cast<GDALDatasetH>(dataset_.get()));
}

GeoGrid<uint8_t> GridSource::burn(const Georef& grid, const std::string& grid_name, uint8_t tone,
                                  ProgressSpan& progress, Warnings& warnings) const {
    require_memory(raster_bytes(grid.lines, grid.columns, 2), "la mascara de " + choice_.path);
    return {grid,
            vector_ ? burn_vector(grid, grid_name, tone, progress, warnings)
                    : burn_raster(grid, grid_name, tone, progress, warnings),
            {}};
}

std::vector<uint8_t> GridSource::burn_raster(const Georef& grid, const std::string& grid_name, uint8_t tone,
                                             ProgressSpan& progress, Warnings& warnings) const {
    auto* source = static_cast<GDALDatasetH>(dataset_.get());
    Georef own = georef_of(source);
    own.crs_wkt = source_crs(own.crs_wkt, choice_, grid, grid_name, warnings);
    const std::vector<std::string> differences = grid_differences(own, grid);
    if (!differences.empty()) {
        std::string text;
        for (const std::string& difference : differences) text += (text.empty() ? "" : "; ") + difference;
        throw ToolError("la rejilla de " + choice_.path + " no coincide con la del MDE " + grid_name + ": " + text +
                        warp_hint(grid, choice_.path, georef_of(source).crs_wkt.empty() ? choice_.assume_crs
                                                                                       : std::nullopt));
    }
    GDALRasterBandH band = band_of(source, choice_.band, choice_.path);

    std::vector<uint8_t> mask(static_cast<std::size_t>(grid.lines) * static_cast<std::size_t>(grid.columns), 0);
    std::vector<double> values(static_cast<std::size_t>(grid.columns));
    std::vector<uint8_t> valid(static_cast<std::size_t>(grid.columns));
    for (int32_t i = 0; i < grid.lines; ++i) {
        read_band_line(band, i, values, valid, choice_.path);
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (valid[j] == 0) continue;
            const bool marked = choice_.class_value ? values[j] == *choice_.class_value : values[j] != 0.0;
            if (marked) mask[static_cast<std::size_t>(i) * static_cast<std::size_t>(grid.columns) + j] = tone;
        }
        ProgressSpan::gdal_callback(static_cast<double>(i + 1) / grid.lines, nullptr, &progress);
    }
    return mask;
}

std::vector<uint8_t> GridSource::burn_vector(const Georef& grid, const std::string& grid_name, uint8_t tone,
                                             ProgressSpan& progress, Warnings& warnings) const {
    auto* source = static_cast<GDALDatasetH>(dataset_.get());
    OGRLayerH layer = chosen_layer(source, choice_);
    const std::string layer_name = OGR_L_GetName(layer);
    if (choice_.where) {
        CPLErrorReset();
        if (OGR_L_SetAttributeFilter(layer, choice_.where->c_str()) != OGRERR_NONE)
            throw ToolError("el filtro " + choice_.option_prefix + "where no es valido para la capa " + layer_name + ": " + *choice_.where +
                            gdal_detail());
    }
    const std::string crs = source_crs(wkt_of(OGR_L_GetSpatialRef(layer)), choice_, grid, grid_name, warnings);
    Transformation to_grid;
    if (!crs.empty() && !grid.crs_wkt.empty() && !same_crs(crs, grid.crs_wkt)) {
        const Srs from = srs_in_gis_order(crs);
        const Srs to = srs_in_gis_order(grid.crs_wkt);
        to_grid.reset(OCTNewCoordinateTransformation(from.get(),
                                                     to.get()));
        if (!to_grid)
            throw ToolError("no se pueden llevar los objetos de " + choice_.path + " (" + crs_name(crs) +
                            ") al SRC del MDE (" + crs_name(grid.crs_wkt) + ")" + gdal_detail());
    }

    Dataset target = memory_raster(grid.columns, grid.lines, 1, GDT_Byte);
    auto* handle = static_cast<GDALDatasetH>(target.get());
    set_transform(handle, grid);
    StringList options;
    if (choice_.all_touched) options.set("ALL_TOUCHED", "TRUE");

    // Features are burned a batch at a time, so a large layer never sits in memory whole.
    CPLErrorReset();
    const GIntBig total = OGR_L_GetFeatureCount(layer, TRUE);
    GIntBig seen = 0;
    long long points = 0;
    long long polygons = 0;
    const BurnBox box = burn_box(grid);
    std::vector<Geometry> batch;
    auto burn_batch = [&] {
        if (batch.empty()) return;
        rasterize(handle, batch, std::vector<double>(batch.size(), tone), nullptr, nullptr, options.get(),
                  choice_.path);
        ProgressSpan::gdal_callback(total > 0 ? static_cast<double>(seen) / static_cast<double>(total) : 0.0, nullptr,
                                    &progress);
    };
    OGR_L_ResetReading(layer);
    for (;;) {
        Feature feature(OGR_L_GetNextFeature(layer));
        if (!feature) break;
        ++seen;
        OGRGeometryH geometry = OGR_F_GetGeometryRef(feature.get());
        if (geometry == nullptr) continue;
        long long feature_polygons = 0;
        count_parts(*OGRGeometry::FromHandle(geometry), points, feature_polygons);
        polygons += feature_polygons;
        std::unique_ptr<OGRGeometry> copy(OGRGeometry::FromHandle(geometry)->clone());
        if (to_grid && copy->transform(OGRCoordinateTransformation::FromHandle(to_grid.get())) != OGRERR_NONE)
            throw ToolError("no se puede llevar el objeto " + std::to_string(OGR_F_GetFID(feature.get())) + " de " +
                            choice_.path + " al SRC del MDE" + gdal_detail());
        if (choice_.polygon_outlines && feature_polygons > 0) copy = polygon_outlines(std::move(copy));
        if (choice_.all_touched) {
            copy = clipped_to_box(std::move(copy), box);
            if (!copy) continue;
        }
        batch.push_back(Geometry(OGRGeometry::ToHandle(copy.release())));
        if (batch.size() == 4096) burn_batch();
    }
    // A layer whose reading failed half-way (an SQL filter the driver
    // refuses only now, a read error of the file) must not pass for one
    // with fewer features.
    if (CPLGetLastErrorType() == CE_Failure)
        throw ToolError("no se pueden leer los objetos de la capa " + layer_name + " de " + choice_.path +
                        (choice_.where ? " con el filtro " + choice_.option_prefix + "where " + *choice_.where : "") +
                        gdal_detail());
    burn_batch();
    OGR_L_SetAttributeFilter(layer, nullptr);
    warn_of_parts(warnings, layer_name, choice_.path, points, choice_.polygon_outlines ? polygons : 0);

    std::vector<uint8_t> mask(static_cast<std::size_t>(grid.lines) * static_cast<std::size_t>(grid.columns), 0);
    if (GDALRasterIO(GDALGetRasterBand(handle, 1), GF_Read, 0, 0, grid.columns, grid.lines, mask.data(), grid.columns,
                     grid.lines, GDT_Byte, 0, 0) != CE_None)
        throw ToolError("no se puede leer el raster en memoria" + gdal_detail());
    ProgressSpan::gdal_callback(1.0, nullptr, &progress);
    return mask;
}

GeoGrid<double> GridSource::burn_field(const Georef& grid, const std::string& grid_name, const std::string& field,
                                       ProgressSpan& progress, Warnings& warnings) const {
    if (!vector_)
        throw ToolError(choice_.path + " es un raster: el campo " + field + " solo se lee de capas vectoriales");
    require_memory(raster_bytes(grid.lines, grid.columns, 9), "las altitudes de " + choice_.path);
    auto* source = static_cast<GDALDatasetH>(dataset_.get());
    OGRLayerH layer = chosen_layer(source, choice_);
    const std::string layer_name = OGR_L_GetName(layer);
    const int index = OGR_FD_GetFieldIndex(OGR_L_GetLayerDefn(layer), field.c_str());
    if (index < 0) throw ToolError("la capa " + layer_name + " de " + choice_.path + " no tiene el campo " + field);
    const OGRFieldType type = OGR_Fld_GetType(OGR_FD_GetFieldDefn(OGR_L_GetLayerDefn(layer), index));
    if (type != OFTInteger && type != OFTInteger64 && type != OFTReal)
        throw ToolError("el campo " + field + " de la capa " + layer_name + " no es numerico");
    if (choice_.where && OGR_L_SetAttributeFilter(layer, choice_.where->c_str()) != OGRERR_NONE)
        throw ToolError("el filtro " + choice_.option_prefix + "where no es valido para la capa " + layer_name + ": " +
                        *choice_.where + gdal_detail());
    const std::string crs = source_crs(wkt_of(OGR_L_GetSpatialRef(layer)), choice_, grid, grid_name, warnings);
    Transformation to_grid;
    if (!crs.empty() && !grid.crs_wkt.empty() && !same_crs(crs, grid.crs_wkt)) {
        const Srs from = srs_in_gis_order(crs);
        const Srs to = srs_in_gis_order(grid.crs_wkt);
        to_grid.reset(OCTNewCoordinateTransformation(from.get(), to.get()));
        if (!to_grid) throw ToolError("no se pueden llevar los objetos de " + choice_.path + " al SRC del MDE" + gdal_detail());
    }
    Dataset target = memory_raster(grid.columns, grid.lines, 1, GDT_Float64);
    auto* handle = static_cast<GDALDatasetH>(target.get());
    set_transform(handle, grid);
    GDALRasterBandH band = GDALGetRasterBand(handle, 1);
    if (GDALFillRaster(band, std::numeric_limits<double>::quiet_NaN(), 0.0) != CE_None)
        throw ToolError("no se puede preparar el raster en memoria" + gdal_detail());
    StringList options;
    if (choice_.all_touched) options.set("ALL_TOUCHED", "TRUE");

    std::vector<Geometry> batch;
    std::vector<double> values;
    auto burn_batch = [&] {
        rasterize(handle, batch, values, nullptr, nullptr, options.get(), choice_.path);
        values.clear();
    };
    OGR_L_ResetReading(layer);
    for (;;) {
        Feature feature(OGR_L_GetNextFeature(layer));
        if (!feature) break;
        OGRGeometryH geometry = OGR_F_GetGeometryRef(feature.get());
        if (geometry == nullptr || !OGR_F_IsFieldSetAndNotNull(feature.get(), index)) continue;
        Geometry copy(OGR_G_Clone(geometry));
        if (to_grid && OGR_G_Transform(copy.get(), to_grid.get()) != OGRERR_NONE)
            throw ToolError("no se puede llevar el objeto " + std::to_string(OGR_F_GetFID(feature.get())) + " de " +
                            choice_.path + " al SRC del MDE" + gdal_detail());
        batch.push_back(std::move(copy));
        values.push_back(OGR_F_GetFieldAsDouble(feature.get(), index));
        if (batch.size() == 4096) burn_batch();
    }
    burn_batch();
    OGR_L_SetAttributeFilter(layer, nullptr);

    GeoGrid<double> burned{grid, std::vector<double>(static_cast<std::size_t>(grid.lines) *
                                                     static_cast<std::size_t>(grid.columns)), {}};
    if (GDALRasterIO(band, GF_Read, 0, 0, grid.columns, grid.lines, burned.values.data(), grid.columns, grid.lines,
                     GDT_Float64, 0, 0) != CE_None)
        throw ToolError("no se puede leer el raster en memoria" + gdal_detail());
    burned.has_data.resize(burned.values.size());
    for (std::size_t k = 0; k < burned.values.size(); ++k) burned.has_data[k] = std::isnan(burned.values[k]) ? 0 : 1;
    ProgressSpan::gdal_callback(1.0, nullptr, &progress);
    return burned;
}

namespace {

// GDAL's own transformer from ground to the whole grid's pixels (the one its
// rasterizer makes for a raster of that grid), less the window's origin: the
// features land on the window's pixels at exactly the positions they have on
// the whole grid, shifted by whole pixels.
struct WindowTransform {
    void* whole = nullptr;
    double line = 0.0;
    double column = 0.0;
};

int to_window(void* argument, int pixels_to_ground, int count, double* x, double* y, double* z, int* success) {
    const auto* transform = static_cast<const WindowTransform*>(argument);
    if (pixels_to_ground != 0)
        for (int k = 0; k < count; ++k) {
            x[k] += transform->column;
            y[k] += transform->line;
        }
    const int done = GDALGenImgProjTransform(transform->whole, pixels_to_ground, count, x, y, z, success);
    if (pixels_to_ground == 0)
        for (int k = 0; k < count; ++k) {
            x[k] -= transform->column;
            y[k] -= transform->line;
        }
    return done;
}

}  // namespace

void GridSource::burn_window(const Georef& grid, const std::string& grid_name, uint8_t tone, int32_t line,
                             int32_t column, int32_t lines, int32_t columns, unsigned char* const* rows,
                             Warnings& warnings) const {
    auto* source = static_cast<GDALDatasetH>(dataset_.get());
    if (!vector_) {
        Georef own = georef_of(source);
        own.crs_wkt = source_crs(own.crs_wkt, choice_, grid, grid_name, warnings);
        const std::vector<std::string> differences = grid_differences(own, grid);
        if (!differences.empty()) {
            std::string text;
            for (const std::string& difference : differences) text += (text.empty() ? "" : "; ") + difference;
            throw ToolError("la rejilla de " + choice_.path + " no coincide con la del MDE " + grid_name + ": " +
                            text +
                            warp_hint(grid, choice_.path,
                                      georef_of(source).crs_wkt.empty() ? choice_.assume_crs : std::nullopt));
        }
        GDALRasterBandH band = band_of(source, choice_.band, choice_.path);
        std::vector<double> values(static_cast<std::size_t>(columns));
        std::vector<uint8_t> valid(static_cast<std::size_t>(columns));
        for (int32_t a = 0; a < lines; ++a) {
            if (GDALRasterIO(band, GF_Read, column, line + a, columns, 1, values.data(), columns, 1, GDT_Float64, 0,
                             0) != CE_None ||
                GDALRasterIO(GDALGetMaskBand(band), GF_Read, column, line + a, columns, 1, valid.data(), columns, 1,
                             GDT_Byte, 0, 0) != CE_None)
                throw ToolError("no se puede leer la linea " + std::to_string(line + a) + " de " + choice_.path +
                                gdal_detail());
            for (std::size_t j = 0; j < values.size(); ++j) {
                const bool marked = valid[j] != 0 && !std::isnan(values[j]) &&
                                    (choice_.class_value ? values[j] == *choice_.class_value : values[j] != 0.0);
                rows[a][j] = marked ? tone : 0;
            }
        }
        return;
    }

    OGRLayerH layer = chosen_layer(source, choice_);
    const std::string layer_name = OGR_L_GetName(layer);
    if (choice_.where) {
        CPLErrorReset();
        if (OGR_L_SetAttributeFilter(layer, choice_.where->c_str()) != OGRERR_NONE)
            throw ToolError("el filtro " + choice_.option_prefix + "where no es valido para la capa " + layer_name +
                            ": " + *choice_.where + gdal_detail());
    }
    const std::string crs = source_crs(wkt_of(OGR_L_GetSpatialRef(layer)), choice_, grid, grid_name, warnings);
    Transformation to_grid;
    if (!crs.empty() && !grid.crs_wkt.empty() && !same_crs(crs, grid.crs_wkt)) {
        const Srs from = srs_in_gis_order(crs);
        const Srs to = srs_in_gis_order(grid.crs_wkt);
        to_grid.reset(OCTNewCoordinateTransformation(from.get(), to.get()));
        if (!to_grid)
            throw ToolError("no se pueden llevar los objetos de " + choice_.path + " (" + crs_name(crs) +
                            ") al SRC del MDE (" + crs_name(grid.crs_wkt) + ")" + gdal_detail());
    }
    // Features in the layer's own CRS are filtered by the window's extent,
    // grown by two pixels; features that must be reprojected are all read.
    if (!to_grid) {
        const auto& t = grid.transform;
        double low_x = 0.0, low_y = 0.0, high_x = 0.0, high_y = 0.0;
        bool first = true;
        for (const int32_t a : {line - 2, line + lines + 2})
            for (const int32_t b : {column - 2, column + columns + 2}) {
                const double x = grid.has_transform ? t[0] + b * t[1] + a * t[2] : b;
                const double y = grid.has_transform ? t[3] + b * t[4] + a * t[5] : a;
                low_x = first ? x : std::min(low_x, x);
                high_x = first ? x : std::max(high_x, x);
                low_y = first ? y : std::min(low_y, y);
                high_y = first ? y : std::max(high_y, y);
                first = false;
            }
        OGR_L_SetSpatialFilterRect(layer, low_x, low_y, high_x, high_y);
    }

    Dataset target = memory_raster(columns, lines, 1, GDT_Byte);
    auto* handle = static_cast<GDALDatasetH>(target.get());
    Dataset whole_grid = memory_raster(1, 1, 1, GDT_Byte);
    set_transform(static_cast<GDALDatasetH>(whole_grid.get()), grid);
    StringList transformer_options;
    if (!grid.has_transform) transformer_options.set("DST_METHOD", "NO_GEOTRANSFORM");
    WindowTransform transform;
    transform.whole = GDALCreateGenImgProjTransformer2(nullptr, static_cast<GDALDatasetH>(whole_grid.get()),
                                                       transformer_options.get());
    if (transform.whole == nullptr)
        throw ToolError("no se puede preparar la rasterizacion de " + choice_.path + gdal_detail());
    const std::unique_ptr<void, void (*)(void*)> release(transform.whole, GDALDestroyGenImgProjTransformer);
    transform.line = line;
    transform.column = column;
    StringList options;
    if (choice_.all_touched) options.set("ALL_TOUCHED", "TRUE");

    // The geometries as burn_vector gives them to the rasterizer: polygons as
    // their outlines when asked, and cut to the whole grid's box with
    // ALL_TOUCHED (burn_clip.hpp), so every window takes the whole burn's pixels.
    const BurnBox box = burn_box(grid);
    std::vector<Geometry> batch;
    auto burn_batch = [&] {
        rasterize(handle, batch, std::vector<double>(batch.size(), tone), to_window, &transform, options.get(),
                  choice_.path);
    };
    CPLErrorReset();
    OGR_L_ResetReading(layer);
    for (;;) {
        Feature feature(OGR_L_GetNextFeature(layer));
        if (!feature) break;
        OGRGeometryH geometry = OGR_F_GetGeometryRef(feature.get());
        if (geometry == nullptr) continue;
        std::unique_ptr<OGRGeometry> copy(OGRGeometry::FromHandle(geometry)->clone());
        if (to_grid && copy->transform(OGRCoordinateTransformation::FromHandle(to_grid.get())) != OGRERR_NONE)
            throw ToolError("no se puede llevar el objeto " + std::to_string(OGR_F_GetFID(feature.get())) + " de " +
                            choice_.path + " al SRC del MDE" + gdal_detail());
        if (choice_.polygon_outlines) copy = polygon_outlines(std::move(copy));
        if (choice_.all_touched) {
            copy = clipped_to_box(std::move(copy), box);
            if (!copy) continue;
        }
        batch.push_back(Geometry(OGRGeometry::ToHandle(copy.release())));
        if (batch.size() == 4096) burn_batch();
    }
    if (CPLGetLastErrorType() == CE_Failure) {
        // GDAL's words as the whole route reads the layer, without the window's filter.
        if (!to_grid) {
            OGR_L_SetSpatialFilter(layer, nullptr);
            CPLErrorReset();
            OGR_L_ResetReading(layer);
            Feature first(OGR_L_GetNextFeature(layer));
        }
        throw ToolError("no se pueden leer los objetos de la capa " + layer_name + " de " + choice_.path +
                        (choice_.where ? " con el filtro " + choice_.option_prefix + "where " + *choice_.where : "") +
                        gdal_detail());
    }
    burn_batch();
    OGR_L_SetSpatialFilter(layer, nullptr);
    OGR_L_SetAttributeFilter(layer, nullptr);
    GDALRasterBandH band = GDALGetRasterBand(handle, 1);
    for (int32_t a = 0; a < lines; ++a)
        if (GDALRasterIO(band, GF_Read, 0, a, columns, 1, rows[a], columns, 1, GDT_Byte, 0, 0) != CE_None)
            throw ToolError("no se puede leer el raster en memoria" + gdal_detail());
}

void GridSource::warn_points(Warnings& warnings) const {
    if (!vector_) return;
    OGRLayerH layer = chosen_layer(static_cast<GDALDatasetH>(dataset_.get()), choice_);
    if (choice_.where && OGR_L_SetAttributeFilter(layer, choice_.where->c_str()) != OGRERR_NONE)
        throw ToolError("el filtro " + choice_.option_prefix + "where no es valido para la capa " +
                        OGR_L_GetName(layer) + ": " + *choice_.where + gdal_detail());
    long long points = 0;
    long long polygons = 0;
    OGR_L_ResetReading(layer);
    for (;;) {
        Feature feature(OGR_L_GetNextFeature(layer));
        if (!feature) break;
        OGRGeometryH geometry = OGR_F_GetGeometryRef(feature.get());
        if (geometry != nullptr) count_parts(*OGRGeometry::FromHandle(geometry), points, polygons);
    }
    OGR_L_SetAttributeFilter(layer, nullptr);
    const std::string layer_name = OGR_L_GetName(layer);
    warn_of_parts(warnings, layer_name, choice_.path, points, choice_.polygon_outlines ? polygons : 0);
}
