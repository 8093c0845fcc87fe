#include "gldrawtarget.h"

CGLDrawTargetqv::~CGLDrawTargetqv() = default;
