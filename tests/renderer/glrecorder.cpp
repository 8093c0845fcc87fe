#include "glrecorder.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

const std::vector<SGLCall>& CGLRecorder::calls() const {
    // Each line reads "name(arg, arg, ...)"; enums are written in hex, which strtod reads.
    m_calls.clear();
    for (const std::string& strLine : m_stream.lines()) {
        const std::size_t nOpen = strLine.find('(');
        SGLCall call{strLine.substr(0, nOpen), {}};
        for (const char* p = strLine.c_str() + nOpen + 1; *p != ')';) {
            char* pEnd = nullptr;
            call.adArgs.push_back(std::strtod(p, &pEnd));
            p = *pEnd == ',' ? pEnd + 2 : pEnd;
        }
        if (call.strName == "glMaterialfv") {
            call.nFace = static_cast<unsigned>(call.adArgs.at(0));
            call.nPname = static_cast<unsigned>(call.adArgs.at(1));
            call.adArgs.erase(call.adArgs.begin(), call.adArgs.begin() + 2);
        }
        m_calls.push_back(call);
    }
    return m_calls;
}

std::vector<SGLCall> CGLRecorder::named(const std::string& strName) const {
    const std::vector<SGLCall>& all = calls();
    std::vector<SGLCall> result;
    std::copy_if(all.begin(), all.end(), std::back_inserter(result),
                 [&](const SGLCall& call) { return call.strName == strName; });
    return result;
}

std::vector<std::vector<std::vector<double>>> CGLRecorder::primitives(unsigned nMode) const {
    std::vector<std::vector<std::vector<double>>> result;
    bool bInside = false;
    for (const SGLCall& call : calls()) {
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
