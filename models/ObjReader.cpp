#include "models/ObjReader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <sstream>
#include <unordered_map>

namespace {

constexpr std::string_view kBlanks = " \t";

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string_view trimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// The first token runs from the first non-blank to the next blank or tab; the tail is the rest,
// trimmed of blanks and tabs.
struct LineParts {
    std::string_view token;
    std::string_view tail;
};

LineParts splitLine(std::string_view line) {
    const std::size_t start = line.find_first_not_of(kBlanks);
    if (start == std::string_view::npos) return {};
    const std::size_t end = line.find_first_of(kBlanks, start);
    if (end == std::string_view::npos) return {line.substr(start), {}};
    return {line.substr(start, end - start), trimBlanks(line.substr(end))};
}

// Splits at every separator, keeping empty pieces ("1//3" is three pieces); an empty text has none.
std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// Calls `handle(line, lineNumber)` for every line; a trailing '\r' (CRLF files) is not part of the line.
template <typename Handler>
bool forEachLine(std::string_view text, Handler&& handle) {
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!handle(line, ++lineNumber)) return false;
        start = end + 1;
    }
    return true;
}

// Quotes a piece of the file for a message, cut short so a runaway line cannot flood the console.
std::string quoted(std::string_view piece) {
    constexpr std::size_t kMaxShown = 40;
    if (piece.size() > kMaxShown) return "'" + std::string(piece.substr(0, kMaxShown)) + "...'";
    return "'" + std::string(piece) + "'";
}

// Drops what the C conversions skip before the digits (leading white space and a single '+'),
// which std::from_chars does not accept. The longest valid prefix then counts, as with strtof.
std::string_view numberStart(std::string_view piece) {
    std::size_t i = 0;
    while (i < piece.size() && std::isspace(static_cast<unsigned char>(piece[i]))) ++i;
    piece.remove_prefix(i);
    if (piece.size() >= 2 && piece[0] == '+' && piece[1] != '+' && piece[1] != '-') piece.remove_prefix(1);
    return piece;
}

// Parsed through double so that a value beyond float range is caught instead of becoming infinity.
bool toFloat(std::string_view piece, float& out, std::string& why) {
    const std::string_view digits = numberStart(piece);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc::invalid_argument || (ec == std::errc() && !std::isfinite(value))) {
        why = "bad number " + quoted(piece);
        return false;
    }
    if (ec == std::errc::result_out_of_range || std::fabs(value) > std::numeric_limits<float>::max()) {
        why = "number out of range " + quoted(piece);
        return false;
    }
    out = static_cast<float>(value);
    return true;
}

bool toInteger(std::string_view piece, long long& out, std::string& why) {
    const std::string_view digits = numberStart(piece);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    if (ec == std::errc::invalid_argument) {
        why = "bad number " + quoted(piece);
        return false;
    }
    if (ec == std::errc::result_out_of_range) {
        why = "number out of range " + quoted(piece);
        return false;
    }
    return true;
}

template <std::size_t N>
bool toFloats(std::string_view token, std::string_view tail, std::array<float, N>& out, std::string& why) {
    const auto pieces = splitAt(tail, ' ');
    if (pieces.size() < N) {
        why = "'" + std::string(token) + "' needs " + std::to_string(N) + " numbers, found " +
              std::to_string(pieces.size());
        return false;
    }
    for (std::size_t i = 0; i < N; ++i)
        if (!toFloat(pieces[i], out[i], why)) return false;
    return true;
}

// A positive index k names entry k - 1, a negative one entry count + k, of the list read so far.
bool resolveIndex(std::string_view piece, std::size_t count, const char* what, std::size_t& out, std::string& why) {
    long long k = 0;
    if (!toInteger(piece, k, why)) return false;
    const long long resolved = k > 0 ? k - 1 : static_cast<long long>(count) + k;
    if (k == 0 || resolved < 0 || resolved >= static_cast<long long>(count)) {
        why = std::string(what) + " index " + std::to_string(k) + " out of range (" + std::to_string(count) +
              " read so far)";
        return false;
    }
    out = static_cast<std::size_t>(resolved);
    return true;
}

