#pragma once
#include <QString>
#include <string>

namespace kel::platform {

// Maps the system's logical paths ("/data/...", "/dev/...") to the host's
// file system. On the device the root is "/" and the mapping is the
// identity; on the simulated board every path lands under the run's root.
class PathMap {
public:
    static void setRoot(const std::string& root);
    static std::string root();
    static bool isIdentity();

    static std::string host(const std::string& logical);
    static QString host(const QString& logical);
    // Inverse of host(): a host path under the root back to its logical form.
    static std::string logical(const std::string& hostPath);
    static QString logical(const QString& hostPath);
    // True when a host path lies inside the root (after normalisation).
    static bool insideRoot(const std::string& hostPath);

    // The host path to write a logical path to. On the simulated board a
    // path whose folders or whose own link resolve outside the root is
    // refused: the result is empty and the refusal is logged.
    static std::string hostForWrite(const std::string& logical);
    static QString hostForWrite(const QString& logical);
    // True when writing this host path stays inside the root once every
    // link on its way (and a link at its end) is followed; logs a refusal.
    static bool writesInsideRoot(const std::string& hostPath);

    // Creates the folders a fresh simulated root needs.
    static bool prepareRoot();
};

} // namespace kel::platform
