#include "glstreamrecorder.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

std::vector<std::string> g_lines;
bool g_bRecording = false;
int g_nInsideGlu = 0;
std::string g_strHidden;
std::string g_strExtensions; // the last answer without the hidden extension

template <typename F> F _real(const char* pszName) {
    void* p = dlsym(RTLD_NEXT, pszName);
    if (p == nullptr) {
        std::fprintf(stderr, "stream recorder: no %s to pass on to\n", pszName);
        std::abort();
    }
    return reinterpret_cast<F>(p);
}

// One call's line, appended when the statement that built it ends. Floats are printed with
// enough digits to tell every float (and double) apart, so a changed value always shows.
class CLine {
public:
    explicit CLine(const char* pszName)
        : m_bOn(g_bRecording && g_nInsideGlu == 0), m_str(m_bOn ? pszName : "") {}
    ~CLine() {
        if (m_bOn) {
            g_lines.push_back(m_str + (m_nArgs == 0 ? "()" : ")"));
        }
    }
    CLine(const CLine&) = delete;
    CLine& operator=(const CLine&) = delete;

    CLine& e(GLenum n) { return _put("0x%04X", static_cast<unsigned>(n)); }
    CLine& i(long long n) { return _put("%lld", n); }
    CLine& f(GLfloat v) { return _put("%.9g", static_cast<double>(v)); }
    CLine& d(GLdouble v) { return _put("%.17g", v); }
    CLine& fv(const GLfloat* p, int n) {
        for (int k = 0; k < n; ++k) {
            f(p[k]);
        }
        return *this;
    }

private:
    template <typename T> CLine& _put(const char* pszFormat, T value) {
        if (m_bOn) {
            char sz[40];
            std::snprintf(sz, sizeof sz, pszFormat, value);
            m_str += m_nArgs++ == 0 ? "(" : ", ";
            m_str += sz;
        }
        return *this;
    }

    bool m_bOn;
    std::string m_str;
    int m_nArgs = 0;
};

// Number of values a glLightfv / glLightModelfv / glMaterialfv parameter takes.
int _lightValues(GLenum p) {
    const bool bOne = (p >= GL_SPOT_EXPONENT && p <= GL_QUADRATIC_ATTENUATION) ||
                      p == GL_LIGHT_MODEL_LOCAL_VIEWER || p == GL_LIGHT_MODEL_TWO_SIDE ||
                      p == GL_LIGHT_MODEL_COLOR_CONTROL;
    return p == GL_SPOT_DIRECTION ? 3 : bOne ? 1 : 4;
}

int _materialValues(GLenum p) {
    return p == GL_SHININESS ? 1 : p == GL_COLOR_INDEXES ? 3 : 4;
}

// Marks the GLU call's own GL calls as GLU's business.
struct SInsideGlu {
    SInsideGlu() { ++g_nInsideGlu; }
    ~SInsideGlu() { --g_nInsideGlu; }
};

} // namespace

// Each entry point records its line, then calls the real one; a GLU entry point also keeps the
// GL calls GLU makes for it out of the stream.
#define CM3D_CALL(ret, name, params, args, record, guard)                                          \
    ret name params {                                                                              \
        CLine(#name) record;                                                                       \
        guard;                                                                                     \
        static const auto pfnReal = _real<decltype(&::name)>(#name);                               \
        return pfnReal args;                                                                       \
    }
#define CM3D_GL(ret, name, params, args, record) CM3D_CALL(ret, name, params, args, record, )
#define CM3D_GLU(ret, name, params, args, record)                                                  \
    CM3D_CALL(ret, name, params, args, record, SInsideGlu inside)

extern "C" {

// clang-format off
CM3D_GL(void, glBegin, (GLenum m), (m), .e(m))
CM3D_GL(void, glEnd, (), (), )
CM3D_GL(void, glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), .f(x).f(y).f(z))
CM3D_GL(void, glNormal3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), .f(x).f(y).f(z))
CM3D_GL(void, glColor4fv, (const GLfloat* v), (v), .fv(v, 4))
CM3D_GL(void, glMaterialfv, (GLenum face, GLenum p, const GLfloat* v), (face, p, v),
        .e(face).e(p).fv(v, _materialValues(p)))
CM3D_GL(void, glMaterialf, (GLenum face, GLenum p, GLfloat v), (face, p, v), .e(face).e(p).f(v))
CM3D_GL(void, glLineWidth, (GLfloat w), (w), .f(w))
CM3D_GL(void, glShadeModel, (GLenum m), (m), .e(m))
CM3D_GL(void, glPushMatrix, (), (), )
CM3D_GL(void, glPopMatrix, (), (), )
CM3D_GL(void, glMatrixMode, (GLenum m), (m), .e(m))
CM3D_GL(void, glLoadIdentity, (), (), )
CM3D_GL(void, glTranslated, (GLdouble x, GLdouble y, GLdouble z), (x, y, z), .d(x).d(y).d(z))
CM3D_GL(void, glRotated, (GLdouble a, GLdouble x, GLdouble y, GLdouble z), (a, x, y, z),
        .d(a).d(x).d(y).d(z))
CM3D_GL(void, glViewport, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h),
        .i(x).i(y).i(w).i(h))
CM3D_GL(void, glEnable, (GLenum c), (c), .e(c))
CM3D_GL(void, glDisable, (GLenum c), (c), .e(c))
CM3D_GL(void, glDepthFunc, (GLenum f), (f), .e(f))
CM3D_GL(void, glClearDepth, (GLclampd d), (d), .d(d))
CM3D_GL(void, glClearColor, (GLclampf r, GLclampf g, GLclampf b, GLclampf a), (r, g, b, a),
        .f(r).f(g).f(b).f(a))
