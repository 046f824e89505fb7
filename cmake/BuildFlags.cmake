# Warning and sanitizer flags ride on one INTERFACE target that every target
# links, so libraries and the programs that load them always agree.
add_library(bmp_build_flags INTERFACE)
target_compile_options(bmp_build_flags INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
if(BMP_WERROR)
  target_compile_options(bmp_build_flags INTERFACE -Werror)
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
if(BMP_FUZZ)
  # Coverage for libFuzzer in every library; only the fuzz binaries link its main.
  target_compile_options(bmp_build_flags INTERFACE -fsanitize=fuzzer-no-link)
  target_link_options(bmp_build_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
