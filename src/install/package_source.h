// The package archive as the source of the files an installation writes.
#pragma once
#include "archive/package_archive.h"
#include "install/install_worker.h"

class PackageInstallSource : public InstallSource {
public:
    explicit PackageInstallSource(TPackageArchive& package) : package_(package) {}

    // Only entries of the package count: a name that is not in its directory is
    // missing (never looked up on the disk), and a content whose checksum does not
    // match is refused rather than installed.
    std::unique_ptr<uint8_t[]> Read(const std::string& name, uint32_t& size, std::string& why) override;

private:
    TPackageArchive& package_;
};
