#pragma once
// Every reply head names the version of the file it carries (a strong ETag, else
// Last-Modified). The origin's decides: another version there starts the download over at
// once, which also stops every connection still reading the old one. A seed keeps the
// version it first showed; one that changes it under way is of no further use.

#include <string>

#include "engine/core/HttpResponseHead.h"

namespace vexa::engine {

enum class VersionAction {
    Same,           // the reply carries the version held (or proves nothing)
    RestartOrigin,  // the origin's file changed: start over
    DropSeed,       // the seed's file changed under way
};

struct VersionVerdict {
    VersionAction action = VersionAction::Same;
    // A seed's first version, to keep when it had none yet.
    std::string seedValidator;
    // The origin's partial reply carries the validator held: If-Range is no longer needed,
    // each head shows a change itself.
    bool validatorInHead = false;
};

// A reply head; only the file's bytes (200, 206) name a version. `known`: the source's
// validator so far (the origin's is the
// download's); `planned`: the download has a size and a plan (the origin's version is
// judged only then).
VersionVerdict JudgeVersion(const HttpResponseHead& head, bool fromOrigin,
                            const std::string& known, bool planned);

}  // namespace vexa::engine
