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
void release_grid(T** grid, int32_t lines) {
    if (grid == nullptr) return;
    for (int32_t k = 0; k < lines; ++k) std::free(grid[k]);
    std::free(grid);
}

// A failed row gives back the table and the rows obtained before it, so that a
// caller who reports the failure and goes on (a test, a companion tool) does
// not keep memory it can no longer reach.
template <typename T>
T** zeroed_grid(int32_t columns, int32_t lines) {
    if (columns <= 0 || lines <= 0) return nullptr;
    T** rows = zeroed_block<T*>(lines);
    if (rows == nullptr) return nullptr;
    for (int32_t k = 0; k < lines; ++k) {
        rows[k] = zeroed_block<T>(columns);
        if (rows[k] == nullptr) {
            release_grid(rows, k);
            return nullptr;
        }
    }
    return rows;
}

}  // namespace

float** fmatrice(int32_t columns, int32_t lines) { return zeroed_grid<float>(columns, lines); }
unsigned char** ucmatrice(int32_t columns, int32_t lines) { return zeroed_grid<unsigned char>(columns, lines); }
uint16_t** usmatrice(int32_t columns, int32_t lines) { return zeroed_grid<uint16_t>(columns, lines); }
int16_t** smatrice(int32_t columns, int32_t lines) { return zeroed_grid<int16_t>(columns, lines); }
int32_t** imatrice(int32_t columns, int32_t lines) { return zeroed_grid<int32_t>(columns, lines); }
double** dmatrice(int32_t columns, int32_t lines) { return zeroed_grid<double>(columns, lines); }
long double** ldmatrice(int32_t columns, int32_t lines) { return zeroed_grid<long double>(columns, lines); }

void frfmatrice(float** grid, int32_t lines) { release_grid(grid, lines); }
void frucmatrice(unsigned char** grid, int32_t lines) { release_grid(grid, lines); }
void frusmatrice(uint16_t** grid, int32_t lines) { release_grid(grid, lines); }
void frsmatrice(int16_t** grid, int32_t lines) { release_grid(grid, lines); }
void frimatrice(int32_t** grid, int32_t lines) { release_grid(grid, lines); }
void frdmatrice(double** grid, int32_t lines) { release_grid(grid, lines); }
void frldmatrice(long double** grid, int32_t lines) { release_grid(grid, lines); }

unsigned char* ucvecteur(int32_t columns) { return zeroed_block<unsigned char>(columns); }
uint16_t* usvecteur(int32_t columns) { return zeroed_block<uint16_t>(columns); }
int16_t* svecteur(int32_t columns) { return zeroed_block<int16_t>(columns); }
int32_t* ivecteur(int32_t columns) { return zeroed_block<int32_t>(columns); }
double* dvecteur(int32_t columns) { return zeroed_block<double>(columns); }
float* fvecteur(int32_t columns) { return zeroed_block<float>(columns); }

void frucvecteur(unsigned char* vector) { std::free(vector); }
void frusvecteur(uint16_t* vector) { std::free(vector); }
void frsvecteur(int16_t* vector) { std::free(vector); }
void frivecteur(int32_t* vector) { std::free(vector); }
void frdvecteur(double* vector) { std::free(vector); }
void frfvecteur(float* vector) { std::free(vector); }
