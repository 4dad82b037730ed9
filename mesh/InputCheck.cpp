// Structure tests of files before they reach the library's readers, each
// against a fault of the reader found on damaged files:
// - PLY: a header without "end_header" loops forever; a truncated body is
//   read past its end; an element without properties is walked row by row,
//   however large its count; the line reader runs past its buffer on a NUL,
//   a bare carriage return or a form feed, and overflows on a line longer
//   than its buffer; an ASCII row is one line, and a list count larger than
//   the rest of its line sizes the list all the same.
// - OFF (with or without the "OFF" word): the face array is allocated as the
//   header says and left with empty faces when the lines run out; face lines
//   with no corner (or more than nine) are dropped by counting the face
//   total down, which wraps below zero when they outnumber the header.
// - OBJ: an index is re-read from each of its digits, so a long digit run
//   takes time growing with its square; after a long run of blanks every
//   later line costs time in proportion to the run; a polyline of a single
//   vertex corrupts the heap.

#include "InputCheck.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <string_view>
#include <vector>

namespace {

struct Property {
    bool isList = false;
    int countSize = 0; // list count type, bytes
    int itemSize = 0;  // scalar or list item type, bytes
};

struct Element {
    std::string name;
    uint64_t count = 0;
    std::vector<Property> properties;
};

int typeSize(const std::string& t)
{
    if (t == "char" || t == "uchar" || t == "int8" || t == "uint8") return 1;
    if (t == "short" || t == "ushort" || t == "int16" || t == "uint16") return 2;
    if (t == "int" || t == "uint" || t == "int32" || t == "uint32" || t == "float" || t == "float32") return 4;
    if (t == "double" || t == "float64") return 8;
    return 0;
}

// A read-only view of a whole file.
class MappedFile {
public:
    explicit MappedFile(const std::string& path)
    {
        fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) return;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
        size = static_cast<size_t>(st.st_size);
        if (size == 0) {
            ok = true;
            return;
        }
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) return;
        data = static_cast<const unsigned char*>(p);
        ok = true;
    }
    ~MappedFile()
    {
        if (data) ::munmap(const_cast<unsigned char*>(data), size);
        if (fd >= 0) ::close(fd);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool ok = false;
    const unsigned char* data = nullptr;
    size_t size = 0;

private:
    int fd = -1;
};

uint64_t readCount(const unsigned char* p, int bytes, bool bigEndian)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const int k = bigEndian ? i : bytes - 1 - i;
        v = (v << 8) | p[k];
    }
    // Signed count types: a negative count is as bad as a missing one.
    if (bytes < 8 && (v >> (8 * bytes - 1)) & 1) return UINT64_MAX;
    return v;
}

// Rows of a single list that all hold as many items as the first: then the
// rows have one size and each count sits at a known place, so they are
// compared side by side instead of walked one after the other (a mesh of
// triangles or of quads). Returns the element's size, or 0 when the rows
// differ or do not fit.
size_t uniformListRows(const Element& e, const unsigned char* p, size_t size, bool bigEndian)
{
    if (e.properties.size() != 1 || !e.properties[0].isList || e.count == 0) return 0;
    const auto countSize = static_cast<size_t>(e.properties[0].countSize);
    if (size < countSize) return 0;
    const uint64_t n = readCount(p, e.properties[0].countSize, bigEndian);
    if (n > size) return 0;
    const uint64_t stride = countSize + n * static_cast<uint64_t>(e.properties[0].itemSize);
    if (e.count > size / stride) return 0;
    bool same = true;
    if (countSize == 1) {
        for (uint64_t r = 1; r < e.count; ++r) same &= p[r * stride] == p[0];
    } else {
        for (uint64_t r = 1; r < e.count && same; ++r) same = std::memcmp(p + r * stride, p, countSize) == 0;
    }
    return same ? static_cast<size_t>(e.count * stride) : 0;
}

