#include "support/win32/module_thread.h"

#include <memory>

namespace vantrel::win {

namespace {

struct ThreadStart {
    std::function<void()> work;
    HMODULE module = nullptr;  // the reference this thread holds
};

DWORD WINAPI moduleThreadMain(void* parameter) {
    HMODULE module = nullptr;
    {
        std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        module = start->module;
        try {
            start->work();
        } catch (...) {
        }
    }
    // Our reference may be the last: FreeLibrary and then a return would run
    // the return in a module already unmapped. FreeLibraryAndExitThread drops
    // the reference and ends the thread in one step, which its documentation
    // gives as the way for a thread running in a DLL to free that DLL.
    if (module) FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

UniqueHandle startModuleThread(std::function<void()> work) {
    auto start = std::make_unique<ThreadStart>();
    start->work = std::move(work);
    // Without GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, GetModuleHandleEx
    // adds a reference to the module holding the address, to be dropped with
    // FreeLibrary (or FreeLibraryAndExitThread); FROM_ADDRESS names our own
    // module whatever its file is called. Should that fail, the thread still
    // runs, only without the guard.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&moduleThreadMain),
                            &start->module))
        start->module = nullptr;
    // CreateThread rather than _beginthreadex: the thread must end in
    // FreeLibraryAndExitThread, and the C runtime here is msvcrt.dll, which
    // frees a thread's own data when the thread ends however it ends.
    UniqueHandle thread(CreateThread(nullptr, 0, moduleThreadMain, start.get(), 0, nullptr));
    if (thread) {
        (void)start.release();
    } else if (start->module) {
        FreeLibrary(start->module);
    }
    return thread;
}

}  // namespace vantrel::win
