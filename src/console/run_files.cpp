#include "console/run_files.hpp"

#include <array>

namespace {

constexpr std::array<RoleText, kRoleCount> kRoles = {{
    {PairKind::elevation,
     "\n\n Nombre del archivo de la pendiente del rio (sin extension _m4.raw) "
     "\n que corresponde a un MDE proveniente del uso del programa Quenlatra.exe ?\n "},
    {PairKind::mask, "\n\n Nombre del archivo del barandal del rio (sin ninguna extension) ? "},
    {PairKind::mask, "\n\n Nombre del archivo de la mascara de la zona del cauce (sin ninguna extension) ?\n "},
    {PairKind::mask, "\n\n Nombre del archivo de la curva de nivel que limita el cauce \n (sin ninguna extension) ? "},
    {PairKind::mask,
     "\n\n Nombre de la imagen que contiene el perimetro de los cuerpos de agua\n (sin ninguna extension) ? "},
    {PairKind::elevation, "\n\n Nombre del MDE del cauce del rio resultante (sin ninguna extension) ? "},
}};

}  // namespace

const RoleText& role_text(Role role) { return kRoles[static_cast<std::size_t>(role)]; }

std::span<const Role> input_roles(const Run& run) {
    static constexpr Role kInputs[] = {Role::slope, Role::railing, Role::zone, Role::contour, Role::perimeter};
    return {kInputs, run.water_bodies() ? 5u : 4u};
}
