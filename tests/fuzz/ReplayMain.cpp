// Runs a fuzz target once over every file in the folders (or files) it is given,
// as libFuzzer would, without fuzzing: the kept corpus becomes a plain test.

#include "FuzzInput.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

int main (int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;

    for (int i = 1; i < argc; ++i)
    {
        if (fs::is_directory (argv[i]))
        {
            for (const auto& entry : fs::directory_iterator (argv[i]))
                if (entry.is_regular_file())
                    inputs.push_back (entry.path());
        }
        else if (fs::is_regular_file (argv[i]))
        {
            inputs.emplace_back (argv[i]);
        }
    }

    // An empty or misnamed corpus must not pass as a clean run.
    if (inputs.empty())
    {
        std::fprintf (stderr, "no inputs to replay\n");
        return 1;
    }

    for (const auto& path : inputs)
    {
        std::ifstream file (path, std::ios::binary);
        const std::vector<char> bytes ((std::istreambuf_iterator<char> (file)), std::istreambuf_iterator<char>());

        std::printf ("replaying %s\n", path.filename().c_str());
        std::fflush (stdout);
        LLVMFuzzerTestOneInput (reinterpret_cast<const uint8_t*> (bytes.data()), bytes.size());
    }

    std::printf ("%zu inputs replayed\n", inputs.size());
    return 0;
}
