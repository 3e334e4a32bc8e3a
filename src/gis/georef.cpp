#include "gis/georef.hpp"

#include <cpl_error.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <string>

Georef georef_of(GDALDatasetH dataset) {
    Georef georef;
    georef.lines = GDALGetRasterYSize(dataset);
    georef.columns = GDALGetRasterXSize(dataset);
    double transform[6];
    if (GDALGetGeoTransform(dataset, transform) == CE_None) {
        georef.has_transform = true;
        for (int k = 0; k < 6; ++k) georef.transform[static_cast<std::size_t>(k)] = transform[k];
    }
    CPLErrorReset();  // a raster without geotransform is no error here
    const char* wkt = GDALGetProjectionRef(dataset);
    if (wkt != nullptr) georef.crs_wkt = wkt;
    if (OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset)) {
        int count = 0;
        const int* mapping = OSRGetDataAxisToSRSAxisMapping(srs, &count);
        for (int k = 0; k < count; ++k) {
            if (k > 0) georef.axis_mapping += ',';
            georef.axis_mapping += std::to_string(mapping[k]);
        }
    }
    return georef;
}

BandUnits band_units(GDALRasterBandH band) {
    BandUnits units;
    int has = 0;
    const double scale = GDALGetRasterScale(band, &has);
    if (has) units.scale = scale;
    const double offset = GDALGetRasterOffset(band, &has);
    if (has) units.offset = offset;
    if (const char* unit = GDALGetRasterUnitType(band)) units.unit = unit;
    const double nodata = GDALGetRasterNoDataValue(band, &has);
    if (has) units.nodata = nodata;
    return units;
}

void set_transform(GDALDatasetH dataset, const Georef& grid) {
    if (!grid.has_transform) return;
    double transform[6];
    std::copy(grid.transform.begin(), grid.transform.end(), transform);
    GDALSetGeoTransform(dataset, transform);
}