// Point-in-triangle by the same-side test against each edge; a point on an edge counts as inside,
// so no ear is cut that would touch another corner.
bool sameSide(const glm::vec3& p, const glm::vec3& q, const glm::vec3& a, const glm::vec3& b) {
    return glm::dot(glm::cross(b - a, p - a), glm::cross(b - a, q - a)) >= 0.0f;
}

bool insideTriangle(const glm::vec3& p, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c) {
    return sameSide(p, a, b, c) && sameSide(p, b, a, c) && sameSide(p, c, a, b);
}

// For each corner, the first corner of the face at the same position (itself when it is the first),
// found through a hash of the coordinates so large faces stay linear. A corner with a NaN coordinate
// equals nothing and keeps its own index.
std::vector<std::uint32_t> firstCornerAtSamePosition(const std::vector<glm::vec3>& corners) {
    struct Key {
        glm::vec3 p;
        bool operator==(const Key& other) const { return p == other.p; }
    };
    struct Hash {
        std::size_t operator()(const Key& key) const {
            std::size_t h = 0;
            for (int i = 0; i < 3; ++i) {
                const float v = key.p[i] == 0.0f ? 0.0f : key.p[i];  // -0 and +0 are equal
                std::uint32_t bits;
                std::memcpy(&bits, &v, sizeof bits);
                h = h * 0x9E3779B97F4A7C15ull + bits;
            }
            return h;
        }
    };
    std::unordered_map<Key, std::uint32_t, Hash> first;
    first.reserve(corners.size());
    std::vector<std::uint32_t> out(corners.size());
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        const glm::vec3& p = corners[i];
        out[i] = p == p ? first.try_emplace(Key{p}, index).first->second : index;
    }
    return out;
}

// The corners that may block an ear, bucketed in a uniform grid over the face's plane so that an
// ear test looks only at the cells its triangle's box covers. Cut corners, and corners that turned
// convex, stay in their cells and are skipped by the caller's test.
class BlockerGrid {
public:
    BlockerGrid(const std::vector<glm::vec3>& corners, const glm::vec3& normal, std::size_t expected)
        : corners(corners) {
        // Project by dropping the axis the face is most turned towards.
        const glm::vec3 n = glm::abs(normal);
        drop = n.x >= n.y && n.x >= n.z ? 0 : (n.y >= n.z ? 1 : 2);
        lo = glm::vec2(std::numeric_limits<float>::max());
        hi = glm::vec2(std::numeric_limits<float>::lowest());
        bool finite = true;
        for (const glm::vec3& c : corners) {
            const glm::vec2 p = project(c);
            finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
            lo = glm::min(lo, p);
            hi = glm::max(hi, p);
        }
        // Non-finite coordinates or a flat box: one cell holds everything.
        side = finite && hi.x > lo.x && hi.y > lo.y
                   ? std::clamp<std::size_t>(static_cast<std::size_t>(std::sqrt(static_cast<double>(expected))), 1, 512)
                   : 1;
        cells.resize(side * side);
    }

    void add(std::size_t corner) { cells[cellOf(project(corners[corner]))].push_back(corner); }

    // Calls visit(corner) for the corners in the cells of the box of a, b, c until it returns true;
    // returns whether it did.
    template <typename Visit>
    bool any(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, Visit visit) const {
        const glm::vec2 pa = project(a), pb = project(b), pc = project(c);
        const std::size_t x0 = index(std::min({pa.x, pb.x, pc.x}), 0), x1 = index(std::max({pa.x, pb.x, pc.x}), 0);
        const std::size_t y0 = index(std::min({pa.y, pb.y, pc.y}), 1), y1 = index(std::max({pa.y, pb.y, pc.y}), 1);
        for (std::size_t y = y0; y <= y1; ++y)
            for (std::size_t x = x0; x <= x1; ++x)
                for (std::size_t corner : cells[y * side + x])
                    if (visit(corner)) return true;
        return false;
    }

private:
    glm::vec2 project(const glm::vec3& p) const {
        return drop == 0 ? glm::vec2(p.y, p.z) : drop == 1 ? glm::vec2(p.x, p.z) : glm::vec2(p.x, p.y);
    }
    // The cell column (axis 0) or row (axis 1) of a coordinate; NaN and values outside go to the edge.
    std::size_t index(float v, int axis) const {
        if (side == 1) return 0;
        const double t = (double(v) - lo[axis]) / (double(hi[axis]) - lo[axis]) * double(side);
        if (!(t > 0.0)) return 0;
        if (t >= double(side - 1)) return side - 1;
        return static_cast<std::size_t>(t);
    }
    std::size_t cellOf(const glm::vec2& p) const { return index(p.y, 1) * side + index(p.x, 0); }

