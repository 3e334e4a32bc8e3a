// lorvantide-raster run as a user runs it, small GIS inputs made with GDAL's
// own API, and GDAL's reader for checking what the tool wrote.
#pragma once

#include <gdal.h>

#include <array>
#include <filesystem>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/run_binary.hpp"

// The tool run with arguments: both output streams and the exit status.
BinaryRun run_tool(const std::vector<std::string>& arguments, const std::string& work_dir = ".");
// The tool built alongside the tests, or the one named by
// RASTER_TOOL_BINARY_UNDER_TEST (to see which tests an older build fails).
inline std::string raster_tool_binary() {
    if (const char* other = std::getenv("RASTER_TOOL_BINARY_UNDER_TEST")) return other;
    return RASTER_TOOL_BINARY;
}
// The run failed with exit status 1, nothing on standard output and exactly
// this message line on standard error.
void expect_refused(const std::vector<std::string>& arguments, const std::string& message);

using Transform = std::array<double, 6>;

// A UTM grid of 10 m pixels whose top-left corner is (1000, 2000).
inline constexpr Transform kTenMetreGrid{1000.0, 10.0, 0.0, 2000.0, 0.0, -10.0};
inline constexpr int kUtmZone14 = 32614;

struct TiffRecipe {
    int columns = 0;
    int lines = 0;
    GDALDataType type = GDT_Int32;
    std::optional<Transform> transform = kTenMetreGrid;
    int epsg = kUtmZone14;  // 0: no CRS
    std::optional<double> nodata;
    double scale = 1.0;  // of every band, with offset and unit
    double offset = 0.0;
    std::string unit;
    std::vector<std::string> metadata;  // of every band, "NAME=VALUE"
    std::vector<std::vector<double>> bands;  // each lines x columns, line by line
};

void write_geotiff(const std::string& path, const TiffRecipe& tiff);

// One band of `values` (line by line) on the 10 m grid in UTM zone 14.
TiffRecipe one_band(int columns, int lines, std::vector<double> values, GDALDataType type = GDT_Int32);

// A 4 x 3 Int32 DEM on the 10 m grid, every pixel at `metres`.
void write_flat_dem(const std::string& path, double metres);

struct RasterRead {
    int columns = 0;
    int lines = 0;
    int bands = 0;
    GDALDataType type = GDT_Unknown;
    bool has_transform = false;
    Transform transform{};
    std::string crs_wkt;
    std::optional<double> nodata;  // of band 1, with its scale, offset and unit
    double scale = 1.0;
    double offset = 0.0;
    std::string unit;
    std::vector<std::string> metadata;  // of band 1, "NAME=VALUE"
    std::vector<std::vector<double>> values;  // every band
};

// A metadata item of a raster's domain ("COMPRESSION" of "IMAGE_STRUCTURE"), "" when absent.
std::string metadata_item(const std::string& path, const std::string& name, const std::string& domain);

RasterRead read_raster(const std::string& path);

bool same_crs_as_epsg(const std::string& wkt, int epsg);

struct Feature {
    std::string wkt;
    int elev = 0;  // an integer attribute to filter on
};

// A GeoPackage with one layer per entry, every layer in the given EPSG CRS
// (0: layers without a CRS).
void write_geopackage(const std::string& path, const std::vector<std::pair<std::string, std::vector<Feature>>>& layers,
                      int epsg = kUtmZone14);

// The shipped GIS sample, and the options of channel naming its banks, zone
// and 210 m contour.
inline const std::string kSampleDem = std::string(LORVANTIDE_SOURCE_DIR) + "/sample/gis/valle.tif";
inline const std::string kSampleLayers = std::string(LORVANTIDE_SOURCE_DIR) + "/sample/gis/rio.gpkg";
std::vector<std::string> sample_sources(const std::string& dem = kSampleDem, const std::string& layers = kSampleLayers);

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b);

// The bytes of a raw file as numbers.
std::vector<int32_t> elevation_raw(const std::string& path);
std::vector<uint8_t> mask_raw(const std::string& path);

// How many temporary folders of outputs are left in `dir`.
int temporaries_in(const std::filesystem::path& dir);
