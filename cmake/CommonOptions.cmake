# Warnings and Qt safety macros shared by every target.
add_library(orvane_options INTERFACE)
target_compile_options(orvane_options INTERFACE
    -Wall -Wextra -pedantic -Wnon-virtual-dtor
    $<$<BOOL:${ORVANE_WERROR}>:-Werror>)
target_compile_definitions(orvane_options INTERFACE
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_USE_QSTRINGBUILDER
    QT_DISABLE_DEPRECATED_BEFORE=0x050F00
    # Assertions stay on in every build but the one we measure.
    $<$<NOT:$<CONFIG:Release>>:QT_FORCE_ASSERTS>
    $<$<NOT:$<CONFIG:Release>>:_GLIBCXX_ASSERTIONS>)

if(ORVANE_SANITIZE)
    target_compile_options(orvane_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(orvane_options INTERFACE -fsanitize=address,undefined)
endif()

# What tests need in a sanitizer build: full allocation stacks (Qt's libraries have no frame
# pointers, so the fast unwinder stops inside them) to match the suppressions of leaks that
# are Qt's own, and a stack with every UBSan report.
set(ORVANE_TEST_SANITIZER_ENVIRONMENT "")
if(ORVANE_SANITIZE)
    set(ORVANE_TEST_SANITIZER_ENVIRONMENT
        "ASAN_OPTIONS=fast_unwind_on_malloc=0:detect_leaks=1"
        "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp"
        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()
