#include "lib/nrutil.hpp"

#include <cstdlib>

namespace {

// calloc checks count * size for overflow itself; the explicit checks keep a
// negative or zero count from ever reaching it.
template <typename T>
T* zeroed_block(int32_t count) {
    if (count <= 0) return nullptr;
    return static_cast<T*>(std::calloc(static_cast<std::size_t>(count), sizeof(T)));
}

template <typename T>
void release_grid(T** Mat, int32_t NbLig) {
    if (Mat == nullptr) return;
    for (int32_t k = 0; k < NbLig; ++k) std::free(Mat[k]);
    std::free(Mat);
}

// A failed row gives back the table and the rows obtained before it, so that a
// caller who reports the failure and goes on (a test, a companion tool) does
// not keep memory it can no longer reach.
template <typename T>
T** zeroed_grid(int32_t NbCol, int32_t NbLig) {
    if (NbCol <= 0 || NbLig <= 0) return nullptr;
    T** buff = zeroed_block<T*>(NbLig);
    if (buff == nullptr) return nullptr;
    for (int32_t k = 0; k < NbLig; ++k) {
        buff[k] = zeroed_block<T>(NbCol);
        if (buff[k] == nullptr) {
            release_grid(buff, k);
            return nullptr;
        }
    }
    return buff;
}

}  // namespace

float** fmatrice(int32_t NbCol, int32_t NbLig) { return zeroed_grid<float>(NbCol, NbLig); }
unsigned char** ucmatrice(int32_t NbCol, int32_t NbLig) { return zeroed_grid<unsigned char>(NbCol, NbLig); }
uint16_t** usmatrice(int32_t NbCol, int32_t NbLig) { return zeroed_grid<uint16_t>(NbCol, NbLig); }
int16_t** smatrice(int32_t NbCol, int32_t NbLig) { return zeroed_grid<int16_t>(NbCol, NbLig); }
int32_t** imatrice(int32_t NbCol, int32_t NbLig) { return zeroed_grid<int32_t>(NbCol, NbLig); }
double** dmatrice(int32_t NbCol, int32_t NbLig) { return zeroed_grid<double>(NbCol, NbLig); }
long double** ldmatrice(int32_t NbCol, int32_t NbLig) { return zeroed_grid<long double>(NbCol, NbLig); }

void frfmatrice(float** Mat, int32_t NbLig) { release_grid(Mat, NbLig); }
void frucmatrice(unsigned char** Mat, int32_t NbLig) { release_grid(Mat, NbLig); }
void frusmatrice(uint16_t** Mat, int32_t NbLig) { release_grid(Mat, NbLig); }
void frsmatrice(int16_t** Mat, int32_t NbLig) { release_grid(Mat, NbLig); }
void frimatrice(int32_t** Mat, int32_t NbLig) { release_grid(Mat, NbLig); }
void frdmatrice(double** Mat, int32_t NbLig) { release_grid(Mat, NbLig); }
void frldmatrice(long double** Mat, int32_t NbLig) { release_grid(Mat, NbLig); }

unsigned char* ucvecteur(int32_t NbCol) { return zeroed_block<unsigned char>(NbCol); }
uint16_t* usvecteur(int32_t NbCol) { return zeroed_block<uint16_t>(NbCol); }
int16_t* svecteur(int32_t NbCol) { return zeroed_block<int16_t>(NbCol); }
int32_t* ivecteur(int32_t NbCol) { return zeroed_block<int32_t>(NbCol); }
double* dvecteur(int32_t NbCol) { return zeroed_block<double>(NbCol); }
float* fvecteur(int32_t NbCol) { return zeroed_block<float>(NbCol); }

void frucvecteur(unsigned char* Mat) { std::free(Mat); }
void frusvecteur(uint16_t* Mat) { std::free(Mat); }
void frsvecteur(int16_t* Mat) { std::free(Mat); }
void frivecteur(int32_t* Mat) { std::free(Mat); }
void frdvecteur(double* Mat) { std::free(Mat); }
void frfvecteur(float* Mat) { std::free(Mat); }
