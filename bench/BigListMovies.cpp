#include "BigListMovies.h"

#include <filesystem>
#include <string>

#include "support/SwfBuilder.h"

namespace kelvora::bench {

const test::TempDir& BigListMovies() {
    static test::TempDir dir;
    static bool made = false;
    if (!made) {
        test::SwfMovie movie;
        movie.tags = test::SwfEndTag();
        for (int i = 0; i < kBigListFiles; ++i) {
            const std::string folder = dir.File("f" + std::to_string(i % 100));
            std::filesystem::create_directories(folder);
            movie.frameCount = static_cast<uint16_t>(i * 7 % 5000);
            movie.frameRate88 = static_cast<uint16_t>((1 + i % 60) << 8);
            movie.xMax = 20 * (100 + i % 700);
            test::WriteFileBytes(folder + "/movie" + std::to_string(i) + ".swf",
                                 test::BuildSwf(movie));
        }
        made = true;
    }
    return dir;
}

}  // namespace kelvora::bench
