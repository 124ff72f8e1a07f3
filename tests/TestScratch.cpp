#include "TestScratch.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Runs before every other static constructor of the program (init_priority), so nothing has
// read the user's own HOME or temp folder yet.
struct ScratchEnvironment {
    ScratchEnvironment()
    {
        const struct {
            const char* variable;
            const char* folder;
        } places[] = {{"VIEWER_TEST_SCRATCH", ""},      {"HOME", "/home"},           {"XDG_CONFIG_HOME", "/config"},
                      {"XDG_DATA_HOME", "/data"},        {"XDG_CACHE_HOME", "/cache"}, {"XDG_RUNTIME_DIR", "/runtime"},
                      {"TMPDIR", "/tmp"}};
        for (const auto& p : places) {
            const std::string dir = root + p.folder;
            std::error_code ec;
            fs::create_directories(dir, ec);
            ::setenv(p.variable, dir.c_str(), 1);
        }
        ::chmod((root + "/runtime").c_str(), 0700);  // the runtime folder must be private to its user
    }

    const std::string root = VIEWER_TEST_SCRATCH_DIR;
};

__attribute__((init_priority(101))) ScratchEnvironment g_environment;

// Made on first use below the system's shared temp folder (TMPDIR now points into the scratch).
struct OrdinaryUserFolder {
    OrdinaryUserFolder()
    {
        std::string pattern = "/tmp/viewer-test-XXXXXX";
        if (::mkdtemp(pattern.data())) {
            path = pattern;
            ::chmod(path.c_str(), 0755);
        } else {
            path = g_environment.root + "/ordinary-user";  // the best left; the tests that need more say so
            fs::create_directories(path);
        }
    }
    ~OrdinaryUserFolder()
    {
        if (path.empty()) return;
        // A test that failed half-way may have left a folder write-protected.
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }

    std::string path;
};

}  // namespace

const std::string& TestScratchDir() { return g_environment.root; }

const std::string& OrdinaryUserDir()
{
    static const OrdinaryUserFolder folder;
    return folder.path;
}
