#pragma once

// The OpenGL calls the renderer makes, in order, as the stream recorder sees them, with their
// arguments as numbers, from construction to destruction.

#include "glstreamrecorder.h"

#include <string>
#include <vector>

struct SGLCall {
    std::string strName;
    std::vector<double> adArgs; // enums and names as numbers; material colours as 4 values
    unsigned nPname = 0;        // glMaterialfv: face and parameter
    unsigned nFace = 0;
};

class CGLRecorder {
public:
    const std::vector<SGLCall>& calls() const;
    // Calls named strName, in order.
    std::vector<SGLCall> named(const std::string& strName) const;
    // The vertices of every glBegin/glEnd block of the given mode, in order.
    std::vector<std::vector<std::vector<double>>> primitives(unsigned nMode) const;

private:
    CGLStreamRecorder m_stream;
    mutable std::vector<SGLCall> m_calls;
};
