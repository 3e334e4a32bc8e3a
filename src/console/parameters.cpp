// The parameter dialog: the grey tone of each mask and the two heights. Values
// are taken as typed (any sign, tones beyond 0..255 simply match no pixel).
#include "console/stages.hpp"
#include "files/answers.hpp"

namespace {

constexpr ParameterQuestions kQuestions = {
    "\n Valor del tono de gris de la mascara del cauce ? ",
    "\n Valor del tono de gris del barandal ? ",
    "\n Altura del barandal ? "
    "\n (con la misma escala altitudinal que la pendiente del rio) ",
    "\n Valor del tono de gris de la curva de nivel limite del cauce ? ",
    "\n Altitud de la curva de nivel limite de la zona del cauce ? "
    "\n (con la misma escala altitudinal que la pendiente del rio) ",
    "\n Valor del tono de gris dibujando el perimetro de los cuerpos ? ",
};

}  // namespace

Outcome parameters(Run& run, Console& console) {
    return read_parameters(console.answers(), kQuestions, run.parameters) ? Outcome::go_on : Outcome::fatal_stop;
}
