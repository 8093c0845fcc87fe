#pragma once

// Export macro of the ContourMap3D libraries; everything else stays hidden.
#define CM3D_API __attribute__((visibility("default")))
