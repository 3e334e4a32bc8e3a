#include "gis/grid_checks.hpp"

#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>

#include "gis/gdal_env.hpp"
#include "gis/number_text.hpp"

namespace {

Srs srs_of(const std::string& wkt) {
    if (wkt.empty()) return Srs(nullptr);
    return Srs(OSRNewSpatialReference(wkt.c_str()));
}

std::string origin_text(const Georef& g) {
    std::string text = "(";
    text += number_text(g.transform[0], 15);
    text += ", ";
    text += number_text(g.transform[3], 15);
    text += ")";
    return text;
}

std::string pixel_text(const Georef& g) {
    std::string text = number_text(g.transform[1], 15) + " x " + number_text(g.transform[5], 15);
    if (g.transform[2] != 0.0 || g.transform[4] != 0.0)
        text += " (giro " + number_text(g.transform[2], 15) + ", " + number_text(g.transform[4], 15) + ")";
    return text;
}

bool close(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }

}  // namespace

std::string crs_name(const std::string& wkt) {
    const Srs srs = srs_of(wkt);
    if (!srs) return "sin SRC";
    const char* name = OSRGetName(srs.get());
    return name != nullptr && name[0] != '\0' ? name : "SRC sin nombre";
}

std::string crs_code(const std::string& wkt) {
    const Srs srs = srs_of(wkt);
    if (!srs) return "";
    auto* handle = srs.get();
    const char* authority = OSRGetAuthorityName(handle, nullptr);
    const char* code = OSRGetAuthorityCode(handle, nullptr);
    if (authority == nullptr || code == nullptr || std::string(authority) != "EPSG") return "";
    return std::string("EPSG:") + code;
}

bool same_crs(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    if (a == b) return true;
    const Srs first = srs_of(a);
    const Srs second = srs_of(b);
    return first && second &&
           OSRIsSame(first.get(), second.get()) !=
               0;
}

std::vector<std::string> grid_differences(const Georef& grid, const Georef& dem) {
    std::vector<std::string> differences;
    if (grid.lines != dem.lines || grid.columns != dem.columns)
        differences.push_back("tamano " + std::to_string(grid.columns) + " columnas x " + std::to_string(grid.lines) +
                              " lineas (el MDE: " + std::to_string(dem.columns) + " x " + std::to_string(dem.lines) +
                              ")");
    if (!grid.crs_wkt.empty() && !dem.crs_wkt.empty() && !same_crs(grid.crs_wkt, dem.crs_wkt))
        differences.push_back("SRC " + crs_name(grid.crs_wkt) + " (el MDE: " + crs_name(dem.crs_wkt) + ")");
    if (grid.has_transform != dem.has_transform) {
        differences.push_back(grid.has_transform ? "geotransformacion (el MDE no tiene)"
                                                 : "sin geotransformacion (el MDE: origen " + origin_text(dem) +
                                                       ", pixel " + pixel_text(dem) + ")");
        return differences;
    }
    if (!grid.has_transform) return differences;
    const auto& a = grid.transform;
    const auto& b = dem.transform;
    const double pixel = std::max(std::fabs(b[1]) + std::fabs(b[2]), std::fabs(b[4]) + std::fabs(b[5]));
    const double tolerance = 1e-6 * pixel;
    if (!close(a[0], b[0], tolerance) || !close(a[3], b[3], tolerance))
        differences.push_back("origen " + origin_text(grid) + " (el MDE: " + origin_text(dem) + ")");
    if (!close(a[1], b[1], tolerance) || !close(a[2], b[2], tolerance) || !close(a[4], b[4], tolerance) ||
        !close(a[5], b[5], tolerance))
        differences.push_back("pixel " + pixel_text(grid) + " (el MDE: " + pixel_text(dem) + ")");
    return differences;
}

std::string describe_grid(const Georef& georef) {
    std::string text = std::to_string(georef.columns) + " columnas x " + std::to_string(georef.lines) + " lineas";
    if (georef.has_transform)
        text += ", origen " + origin_text(georef) + ", pixel " + pixel_text(georef);
    else
        text += ", sin geotransformacion";
    return text;
}

std::vector<std::string> pixel_warnings(const Georef& georef, const std::string& source, bool descriptor) {
    std::vector<std::string> warnings;
    if (!georef.has_transform) return warnings;
    const auto& t = georef.transform;
    const double width = std::hypot(t[1], t[4]);
    const double height = std::hypot(t[2], t[5]);
    const Srs srs = srs_of(georef.crs_wkt);
    if (srs && OSRIsGeographic(srs.get())) {
        // The UTM zone of the raster's centre, taken as longitude and latitude.
        const double x = t[0] + t[1] * georef.columns / 2.0 + t[2] * georef.lines / 2.0;
        const double y = t[3] + t[4] * georef.columns / 2.0 + t[5] * georef.lines / 2.0;
        std::string example = "un SRC proyectado en metros";
        if (x >= -180.0 && x < 180.0 && y >= -80.0 && y <= 84.0)
            example = "EPSG:" + std::to_string((y >= 0 ? 32600 : 32700) + static_cast<int>((x + 180.0) / 6.0) + 1);
        warnings.push_back(source + " esta en un SRC geografico (" + crs_name(georef.crs_wkt) +
                           "): sus pixeles miden grados, no metros, y la busqueda en anillos cuenta pixeles; "
                           "reproyecte con -t_srs " + example + " -tr TAMANO TAMANO (o con gdalwarp)");
    } else if (!close(width, height, 1e-6 * std::max(width, height))) {
        warnings.push_back("los pixeles de " + source + " no son cuadrados (" + number_text(width, 15) + " x " +
                           number_text(height, 15) +
                           "): la busqueda en anillos cuenta pixeles y deforma las distancias; remuestree con -tr " +
                           number_text(std::min(width, height), 15) + " " + number_text(std::min(width, height), 15) +
                           " (o con gdalwarp -tr)");
    }
    if (descriptor && width < 0.5 && !(srs && OSRIsGeographic(srs.get())))
        warnings.push_back("el pixel de " + source + " mide " + number_text(width, 15) +
                           ", menos de media unidad: el descriptor guarda 0 como tamano de pixel");
    return warnings;
}
