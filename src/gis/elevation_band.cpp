#include "gis/elevation_band.hpp"

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "gis/free_value.hpp"
#include "gis/raster_writer.hpp"
#include "gis/number_text.hpp"
#include "gis/tool_error.hpp"

TypeRange range_of(GDALDataType type) {
    switch (type) {
        case GDT_Int16: return {-32768.0, 32767.0};
        case GDT_UInt16: return {0.0, 65535.0};
        case GDT_Int32: return {-2147483648.0, 2147483647.0};
        case GDT_Float32: return {-std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
        default: return {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    }
}

double stored(double value, GDALDataType type) {
    return type == GDT_Float32 ? static_cast<double>(static_cast<float>(value)) : value;
}

std::string elevation_text(double value) { return number_text(value, 9); }

std::string scaled_text(int32_t value, double scale, const std::string& unit) {
    return elevation_text(static_cast<double>(value) * (1.0 / scale)) + (unit.empty() ? "" : " " + unit);
}

GDALDataType elevation_type(const std::optional<GDALDataType>& chosen, bool unscale, const std::string& command) {
    const GDALDataType type = chosen.value_or(unscale ? GDT_Float32 : GDT_Int32);
    const bool fits = unscale ? (type == GDT_Float32 || type == GDT_Float64)
                              : (type == GDT_Int16 || type == GDT_UInt16 || type == GDT_Int32);
    if (!fits)
        throw ToolError("-ot " + type_name(type) + " no vale para " + command +
                        ": sin --unscale se escriben los enteros del par (Int16, UInt16 o Int32), con --unscale "
                        "valores reales (Float32 o Float64)");
    return type;
}

std::vector<double> elevation_values(const GeoGrid<int32_t>& grid, double scale, double offset, GDALDataType type) {
    const TypeRange range = range_of(type);
    std::vector<double> values(grid.values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        values[k] = stored(grid.values[k] * scale + offset, type);
        if (grid.holds_data(k) && !(values[k] >= range.low && values[k] <= range.high))
            throw ToolError("el valor " + elevation_text(values[k]) + " de la linea " +
                            std::to_string(grid.line_of(k)) + ", columna " + std::to_string(grid.column_of(k)) +
                            " no cabe en pixeles " + type_name(type) + ": use -ot Int32");
    }
    return values;
}

double set_nodata_in_holes(std::vector<double>& values, const GeoGrid<int32_t>& grid, double nodata,
                           GDALDataType type, const std::string& option) {
    const TypeRange range = range_of(type);
    nodata = stored(nodata, type);
    const bool integer = type != GDT_Float32 && type != GDT_Float64;
    if (!(nodata >= range.low && nodata <= range.high) || (integer && nodata != std::trunc(nodata)))
        throw ToolError("el valor sin dato " + elevation_text(nodata) + " no cabe en pixeles " + type_name(type));
    std::optional<std::size_t> first_holder;
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (!grid.holds_data(k))
            values[k] = nodata;
        else if (values[k] == nodata && !first_holder)
            first_holder = k;
    }
    if (first_holder) {
        // The values with data, gathered only to name a free one.
        std::vector<double> held;
        for (std::size_t k = 0; k < values.size(); ++k)
            if (grid.holds_data(k)) held.push_back(values[k]);
        throw ToolError("el valor sin dato " + elevation_text(nodata) + " lo tiene un pixel del cauce (linea " +
                        std::to_string(grid.line_of(*first_holder)) + ", columna " +
                        std::to_string(grid.column_of(*first_holder)) + "); elija otro con " + option + ", p. ej. " +
                        elevation_text(free_value(std::move(held), kDefaultNodata, range.low, range.high)));
    }
    return nodata;
}
