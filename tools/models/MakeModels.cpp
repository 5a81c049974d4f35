// vask_models: writes the example models under examples/models/ (committed).
// Rebuild them with
//     cmake --build <build> --target models
#include <cstdio>
#include <string>

#include "tools/models/ModelWriter.h"
#include "tools/models/Primitives.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vask_models DIR\n");
        return 2;
    }
    using namespace vask::models;
    const std::string dir = argv[1];
    bool ok = true;
    auto save = [&](const char* name, Form form, void (*content)(ModelWriter&)) {
        ModelWriter w(form);
        content(w);
        ok = writeFile(dir + "/" + name, w.bytes()) && ok;
    };
    save("gallery.3dmf", Form::kText, writeGallery);
    save("gallery_be.3dmf", Form::kBigEndian, writeGallery);
    save("gallery_le.3dmf", Form::kLittleEndian, writeGallery);
    save("rocket.3dmf", Form::kBigEndian, writeRocket);
    save("rocket_text.3dmf", Form::kText, writeRocket);
    save("sheet.3dmf", Form::kLittleEndian, [](ModelWriter& w) { writeWavySheet(w, 40, 40); });
    if (!ok) std::fprintf(stderr, "vask_models: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
