#include "afxdde.h"

#include "qtwndbridge.h"

#include <QCheckBox>
#include <QLineEdit>

#include <cctype>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <string>

using namespace afxqt;

namespace {

const char* const kNumberPrompt = "Please enter a number.";

bool _isBlank(char c) {
    return c == ' ' || c == '\t';
}

// [sign] (digits [. [digits]] | . digits) [(e|E) [sign] digits]; returns the end or null.
const char* _scanDecimal(const char* p) {
    if (*p == '+' || *p == '-')
        ++p;
    int nDigits = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        ++p;
        ++nDigits;
    }
    if (*p == '.') {
        ++p;
        while (std::isdigit(static_cast<unsigned char>(*p))) {
            ++p;
            ++nDigits;
        }
    }
    if (nDigits == 0)
        return nullptr;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-')
            ++q;
        if (std::isdigit(static_cast<unsigned char>(*q))) {
            while (std::isdigit(static_cast<unsigned char>(*q)))
                ++q;
            p = q;
        }
    }
    return p;
}

locale_t _cLocale() {
    static locale_t s_c = newlocale(LC_ALL_MASK, "C", nullptr);
    return s_c;
}

} // namespace

BOOL AfxParseNumberText(const char* pszText, double& dValue) {
    if (pszText == nullptr)
        return FALSE;
    const char* p = pszText;
    while (_isBlank(*p))
        ++p;
    const char chFirst = *p;
    const char* pEnd = _scanDecimal(p);
    double d = 0.0;
    if (pEnd != nullptr) {
        // The value as the C library reads it (overflow gives infinity, underflow zero); only
        // the scanned decimal part, so hexadecimal and named values stay out.
        const std::string strNumber(p, pEnd);
        d = strtod_l(strNumber.c_str(), nullptr, _cLocale());
    } else {
        pEnd = p;
    }
    if (d == 0.0 && chFirst != '0')
        return FALSE;
    while (_isBlank(*pEnd))
        ++pEnd;
    if (*pEnd != '\0')
        return FALSE;
    dValue = d;
    return TRUE;
}

std::string AfxFormatNumberText(double dValue, int nDigits) {
    return AfxFormatText("%.*g", nDigits, dValue);
}

std::string AfxFormatText(const char* pszFormat, ...) {
    if (pszFormat == nullptr)
        return std::string();
    const locale_t old = uselocale(_cLocale());
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    std::string str;
    if (n > 0) {
        str.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(str.data(), str.size(), pszFormat, args);
        str.resize(static_cast<size_t>(n));
    }
    va_end(args);
    uselocale(old);
    return str;
}

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

CWnd* CDataExchange::PrepareCtrl(int nIDC) {
    return m_pDlgWnd ? m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
}

void CDataExchange::Fail(CWnd* pCtrl) {
    m_bFailed = TRUE;
    QWidget* w = pCtrl ? _afxWidget(pCtrl->m_hWnd) : nullptr;
    if (w == nullptr)
        return;
    w->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->selectAll();
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (pDX == nullptr || pDX->m_bFailed || rControl.m_hWnd != nullptr)
        return;
    if (!rControl.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd) &&
        pDX->m_bSaveAndValidate)
        pDX->Fail();
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    if (pDX == nullptr || pDX->m_bFailed)
        return;
    CWnd* pCtrl = pDX->PrepareCtrl(nIDC);
    auto* box = qobject_cast<QCheckBox*>(pCtrl ? _afxWidget(pCtrl->m_hWnd) : nullptr);
    if (box == nullptr) {
        if (pDX->m_bSaveAndValidate)
            pDX->Fail();
        return;
    }
    if (pDX->m_bSaveAndValidate)
        value = box->isChecked() ? 1 : 0;
    else
        box->setChecked(value == 1);
}

namespace {

QLineEdit* _editOf(CWnd* pCtrl) {
    return qobject_cast<QLineEdit*>(pCtrl ? _afxWidget(pCtrl->m_hWnd) : nullptr);
}

bool _saveNumber(CDataExchange* pDX, int nIDC, double& dValue) {
    CWnd* pCtrl = pDX->PrepareCtrl(nIDC);
    QLineEdit* edit = _editOf(pCtrl);
    if (edit == nullptr) {
        pDX->Fail();
        return false;
    }
    if (!AfxParseNumberText(edit->text().toUtf8().constData(), dValue)) {
        AfxMessageBox(kNumberPrompt, MB_OK);
        pDX->Fail(pCtrl);
        return false;
    }
    return true;
}

void _loadText(CDataExchange* pDX, int nIDC, const std::string& text) {
    if (QLineEdit* edit = _editOf(pDX->PrepareCtrl(nIDC))) {
        edit->setText(QString::fromStdString(text));
        // A number longer than the edit shows its leading digits, not its tail.
        edit->setCursorPosition(0);
    }
}

} // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, float& value) {
    if (pDX == nullptr || pDX->m_bFailed)
        return;
    if (!pDX->m_bSaveAndValidate) {
        _loadText(pDX, nIDC, AfxFormatNumberText(value, 6));
        return;
    }
    double d = 0.0;
    if (_saveNumber(pDX, nIDC, d))
        value = static_cast<float>(d);
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value) {
    if (pDX == nullptr || pDX->m_bFailed)
        return;
    if (!pDX->m_bSaveAndValidate) {
        _loadText(pDX, nIDC, AfxFormatNumberText(value, 15));
        return;
    }
    double d = 0.0;
    if (_saveNumber(pDX, nIDC, d))
        value = d;
}
