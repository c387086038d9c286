#pragma once
#include <cstddef>
#include <string>

namespace kel::platform {

// Replaces a whole file so that a crash at any moment leaves either the old
// or the new content, never a truncated file: the bytes go to a temporary
// file beside the target, are flushed to the disk, and the temporary file
// is renamed over the target. The folder must exist. On the simulated board
// a target that resolves outside the root is refused (PathMap).
class AtomicFile {
public:
    static bool replace(const std::string& logicalPath, const void* data, size_t size);
    // The same for a host path already mapped (and checked) by the caller.
    static bool replaceHost(const std::string& hostPath, const void* data, size_t size);
    // The target's folder exists and takes new files.
    static bool folderWritable(const std::string& hostPath);
    static constexpr const char* kTempSuffix = ".tmp";
    static std::string tempPath(const std::string& hostPath) { return hostPath + kTempSuffix; }
    // Removes what replacements cut short left in the folder: every entry
    // named as a temporary file (a link is removed, never followed). Each
    // removal is logged; returns how many.
    static int removeStaleTemporaries(const std::string& logicalFolder);

    // Failure knob for tests: the next n replacements stop right after the
    // temporary file has been created empty, as a crash there would.
    static void crashBeforeWrite(int n);
};

} // namespace kel::platform
