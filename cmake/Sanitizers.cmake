# The sanitizer build: AddressSanitizer (with leak detection) and UndefinedBehaviorSanitizer on
# every target. Off by default; .ci/run builds it in a second build directory and runs the tests
# there too. Any report fails: undefined behaviour stops the program like a memory error does.
option(SCANCONSOLE_SANITIZE "Build with -fsanitize=address,undefined" OFF)

if(SCANCONSOLE_SANITIZE)
    set(SCANCONSOLE_SANITIZER_FLAGS
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${SCANCONSOLE_SANITIZER_FLAGS})
    add_link_options(${SCANCONSOLE_SANITIZER_FLAGS})
    # Every report also goes to a file of its own (one per process, scan program included), so
    # a report from a program whose exit status a test does not look at is still seen.
    set(SCANCONSOLE_SANITIZER_REPORTS ${PROJECT_BINARY_DIR}/sanitizer-reports)
    file(MAKE_DIRECTORY ${SCANCONSOLE_SANITIZER_REPORTS})
    set(SCANCONSOLE_SANITIZER_ENVIRONMENT
        # Allocation stacks 8 frames deep: enough for the suppressions, half the cost of 30.
        "ASAN_OPTIONS=detect_leaks=1:malloc_context_size=8:log_path=${SCANCONSOLE_SANITIZER_REPORTS}/asan"
        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=${SCANCONSOLE_SANITIZER_REPORTS}/ubsan"
        # Qt's libraries have no frame pointers: only the full unwinder sees past their first
        # frame, which the suppressions need to tell Qt's own leaks from ours.
        "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan-qt.supp:print_suppressions=0:fast_unwind_on_malloc=0")
endif()
