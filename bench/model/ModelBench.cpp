// Reading speed of the 3DMF reader, and a big model's import to first frame.
//
// For each file (made here, read once to bring it into the page cache): the
// best of --repeat reads through a POSIX storage and Q3File_ReadObject, in
// MB/s, beside a floor measured on the same bytes in the same run: pread of
// the whole file and a loop that byte-swaps its 4-byte words into a fresh
// array, which is the least any reader of the file must do. The ratio says
// how many floors a read takes.
//
// Then `vask render` of a project whose File Object names the 1 M-triangle
// model, Scene Render at 1920 × 1080, frame 0 only: the wall time from the
// start of the process to the written frame (plug-in loading, the import
// with its measuring, the frame and its PNG).
//
// Usage: model_bench [--repeat R] [--dir DIR]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DIO.h"
#include "platform/q3d/QD3DStorage.h"
#include "tools/models/ModelWriter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// One whole read of `path` through the scene library; false on any failure.
bool readModel(const std::string& path, std::size_t& objects) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    TQ3StorageObject storage = Q3PosixStorage_New(fd);
    TQ3FileObject file = Q3File_New();
    Q3File_SetStorage(file, storage);
    Q3Object_Dispose(storage);
    bool ok = Q3File_OpenRead(file, nullptr) == kQ3Success;
    objects = 0;
    while (ok && !Q3File_IsEndOfFile(file)) {
        TQ3Object object = Q3File_ReadObject(file);
        ok = object != nullptr;
        if (object) Q3Object_Dispose(object), ++objects;
    }
    if (ok) Q3File_Close(file);
    Q3Object_Dispose(file);
    ::close(fd);
    return ok;
}

// The floor: the bytes read and every 4-byte word byte-swapped into an array.
std::uint32_t floorPass(const std::string& path, std::size_t size) {
    std::vector<unsigned char> bytes(size);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size - got, off_t(got));
        if (n <= 0) break;
        got += std::size_t(n);
    }
    ::close(fd);
    std::vector<std::uint32_t> words(size / 4);
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::uint32_t v;
        std::memcpy(&v, bytes.data() + 4 * i, 4);
        words[i] = __builtin_bswap32(v);
    }
    return words.empty() ? 0 : words[words.size() / 2];
}

void measure(const char* label, const std::string& path, int repeat) {
    const auto size = std::size_t(fs::file_size(path));
    std::size_t objects = 0;
    if (!readModel(path, objects)) {  // also brings the file into the page cache
        std::printf("%-28s cannot be read (error %d)\n", label, int(Q3Error_Get(nullptr)));
        return;
    }
    double best = 1e9, bestFloor = 1e9;
    volatile std::uint32_t sink = 0;
    for (int r = 0; r < repeat; ++r) {
        auto a = Clock::now();
        readModel(path, objects);
        auto b = Clock::now();
        sink = sink + floorPass(path, size);
        auto c = Clock::now();
        best = std::min(best, seconds(a, b));
        bestFloor = std::min(bestFloor, seconds(b, c));
    }
    const double mb = double(size) / 1e6;
    std::printf("%-28s %7.1f MB  %8.1f ms  %7.0f MB/s   floor %6.1f ms %7.0f MB/s   ratio %.2f\n", label, mb,
                best * 1e3, mb / best, bestFloor * 1e3, mb / bestFloor, best / bestFloor);
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 5;
    fs::path dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--dir") == 0) dir = argv[i + 1];
    }
    const bool temporary = dir.empty();
    if (temporary) dir = fs::temp_directory_path() / ("vask_model_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    if (Q3Initialize() != kQ3Success) return 1;

    using vask::models::Form;
    auto make = [&](const char* name, Form form, std::uint32_t rows) {
        vask::models::ModelWriter w(form);
        vask::models::writeWavySheet(w, rows, rows);
        const std::string path = (dir / name).string();
        vask::models::writeFile(path, w.bytes());
        return path;
    };
    // 708 × 708 points: 999 698 triangles with vertex normals, about 24 MB.
    const std::string big = make("mesh_be.3dmf", Form::kBigEndian, 708);
    const std::string little = make("mesh_le.3dmf", Form::kLittleEndian, 708);
    const std::string text = make("mesh_text.3dmf", Form::kText, 300);
    std::printf("reading through Q3File_ReadObject, best of %d (files in the page cache)\n", repeat);
    measure("binary big-endian 1M tris", big, repeat);
    measure("binary little-endian 1M tris", little, repeat);
    measure("text 180k tris", text, repeat);

    // Import to first frame through the File Object and Scene Render.
    const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path project = dir / "model.json";
    std::ofstream(project) << R"({"format": 1, "composition": {"width": 1920, "height": 1080, "frame_rate": 24, "duration": 1},
 "layers": [{"name": "Model", "solid": [0,0,0,0], "effects": [{"effect": "HALV VASKMESHFILE1", "model": "mesh_be.3dmf"}]},
            {"name": "Camera", "solid": [0,0,0,0], "effects": [{"effect": "HALV VASKSCENERENDER1", "params": {"Camera Y": 1.5, "Camera Z": 2}}]}]})";
    double bestFrame = 1e9;
    for (int r = 0; r < std::max(1, repeat / 2); ++r) {
        const std::string command = (self / "vask").string() + " render " + project.string() + " --frames 0 --out " +
                                    (dir / "out").string() + " > /dev/null 2>&1";
        const auto a = Clock::now();
        const int status = std::system(command.c_str());
        const auto b = Clock::now();
        if (status != 0) {
            std::printf("vask render failed (%d)\n", status);
            break;
        }
        bestFrame = std::min(bestFrame, seconds(a, b));
    }
    std::printf("import to first frame, 1M tris at 1920x1080 (vask render, whole process): %.0f ms\n",
                bestFrame * 1e3);
    Q3Exit();
    if (temporary) fs::remove_all(dir);
    return 0;
}
