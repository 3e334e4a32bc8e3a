// The console texts of the two dialogs, written out by hand byte for byte, so
// that tests compare what a user sees with what the tool must print.
#pragma once

#include <cstdio>
#include <string>

namespace dialog_text {

inline const std::string kBanner =
    "\n\t***********************************************************"
    "\n\t*                                                         *"
    "\n\t*                                                         *"
    "\n\t*                      LORVANTIDE                         *"
    "\n\t*                                                         *"
    "\n\t*                                                         *"
    "\n\t*                                                         *"
    "\n\t*                                                         *"
    "\n\t*                                                         *"
    "\n\t*      Modelo digital de elevacion del cauce de un rio    *"
    "\n\t*      interpolado del barandal a la curva de nivel       *"
    "\n\t*                                                         *"
    "\n\t***********************************************************"
    "\n\n\t Calculo del cauce de un rio a partir de la curva de nivel "
    "\n\t mas cercana al mismo \n";

inline const std::string kFolder = "\n\n Nombre de la subcarpeta ubicada en c:\\images\\ : ";
inline const std::string kSlope =
    "\n\n Nombre del archivo de la pendiente del rio (sin extension _m4.raw) "
    "\n que corresponde a un MDE proveniente del uso del programa Quenlatra.exe ?\n ";
inline const std::string kRailing = "\n\n Nombre del archivo del barandal del rio (sin ninguna extension) ? ";
inline const std::string kChannel =
    "\n\n Nombre del archivo de la mascara de la zona del cauce (sin ninguna extension) ?\n ";
inline const std::string kContour =
    "\n\n Nombre del archivo de la curva de nivel que limita el cauce \n (sin ninguna extension) ? ";
inline const std::string kMenu = "\n Presencia de cuerpos de agua\n\t0 ====> no\n\t1 ====> si\n\t";
inline const std::string kPerimeter =
    "\n\n Nombre de la imagen que contiene el perimetro de los cuerpos de agua\n (sin ninguna extension) ? ";
inline const std::string kResult = "\n\n Nombre del MDE del cauce del rio resultante (sin ninguna extension) ? ";

// What the input dialog prints up to a prompt, every earlier one answered once.
inline const std::string kUpToSlope = kBanner + kFolder + kSlope;
inline const std::string kUpToRailing = kUpToSlope + kRailing;
inline const std::string kUpToChannel = kUpToRailing + kChannel;
inline const std::string kUpToContour = kUpToChannel + kContour;
inline const std::string kUpToMenu = kUpToContour + kMenu;

inline const std::string kToneChannel = "\n Valor del tono de gris de la mascara del cauce ? ";
inline const std::string kToneRailing = "\n Valor del tono de gris del barandal ? ";
inline const std::string kRailingHeight =
    "\n Altura del barandal ? \n (con la misma escala altitudinal que la pendiente del rio) ";
inline const std::string kToneContour = "\n Valor del tono de gris de la curva de nivel limite del cauce ? ";
inline const std::string kContourAltitude =
    "\n Altitud de la curva de nivel limite de la zona del cauce ? "
    "\n (con la misma escala altitudinal que la pendiente del rio) ";
inline const std::string kTonePerimeter = "\n Valor del tono de gris dibujando el perimetro de los cuerpos ? ";

inline const std::string kSizeRailing =
    "\n la imagen del barandal no tiene el mismo tamano que la imagen de la pendiente del rio ";
inline const std::string kSizeChannel =
    "\n la imagen de la mascara del cauce no tiene el mismo tamano que la imagen de la pendiente del rio ";
inline const std::string kSizeContour =
    "\n la imagen de la mascara de la curva limite no tiene el mismo tamano que la imagen de la pendiente del rio ";
inline const std::string kSizePerimeter =
    "\n la imagen del perimetro de los cuerpos de agua no tiene\n el mismo tamano que la imagen de la pendiente "
    "del rio ";

inline const std::string kEndOfAnswers =
    "\n Se acabaron las respuestas antes del final del dialogo: no se puede seguir \n";

inline const std::string kControlInName = "\n El nombre contiene caracteres de control: escriba otro nombre \n";

inline std::string no_file(const std::string& path) { return "\n No hay Fila " + path + " \n"; }

// Everything the input dialog prints, from the banner to the result prompt,
// when every prompt is answered once.
inline std::string opening(bool with_perimeter) {
    return kUpToMenu + (with_perimeter ? kPerimeter : std::string()) + kResult;
}

// Everything the parameter dialog prints when every question is answered once.
inline std::string parameters(bool with_perimeter) {
    return kToneChannel + kToneRailing + kRailingHeight + kToneContour + kContourAltitude +
           (with_perimeter ? kTonePerimeter : std::string());
}

// Everything the computation prints for a raster of this size when no search
// misses: pass 1 one line per visited position (every fourth column of every
// fourth line, counted from 0), passes 2 to 7 one line per visited line,
// counted from 1.
inline std::string computation(int lines, int columns) {
    char buffer[96];
    std::string text = "\n\n primer paso\n\n";
    for (int i = 0; i < lines; i += 4)
        for (int j = 0; j < columns; j += 4) {
            std::snprintf(buffer, sizeof buffer, "\tLinea %d    Columna %d          \r     ", i, j);
            text += buffer;
        }
    struct Pass {
        const char* heading;
        int start, step;
    };
    for (const Pass& pass : {Pass{"\n\n segundo paso\n\n", 2, 4}, Pass{"\n\n tercer paso\n\n", 2, 4},
                             Pass{"\n\n cuarto paso\n\n", 0, 4}, Pass{"\n\n quinto paso\n\n", 1, 2},
                             Pass{"\n\n sexto paso\n\n", 0, 2}, Pass{"\n\n septimo paso\n\n", 1, 2}}) {
        text += pass.heading;
        for (int i = pass.start; i < lines; i += pass.step) {
            std::snprintf(buffer, sizeof buffer, "\tLinea %d          \r     ", i + 1);
            text += buffer;
        }
    }
    return text;
}

}  // namespace dialog_text
