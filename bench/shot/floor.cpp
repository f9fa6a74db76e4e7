#include "floor.h"

#include <fast_float/fast_float.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>

namespace kestrin::bench {
namespace {

// The whole file into `bytes`, whose storage is reused from file to file.
void readAll(const std::string& path, std::string& bytes) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    std::fseek(in, 0, SEEK_END);
    bytes.resize(size_t(std::ftell(in)));
    std::fseek(in, 0, SEEK_SET);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
    std::fclose(in);
}

// A file's points (x y z) and its faces' corners, each face's corners
// followed by 0.
void parse(const std::string& text, std::vector<double>& xyz, std::vector<int>& corners) {
    xyz.clear();
    corners.clear();
    const char* at = text.data();
    const char* end = at + text.size();
    while (at < end) {
        const char* line = at;
        const char* next = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
        next = next ? next + 1 : end;
        if (line[0] == 'v' && line[1] == ' ') {
            const char* p = line + 2;
            for (int k = 0; k < 3; ++k) {
                double value;
                p = fast_float::from_chars(p, next, value).ptr + 1;
                xyz.push_back(value);
            }
        } else if (line[0] == 'f' && line[1] == ' ') {
            const char* p = line + 2;
            while (p < next - 1) {
                int value = 0;
                p = std::from_chars(p, next, value).ptr + 1;
                corners.push_back(value);
            }
            corners.push_back(0);
        }
        at = next;
    }
}

void writeFile(const std::string& path, const std::string& bytes) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (size_t written = 0; file >= 0 && written < bytes.size();) {
        const ssize_t count = ::write(file, bytes.data() + written, bytes.size() - written);
        if (count <= 0) break;
        written += size_t(count);
    }
    ::close(file);
}

template <typename Write>
void eachPose(const std::string& rest, const std::vector<std::string>& poses, Write write) {
    std::string text;
    std::vector<double> xyz;
    std::vector<int> corners;
    readAll(rest, text);
    parse(text, xyz, corners);
    for (size_t pose = 0; pose < poses.size(); ++pose) {
        readAll(poses[pose], text);
        parse(text, xyz, corners);
        write(pose, xyz, corners);
    }
}

std::string numbered(const std::string& folder, const char* stem, size_t pose, const char* extension) {
    return folder + "/" + stem + std::to_string(pose + 1) + extension;
}

}  // namespace

void weightsFloor(const std::string& rest, const std::vector<std::string>& poses, const std::string& folder) {
    std::string csv;
    eachPose(rest, poses, [&](size_t pose, const std::vector<double>& xyz, const std::vector<int>&) {
        csv = "point,weight\n";
        char number[64];
        for (size_t i = 0; i < xyz.size() / 3; ++i) {
            csv.append(number, std::to_chars(number, number + sizeof number, i).ptr);
            csv += ',';
            const float weight = float(xyz[3 * i + 2]);
            csv.append(number, std::to_chars(number, number + sizeof number, weight, std::chars_format::general, 9).ptr);
            csv += '\n';
        }
        writeFile(numbered(folder, "floor_", pose, ".csv"), csv);
    });
}

void morphFloor(const std::string& rest, const std::vector<std::string>& poses, const std::string& folder) {
    std::string obj;
    eachPose(rest, poses, [&](size_t pose, const std::vector<double>& xyz, const std::vector<int>& corners) {
        obj.clear();
        char number[64];
        for (size_t k = 0; k < xyz.size(); ++k) {
            obj += k % 3 == 0 ? "v " : " ";
            obj.append(number, std::to_chars(number, number + sizeof number, xyz[k]).ptr);
            if (k % 3 == 2) obj += '\n';
        }
        bool faceStart = true;
        for (int corner : corners) {
            if (corner == 0) {
                obj += '\n';
                faceStart = true;
                continue;
            }
            obj += faceStart ? "f " : " ";
            faceStart = false;
            obj.append(number, std::to_chars(number, number + sizeof number, corner).ptr);
        }
        writeFile(numbered(folder, "floor_", pose, ".obj"), obj);
    });
}

}  // namespace kestrin::bench
