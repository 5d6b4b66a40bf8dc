#include "engine/core/VersionRule.h"

namespace vexa::engine {

VersionVerdict JudgeVersion(const HttpResponseHead& head, bool fromOrigin,
                            const std::string& known, bool planned) {
    VersionVerdict verdict;
    if (head.status != 200 && head.status != 206) return verdict;
    if (!fromOrigin) {
        if (known.empty()) {
            verdict.seedValidator = head.StrongValidator();
            return verdict;
        }
        if (head.Contradicts(known)) verdict.action = VersionAction::DropSeed;
        return verdict;
    }
    if (known.empty()) return verdict;
    if (planned && head.Contradicts(known)) {
        verdict.action = VersionAction::RestartOrigin;
        return verdict;
    }
    verdict.validatorInHead =
        head.status == 206 && (head.etag == known || head.lastModified == known);
    return verdict;
}

}  // namespace vexa::engine
