#include "show3dcntmap.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap_p.h"
#include "spctmtrial.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

const GLint nSphereSlices = 15;
const GLint nSphereStacks = 10;
const GLfloat fSelectMarkLineWidth = 6.0f;

} // namespace

// One sphere per measuring sensor with a first coil, coloured by its value while sensor colouring
// is on; without a colour call a sphere keeps whatever material is current.
int CShow3DCntMap::_drawSensorPass(const SMapInput& in, EValueless eValueless,
                                   ESelectionMark eMark) {
    cm3dSetGreyFrontMaterial();
    if (in.nSlots < 1) {
        return 1;
    }
    const bool bSkipWithoutValue = eValueless == skipValueless;
    const bool bMarkOn = eMark == withMark && m_pMarkSelection && *m_pMarkSelection;
    const int nCurrent = bMarkOn ? m_pTrial->getCurntChnlIndx() : -1;
    for (int i = 0; i < in.nSlots; ++i) {
        CMDChannelqv* pChannel = in.ppChannels[i];
        if (!pChannel || !pChannel->isMEGMeasureChannel() || !pChannel->getMEGCoilqv(0)) {
            continue;
        }
        double dValue = 0.0;
        bool bHasValue = false;
        if (m_bSensorAct || bSkipWithoutValue) {
            bHasValue = in.src.value(pChannel, dValue);
        }
        if (bSkipWithoutValue && !bHasValue) {
            continue;
        }
        if (m_bSensorAct && bHasValue) {
            _setColor(static_cast<float>(dValue));
        }
        double x, y, z;
        _sensorPosition(pChannel, x, y, z);
        _drawSphere(x, y, z, m_dSensorSize);
        if (bMarkOn && i == nCurrent) {
            _drawSelectMark(x, y, z, m_dSensorSize);
        }
    }
    return 1;
}

// Only the time-domain markers show the selection mark.
int CShow3DCntMap::drawSensors() {
    const SMapInput in = _mapInput(SMapKinds::kindTime);
    return in ? _drawSensorPass(in, drawValueless, withMark) : 0;
}

// A channel without spectral data is still drawn, uncoloured.
int CShow3DCntMap::drawSensorsFrqc() {
    const SMapInput in = _mapInput(SMapKinds::kindFrequency);
    return in ? _drawSensorPass(in, drawValueless, withoutMark) : 0;
}

// A channel without spectral data is left out.
int CShow3DCntMap::drawSensorsSpctm() {
    const SMapInput in = _mapInput(SMapKinds::kindSpectral);
    return in ? _drawSensorPass(in, skipValueless, withoutMark) : 0;
}

int CShow3DCntMap::_drawSphere(double x, double y, double z, double dRadius) {
    cm3dDrawSphere(x, y, z, dRadius);
    return 1;
}

void cm3dDrawSphere(double x, double y, double z, double dRadius) {
    glPushMatrix();
    glShadeModel(GL_SMOOTH);
    glTranslated(x, y, z);
    if (GLUquadric* pQuadric = gluNewQuadric()) {
        gluQuadricDrawStyle(pQuadric, GLU_FILL);
        gluQuadricNormals(pQuadric, GLU_SMOOTH);
        gluSphere(pQuadric, dRadius, nSphereSlices, nSphereStacks);
        gluDeleteQuadric(pQuadric);
    }
    glPopMatrix();
}

// A white wire cube of half edge h around the current channel's sphere: four loops trace all
// twelve edges.
int CShow3DCntMap::_drawSelectMark(double x, double y, double z, double h) {
    static const GLfloat afWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, afWhite);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, afWhite);
    glColor4fv(afWhite);

    const float x0 = static_cast<float>(x - h), x1 = static_cast<float>(x + h);
    const float y0 = static_cast<float>(y - h), y1 = static_cast<float>(y + h);
    const float z0 = static_cast<float>(z - h), z1 = static_cast<float>(z + h);
    const float aafLoops[4][4][3] = {
        {{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}},
        {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}},
        {{x0, y1, z1}, {x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}},
        {{x0, y0, z1}, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}},
    };
    glLineWidth(fSelectMarkLineWidth);
    for (const auto& loop : aafLoops) {
        glBegin(GL_LINE_LOOP);
        for (const auto& v : loop) {
            glNormal3f(v[0], v[1], v[2]);
            glVertex3f(v[0], v[1], v[2]);
        }
        glEnd();
    }
    return 1;
}
