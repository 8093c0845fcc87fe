#include "3drenddlgface.h"

#include "afxmsgbox.h"
#include "show3dcntmap.h"

#include <new>

C3DRendDlgFace::C3DRendDlgFace() : m_pShow3DCntMapqvMSL(nullptr) {}

C3DRendDlgFace::~C3DRendDlgFace() {
    delete m_pShow3DCntMapqvMSL;
    m_pShow3DCntMapqvMSL = nullptr;
}

int C3DRendDlgFace::_createRenderer() {
    if (!m_pShow3DCntMapqvMSL) {
        m_pShow3DCntMapqvMSL = new (std::nothrow) CShow3DCntMapqv();
    }
    if (!m_pShow3DCntMapqvMSL) {
        AfxMessageBox("Initializing m_pShow3DCntMapqvMSL error!", MB_OK);
        return 0;
    }
    return 1;
}

CShow3DCntMapqv* C3DRendDlgFace::getShow3DCntMapqv(bool bCreate) {
    if (bCreate && !_createRenderer()) {
        return nullptr;
    }
    return m_pShow3DCntMapqvMSL;
}

int C3DRendDlgFace::setMslMEGData(CMEGDataqv* pData) {
    if (!_createRenderer()) {
        return 0;
    }
    m_pShow3DCntMapqvMSL->setMegData(pData);
    m_pShow3DCntMapqvMSL->m_bAutofitColor = 0;
    m_pShow3DCntMapqvMSL->m_bAutofitPlace = 0;
    m_pShow3DCntMapqvMSL->m_bSensorAct = 0;
    m_pShow3DCntMapqvMSL->m_bContourAct = 0;
    return 1;
}

int C3DRendDlgFace::showMSLSensor() {
    if (!m_pShow3DCntMapqvMSL) {
        return 0;
    }
    m_pShow3DCntMapqvMSL->show3DCntMap();
    return 1;
}
