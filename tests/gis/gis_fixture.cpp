#include "tests/gis/gis_fixture.hpp"

#include <ogr_api.h>
#include <gtest/gtest.h>
#include <ogr_srs_api.h>

#include <stdexcept>
#include <utility>

#include "tests/support/raster_files.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

struct GdalOnce {
    GdalOnce() { GDALAllRegister(); }
};

void ensure_gdal() { static GdalOnce once; }

OGRSpatialReferenceH srs_of(int epsg) {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, epsg);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

}  // namespace

BinaryRun run_tool(const std::vector<std::string>& arguments, const std::string& work_dir) {
    return run_child({raster_tool_binary(), arguments, work_dir, "", {}, 0});
}

void expect_refused(const std::vector<std::string>& arguments, const std::string& message) {
    const BinaryRun run = run_tool(arguments);
    EXPECT_EQ(run.exit_status, 1) << (arguments.empty() ? "" : arguments[0]);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "\n lorvantide-raster: " + message + " \n");
}

void write_geotiff(const std::string& path, const TiffRecipe& tiff) {
    ensure_gdal();
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), tiff.columns, tiff.lines,
                                 static_cast<int>(tiff.bands.size()), tiff.type, nullptr);
    if (ds == nullptr) throw std::runtime_error("cannot create " + path);
    if (tiff.transform) {
        Transform t = *tiff.transform;
        GDALSetGeoTransform(ds, t.data());
    }
    if (tiff.epsg != 0) {
        OGRSpatialReferenceH srs = srs_of(tiff.epsg);
        GDALSetSpatialRef(ds, srs);
        OSRDestroySpatialReference(srs);
    }
    for (std::size_t b = 0; b < tiff.bands.size(); ++b) {
        GDALRasterBandH band = GDALGetRasterBand(ds, static_cast<int>(b) + 1);
        if (tiff.nodata) GDALSetRasterNoDataValue(band, *tiff.nodata);
        if (tiff.scale != 1.0 || tiff.offset != 0.0) {
            GDALSetRasterScale(band, tiff.scale);
            GDALSetRasterOffset(band, tiff.offset);
        }
        if (!tiff.unit.empty()) GDALSetRasterUnitType(band, tiff.unit.c_str());
        for (const std::string& item : tiff.metadata) {
            const auto equals = item.find('=');
            GDALSetMetadataItem(band, item.substr(0, equals).c_str(), item.substr(equals + 1).c_str(), nullptr);
        }
        std::vector<double> values = tiff.bands[b];
        if (GDALRasterIO(band, GF_Write, 0, 0, tiff.columns, tiff.lines, values.data(), tiff.columns, tiff.lines,
                         GDT_Float64, 0, 0) != CE_None)
            throw std::runtime_error("cannot write " + path);
    }
    GDALClose(ds);
}

TiffRecipe one_band(int columns, int lines, std::vector<double> values, GDALDataType type) {
    TiffRecipe tiff;
    tiff.columns = columns;
    tiff.lines = lines;
    tiff.type = type;
    tiff.bands = {std::move(values)};
    return tiff;
}

void write_flat_dem(const std::string& path, double metres) {
    write_geotiff(path, one_band(4, 3, std::vector<double>(12, metres)));
}

