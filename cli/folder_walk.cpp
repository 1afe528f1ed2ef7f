#include "folder_walk.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "hash_input.h"

namespace {

namespace fs = std::filesystem;

// The C error number of `code` where there is one, so messages read as for other inputs.
int ErrorNumber(const std::error_code& code) {
    return code.default_error_condition().value();
}

struct Walk {
    bool followLinks = false;
    VisitFile visit = nullptr;
    void* context = nullptr;
    std::vector<fs::path> open;  // folders being walked, resolved: guards against link loops
    bool allRead = true;
};

void Fail(Walk* walk, const std::string& path, const std::error_code& code) {
    ReportFileError(path, ErrorNumber(code));
    walk->allRead = false;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) return folder + name;
    return folder + "/" + name;
}

void WalkInto(Walk* walk, const std::string& folder) {
    std::error_code code;
    const fs::path resolved = fs::canonical(folder, code);
    if (code) return Fail(walk, folder, code);
    if (std::find(walk->open.begin(), walk->open.end(), resolved) != walk->open.end()) return;

    std::vector<std::string> names;
    fs::directory_iterator entries(folder, code);
    if (code) return Fail(walk, folder, code);
    for (const fs::directory_iterator end; entries != end; entries.increment(code)) {
        names.push_back(entries->path().filename().string());
    }
    if (code) Fail(walk, folder, code);  // what was listed before the failure is still walked
    std::sort(names.begin(), names.end());

    walk->open.push_back(resolved);
    for (const std::string& name : names) {
        const std::string path = Join(folder, name);
        const fs::file_status own = fs::symlink_status(path, code);
        if (code) {
            Fail(walk, path, code);
            continue;
        }
        fs::file_status status = own;
        if (fs::is_symlink(own)) {
            if (!walk->followLinks) continue;
            status = fs::status(path, code);
            if (code) {
                Fail(walk, path, code);
                continue;
            }
        }
        if (fs::is_directory(status)) {
            WalkInto(walk, path);
        } else if (fs::is_regular_file(status)) {
            walk->visit(walk->context, path);
        }
    }
    walk->open.pop_back();
}

}  // namespace

bool WalkFolder(const std::string& folder, bool followLinks, VisitFile visit, void* context) {
    Walk walk;
    walk.followLinks = followLinks;
    walk.visit = visit;
    walk.context = context;
    WalkInto(&walk, folder);
    return walk.allRead;
}
