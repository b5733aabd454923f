// Sanitizer builds only: keeps the unwind tables of llvmpipe's JIT-compiled shaders away from libgcc.
// The JIT registers each shader's tables through __register_frame. ASan unwinds the stack on every
// malloc (fast_unwind_on_malloc=0, which the leak suppressions need to see whole stacks), and the
// first unwind after a registration sorts the new tables with malloc while holding libgcc's lock,
// so the nested unwind of that malloc waits for the lock forever. Without the registrations the
// unwinder simply stops at a shader frame; no exception ever crosses shader code.
extern "C" __attribute__((visibility("default"))) void __register_frame(void*)
{
}

extern "C" __attribute__((visibility("default"))) void __deregister_frame(void*)
{
}
