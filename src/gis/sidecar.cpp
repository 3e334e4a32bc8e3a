#include "gis/sidecar.hpp"

#include <cpl_minixml.h>
#include <cpl_string.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "gis/gdal_env.hpp"
#include "gis/number_text.hpp"
#include "gis/pair_files.hpp"
#include "gis/tool_error.hpp"

std::string sidecar_path(const std::string& dem_name) { return dem_name + "_m4.vrt"; }

std::string sidecar_text(const std::string& raw_file_name, const Georef& georef, const BandUnits& units) {
    GdalHandle<CPLXMLNode*, CPLDestroyXMLNode> root(CPLCreateXMLNode(nullptr, CXT_Element, "VRTDataset"));
    CPLXMLNode* dataset = root.get();
    CPLAddXMLAttributeAndValue(dataset, "rasterXSize", std::to_string(georef.columns).c_str());
    CPLAddXMLAttributeAndValue(dataset, "rasterYSize", std::to_string(georef.lines).c_str());
    if (!georef.crs_wkt.empty()) {
        CPLXMLNode* srs = CPLCreateXMLElementAndValue(dataset, "SRS", georef.crs_wkt.c_str());
        if (!georef.axis_mapping.empty())
            CPLAddXMLAttributeAndValue(srs, "dataAxisToSRSAxisMapping", georef.axis_mapping.c_str());
    }
    if (georef.has_transform) {
        std::string text;
        for (std::size_t k = 0; k < 6; ++k) text += (k > 0 ? ", " : "") + number_text(georef.transform[k]);
        CPLCreateXMLElementAndValue(dataset, "GeoTransform", text.c_str());
    }
    CPLXMLNode* band = CPLCreateXMLNode(dataset, CXT_Element, "VRTRasterBand");
    CPLAddXMLAttributeAndValue(band, "dataType", "Int32");
    CPLAddXMLAttributeAndValue(band, "band", "1");
    CPLAddXMLAttributeAndValue(band, "subClass", "VRTRawRasterBand");
    if (units.nodata) CPLCreateXMLElementAndValue(band, "NoDataValue", number_text(*units.nodata).c_str());
    if (!units.unit.empty()) CPLCreateXMLElementAndValue(band, "UnitType", units.unit.c_str());
    if (units.scale != 1.0 || units.offset != 0.0) {
        CPLCreateXMLElementAndValue(band, "Offset", number_text(units.offset).c_str());
        CPLCreateXMLElementAndValue(band, "Scale", number_text(units.scale).c_str());
    }
    // The raw file is named relative to the sidecar so the folder can move.
    CPLXMLNode* source = CPLCreateXMLElementAndValue(band, "SourceFilename", raw_file_name.c_str());
    CPLAddXMLAttributeAndValue(source, "relativetoVRT", "1");
    CPLCreateXMLElementAndValue(band, "ImageOffset", "0");
    CPLCreateXMLElementAndValue(band, "PixelOffset", "4");
    CPLCreateXMLElementAndValue(band, "LineOffset", std::to_string(4LL * georef.columns).c_str());
    CPLCreateXMLElementAndValue(band, "ByteOrder", "LSB");
    char* text = CPLSerializeXMLTree(dataset);
    std::string xml = text;
    CPLFree(text);
    return xml;
}

Sidecar read_sidecar(const std::string& dem_name) {
    const std::string path = sidecar_path(dem_name);
    if (!std::filesystem::exists(path))
        throw ToolError("falta " + path + ", la georreferencia de " + dem_name +
                        " (se crea con lorvantide-raster import-dem)");
    int32_t lines = 0;
    int32_t columns = 0;
    read_pair_size(dem_name, true, lines, columns);
    // A FIFO in its place would block GDAL's open forever.
    check_source_file(path);
    prepare_gdal_memory("leer " + path);
    CPLErrorReset();
    Dataset dataset(GDALOpen(path.c_str(), GA_ReadOnly));
    if (!dataset || GDALGetRasterCount(static_cast<GDALDatasetH>(dataset.get())) < 1)
        throw ToolError("no se puede leer la georreferencia " + path + gdal_detail());
    auto* handle = static_cast<GDALDatasetH>(dataset.get());
    Sidecar sidecar;
    sidecar.grid = georef_of(handle);
    if (sidecar.grid.lines != lines || sidecar.grid.columns != columns)
        throw ToolError("la georreferencia " + path + " no corresponde al tamano del par " + dem_name);
    sidecar.units = band_units(GDALGetRasterBand(handle, 1));
    return sidecar;
}

int32_t pixel_size_field(const Georef& georef) {
    if (!georef.has_transform) return 1;
    const double width = std::round(std::hypot(georef.transform[1], georef.transform[4]));
    if (!(width <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        throw ToolError("tamano de pixel imposible en la geotransformacion");
    return static_cast<int32_t>(width);
}
