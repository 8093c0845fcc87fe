#pragma once

// Records every OpenGL and GLU call the libraries make, with all arguments that reach the driver,
// as one text line per call, while passing each on to the real library. The test executable
// defines these entry points itself, so the dynamic linker binds the libraries' calls to them.
// Calls GLU makes on its own behalf are not recorded: GLU's call with its arguments decides them.

#include <string>
#include <vector>

class CGLStreamRecorder {
public:
    CGLStreamRecorder();  // starts recording, with an empty stream
    ~CGLStreamRecorder(); // stops

    // Stops recording and hands over what was recorded.
    std::vector<std::string> take();
    // What was recorded so far; recording goes on.
    const std::vector<std::string>& lines() const;
    // How many calls named strName were recorded so far.
    long count(const std::string& strName) const;
};

// While set, glGetString(GL_EXTENSIONS) answers without the named extension, as a driver that
// lacks it would; an empty name hides nothing.
void glStreamHideExtension(const std::string& strName);