bool checkBinary(const std::vector<Element>& elements, const unsigned char* p, size_t size, bool bigEndian,
                 std::string& why)
{
    size_t pos = 0;
    for (const auto& e : elements) {
        bool hasList = false;
        uint64_t rowSize = 0;
        for (const auto& prop : e.properties) {
            hasList = hasList || prop.isList;
            rowSize += prop.isList ? 0 : static_cast<uint64_t>(prop.itemSize);
        }
        if (!hasList) {
            if (rowSize != 0 && e.count > (size - pos) / rowSize) {
                why = "the data of element '" + e.name + "' is cut short.";
                return false;
            }
            pos += static_cast<size_t>(e.count * rowSize);
            continue;
        }
        if (const size_t uniform = uniformListRows(e, p + pos, size - pos, bigEndian)) {
            pos += uniform;
            continue;
        }
        for (uint64_t r = 0; r < e.count; ++r) {
            for (const auto& prop : e.properties) {
                if (!prop.isList) {
                    if (size - pos < static_cast<size_t>(prop.itemSize)) {
                        why = "the data of element '" + e.name + "' is cut short.";
                        return false;
                    }
                    pos += static_cast<size_t>(prop.itemSize);
                    continue;
                }
                if (size - pos < static_cast<size_t>(prop.countSize)) {
                    why = "the data of element '" + e.name + "' is cut short.";
                    return false;
                }
                const uint64_t n = readCount(p + pos, prop.countSize, bigEndian);
                pos += static_cast<size_t>(prop.countSize);
                // A multiplication, not a division: this runs once per row.
                if (n > size - pos || n * static_cast<uint64_t>(prop.itemSize) > size - pos) {
                    why = "the data of element '" + e.name + "' is cut short.";
                    return false;
                }
                pos += static_cast<size_t>(n * static_cast<uint64_t>(prop.itemSize));
            }
        }
    }
    return true;
}

// The reader's line buffer; a longer line overflows it.
constexpr size_t LongestPlyLine = size_t{1} << 20;

// Text the PLY line reader can walk: no NUL, no form feed, every carriage
// return followed by a line feed, no line longer than its buffer.
bool checkPlyText(const unsigned char* p, size_t size, std::string& why)
{
    if (std::memchr(p, '\0', size) || std::memchr(p, '\f', size)) {
        why = "a NUL or form-feed byte in the text of the file.";
        return false;
    }
    for (const unsigned char* cr = p; (cr = static_cast<const unsigned char*>(std::memchr(cr, '\r', size - (cr - p))));
         ++cr) {
        if (cr + 1 == p + size || cr[1] != '\n') {
            why = "a carriage return without a line feed in the text of the file.";
            return false;
        }
    }
    size_t lineStart = 0;
    while (lineStart < size) {
        const void* nl = std::memchr(p + lineStart, '\n', std::min(size - lineStart, LongestPlyLine + 1));
        if (!nl) {
            if (size - lineStart > LongestPlyLine) {
                why = "a line longer than 1 MiB.";
                return false;
            }
            break;
        }
        lineStart = static_cast<size_t>(static_cast<const unsigned char*>(nl) - p) + 1;
    }
    return true;
}

// The PLY reader's line walk, over text that passed checkPlyText (so every
// line ends in LF or CR LF): standing on a line end it skips one line
// terminator, then the line runs up to the next line end. Each element row
// is one such line.
class PlyLines {
public:
    PlyLines(const unsigned char* data, size_t size) : p(data), end(data + size) {}

    bool next(const unsigned char*& first, const unsigned char*& last)
    {
        if (p < end && (*p == '\r' || *p == '\n')) {
            while (p < end && *p != '\n') ++p;
            ++p;
        }
        if (p >= end) return false;
        first = p;
        while (p < end && *p != '\r' && *p != '\n') ++p;
        last = p;
        if (p < end) ++p;
        return true;
    }

private:
    const unsigned char* p;
    const unsigned char* end;
};

