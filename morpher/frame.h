// Offsets between object space and a point's tangent frame. The frame is the
// provider's 4x4 row-major matrix m (16 doubles); only its upper-left 3x3
// block is read, m[4*r + c] being row r, column c.
#ifndef RIMSHAPER_FRAME_H
#define RIMSHAPER_FRAME_H

#include "kestrin_types.h"

enum { TANGENT_MATRIX_SIZE = 16 };

// Zeroes the 3x3 block, so that whatever the provider leaves unwritten reads
// as zero. Cheaper per point than clearing all 16 entries, which compilers
// tend to do with a slow block store.
void clearFrame(double* m);

// Object space into the frame: one dot product per row.
Point3 intoFrame(const double* m, Point3 offset);

// The frame back into object space, scaled by s: one dot product per column
// (the transpose, which undoes intoFrame for an orthonormal frame).
Point3 outOfFrame(const double* m, Point3 offset, double s);

#endif