RasterRead read_raster(const std::string& path) {
    ensure_gdal();
    RasterRead read;
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (ds == nullptr) throw std::runtime_error("GDAL cannot open " + path);
    read.columns = GDALGetRasterXSize(ds);
    read.lines = GDALGetRasterYSize(ds);
    read.bands = GDALGetRasterCount(ds);
    read.has_transform = GDALGetGeoTransform(ds, read.transform.data()) == CE_None;
    if (const char* wkt = GDALGetProjectionRef(ds)) read.crs_wkt = wkt;
    for (int b = 1; b <= read.bands; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(ds, b);
        if (b == 1) {
            read.type = GDALGetRasterDataType(band);
            int has = 0;
            const double nodata = GDALGetRasterNoDataValue(band, &has);
            if (has) read.nodata = nodata;
            read.scale = GDALGetRasterScale(band, &has);
            if (!has) read.scale = 1.0;
            read.offset = GDALGetRasterOffset(band, &has);
            if (!has) read.offset = 0.0;
            if (const char* unit = GDALGetRasterUnitType(band)) read.unit = unit;
            for (char** item = GDALGetMetadata(band, nullptr); item != nullptr && *item != nullptr; ++item)
                read.metadata.emplace_back(*item);
        }
        std::vector<double> values(static_cast<std::size_t>(read.columns) * static_cast<std::size_t>(read.lines));
        if (GDALRasterIO(band, GF_Read, 0, 0, read.columns, read.lines, values.data(), read.columns, read.lines,
                         GDT_Float64, 0, 0) != CE_None)
            throw std::runtime_error("cannot read " + path);
        read.values.push_back(std::move(values));
    }
    GDALClose(ds);
    return read;
}

std::string metadata_item(const std::string& path, const std::string& name, const std::string& domain) {
    ensure_gdal();
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (ds == nullptr) throw std::runtime_error("GDAL cannot open " + path);
    const char* item = GDALGetMetadataItem(ds, name.c_str(), domain.c_str());
    const std::string value = item != nullptr ? item : "";
    GDALClose(ds);
    return value;
}

bool same_crs_as_epsg(const std::string& wkt, int epsg) {
    OGRSpatialReferenceH expected = srs_of(epsg);
    OGRSpatialReferenceH got = OSRNewSpatialReference(wkt.c_str());
    const bool same = got != nullptr && OSRIsSame(expected, got) != 0;
    OSRDestroySpatialReference(expected);
    OSRDestroySpatialReference(got);
    return same;
}

void write_geopackage(const std::string& path, const std::vector<std::pair<std::string, std::vector<Feature>>>& layers,
                      int epsg) {
    ensure_gdal();
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GPKG"), path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (ds == nullptr) throw std::runtime_error("cannot create " + path);
    OGRSpatialReferenceH srs = epsg != 0 ? srs_of(epsg) : nullptr;
    for (const auto& [name, features] : layers) {
        OGRLayerH layer = GDALDatasetCreateLayer(ds, name.c_str(), srs, wkbUnknown, nullptr);
        OGRFieldDefnH field = OGR_Fld_Create("elev", OFTInteger);
        OGR_L_CreateField(layer, field, TRUE);
        OGR_Fld_Destroy(field);
        for (const Feature& f : features) {
            OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
            OGR_F_SetFieldInteger(feature, 0, f.elev);
            OGRGeometryH geometry = nullptr;
            char* text = const_cast<char*>(f.wkt.c_str());
            if (OGR_G_CreateFromWkt(&text, srs, &geometry) != OGRERR_NONE) throw std::runtime_error("bad WKT " + f.wkt);
            OGR_F_SetGeometryDirectly(feature, geometry);
            if (OGR_L_CreateFeature(layer, feature) != OGRERR_NONE) throw std::runtime_error("cannot add feature");
            OGR_F_Destroy(feature);
        }
    }
    if (srs != nullptr) OSRDestroySpatialReference(srs);
    GDALClose(ds);
}

std::vector<std::string> sample_sources(const std::string& dem, const std::string& layers) {
    return {"--dem",     dem,    "--banks",         layers,     "--banks-layer",   "banks",
            "--zone",    layers, "--zone-layer",    "zone",     "--contour",       layers,
            "--contour-layer", "contours", "--contour-where", "elev = 210"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int32_t> elevation_raw(const std::string& path) { return int32s_from_little_endian(read_file(path)); }

std::vector<uint8_t> mask_raw(const std::string& path) {
    const std::string bytes = read_file(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

int temporaries_in(const std::filesystem::path& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().ends_with(".lorvantide-tmp")) ++count;
    return count;
}
