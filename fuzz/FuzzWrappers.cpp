// Movies inside other files, with the option that reads them: the first byte says what the rest
// is (a movie that may embed movies, a projector, a ZIP archive). The listing and the conversion
// of it run as a batch runs them; every output is a file inside the scratch folder, wherever the
// wrapper's names point.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "convert/SourceRun.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    struct Wrapper {
        const char* name;
        SourceKind kind;
    };
    static constexpr Wrapper kWrappers[] = {{"in.swf", SourceKind::Swf},
                                            {"in.exe", SourceKind::Projector},
                                            {"in.zip", SourceKind::Archive}};
    const Wrapper& wrapper = kWrappers[data[0] % 3];
    const fuzz::ScratchFolder& scratch = fuzz::ScratchFolder::Get();
    const std::string path = scratch.Write(wrapper.name, data + 1, size - 1);
    if (path.empty()) {
        return 0;
    }
    ConversionOptions options;
    options.allFormats = true;
    options.embedded = true;
    for (const bool convert : {false, true}) {
        CSwfReader swf;
        CFlvReader flv;
        CSourceRun run(swf, flv, options, false, convert);
        run.Run(path, wrapper.kind);
        KELVORA_FUZZ_CHECK(convert || run.Outputs().empty());
        for (const OutputItem& output : run.Outputs()) {
            KELVORA_FUZZ_CHECK(
                output.path.compare(0, scratch.Path().size() + 1, scratch.Path() + "/") == 0);
            KELVORA_FUZZ_CHECK(output.path.find("/../") == std::string::npos);
            struct stat st {};
            KELVORA_FUZZ_CHECK(::stat(output.path.c_str(), &st) == 0 && S_ISREG(st.st_mode));
        }
    }
    scratch.Clear();
    return 0;
}
