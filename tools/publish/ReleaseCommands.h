#pragma once
// The commands that look at and move a package's releases in a staged web root:
//   releases --root WEBROOT ID | rollback --root WEBROOT [--to NAME] ID |
//   prune --root WEBROOT --keep N ID

#include "Arguments.h"

namespace publish {

int ListReleases(const CArguments& args);
int RollBack(const CArguments& args);
int PruneReleases(const CArguments& args);

}  // namespace publish
