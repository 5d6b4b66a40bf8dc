#pragma once
// No exception may leave a module through one of its exports: the caller is another
// module, built apart, that knows nothing of this one's exceptions (a failed thread start,
// an allocation). Every exported function runs its body here, and any exception becomes
// the export's failure answer.
//
//   int StartTask(int taskId) {
//       return ExportBarrier(0, [&] { return Registry().Start(taskId) ? 1 : 0; });
//   }

template <class Result, class Body>
Result ExportBarrier(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}
