#include "gis/dem_warp.hpp"

#include <gdal_utils.h>

#include <algorithm>
#include <vector>

#include "gis/number_text.hpp"
#include "gis/tool_error.hpp"

Dataset warp_source(GDALDatasetH source, const std::string& source_name, const WarpRequest& request,
                    bool source_type) {
    std::vector<std::string> words = {"-of", "VRT", "-ot", "Float64", "-dstnodata", "nan"};
    if (source_type) {
        // gdalwarp's own output: the source's type, nodata, scale, offset and
        // unit; a real raster without nodata gets NaN where it does not reach.
        words = {"-of", "VRT"};
        GDALRasterBandH first = GDALGetRasterCount(source) > 0 ? GDALGetRasterBand(source, 1) : nullptr;
        int has_nodata = 0;
        if (first != nullptr) GDALGetRasterNoDataValue(first, &has_nodata);
        if (first != nullptr && !has_nodata && GDALDataTypeIsFloating(GDALGetRasterDataType(first)))
            words.insert(words.end(), {"-dstnodata", "nan"});
    }
    if (request.target_crs) words.insert(words.end(), {"-t_srs", *request.target_crs});
    double t[6];
    if (!request.target_crs && request.resolution && GDALGetGeoTransform(source, t) == CE_None && t[2] == 0.0 &&
        t[4] == 0.0) {
        // On its own CRS the raster keeps its extent: GDAL would otherwise
        // suggest one from the pixel's diagonal and may drop a column.
        const double x0 = t[0];
        const double x1 = t[0] + t[1] * GDALGetRasterXSize(source);
        const double y0 = t[3];
        const double y1 = t[3] + t[5] * GDALGetRasterYSize(source);
        words.insert(words.end(), {"-te", number_text(std::min(x0, x1)), number_text(std::min(y0, y1)),
                                   number_text(std::max(x0, x1)), number_text(std::max(y0, y1))});
    }
    if (request.resolution)
        words.insert(words.end(),
                     {"-tr", number_text(request.resolution->first), number_text(request.resolution->second)});
    if (request.resampling) words.insert(words.end(), {"-r", *request.resampling});
    StringList argv(words);
    CPLErrorReset();
    GDALWarpAppOptions* options = GDALWarpAppOptionsNew(argv.get(), nullptr);
    if (options == nullptr) throw ToolError("opciones de reproyeccion no validas" + gdal_detail());
    int usage_error = FALSE;
    GDALDatasetH sources[1] = {source};
    GDALDatasetH warped = GDALWarp("", nullptr, 1, sources, options, &usage_error);
    GDALWarpAppOptionsFree(options);
    if (warped == nullptr || usage_error)
        throw ToolError("no se puede reproyectar " + source_name + gdal_detail());
    return Dataset(warped);
}