// Rows of one line each; a list may not run past the end of its line, where
// the reader would size it by a count that no data bears out.
bool checkAscii(const std::vector<Element>& elements, const unsigned char* p, size_t size, std::string& why)
{
    if (!checkPlyText(p, size, why)) return false;
    PlyLines rows(p, size);
    const unsigned char* q = nullptr;
    const unsigned char* lineEnd = nullptr;
    const unsigned char* token = nullptr;
    auto nextToken = [&] {
        while (q < lineEnd && (*q == ' ' || *q == '\t')) ++q;
        if (q >= lineEnd) return false;
        token = q;
        while (q < lineEnd && *q != ' ' && *q != '\t') ++q;
        return true;
    };
    for (const auto& e : elements) {
        for (uint64_t r = 0; r < e.count; ++r) {
            if (!rows.next(q, lineEnd)) {
                why = "the data of element '" + e.name + "' is cut short.";
                return false;
            }
            for (const auto& prop : e.properties) {
                if (!nextToken()) {
                    why = "a row of element '" + e.name + "' is cut short.";
                    return false;
                }
                if (!prop.isList) continue;
                const unsigned char* d = token + (*token == '+' ? 1 : 0);
                uint64_t n = 0;
                bool valid = d < q;
                for (; d < q && valid; ++d) {
                    valid = *d >= '0' && *d <= '9';
                    n = std::min<uint64_t>(n * 10 + (*d - '0'), UINT32_MAX);
                }
                if (!valid) {
                    why = "a list of element '" + e.name + "' has no valid length.";
                    return false;
                }
                for (uint64_t k = 0; k < n; ++k) {
                    if (!nextToken()) {
                        why = "a list of element '" + e.name + "' is longer than its line.";
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

bool hasExtension(const std::string& path, std::string_view ext)
{
    if (path.size() < ext.size()) return false;
    for (size_t i = 0; i < ext.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[path.size() - ext.size() + i]);
        if (std::tolower(c) != ext[i]) return false;
    }
    return true;
}

bool checkPly(const unsigned char* data, size_t size, std::string& why)
{
    // Header lines up to "end_header".
    const char* text = reinterpret_cast<const char*>(data);
    size_t pos = 0;
    std::vector<Element> elements;
    std::string format;
    bool ended = false;
    while (pos < size) {
        const void* nl = std::memchr(text + pos, '\n', size - pos);
        if (!nl) break;
        const size_t end = static_cast<const char*>(nl) - text;
        std::string line(text + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "end_header") {
            ended = true;
            break;
        }
        if (word == "format") {
            words >> format;
        } else if (word == "element") {
            Element e;
            words >> e.name >> e.count;
            if (!words) {
                why = "bad element line in the header.";
                return false;
            }
            elements.push_back(e);
        } else if (word == "property") {
            if (elements.empty()) {
                why = "a property before any element in the header.";
                return false;
            }
            std::string type;
            words >> type;
            Property prop;
            if (type == "list") {
                std::string countType, itemType;
                words >> countType >> itemType;
                prop.isList = true;
                prop.countSize = typeSize(countType);
                prop.itemSize = typeSize(itemType);
                if (prop.countSize == 0 || prop.itemSize == 0) {
                    why = "unknown list type in the header.";
                    return false;
                }
            } else {
                prop.itemSize = typeSize(type);
                if (prop.itemSize == 0) {
                    why = "unknown property type '" + type + "' in the header.";
                    return false;
                }
            }
            elements.back().properties.push_back(prop);
        }
    }
    if (!ended) {
        why = "the header has no end_header line.";
        return false;
    }
    if (!checkPlyText(data, pos, why)) return false;
    for (const auto& e : elements) {
        if (e.count > 0 && e.properties.empty()) {
            why = "element '" + e.name + "' has rows but no property.";
            return false;
        }
    }
    const unsigned char* body = data + pos;
    const size_t bodySize = size - pos;
    if (format == "ascii") return checkAscii(elements, body, bodySize, why);
    if (format == "binary_little_endian") return checkBinary(elements, body, bodySize, false, why);
    if (format == "binary_big_endian") return checkBinary(elements, body, bodySize, true, why);
    why = "unknown format '" + format + "'.";
    return false;
}

// The OFF reader's text walk: the text ends at the first NUL; a line is a
// run of bytes up to a line end (CR, LF, NUL, FF), runs of line ends
// between lines are skipped.
class OffLines {
public:
    OffLines(const unsigned char* data, size_t size)
        : p(data), end(data + size)
    {
        if (const void* nul = std::memchr(data, '\0', size)) end = static_cast<const unsigned char*>(nul);
    }
    static bool isLineEnd(unsigned char c) { return c == '\r' || c == '\n' || c == '\0' || c == '\f'; }
    static bool isSpace(unsigned char c) { return c == ' ' || c == '\t'; }

    // Skips blanks, line ends and comment lines, as between header words.
    void nextToken()
    {
        for (;;) {
            while (p < end && (isSpace(*p) || isLineEnd(*p))) ++p;
            if (p < end && *p == '#') {
                while (p < end && !isLineEnd(*p)) ++p;
                continue;
            }
            return;
        }
    }
    // An unsigned decimal number as the reader takes it: digits until the
    // first other byte, 0 when there is none. Counts past 32 bits give
    // UINT64_MAX.
    uint64_t number()
    {
        uint64_t v = 0;
        while (p < end && *p >= '0' && *p <= '9') {
            v = std::min<uint64_t>(v * 10 + (*p - '0'), uint64_t{1} << 40);
            ++p;
        }
        return v > UINT32_MAX ? UINT64_MAX : v;
    }
    bool startsWith(const char* word) const
    {
        const size_t n = std::strlen(word);
        return static_cast<size_t>(end - p) > n && std::memcmp(p, word, n) == 0;
    }
    // Moves to the next line; false at the end of the text. The line's
    // first byte is then at `p`, its length in `length`.
    bool nextLine(const unsigned char*& line, size_t& length)
    {
        if (p >= end) return false;
        line = p;
        while (p < end && !isLineEnd(*p)) ++p;
        length = static_cast<size_t>(p - line);
        while (p < end && isLineEnd(*p)) ++p;
        return true;
    }

    const unsigned char* p;
    const unsigned char* end;
};

bool checkOff(const unsigned char* data, size_t size, std::string& why)
{
    OffLines text(data, size);
    text.nextToken();
    // Optional prefix letters, then the word itself.
    bool hasDimension = false;
    if (text.startsWith("ST")) text.p += 2;
    if (text.startsWith("C")) ++text.p;
    if (text.startsWith("N")) ++text.p;
    if (text.startsWith("4")) ++text.p;
    if (text.startsWith("n")) {
        hasDimension = true;
        ++text.p;
    }
    if (text.startsWith("OFF")) {
        text.p += 3;
    } else {
        text.nextToken();
        if (!(text.p < text.end && *text.p >= '0' && *text.p <= '9')) return true; // refused by the reader
    }
    text.nextToken();
    if (hasDimension) {
        text.number();
        text.nextToken();
    }
    text.nextToken();
    const uint64_t vertexCount = text.number();
    text.nextToken();
    const uint64_t faceCount = text.number();
    text.nextToken();
    text.number();
    text.nextToken();
    if (vertexCount == 0 || faceCount == 0) return true; // refused by the reader
    if (vertexCount == UINT64_MAX || faceCount == UINT64_MAX) {
        why = "the counts in the header are too large.";
        return false;
    }
    // Each vertex and face takes at least two bytes: a test before walking.
    if (vertexCount + faceCount > static_cast<uint64_t>(text.end - text.p)) {
        why = "the counts in the header exceed what the file holds.";
        return false;
    }

    // The reader copies each line into a buffer of this size.
    constexpr size_t LongestOffLine = 4000;
    const unsigned char* line = nullptr;
    size_t length = 0;
    for (uint64_t v = 0; v < vertexCount; ++v) {
        if (!text.nextLine(line, length)) {
            why = "the file holds fewer vertices than its header announces.";
            return false;
        }
        if (length > LongestOffLine) {
            why = "a vertex line longer than 4000 bytes.";
            return false;
        }
    }
    uint64_t read = 0, dropped = 0;
    while (read < faceCount) {
        if (!text.nextLine(line, length)) {
            // The reader stops here; the faces it counted down are gone,
            // the rest of its array would stay empty.
            if (read + dropped >= faceCount) return true;
            why = "the file holds fewer faces than its header announces.";
            return false;
        }
        if (length > LongestOffLine) {
            why = "a face line longer than 4000 bytes.";
            return false;
        }
        const unsigned char* q = line;
        while (q < text.end && OffLines::isSpace(*q)) ++q;
        // A 32-bit count, wrapping as the reader's does.
        uint32_t corners = 0;
        while (q < text.end && *q >= '0' && *q <= '9') corners = corners * 10u + static_cast<uint32_t>(*q++ - '0');
        if (corners == 0 || corners > 9) {
            if (++dropped > faceCount) {
                why = "more faces without corners than the header announces.";
                return false;
            }
            continue;
        }
        ++read;
    }
    return true;
}

bool checkObj(const unsigned char* data, size_t size, std::string& why)
{
    // Longer than any 32-bit index.
    constexpr size_t LongestIndex = 10;
    // After a long run of blanks every later line costs the reader time in
    // proportion to the run; ordinary files have short runs.
    constexpr uint64_t LongBlankRun = 64;
    constexpr uint64_t BlankBudget = uint64_t{1} << 30;
    uint64_t blanks = 0, longestBlanks = 0, blankWork = 0;
    size_t digitRun = 0;
    // Words of the current line, and whether it is a polyline ("l").
    uint64_t words = 0;
    bool inWord = false, indexLine = false, polyline = false, continued = false;
    auto endLine = [&] {
        // The reader corrupts its heap on a polyline of one vertex.
        if (polyline && words == 2) {
            why = "a polyline with a single vertex.";
            return false;
        }
        words = 0;
        inWord = indexLine = polyline = false;
        digitRun = 0;
        return true;
    };
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (c == ' ' || c == '\t') {
            longestBlanks = std::max(longestBlanks, ++blanks);
            digitRun = 0;
            inWord = false;
            continue;
        }
        blanks = 0;
        if (c == '\n' || c == '\r' || c == '\0' || c == '\f') {
            if (longestBlanks > LongBlankRun && (blankWork += longestBlanks) > BlankBudget) {
                why = "a run of " + std::to_string(longestBlanks) + " blanks before too many lines.";
                return false;
            }
            // A backslash carries the line on past its end.
            if (continued) {
                continued = false;
                inWord = false;
                continue;
            }
            if (!endLine()) return false;
            continue;
        }
        if (c == '\\') continued = true;
        if (!inWord) {
            inWord = true;
            if (++words == 1) {
                indexLine = c == 'f' || c == 'l' || c == 'p';
                polyline = c == 'l' && (i + 1 == size || data[i + 1] == ' ' || data[i + 1] == '\t');
            }
        }
        digitRun = (c >= '0' && c <= '9') ? digitRun + 1 : 0;
        if (indexLine && digitRun > LongestIndex) {
            why = "an index with more digits than any vertex number has.";
            return false;
        }
    }
    return endLine();
}

} // namespace

bool checkModelFile(const std::string& path, std::string& why)
{
    MappedFile file(path);
    if (!file.ok || file.size == 0) return true; // the reader reports these itself
    const unsigned char* d = file.data;
    const size_t n = file.size;
    // The PLY reader takes any case of its three magic letters.
    const bool plyMagic = n >= 3 && std::tolower(d[0]) == 'p' && std::tolower(d[1]) == 'l' && std::tolower(d[2]) == 'y';
    // The library picks its reader by the name first, then by the content.
    if (hasExtension(path, ".ply")) return !plyMagic || checkPly(d, n, why);
    if (hasExtension(path, ".off")) return checkOff(d, n, why);
    if (hasExtension(path, ".obj")) return checkObj(d, n, why);
    if (plyMagic) return checkPly(d, n, why);
    const size_t headSize = std::min<size_t>(n, 256);
    const std::string_view head(reinterpret_cast<const char*>(d), headSize);
    const size_t firstWord = head.find_first_not_of(" \t\r\n");
    const bool offWord = firstWord != std::string_view::npos &&
                         head.substr(firstWord, head.find_first_of(" \t\r\n", firstWord) - firstWord)
                                 .find("OFF") != std::string_view::npos;
    if (offWord) return checkOff(d, n, why);
    return true;
}