    const std::vector<glm::vec3>& corners;
    int drop = 2;
    glm::vec2 lo{0.0f}, hi{0.0f};
    std::size_t side = 1;
    std::vector<std::vector<std::size_t>> cells;
};

// Cuts a polygon into triangles of face-local indices. Each triangle lists its corners in the order
// they stand in the face (which keeps a counter-clockwise face counter-clockwise), and corners that
// share a position map to the first of them, so every triangle is exactly three indices.
// Ear clipping over a linked list of the remaining corners: only reflex (or straight) corners can lie
// inside an ear of a simple polygon, so only they are tested, found through a grid over the face's
// plane, and after a cut the scan goes on from the next corner instead of starting over. Faces whose
// ears are small against the face (the usual case, also for stars and combs) cost about O(n).
std::vector<std::uint32_t> triangulate(const std::vector<glm::vec3>& corners) {
    std::vector<std::uint32_t> out;
    if (corners.size() < 3) return out;
    if (corners.size() == 3) return {0, 1, 2};

    const std::vector<std::uint32_t> firstAt = firstCornerAtSamePosition(corners);
    auto emit = [&](std::size_t a, std::size_t b, std::size_t c) {
        std::array<std::uint32_t, 3> tri{firstAt[a], firstAt[b], firstAt[c]};
        std::sort(tri.begin(), tri.end());
        out.insert(out.end(), tri.begin(), tri.end());
    };

    // Face orientation (Newell's method), so reflex corners are not taken for ears; a degenerate
    // face has none and is cut without that test.
    glm::vec3 faceNormal(0.0f);
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const glm::vec3& a = corners[i];
        const glm::vec3& b = corners[(i + 1) % corners.size()];
        faceNormal += glm::vec3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
    }
    const bool oriented = glm::dot(faceNormal, faceNormal) > 0.0f;

    const std::size_t n = corners.size();
    std::vector<std::size_t> prev(n), next(n);
    for (std::size_t i = 0; i < n; ++i) {
        prev[i] = (i + n - 1) % n;
        next[i] = (i + 1) % n;
    }
    std::vector<bool> removed(n, false);
    std::size_t remaining = n;

    // A corner turning the way the face winds; a reflex or straight corner is no ear.
    auto isConvex = [&](std::size_t i) {
        const glm::vec3& a = corners[prev[i]];
        const glm::vec3& b = corners[i];
        const glm::vec3& c = corners[next[i]];
        return !oriented || glm::dot(glm::cross(b - a, c - b), faceNormal) > 0.0f;
    };
    // The corners that may block an ear: every corner of a face without orientation, else the
    // reflex and straight ones.
    std::vector<bool> convex(n);
    std::vector<bool> listed(n, false);
    std::size_t blockerCount = 0;
    for (std::size_t i = 0; i < n; ++i) {
        convex[i] = isConvex(i);
        blockerCount += !oriented || !convex[i];
    }
    BlockerGrid grid(corners, faceNormal, blockerCount);
    auto list = [&](std::size_t i) {
        if (listed[i]) return;
        grid.add(i);
        listed[i] = true;
    };
    for (std::size_t i = 0; i < n; ++i)
        if (!oriented || !convex[i]) list(i);
    auto update = [&](std::size_t i) {
        convex[i] = isConvex(i);
        if (!oriented || !convex[i]) list(i);
    };
    auto isBlocker = [&](std::size_t i) { return !removed[i] && (!oriented || !convex[i]); };

    std::size_t cur = 0;
    std::size_t failures = 0;  // candidates in a row that were no ear
    while (remaining > 4 && failures < remaining) {
        const std::size_t p = prev[cur];
        const std::size_t q = next[cur];
        const glm::vec3& a = corners[p];
        const glm::vec3& b = corners[cur];
        const glm::vec3& c = corners[q];
        // No angle at a corner with a zero-length edge.
        const bool ear = convex[cur] && a != b && b != c && !grid.any(a, b, c, [&](std::size_t k) {
            if (!isBlocker(k)) return false;
            const glm::vec3& x = corners[k];
            return x != a && x != b && x != c && insideTriangle(x, a, b, c);
        });
        if (!ear) {
            cur = q;
            ++failures;
            continue;
        }
        emit(cur, p, q);
        removed[cur] = true;
        next[p] = q;
        prev[q] = p;
        --remaining;
        update(p);
        update(q);
        cur = q;
        failures = 0;
    }
    if (remaining > 4) return out;  // nothing left that can be cut: the rest of the face stays open

    // The last three or four corners, in face order from the first of them.
    std::size_t first = 0;
    while (removed[first]) ++first;
    std::vector<std::size_t> last;
    for (std::size_t i = first; last.size() < remaining; i = next[i]) last.push_back(i);
    std::sort(last.begin(), last.end());
    if (remaining == 4) {
        const auto at = [&](std::size_t i) -> const glm::vec3& { return corners[last[i % 4]]; };
        // Two triangles at once, the first cut off at corner i (corner 0 of a convex quad). In a concave
        // quad only the two neighbours of the reflex corner are ears: any other start would lay both
        // triangles across the outside of the face.
        auto quadConvex = [&](std::size_t i) {
            return !oriented || glm::dot(glm::cross(at(i) - at(i + 3), at(i + 1) - at(i)), faceNormal) > 0.0f;
        };
        auto isEar = [&](std::size_t i) {
            return quadConvex(i) && !insideTriangle(at(i + 2), at(i + 3), at(i), at(i + 1));
        };
        std::size_t i = 0;
        while (i < 4 && !isEar(i)) ++i;
        if (i == 4) i = 0;
        emit(last[i], last[(i + 3) % 4], last[(i + 1) % 4]);
        emit(last[(i + 3) % 4], last[(i + 1) % 4], last[(i + 2) % 4]);
    } else if (remaining == 3) {
        emit(last[0], last[1], last[2]);
    }
    return out;
}

