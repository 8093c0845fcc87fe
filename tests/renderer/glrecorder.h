#pragma once

// Records the OpenGL calls the renderer makes, in order, while still passing them on to the
// real library. The test executable defines these entry points itself, so the dynamic linker
// binds the renderer's (and GLU's) calls to them first.

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
    CGLRecorder();  // starts recording
    ~CGLRecorder(); // stops

    const std::vector<SGLCall>& calls() const;
    // Calls named strName, in order.
    std::vector<SGLCall> named(const std::string& strName) const;
    std::size_t count(const std::string& strName) const;
    // The vertices of every glBegin/glEnd block of the given mode, in order.
    std::vector<std::vector<std::vector<double>>> primitives(unsigned nMode) const;
};
