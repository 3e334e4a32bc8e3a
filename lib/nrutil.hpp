// Typed grids and vectors with every element starting at zero.
//
// A grid is a table of NbLig row pointers, each row a separate block of NbCol
// elements, so that one line of a raster file can be read straight into one
// row. Every grid allocator takes the column count first. A failed or empty
// request yields null, never a block smaller than asked.
#pragma once

#include <cstdint>

float** fmatrice(int32_t NbCol, int32_t NbLig);
unsigned char** ucmatrice(int32_t NbCol, int32_t NbLig);
uint16_t** usmatrice(int32_t NbCol, int32_t NbLig);
int16_t** smatrice(int32_t NbCol, int32_t NbLig);
int32_t** imatrice(int32_t NbCol, int32_t NbLig);
double** dmatrice(int32_t NbCol, int32_t NbLig);
long double** ldmatrice(int32_t NbCol, int32_t NbLig);

void frfmatrice(float** Mat, int32_t NbLig);
void frucmatrice(unsigned char** Mat, int32_t NbLig);
void frusmatrice(uint16_t** Mat, int32_t NbLig);
void frsmatrice(int16_t** Mat, int32_t NbLig);
void frimatrice(int32_t** Mat, int32_t NbLig);
void frdmatrice(double** Mat, int32_t NbLig);
void frldmatrice(long double** Mat, int32_t NbLig);

unsigned char* ucvecteur(int32_t NbCol);
uint16_t* usvecteur(int32_t NbCol);
int16_t* svecteur(int32_t NbCol);
int32_t* ivecteur(int32_t NbCol);
double* dvecteur(int32_t NbCol);
float* fvecteur(int32_t NbCol);

void frucvecteur(unsigned char* Mat);
void frusvecteur(uint16_t* Mat);
void frsvecteur(int16_t* Mat);
void frivecteur(int32_t* Mat);
void frdvecteur(double* Mat);
void frfvecteur(float* Mat);