class ObjParser {
public:
    ObjParser(std::string_view objPath, const MaterialLibraryLoader& loadLibrary)
        : objPath(objPath), loadLibrary(loadLibrary) {}

    std::optional<ObjModel> parse(std::string_view text, std::string* why) {
        std::string reason;
        std::size_t failedLine = 0;
        const bool ok = forEachLine(text, [&](std::string_view line, std::size_t number) {
            if (parseLine(line, reason)) return true;
            failedLine = number;
            return false;
        });
        if (!ok) {
            if (why) *why = "line " + std::to_string(failedLine) + ": " + reason;
            return std::nullopt;
        }
        finish();
        return std::move(model);
    }

private:
    bool parseLine(std::string_view line, std::string& why) {
        const LineParts parts = splitLine(line);
        const std::string_view token = parts.token;
        const std::string_view tail = parts.tail;
        if (token == "o" || token == "g" || (!line.empty() && line.front() == 'g')) {
            beginPart(token == "o" || token == "g", tail);
        } else if (token == "v") {
            std::array<float, 3> v{};
            if (!toFloats(token, tail, v, why)) return false;
            positions.emplace_back(v[0], v[1], v[2]);
        } else if (token == "vt") {
            std::array<float, 2> t{};
            if (!toFloats(token, tail, t, why)) return false;
            texCoords.emplace_back(t[0], t[1]);
        } else if (token == "vn") {
            std::array<float, 3> n{};
            if (!toFloats(token, tail, n, why)) return false;
            normals.emplace_back(n[0], n[1], n[2]);
        } else if (token == "f") {
            return parseFace(tail, why);
        } else if (token == "usemtl") {
            materialNames.emplace_back(tail);
            if (partHasData()) closePart(meshName + "_2");
        } else if (token == "mtllib") {
            readLibrary(tail);
        }
        return true;
    }

