#pragma once
// The order in which the process-wide objects are created before the entry point (and
// destroyed, in reverse, after it returns). Each object is defined next to its owner, in
// that folder's ...Instance.cpp; the run-time library creates objects of different
// translation units in no set order, so each definition names its place here instead:
//
//   CSkinResources g_SkinResources VEXA_PROCESS_OBJECT(kSkinResourcesOrder);
//
// Later objects may use earlier ones while they are built: the download-time event binds
// the engine at the path the configuration object derives from the package identifier.
// All of them are made before any namespace-scope object that has no place here, so none
// may use such an object of another file while it is built.

enum ProcessObjectOrder : int {
    kProcessGuardOrder = 1000,       // module search, crash handler: before all the others
    kSkinResourcesOrder = 1001,      // memory DC and font table
    kSharedBitmapsOrder = 1002,      // prompt-dialog and shared skin images
    kDownloaderConfigOrder = 1003,   // reads the package identity
    kAppModuleOrder = 1004,          // message loops and window classes
    kEnvironmentOrder = 1005,        // environment probes
    kWorkflowStateOrder = 1006,      // pending files, totals, MD5 list
    kStatisticsMgrOrder = 1007,      // created on the heap, never destroyed
    kStatisticsDLEventOrder = 1008,  // binds the engine
};

#define VEXA_PROCESS_OBJECT(order) __attribute__((init_priority(order)))
