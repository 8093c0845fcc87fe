#include "mappingrequest.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <set>
#include <stdexcept>

namespace megmapping {

namespace {

using json = nlohmann::json;

// A reason to reject the request, with where it was found.
struct SBad : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double _number(const json& value, const std::string& strWhere) {
    if (!value.is_number() || !std::isfinite(value.get<double>())) {
        throw SBad(strWhere + ": not a finite number");
    }
    return value.get<double>();
}

Eigen::Matrix<double, Eigen::Dynamic, 3> _vectors(const json& value, const std::string& strWhere) {
    if (!value.is_array() || value.empty()) {
        throw SBad(strWhere + ": not a list of [x, y, z]");
    }
    Eigen::Matrix<double, Eigen::Dynamic, 3> out(static_cast<Eigen::Index>(value.size()), 3);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string strItem = strWhere + "[" + std::to_string(i) + "]";
        if (!value[i].is_array() || value[i].size() != 3) {
            throw SBad(strItem + ": not [x, y, z]");
        }
        for (int k = 0; k < 3; ++k) {
            out(static_cast<Eigen::Index>(i), k) = _number(value[i][k], strItem);
        }
    }
    return out;
}

std::vector<SCoil> _coils(const json& root, const char* pszName) {
    const std::string strName = pszName;
    if (!root.contains(strName) || !root[strName].is_array() || root[strName].empty()) {
        throw SBad(strName + ": missing or empty");
    }
    std::vector<SCoil> coils;
    for (std::size_t c = 0; c < root[strName].size(); ++c) {
        const json& item = root[strName][c];
        const std::string strWhere = strName + "[" + std::to_string(c) + "]";
        if (!item.is_object() || !item.contains("points") || !item.contains("normals") ||
            !item.contains("weights") || item.size() != 3) {
            throw SBad(strWhere + ": needs exactly points, normals and weights");
        }
        SCoil coil;
        coil.points = _vectors(item["points"], strWhere + ": points");
        coil.normals = _vectors(item["normals"], strWhere + ": normals");
        const json& weights = item["weights"];
        if (!weights.is_array() || weights.size() != item["points"].size() ||
            coil.normals.rows() != coil.points.rows()) {
            throw SBad(strWhere + ": points, normals and weights differ in number");
        }
        coil.weights.resize(coil.points.rows());
        for (std::size_t i = 0; i < weights.size(); ++i) {
            coil.weights(static_cast<Eigen::Index>(i)) =
                _number(weights[i], strWhere + ": weights[" + std::to_string(i) + "]");
        }
        coils.push_back(std::move(coil));
    }
    return coils;
}

} // namespace

bool parseMappingRequest(const std::string& strText, SMappingRequest& request,
                         std::string& strError) {
    try {
        const json root = json::parse(strText);
        if (!root.is_object()) {
            throw SBad("not a JSON object");
        }
        static const std::set<std::string> known = {"origin", "radius",  "terms",   "miss",
                                                    "noise",  "sources", "targets", "projector"};
        for (const auto& item : root.items()) {
            if (!known.count(item.key())) {
                throw SBad("unknown key '" + item.key() + "'");
            }
        }
        SMappingRequest r;
        if (root.contains("origin")) {
            r.sphere.origin = _vectors(json::array({root["origin"]}), "origin").row(0).transpose();
        }
        if (root.contains("radius")) {
            r.sphere.dRadius = _number(root["radius"], "radius");
            if (!(r.sphere.dRadius > 0.0)) {
                throw SBad("radius: must be above 0");
            }
        }
        if (root.contains("terms")) {
            if (!root["terms"].is_number_integer() || root["terms"].get<long long>() < 2 ||
                root["terms"].get<long long>() > 1000) {
                throw SBad("terms: must be a whole number from 2 to 1000");
            }
            r.sphere.nTerms = root["terms"].get<int>();
        }
        if (root.contains("miss")) {
            r.dMiss = _number(root["miss"], "miss");
            if (!(r.dMiss >= 0.0 && r.dMiss < 1.0)) {
                throw SBad("miss: must be from 0 to below 1");
            }
        }
        r.sources = _coils(root, "sources");
        r.targets = _coils(root, "targets");
        if (!root.contains("noise") || !root["noise"].is_array() ||
            root["noise"].size() != r.sources.size()) {
            throw SBad("noise: needs one value per source");
        }
        r.noise.resize(static_cast<Eigen::Index>(r.sources.size()));
        for (std::size_t i = 0; i < r.sources.size(); ++i) {
            r.noise(static_cast<Eigen::Index>(i)) =
                _number(root["noise"][i], "noise[" + std::to_string(i) + "]");
            if (!(r.noise(static_cast<Eigen::Index>(i)) > 0.0)) {
                throw SBad("noise[" + std::to_string(i) + "]: must be above 0");
            }
        }
        if (root.contains("projector")) {
            const json& rows = root["projector"];
            const std::size_t n = r.sources.size();
            if (!rows.is_array() || rows.size() != n) {
                throw SBad("projector: needs one row per source");
            }
            r.projector.resize(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(n));
            for (std::size_t i = 0; i < n; ++i) {
                const std::string strRow = "projector[" + std::to_string(i) + "]";
                if (!rows[i].is_array() || rows[i].size() != n) {
                    throw SBad(strRow + ": needs one value per source");
                }
                for (std::size_t j = 0; j < n; ++j) {
                    r.projector(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) =
                        _number(rows[i][j], strRow);
                }
            }
        }
        request = std::move(r);
        return true;
    } catch (const json::exception& error) {
        strError = std::string("not valid JSON: ") + error.what();
    } catch (const SBad& error) {
        strError = error.what();
    }
    return false;
}

bool writeNpy(const std::string& strPath, const Eigen::MatrixXd& matrix, std::string& strError) {
    std::string strHeader = "{'descr': '<f8', 'fortran_order': False, 'shape': (" +
                            std::to_string(matrix.rows()) + ", " + std::to_string(matrix.cols()) +
                            "), }";
    // Magic (6), version (2) and length (2) come first; the whole header ends with a newline at
    // a multiple of 64 bytes.
    const std::size_t nUnpadded = 10 + strHeader.size() + 1;
    strHeader.append((64 - nUnpadded % 64) % 64, ' ');
    strHeader += '\n';
    std::ofstream out(strPath, std::ios::binary);
    if (!out) {
        strError = strPath + ": cannot write: " + std::strerror(errno);
        return false;
    }
    const std::uint16_t nLength = static_cast<std::uint16_t>(strHeader.size());
    const char prefix[10] = {'\x93',
                             'N',
                             'U',
                             'M',
                             'P',
                             'Y',
                             1,
                             0,
                             static_cast<char>(nLength & 0xff),
                             static_cast<char>(nLength >> 8)};
    out.write(prefix, sizeof prefix);
    out << strHeader;
    // Row by row: the matrix is stored by columns, the file by rows. x86 and ARM Linux are
    // little-endian, as '<f8' says.
    const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> rows = matrix;
    out.write(reinterpret_cast<const char*>(rows.data()),
              static_cast<std::streamsize>(rows.size() * sizeof(double)));
    out.close();
    if (!out) {
        strError = strPath + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace megmapping
