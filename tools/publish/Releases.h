#pragma once
// Releases of one package in a web root. Each release keeps its document and its files in a
// version folder of its own (ROOT/.releases/<id>/<name>/), never changed after it is made;
// the web root serves hard links of those files at their addresses, and the live document
// (/publish/tool/muldown/<id>.html) is switched from one release to another by one rename.
// A download that started on a release keeps reading it: its addresses stay served, with the
// same bytes, until a prune removes a release that no live document names.

#include <cstdint>
#include <string>
#include <vector>

namespace publish {

struct ReleaseFile {
    std::string urlPath;  // percent-decoded path the web root serves it at: "/games/x/a.bin"
    std::string source;   // the file to take it from (only while staging)
    uint64_t size = 0;
    std::string md5;  // the file's fingerprint text, lower case
};

struct ReleaseInfo {
    std::string name;
    uint64_t sequence = 0;  // staging order, 1 for the first release of the package
    std::string staged;     // UTC, ISO 8601
    bool live = false;
    std::vector<ReleaseFile> files;
};

// One file of a kept release that another release would serve other bytes under.
struct ReleaseConflict {
    std::string urlPath;
    std::string packageId;
    std::string release;
};

class CReleaseStore {
public:
    CReleaseStore(std::string webRoot, std::string packageId);

    // Oldest first; the one whose document is live is marked.
    std::vector<ReleaseInfo> List() const;

    // A free name: `wanted` when given, otherwise the UTC time (with "-2", "-3"... when taken).
    std::string NameFor(const std::string& wanted) const;
    static bool ValidName(const std::string& name);
    // An identifier that names one folder: no separator, not "." or "..", not empty.
    static bool ValidPackageId(const std::string& id);

    // Lays the release out in its version folder (files first, the document last) without
    // making it live. On failure nothing of it is left behind.
    bool Build(const std::string& name, const std::string& document,
               const std::vector<ReleaseFile>& files, std::string* error);
    // Serves the release's files at their addresses (replacing only files whose bytes differ,
    // which no kept release serves: the caller has ruled out conflicts), then switches the
    // live document to the release's in one rename.
    bool GoLive(const std::string& name, std::string* error);
    // Removes a version folder that never went live (a stage that failed after Build).
    void Discard(const std::string& name);

    // The release staged before the live one (or `to`), made live.
    bool Rollback(const std::string& to, std::string* madeLive, std::string* error);

    // Removes all but the `keep` newest releases, never the live one, then the served files
    // that no remaining release of any package and no live document's release names.
    bool Prune(size_t keep, std::vector<std::string>* removed, std::string* error);

    // Files of kept releases of every package in the web root that `files` would serve other
    // bytes under.
    static std::vector<ReleaseConflict> Conflicts(const std::string& webRoot,
                                                  const std::vector<ReleaseFile>& files);

    std::string LiveDocumentPath() const;
    std::string VersionFolder(const std::string& name) const;

private:
    std::string webRoot_;
    std::string packageId_;
};

// The manifest of a version folder, as text and back.
std::string ManifestText(const ReleaseInfo& info);
bool ParseManifest(const std::string& text, ReleaseInfo* info);

// True when the two files hold the same bytes (one file, or equal size and content).
bool SameFileBytes(const std::string& a, const std::string& b);

}  // namespace publish
