// The parameter dialog: the grey tone of each mask and the two heights. Values
// are taken as typed (any sign, tones beyond 0..255 simply match no pixel).
#include "console/answers.hpp"
#include "console/stages.hpp"

namespace {

constexpr const char* kSameScale = "\n (con la misma escala altitudinal que la pendiente del rio) ";

}  // namespace

Outcome parameters(Run& run, Console& console) {
    const std::string rail_height = std::string("\n Altura del barandal ? ") + kSameScale;
    const std::string contour_altitude =
        std::string("\n Altitud de la curva de nivel limite de la zona del cauce ? ") + kSameScale;
    ChannelParameters& answers = run.parameters;
    const bool answered =
        ask_int(console, "\n Valor del tono de gris de la mascara del cauce ? ", answers.zone_tone) &&
        ask_int(console, "\n Valor del tono de gris del barandal ? ", answers.railing_tone) &&
        ask_int(console, rail_height, answers.railing_height) &&
        ask_int(console, "\n Valor del tono de gris de la curva de nivel limite del cauce ? ", answers.contour_tone) &&
        ask_int(console, contour_altitude, answers.contour_altitude) &&
        (!run.water_bodies() ||
         ask_int(console, "\n Valor del tono de gris dibujando el perimetro de los cuerpos ? ", answers.perimeter_tone));
    return answered ? Outcome::go_on : Outcome::fatal_stop;
}
