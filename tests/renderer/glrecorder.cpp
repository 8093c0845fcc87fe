#include "glrecorder.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <dlfcn.h>

namespace {

std::vector<SGLCall> g_calls;
bool g_bRecording = false;
int g_nInsideGlu = 0; // calls GLU makes for a sphere are its own business

template <typename F> F _real(const char* pszName) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, pszName));
}

bool _recording() {
    return g_bRecording && g_nInsideGlu == 0;
}

void _record(const char* pszName, std::vector<double> adArgs) {
    if (_recording()) {
        g_calls.push_back(SGLCall{pszName, std::move(adArgs)});
    }
}

} // namespace

#define CM3D_FORWARD(name, sig, args)                                                              \
    static auto pfnReal = _real<void(*) sig>(#name);                                               \
    pfnReal args

extern "C" {

void glBegin(GLenum mode) {
    _record("glBegin", {double(mode)});
    CM3D_FORWARD(glBegin, (GLenum), (mode));
}
void glEnd() {
    _record("glEnd", {});
    CM3D_FORWARD(glEnd, (), ());
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    _record("glVertex3f", {x, y, z});
    CM3D_FORWARD(glVertex3f, (GLfloat, GLfloat, GLfloat), (x, y, z));
}
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    _record("glNormal3f", {x, y, z});
    CM3D_FORWARD(glNormal3f, (GLfloat, GLfloat, GLfloat), (x, y, z));
}
void glColor4fv(const GLfloat* v) {
    _record("glColor4fv", {v[0], v[1], v[2], v[3]});
    CM3D_FORWARD(glColor4fv, (const GLfloat*), (v));
}
void glMaterialfv(GLenum face, GLenum pname, const GLfloat* v) {
    if (_recording()) {
        SGLCall call{"glMaterialfv", {v[0], v[1], v[2], v[3]}};
        call.nFace = face;
        call.nPname = pname;
        g_calls.push_back(call);
    }
    CM3D_FORWARD(glMaterialfv, (GLenum, GLenum, const GLfloat*), (face, pname, v));
}
void glPushName(GLuint name) {
    _record("glPushName", {double(name)});
    CM3D_FORWARD(glPushName, (GLuint), (name));
}
void glPopName() {
    _record("glPopName", {});
    CM3D_FORWARD(glPopName, (), ());
}
void glTranslated(GLdouble x, GLdouble y, GLdouble z) {
    _record("glTranslated", {x, y, z});
    CM3D_FORWARD(glTranslated, (GLdouble, GLdouble, GLdouble), (x, y, z));
}
void glLineWidth(GLfloat w) {
    _record("glLineWidth", {w});
    CM3D_FORWARD(glLineWidth, (GLfloat), (w));
}
void glShadeModel(GLenum mode) {
    _record("glShadeModel", {double(mode)});
    CM3D_FORWARD(glShadeModel, (GLenum), (mode));
}
void glPushMatrix() {
    _record("glPushMatrix", {});
    CM3D_FORWARD(glPushMatrix, (), ());
}
void glPopMatrix() {
    _record("glPopMatrix", {});
    CM3D_FORWARD(glPopMatrix, (), ());
}
void gluSphere(GLUquadric* q, GLdouble radius, GLint slices, GLint stacks) {
    _record("gluSphere", {radius, double(slices), double(stacks)});
    ++g_nInsideGlu;
    CM3D_FORWARD(gluSphere, (GLUquadric*, GLdouble, GLint, GLint), (q, radius, slices, stacks));
    --g_nInsideGlu;
}

} // extern "C"

CGLRecorder::CGLRecorder() {
    g_calls.clear();
    g_bRecording = true;
}

CGLRecorder::~CGLRecorder() {
    g_bRecording = false;
}

const std::vector<SGLCall>& CGLRecorder::calls() const {
    return g_calls;
}

std::vector<SGLCall> CGLRecorder::named(const std::string& strName) const {
    std::vector<SGLCall> result;
    for (const SGLCall& call : g_calls) {
        if (call.strName == strName) {
            result.push_back(call);
        }
    }
    return result;
}

std::size_t CGLRecorder::count(const std::string& strName) const {
    return named(strName).size();
}

std::vector<std::vector<std::vector<double>>> CGLRecorder::primitives(unsigned nMode) const {
    std::vector<std::vector<std::vector<double>>> result;
    bool bInside = false;
    for (const SGLCall& call : g_calls) {
        if (call.strName == "glBegin") {
            bInside = static_cast<unsigned>(call.adArgs[0]) == nMode;
            if (bInside) {
                result.emplace_back();
            }
        } else if (call.strName == "glEnd") {
            bInside = false;
        } else if (bInside && call.strName == "glVertex3f") {
            result.back().push_back(call.adArgs);
        }
    }
    return result;
}
