#include "console/banner.hpp"

namespace {

constexpr const char* kRule = "\n\t***********************************************************";
constexpr const char* kBlank = "\n\t*                                                         *";

}  // namespace

void show_banner(Console& console) {
    console.say(kRule);
    console.say(kBlank);
    console.say(kBlank);
    console.say("\n\t*                      LORVANTIDE                         *");
    for (int k = 0; k < 5; ++k) console.say(kBlank);
    console.say("\n\t*      Modelo digital de elevacion del cauce de un rio    *");
    console.say("\n\t*      interpolado del barandal a la curva de nivel       *");
    console.say(kBlank);
    console.say(kRule);
    console.say("\n\n\t Calculo del cauce de un rio a partir de la curva de nivel ");
    console.say("\n\t mas cercana al mismo \n");
}
