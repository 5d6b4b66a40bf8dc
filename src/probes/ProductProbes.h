#pragma once
// Probes of installed products: the companion product, and the two security products whose
// installation folders must not receive a download.

#include <string>
#include <vector>

// True when the companion product's App Paths entry names an existing file.
bool IsQuilletInstalled();

// False when `folder` lies inside the installation folder of either security product.
bool IsOutsideSecurityProducts(const std::wstring& folder);

// The same rule against given installation folders (the registry's "path" values).
bool IsOutsideProductFolders(const std::wstring& folder, const std::vector<std::wstring>& products);
