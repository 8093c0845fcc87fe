#pragma once

// Internal to the smooth field map: the sphere the surface is built on, fitted to the sensors and
// moved along their axis where the fitted centre would see a flared rim folded over itself.

#include "sensordirections.h"

#include <string>
#include <vector>

namespace fieldmap {

struct SSphere {
    Vec3 centre = Vec3::Zero();
    double dRadius = 0.0;
};

// Least-squares sphere through the points. Sets that are nearly flat, or too few to define a
// sphere, get one of about their own width whose centre lies on the side of the coordinate
// origin (the head frame's origin sits inside the head). False, with the reason, for points
// that all lie on one line or at one place.
bool fitSensorSphere(const std::vector<Vec3>& aPoints, SSphere& sphere, std::string& strWhy);

} // namespace fieldmap
