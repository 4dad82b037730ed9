// Structure tests of files before they reach the library's readers: its PLY
// reader loops forever on a header without "end_header" and reads past the
// end of a truncated body (a crash); its OFF reader reserves whatever the
// header announces, many gigabytes for a corrupt count.

#include "InputCheck.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
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
                if (n == UINT64_MAX || n > (size - pos) / static_cast<uint64_t>(prop.itemSize)) {
                    why = "the data of element '" + e.name + "' is cut short.";
                    return false;
                }
                pos += static_cast<size_t>(n * static_cast<uint64_t>(prop.itemSize));
            }
        }
    }
    return true;
}

bool checkAscii(const std::vector<Element>& elements, const unsigned char* p, size_t size, std::string& why)
{
    size_t pos = 0;
    auto nextToken = [&](std::string* text) {
        while (pos < size && std::isspace(p[pos])) ++pos;
        if (pos >= size) return false;
        const size_t start = pos;
        while (pos < size && !std::isspace(p[pos])) ++pos;
        if (text) text->assign(reinterpret_cast<const char*>(p + start), pos - start);
        return true;
    };
    std::string token;
    for (const auto& e : elements) {
        for (uint64_t r = 0; r < e.count; ++r) {
            for (const auto& prop : e.properties) {
                if (!nextToken(prop.isList ? &token : nullptr)) {
                    why = "the data of element '" + e.name + "' is cut short.";
                    return false;
                }
                if (!prop.isList) continue;
                char* end = nullptr;
                const long long n = std::strtoll(token.c_str(), &end, 10);
                if (end == token.c_str() || n < 0) {
                    why = "a list of element '" + e.name + "' has no valid length.";
                    return false;
                }
                for (long long k = 0; k < n; ++k) {
                    if (!nextToken(nullptr)) {
                        why = "the data of element '" + e.name + "' is cut short.";
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

} // namespace

bool looksLikePly(const std::string& path)
{
    std::string lower = path;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".ply") == 0) return true;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    char magic[4] = {0, 0, 0, 0};
    const ssize_t n = ::read(fd, magic, 4);
    ::close(fd);
    return n == 4 && std::memcmp(magic, "ply", 3) == 0 && std::isspace(static_cast<unsigned char>(magic[3]));
}

bool checkPlyStructure(const std::string& path, std::string& why)
{
    MappedFile file(path);
    if (!file.ok) return true; // the reader reports unreadable files itself
    if (file.size < 4 || std::memcmp(file.data, "ply", 3) != 0) return true;

    // Header lines up to "end_header".
    const char* text = reinterpret_cast<const char*>(file.data);
    size_t pos = 0;
    std::vector<Element> elements;
    std::string format;
    bool ended = false;
    while (pos < file.size) {
        const void* nl = std::memchr(text + pos, '\n', file.size - pos);
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
    const unsigned char* body = file.data + pos;
    const size_t bodySize = file.size - pos;
    if (format == "ascii") return checkAscii(elements, body, bodySize, why);
    if (format == "binary_little_endian") return checkBinary(elements, body, bodySize, false, why);
    if (format == "binary_big_endian") return checkBinary(elements, body, bodySize, true, why);
    why = "unknown format '" + format + "'.";
    return false;
}

bool checkOffCounts(const std::string& path, std::string& why)
{
    MappedFile file(path);
    if (!file.ok || file.size == 0) return true;
    // The magic word, then the vertex and face counts.
    const size_t headSize = std::min<size_t>(file.size, 4096);
    std::istringstream head(std::string(reinterpret_cast<const char*>(file.data), headSize));
    std::string magic;
    head >> magic;
    if (magic.find("OFF") == std::string::npos) return true;
    std::string skip;
    uint64_t vertices = 0, faces = 0;
    if (magic == "nOFF") head >> skip; // dimension
    if (!(head >> vertices >> faces)) return true;
    // Each vertex takes at least "x y z\n", each face at least "0\n".
    const double least = 6.0 * static_cast<double>(vertices) + 2.0 * static_cast<double>(faces);
    if (least > static_cast<double>(file.size)) {
        why = "the counts in the header exceed what the file holds.";
        return false;
    }
    return true;
}
