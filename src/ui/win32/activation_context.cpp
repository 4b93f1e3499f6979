#include "ui/win32/activation_context.h"

#include "support/win32/resource_text.h"

namespace vantrel::win {

namespace {

// ISOLATIONAWARE_MANIFEST_RESOURCE_ID, as a number: the header's form is a narrow-string pointer.
constexpr WORD ManifestResourceId = 2;

// Owns the context handle; released when the module goes.
class ProcessContext {
public:
    ProcessContext() {
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = thisModule();
        request.lpResourceName = MAKEINTRESOURCEW(ManifestResourceId);
        handle_ = CreateActCtxW(&request);
    }
    ~ProcessContext() {
        if (handle_ != INVALID_HANDLE_VALUE) ReleaseActCtx(handle_);
    }
    ProcessContext(const ProcessContext&) = delete;
    ProcessContext& operator=(const ProcessContext&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

HANDLE moduleActivationContext() {
    // Made on the first dialog, never in DllMain, where the loader lock is held;
    // releasing it at unload only drops a reference.
    static const ProcessContext context;
    return context.get();
}

ActivationScope::ActivationScope() {
    HANDLE context = moduleActivationContext();
    if (context != INVALID_HANDLE_VALUE) active_ = ActivateActCtx(context, &cookie_) != FALSE;
}

ActivationScope::~ActivationScope() {
    if (active_) DeactivateActCtx(0, cookie_);
}

}  // namespace vantrel::win
