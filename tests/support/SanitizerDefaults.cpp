// Linked into every test executable (and the tools, in sanitizer builds):
// what the sanitizers must not report (the system libraries' own doings),
// and how they report the rest.

extern "C" {

// fontconfig keeps its configuration in allocations that it reaches only
// through pointers LeakSanitizer cannot follow; they are made once per process.
const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

const char* __lsan_default_options() {
    return "print_suppressions=0";
}

// Pango sets fontconfig up on a thread of its own and hands the result over
// through GLib's futex-based locks, which the thread sanitizer cannot see.
const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\n"
           "race:libglib-2.0.so\n"
           "race:libpango-1.0.so\n"
           "race:libpangoft2-1.0.so\n";
}

const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1";
}

}
