#pragma once

#include "cm3d_export.h"

class CMEGDataqv;
class CShow3DCntMapqv;

// The facade's dialog-free road: the host hands a recording to a renderer the facade keeps and
// has it drawn into an OpenGL context the host has made current.
class CM3D_API C3DRendDlgFace {
public:
    C3DRendDlgFace();
    virtual ~C3DRendDlgFace();
    // The facade owns its renderer exclusively.
    C3DRendDlgFace(const C3DRendDlgFace&) = delete;
    C3DRendDlgFace& operator=(const C3DRendDlgFace&) = delete;

    // The dialog-free renderer, created first when bCreate is true; null when there is none.
    CShow3DCntMapqv* getShow3DCntMapqv(bool bCreate);
    // Hands the recording to the renderer and switches off recentring, value colours and
    // colour fitting; 0 only when the renderer could not be created.
    int setMslMEGData(CMEGDataqv* pData);
    // Draws the time-domain map into the current context; 0 before any recording was set.
    int showMSLSensor();

protected:
    CShow3DCntMapqv* m_pShow3DCntMapqvMSL;

private:
    int _createRenderer();
};
