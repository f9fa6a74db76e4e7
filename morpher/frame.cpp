#include "frame.h"

void clearFrame(double* m) {
    for (int r = 0; r < 3; ++r) m[4 * r] = m[4 * r + 1] = m[4 * r + 2] = 0.0;
}

Point3 intoFrame(const double* m, Point3 d) {
    Point3 r;
    r.x = m[0] * d.x + m[1] * d.y + m[2] * d.z;
    r.y = m[4] * d.x + m[5] * d.y + m[6] * d.z;
    r.z = m[8] * d.x + m[9] * d.y + m[10] * d.z;
    return r;
}

Point3 outOfFrame(const double* m, Point3 d, double s) {
    Point3 r;
    r.x = s * (m[0] * d.x + m[4] * d.y + m[8] * d.z);
    r.y = s * (m[1] * d.x + m[5] * d.y + m[9] * d.z);
    r.z = s * (m[2] * d.x + m[6] * d.y + m[10] * d.z);
    return r;
}
