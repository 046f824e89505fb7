# Warning and sanitizer flags ride on one INTERFACE target that every target
# links, so libraries and the programs that load them always agree.
add_library(bmp_build_flags INTERFACE)
target_compile_options(bmp_build_flags INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
if(BMP_WERROR)
  target_compile_options(bmp_build_flags INTERFACE -Werror)
endif()
# What a distribution builds with: fortified libc calls, stack protectors,
# checked standard containers, position-independent executables, full RELRO
# and a non-executable stack. Sanitizer and fuzz builds keep their own.
if(BMP_HARDEN AND NOT BMP_SANITIZE AND NOT BMP_FUZZ AND NOT BMP_TSAN AND NOT BMP_COVERAGE)
  target_compile_options(bmp_build_flags INTERFACE -fstack-protector-strong -D_GLIBCXX_ASSERTIONS
    # fortification needs an optimising build
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3>)
  target_link_options(bmp_build_flags INTERFACE -Wl,-z,relro,-z,now -Wl,-z,noexecstack)
endif()
if(BMP_TSAN)
  target_compile_options(bmp_build_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(bmp_build_flags INTERFACE -fsanitize=thread)
endif()
if(BMP_SANITIZE)
  target_compile_options(bmp_build_flags INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  # GCC's object-size analysis misreads instrumented accesses through virtual
  # bases as overflows; the sanitizers check those accesses at run time anyway.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(bmp_build_flags INTERFACE -Wno-stringop-overflow)
  endif()
  target_link_options(bmp_build_flags INTERFACE -fsanitize=address,undefined)
endif()
if(BMP_COVERAGE)
  # gcov counters in every library and program, for scripts/coverage.
  target_compile_options(bmp_build_flags INTERFACE --coverage)
  target_link_options(bmp_build_flags INTERFACE --coverage)
endif()
if(BMP_FUZZ)
  # Coverage for libFuzzer in every library; only the fuzz binaries link its main.
  target_compile_options(bmp_build_flags INTERFACE -fsanitize=fuzzer-no-link)
  target_link_options(bmp_build_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
