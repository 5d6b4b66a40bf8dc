#pragma once
// Extraction of the modules the program carries LZARI-compressed in its own resources.

#include <windows.h>

// Decodes resource `resourceId` of type `resourceType` (language 2052) of the program's own
// module into a new file at `targetPath`. True when the file was written.
BOOL ExtractModule(UINT resourceId, const wchar_t* resourceType, const wchar_t* targetPath);