    // The first o/g line only names the part; later ones close a part that has data and name the next.
    void beginPart(bool namedLine, std::string_view tail) {
        const std::string ruleName = namedLine ? std::string(tail) : std::string("unnamed");
        if (!partStarted) {
            partStarted = true;
            meshName = ruleName;
        } else if (partHasData()) {
            closePart(meshName);
            meshName = std::string(tail);
        } else {
            meshName = ruleName;
        }
    }

    bool parseFace(std::string_view tail, std::string& why) {
        std::vector<ObjVertex> corners;
        bool everyCornerHasNormal = true;
        for (std::string_view element : splitAt(tail, ' ')) {
            const auto pieces = splitAt(element, '/');
            if (pieces.empty() || pieces.size() > 3) {
                why = "bad face corner " + quoted(element);
                return false;
            }
            ObjVertex vertex;
            std::size_t at = 0;
            if (!resolveIndex(pieces[0], positions.size(), "position", at, why)) return false;
            vertex.position = positions[at];
            const bool hasTexCoord = pieces.size() == 2 || (pieces.size() == 3 && !pieces[1].empty());
            if (hasTexCoord) {
                if (!resolveIndex(pieces[1], texCoords.size(), "texture coordinate", at, why)) return false;
                vertex.texCoord = texCoords[at];
            }
            if (pieces.size() == 3) {
                if (!resolveIndex(pieces[2], normals.size(), "normal", at, why)) return false;
                vertex.normal = normals[at];
            } else {
                everyCornerHasNormal = false;
            }
            corners.push_back(vertex);
        }
        if (!everyCornerHasNormal) {
            // Not normalised. A face of one or two corners has no plane and gets a zero normal.
            const glm::vec3 faceNormal =
                corners.size() >= 3 ? glm::cross(corners[0].position - corners[1].position,
                                                 corners[2].position - corners[1].position)
                                    : glm::vec3(0.0f);
            for (ObjVertex& corner : corners) corner.normal = faceNormal;
        }
        if (model.vertices.size() + corners.size() > std::numeric_limits<std::uint32_t>::max()) {
            why = "too many vertices for 32-bit indices";
            return false;
        }

        std::vector<glm::vec3> cornerPositions;
        cornerPositions.reserve(corners.size());
        for (const ObjVertex& corner : corners) cornerPositions.push_back(corner.position);
        const std::vector<std::uint32_t> local = triangulate(cornerPositions);

        const auto partBase = static_cast<std::uint32_t>(part.vertices.size());
        const auto allBase = static_cast<std::uint32_t>(model.vertices.size());
        for (std::uint32_t index : local) {
            part.indices.push_back(partBase + index);
            model.indices.push_back(allBase + index);
        }
        part.vertices.insert(part.vertices.end(), corners.begin(), corners.end());
        model.vertices.insert(model.vertices.end(), corners.begin(), corners.end());
        return true;
    }

    // The library lies beside the OBJ file: everything of its path up to the last '/', then the name.
    void readLibrary(std::string_view name) {
        if (!loadLibrary) return;
        const std::size_t slash = objPath.rfind('/');
        std::string path = slash == std::string_view::npos ? std::string() : std::string(objPath.substr(0, slash + 1));
        path += name;
        std::vector<ObjMaterial> loaded = loadLibrary(path);
        model.materials.insert(model.materials.end(), std::make_move_iterator(loaded.begin()),
                               std::make_move_iterator(loaded.end()));
    }

    bool partHasData() const { return !part.vertices.empty() && !part.indices.empty(); }

    void closePart(const std::string& name) {
        part.name = name;
        model.meshes.push_back(std::move(part));
        part = ObjMesh{};
    }

    // The i-th usemtl name belongs to the i-th stored part.
    void finish() {
        if (partHasData()) closePart(meshName);
        const std::size_t count = std::min(materialNames.size(), model.meshes.size());
        for (std::size_t i = 0; i < count; ++i) {
            const auto found = std::find_if(model.materials.begin(), model.materials.end(),
                                            [&](const ObjMaterial& m) { return m.name == materialNames[i]; });
            if (found != model.materials.end()) model.meshes[i].material = *found;
        }
    }

    std::string_view objPath;
    const MaterialLibraryLoader& loadLibrary;
    std::vector<glm::vec3> positions;
    std::vector<glm::vec2> texCoords;
    std::vector<glm::vec3> normals;
    ObjMesh part;
    std::string meshName;
    bool partStarted = false;
    std::vector<std::string> materialNames;
    ObjModel model;
};