CM3D_GL(void, glClear, (GLbitfield m), (m), .e(m))
CM3D_GL(void, glLightfv, (GLenum l, GLenum p, const GLfloat* v), (l, p, v),
        .e(l).e(p).fv(v, _lightValues(p)))
CM3D_GL(void, glLightModelfv, (GLenum p, const GLfloat* v), (p, v), .e(p).fv(v, _lightValues(p)))
CM3D_GL(void, glLightModeli, (GLenum p, GLint v), (p, v), .e(p).i(v))
CM3D_GL(void, glFinish, (), (), )
CM3D_GL(GLenum, glGetError, (), (), )
CM3D_GL(void, glGetIntegerv, (GLenum p, GLint* v), (p, v), .e(p))
CM3D_GL(void, glBindFramebuffer, (GLenum t, GLuint n), (t, n), .e(t).i(n))
CM3D_GL(void, glBindRenderbuffer, (GLenum t, GLuint n), (t, n), .e(t).i(n))
CM3D_GL(void, glGenFramebuffers, (GLsizei n, GLuint* v), (n, v), .i(n))
CM3D_GL(void, glGenRenderbuffers, (GLsizei n, GLuint* v), (n, v), .i(n))
CM3D_GL(void, glDeleteFramebuffers, (GLsizei n, const GLuint* v), (n, v), .i(n))
CM3D_GL(void, glDeleteRenderbuffers, (GLsizei n, const GLuint* v), (n, v), .i(n))
CM3D_GL(void, glRenderbufferStorage, (GLenum t, GLenum f, GLsizei w, GLsizei h), (t, f, w, h),
        .e(t).e(f).i(w).i(h))
CM3D_GL(void, glFramebufferRenderbuffer, (GLenum t, GLenum a, GLenum r, GLuint n), (t, a, r, n),
        .e(t).e(a).e(r).i(n))
CM3D_GL(GLenum, glCheckFramebufferStatus, (GLenum t), (t), .e(t))
CM3D_GL(void, glDrawBuffer, (GLenum m), (m), .e(m))
CM3D_GL(void, glReadBuffer, (GLenum m), (m), .e(m))
CM3D_GL(void, glPixelStorei, (GLenum p, GLint v), (p, v), .e(p).i(v))
CM3D_GL(void, glPushClientAttrib, (GLbitfield m), (m), .e(m))
CM3D_GL(void, glPopClientAttrib, (), (), )
CM3D_GL(void, glReadPixels,
        (GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum t, void* v),
        (x, y, w, h, f, t, v), .i(x).i(y).i(w).i(h).e(f).e(t))
CM3D_GL(void, glSelectBuffer, (GLsizei n, GLuint* v), (n, v), .i(n))
CM3D_GL(GLint, glRenderMode, (GLenum m), (m), .e(m))
CM3D_GL(void, glInitNames, (), (), )
CM3D_GL(void, glPushName, (GLuint n), (n), .i(n))
CM3D_GL(void, glPopName, (), (), )
CM3D_GLU(GLUquadric*, gluNewQuadric, (), (), )
CM3D_GLU(void, gluDeleteQuadric, (GLUquadric* q), (q), )
CM3D_GLU(void, gluQuadricDrawStyle, (GLUquadric* q, GLenum s), (q, s), .e(s))
CM3D_GLU(void, gluQuadricNormals, (GLUquadric* q, GLenum n), (q, n), .e(n))
CM3D_GLU(void, gluSphere, (GLUquadric* q, GLdouble r, GLint sl, GLint st), (q, r, sl, st),
         .d(r).i(sl).i(st))
CM3D_GLU(void, gluPerspective, (GLdouble f, GLdouble a, GLdouble n, GLdouble z), (f, a, n, z),
         .d(f).d(a).d(n).d(z))
CM3D_GLU(void, gluPickMatrix, (GLdouble x, GLdouble y, GLdouble w, GLdouble h, GLint* v),
         (x, y, w, h, v), .d(x).d(y).d(w).d(h).i(v[0]).i(v[1]).i(v[2]).i(v[3]))
// clang-format on

// Answers GL_EXTENSIONS without the hidden extension.
const GLubyte* glGetString(GLenum name) {
    CLine("glGetString").e(name);
    static const auto pfnReal = _real<decltype(&::glGetString)>("glGetString");
    const GLubyte* pAnswer = pfnReal(name);
    if (name != GL_EXTENSIONS || pAnswer == nullptr || g_strHidden.empty()) {
        return pAnswer;
    }
    std::istringstream all(reinterpret_cast<const char*>(pAnswer));
    g_strExtensions.clear();
    for (std::string strName; all >> strName;) {
        if (strName != g_strHidden) {
            g_strExtensions += (g_strExtensions.empty() ? "" : " ") + strName;
        }
    }
    return reinterpret_cast<const GLubyte*>(g_strExtensions.c_str());
}

} // extern "C"

CGLStreamRecorder::CGLStreamRecorder() {
    g_lines.clear();
    g_bRecording = true;
}

CGLStreamRecorder::~CGLStreamRecorder() {
    g_bRecording = false;
}

std::vector<std::string> CGLStreamRecorder::take() {
    g_bRecording = false;
    std::vector<std::string> lines;
    lines.swap(g_lines);
    return lines;
}

const std::vector<std::string>& CGLStreamRecorder::lines() const {
    return g_lines;
}

long CGLStreamRecorder::count(const std::string& strName) const {
    return std::count_if(g_lines.begin(), g_lines.end(), [&](const std::string& strLine) {
        return strLine.rfind(strName + "(", 0) == 0;
    });
}

void glStreamHideExtension(const std::string& strName) {
    g_strHidden = strName;
}
