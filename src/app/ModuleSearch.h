#pragma once
// The program and its uploader are started from wherever the user saved them, usually the
// Downloads folder, where any file named like a system module would be loaded in its place.

// Limits the search for modules loaded by name to the system folder. Modules loaded by their
// full path (the unpacked engine and identity modules) are not affected. Called before
// anything else runs, since the system modules that are not linked at start are loaded on
// their first use.
void RestrictModuleSearch();