bool parseMtlLine(std::string_view line, ObjMaterial& current, bool& started, std::vector<ObjMaterial>& materials,
                  std::string& why) {
    const LineParts parts = splitLine(line);
    const std::string_view token = parts.token;
    const std::string_view tail = parts.tail;
    if (token == "newmtl") {
        if (started) materials.push_back(std::move(current));
        current = ObjMaterial{};
        started = true;
        current.name = line.size() < 8 ? std::string("none") : std::string(tail);
    } else if (token == "Ka" || token == "Kd" || token == "Ks") {
        const auto pieces = splitAt(tail, ' ');
        if (pieces.size() != 3) return true;  // only a full colour counts
        glm::vec3 colour(0.0f);
        for (int i = 0; i < 3; ++i)
            if (!toFloat(pieces[static_cast<std::size_t>(i)], colour[i], why)) return false;
        (token == "Ka" ? current.Ka : token == "Kd" ? current.Kd : current.Ks) = colour;
    } else if (token == "Ns" || token == "Ni" || token == "d") {
        float value = 0.0f;
        if (!toFloat(tail, value, why)) return false;
        (token == "Ns" ? current.Ns : token == "Ni" ? current.Ni : current.d) = value;
    } else if (token == "illum") {
        long long value = 0;
        if (!toInteger(tail, value, why)) return false;
        if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
            why = "number out of range " + quoted(tail);
            return false;
        }
        current.illum = static_cast<int>(value);
    } else if (token == "map_Ka") {
        current.map_Ka = tail;
    } else if (token == "map_Kd") {
        current.map_Kd = tail;
    } else if (token == "map_Ks") {
        current.map_Ks = tail;
    } else if (token == "map_Ns") {
        current.map_Ns = tail;
    } else if (token == "map_d") {
        current.map_d = tail;
    } else if (token == "map_Bump" || token == "map_bump" || token == "bump") {
        current.map_bump = tail;
    }
    return true;
}

std::optional<std::string> readTextFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return std::nullopt;
    return std::move(text).str();
}

void reportRefusal(const std::string& path, const std::string& why) {
    std::cout << "ERROR: Failed to load '" << path << "': " << why << std::endl;
}

}  // namespace

std::optional<ObjModel> parseObj(std::string_view text, std::string_view objPath,
                                 const MaterialLibraryLoader& loadLibrary, std::string* why) {
    return ObjParser(objPath, loadLibrary).parse(text, why);
}

std::optional<std::vector<ObjMaterial>> parseMtl(std::string_view text, std::string* why) {
    std::vector<ObjMaterial> materials;
    ObjMaterial current;
    bool started = false;  // keys before the first newmtl belong to no material
    std::string reason;
    std::size_t failedLine = 0;
    const bool ok = forEachLine(text, [&](std::string_view line, std::size_t number) {
        if (parseMtlLine(line, current, started, materials, reason)) return true;
        failedLine = number;
        return false;
    });
    if (!ok) {
        if (why) *why = "line " + std::to_string(failedLine) + ": " + reason;
        return std::nullopt;
    }
    if (started) materials.push_back(std::move(current));
    return materials;
}

std::vector<ObjMaterial> loadMtlFile(const std::string& path) {
    if (!endsWith(path, ".mtl")) return {};
    const std::optional<std::string> text = readTextFile(path);
    if (!text) return {};
    std::string why;
    std::optional<std::vector<ObjMaterial>> materials = parseMtl(*text, &why);
    if (!materials) {
        reportRefusal(path, why);
        return {};
    }
    return std::move(*materials);
}

bool ObjReader::loadFile(const std::string& path) {
    model = ObjModel{};
    if (!endsWith(path, ".obj")) return false;
    const std::optional<std::string> text = readTextFile(path);
    if (!text) return false;
    std::string why;
    std::optional<ObjModel> parsed = parseObj(*text, path, loadMtlFile, &why);
    if (!parsed) {
        reportRefusal(path, why);
        return false;
    }
    model = std::move(*parsed);
    return !model.vertices.empty() || !model.indices.empty() || !model.meshes.empty();
}
