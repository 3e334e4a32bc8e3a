// Typed grids and vectors with every element starting at zero.
//
// A grid is a table of `lines` row pointers, each row a separate block of
// `columns` elements, so that one line of a raster file can be read straight
// into one row. Every grid allocator takes the column count first. A failed or
// empty request yields null, never a block smaller than asked.
//
// The family keeps the library's historic names: the element type's letters
// (f float, uc unsigned char, us uint16_t, s int16_t, i int32_t, d double,
// ld long double), then "matrice" for a grid or "vecteur" for a vector; "fr"
// in front releases what the allocator of the same name made. Code outside
// this library takes grids through Grid<T> (grid.hpp).
#pragma once

#include <cstdint>

float** fmatrice(int32_t columns, int32_t lines);
unsigned char** ucmatrice(int32_t columns, int32_t lines);
uint16_t** usmatrice(int32_t columns, int32_t lines);
int16_t** smatrice(int32_t columns, int32_t lines);
int32_t** imatrice(int32_t columns, int32_t lines);
double** dmatrice(int32_t columns, int32_t lines);
long double** ldmatrice(int32_t columns, int32_t lines);

void frfmatrice(float** grid, int32_t lines);
void frucmatrice(unsigned char** grid, int32_t lines);
void frusmatrice(uint16_t** grid, int32_t lines);
void frsmatrice(int16_t** grid, int32_t lines);
void frimatrice(int32_t** grid, int32_t lines);
void frdmatrice(double** grid, int32_t lines);
void frldmatrice(long double** grid, int32_t lines);

unsigned char* ucvecteur(int32_t columns);
uint16_t* usvecteur(int32_t columns);
int16_t* svecteur(int32_t columns);
int32_t* ivecteur(int32_t columns);
double* dvecteur(int32_t columns);
float* fvecteur(int32_t columns);

void frucvecteur(unsigned char* vector);
void frusvecteur(uint16_t* vector);
void frsvecteur(int16_t* vector);
void frivecteur(int32_t* vector);
void frdvecteur(double* vector);
void frfvecteur(float* vector);
