// Runs a fuzz target over saved inputs without libFuzzer: every argument is a
// file or a folder of files, each file is one input. Used by the ordinary
// build so that the seed inputs of every target run as a test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// libFuzzer never passes a null pointer, not even for an empty input.
const uint8_t kEmptyInput[1] = {0};

void RunBytes(const std::vector<char>& bytes) {
    const auto* data = bytes.empty() ? kEmptyInput : reinterpret_cast<const uint8_t*>(bytes.data());
    LLVMFuzzerTestOneInput(data, bytes.size());
}

int RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RunBytes(bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int failures = 0;
    int inputs = 0;
    RunBytes({});
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    failures += RunFile(entry.path());
                    ++inputs;
                }
            }
        } else {
            failures += RunFile(arg);
            ++inputs;
        }
    }
    std::printf("replayed %d inputs\n", inputs + 1);
    return failures == 0 ? 0 : 1;
}
